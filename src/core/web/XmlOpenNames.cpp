#include "core/web/XmlOpenNames.h"

#include <algorithm>
#include <iterator>

namespace orva {

namespace {

std::uint64_t slotKey(std::uint32_t node, unsigned char c) {
    return ((static_cast<std::uint64_t>(node) << 8) | c) + 1;
}

std::size_t slotHome(std::uint64_t key, std::size_t mask) {
    return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & mask;
}

// The characters after which a stacked name still takes an end tag that stopped short of it.
bool continuesMatch(char c) {
    return c == '=' || c == '[' || c == ']';
}

} // namespace

void XmlOpenNames::reset(const char* text) {
    text_ = text;
    nodes_.clear();
    free_.clear();
    nodes_.push_back(Node{0, 0, 0, 0});
    std::fill(std::begin(rootChildren_), std::end(rootChildren_), kNone);
    if (used_ != 0 || table_.empty()) {
        table_.assign(table_.empty() ? 64 : table_.size(), Slot{0, 0});
        used_ = 0;
    }
}

std::uint32_t XmlOpenNames::child(std::uint32_t node, unsigned char c) const {
    if (node == 0)
        return rootChildren_[c];
    const std::uint64_t key = slotKey(node, c);
    const std::size_t mask = table_.size() - 1;
    for (std::size_t i = slotHome(key, mask);; i = (i + 1) & mask) {
        if (table_[i].key == key)
            return table_[i].to;
        if (table_[i].key == 0)
            return kNone;
    }
}

void XmlOpenNames::link(std::uint32_t node, unsigned char c, std::uint32_t to) {
    if (node == 0) {
        rootChildren_[c] = to;
        return;
    }
    const std::uint64_t key = slotKey(node, c);
    std::size_t mask = table_.size() - 1;
    for (std::size_t i = slotHome(key, mask);; i = (i + 1) & mask) {
        if (table_[i].key == key) {
            table_[i].to = to;
            return;
        }
        if (table_[i].key == 0) {
            table_[i] = Slot{key, to};
            if (++used_ * 2 > table_.size())
                growTable();
            return;
        }
    }
}

void XmlOpenNames::unlink(std::uint32_t node, unsigned char c) {
    if (node == 0) {
        rootChildren_[c] = kNone;
        return;
    }
    const std::uint64_t key = slotKey(node, c);
    const std::size_t mask = table_.size() - 1;
    std::size_t i = slotHome(key, mask);
    while (table_[i].key != key) {
        if (table_[i].key == 0)
            return;
        i = (i + 1) & mask;
    }
    // Backward-shift deletion: no tombstones, so lookups stay short however often names come and go.
    for (std::size_t j = (i + 1) & mask; table_[j].key != 0; j = (j + 1) & mask) {
        const std::size_t home = slotHome(table_[j].key, mask);
        const bool between = i <= j ? (home <= i || home > j) : (home <= i && home > j);
        if (between) {
            table_[i] = table_[j];
            i = j;
        }
    }
    table_[i] = Slot{0, 0};
    --used_;
}

void XmlOpenNames::growTable() {
    std::vector<Slot> old(table_.size() * 2, Slot{0, 0});
    old.swap(table_);
    const std::size_t mask = table_.size() - 1;
    for (const Slot& s : old) {
        if (s.key == 0)
            continue;
        std::size_t i = slotHome(s.key, mask);
        while (table_[i].key != 0)
            i = (i + 1) & mask;
        table_[i] = s;
    }
}

std::uint32_t XmlOpenNames::newNode(std::uint32_t witness, std::uint32_t depth) {
    const Node n{witness, depth, 0, 0};
    if (!free_.empty()) {
        const std::uint32_t id = free_.back();
        free_.pop_back();
        nodes_[id] = n;
        return id;
    }
    nodes_.push_back(n);
    return static_cast<std::uint32_t>(nodes_.size() - 1);
}

void XmlOpenNames::add(std::uint32_t start, std::uint32_t length) {
    const char* g = text_ + start;
    std::uint32_t v = 0;
    std::uint32_t i = 0;
    ++nodes_[0].through;
    for (;;) {
        if (i == length) {
            ++nodes_[v].ends;
            return;
        }
        const unsigned char first = static_cast<unsigned char>(g[i]);
        std::uint32_t c = child(v, first);
        if (c == kNone) {
            c = newNode(start, length);
            nodes_[c].ends = 1;
            nodes_[c].through = 1;
            link(v, first, c);
            return;
        }
        const char* edge = text_ + nodes_[c].witness;
        const std::uint32_t edgeEnd = nodes_[c].depth;
        std::uint32_t k = i + 1;
        while (k < edgeEnd && k < length && edge[k] == g[k])
            ++k;
        if (k < edgeEnd) {
            // The name leaves (or ends inside) the edge: split it where they part.
            const std::uint32_t m = newNode(nodes_[c].witness, k);
            nodes_[m].through = nodes_[c].through;
            link(v, first, m);
            link(m, static_cast<unsigned char>(edge[k]), c);
            c = m;
        }
        ++nodes_[c].through;
        v = c;
        i = k;
    }
}

void XmlOpenNames::remove(std::uint32_t start, std::uint32_t length) {
    const char* g = text_ + start;
    std::uint32_t v = 0;
    std::uint32_t i = 0;
    --nodes_[0].through;
    for (;;) {
        if (i == length) {
            --nodes_[v].ends;
            return;
        }
        const unsigned char first = static_cast<unsigned char>(g[i]);
        const std::uint32_t c = child(v, first);
        if (c == kNone)
            return; // not held: nothing to undo
        // The name is held, so it runs along the whole edge; no character needs comparing.
        if (--nodes_[c].through == 0) {
            unlink(v, first);
            free_.push_back(c);
        }
        v = c;
        i = nodes_[c].depth;
    }
}

bool XmlOpenNames::takes(std::string_view name) const {
    const std::uint32_t n = static_cast<std::uint32_t>(name.size());
    std::uint32_t v = 0;
    std::uint32_t i = 0;
    for (;;) {
        if (i == n)
            return nodes_[v].ends > 0 || child(v, '=') != kNone || child(v, '[') != kNone || child(v, ']') != kNone;
        const std::uint32_t c = child(v, static_cast<unsigned char>(name[i]));
        if (c == kNone)
            return false;
        const char* edge = text_ + nodes_[c].witness;
        const std::uint32_t edgeEnd = nodes_[c].depth;
        std::uint32_t k = i + 1;
        for (; k < edgeEnd && k < n; ++k)
            if (edge[k] != name[k])
                return false;
        if (k < edgeEnd)
            return continuesMatch(edge[k]); // the end tag's name stops inside the edge
        v = c;
        i = k;
    }
}

} // namespace orva
