#pragma once
// The names of the elements a parse holds open, kept so that an end tag learns whether any of them
// would take it in time proportional to its own name, however many elements are open. Without it,
// every end tag that matches nothing walks the whole stack: a text of start tags followed by end
// tags of another name parses in quadratic time.
//
// An open element named G takes an end tag whose name (read as element name matching reads it) is
// C when G begins with C and then ends or goes on with "=", "[" or "]" (a token name holds no
// blank and no "/"). The names are kept in a compacted trie whose edges point into the document
// text; a node counts the open names that end at it and those that pass through it. The answer is
// exact, so the parser's own comparison of the stacked names decides as before and the trie only
// spares it the walk when nothing would match.
#include <cstdint>
#include <string_view>
#include <vector>

namespace orva {

class XmlOpenNames {
public:
    // Forgets every name; `text` is the text the names of the next add() calls lie in.
    void reset(const char* text);
    // An element whose token name is text[start, start + length) was opened or closed. A name is
    // removed as often as it was added, and only while it is held.
    void add(std::uint32_t start, std::uint32_t length);
    void remove(std::uint32_t start, std::uint32_t length);
    // Whether an open element would take an end tag whose name, as matching reads it, is `name`.
    bool takes(std::string_view name) const;

private:
    struct Node {
        std::uint32_t witness; // where in the text a name through this node begins
        std::uint32_t depth;   // characters from the root to the end of this node's edge
        std::uint32_t ends;    // open names that end here
        std::uint32_t through; // open names that end here or below
    };
    static constexpr std::uint32_t kNone = 0; // the root is never anybody's child

    std::uint32_t child(std::uint32_t node, unsigned char c) const;
    void link(std::uint32_t node, unsigned char c, std::uint32_t to);
    void unlink(std::uint32_t node, unsigned char c);
    std::uint32_t newNode(std::uint32_t witness, std::uint32_t depth);
    void growTable();

    const char* text_ = nullptr;
    std::vector<Node> nodes_;
    std::vector<std::uint32_t> free_;
    // Children by (node, first character of the edge): open addressing with linear probing.
    struct Slot {
        std::uint64_t key; // (node << 8 | character) + 1; 0 = empty
        std::uint32_t to;
    };
    std::vector<Slot> table_;
    std::size_t used_ = 0;
    // The root's children directly: most end tags that match nothing are refused on their first
    // character, with one load.
    std::uint32_t rootChildren_[256] = {};
};

} // namespace orva
