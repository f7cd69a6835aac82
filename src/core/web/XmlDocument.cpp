#include "core/web/XmlDocument.h"

#include "core/web/XmlEntities.h"
#include "core/web/XmlTokenizer.h"

#include <limits>

namespace orva {

namespace {

// UTF-16 code units taken by the UTF-8 bytes in [from, to).
std::size_t utf16Units(const char* from, const char* to) {
    std::size_t units = 0;
    for (const char* p = from; p < to; ++p) {
        unsigned char b = static_cast<unsigned char>(*p);
        units += (b & 0xC0) != 0x80;
        units += b >= 0xF0;
    }
    return units;
}

// The largest text the 32-bit offsets of the index can describe.
constexpr std::size_t kMaxIndexedText = std::numeric_limits<std::int32_t>::max();

} // namespace

XmlDocument::XmlDocument() {
    index_.reserve(8);
    index_[0] = ElementEntry{0, 0, 0, 0, 0, 0, 0, 0};
}

bool XmlDocument::Parse(std::string text) {
    text_ = std::move(text);
    resultLog_.clear();
    resultLog16_ = 0;
    parseText();
    return IsWellFormed();
}

std::uint32_t XmlDocument::allocEntry() {
    if (nextFree_ >= index_.capacity())
        index_.reserve(static_cast<std::size_t>(nextFree_) + nextFree_ / 2 + 1);
    return nextFree_++;
}

void XmlDocument::parseText() {
    parent_ = current_ = child_ = 0;
    nextFree_ = 1;
    u16Marks_.clear();
    open_.clear();
    index_.reserve(text_.size() / 64 + 8);
    index_[0] = ElementEntry{0, static_cast<std::uint32_t>(std::min(text_.size(), kMaxIndexedText)), 0, 0, 0, 0, 0, 0};
    if (text_.empty())
        return;
    if (text_.size() > kMaxIndexedText) {
        index_[0].set(ElementEntry::kIllFormed);
        addRecord("document_too_large", {{"length", std::to_string(text_.size())}});
        return;
    }

    const char* s = text_.data();
    XmlTokenizer tokenizer(text_, true);
    std::uint32_t parent = 0; // the innermost open element, 0 = document level
    std::size_t pos = 0;
    std::size_t stopAt = text_.size(); // where the scan ends: the end of the text unless nesting is too deep
    bool tooDeep = false;
    namesCounted_ = false;
    // A markup error marks the document level ill-formed and the innermost open element as holding
    // it. A flag already set is not stored again: a run of errors then costs no store per error.
    auto markError = [&] {
        if (!index_[0].has(ElementEntry::kIllFormed))
            index_[0].set(ElementEntry::kIllFormed);
        if (!open_.empty()) {
            ElementEntry& inner = index_[open_.back().entry];
            if (!inner.has(ElementEntry::kMarkupError))
                inner.set(ElementEntry::kMarkupError);
        }
    };
    for (;;) {
        const XmlNode node = tokenizer.next(pos);
        if (node.kind == XmlNodeKind::EndOfText)
            break;
        pos = node.start + node.length;
        switch (node.kind) {
        case XmlNodeKind::StartTag: {
            if (open_.size() >= kMaxDepth) {
                // Too deep: the parse ends here as if the text did, so every open element is closed
                // without end tag and nothing from this tag on is indexed.
                index_[0].set(ElementEntry::kIllFormed);
                addRecord("nesting_too_deep", {{"tagname", std::string(s + node.start + 1, node.nameLength)},
                                               {"offset", offset16(node.start)}});
                stopAt = node.start;
                tooDeep = true;
                break;
            }
            const std::uint32_t idx = allocEntry();
            ElementEntry& e = index_[idx];
            e.start = static_cast<std::uint32_t>(node.start);
            e.length = static_cast<std::uint32_t>(node.length);
            e.startTagLength = static_cast<std::uint32_t>(node.length);
            e.endTagAndFlags = 0;
            e.parent = parent;
            e.firstChild = 0;
            e.next = 0;
            ElementEntry& p = index_[parent];
            if (p.firstChild == 0) {
                p.firstChild = idx;
                e.previous = idx;
                e.endTagAndFlags = ElementEntry::kFirstChild;
            } else {
                ElementEntry& first = index_[p.firstChild];
                const std::uint32_t last = first.previous;
                first.previous = idx;
                e.previous = last;
                index_[last].next = idx;
            }
            if (!node.selfClosing) {
                open_.push_back(OpenElement{idx, static_cast<std::uint32_t>(node.start + 1),
                                            static_cast<std::uint32_t>(node.nameLength)});
                if (namesCounted_)
                    openNames_.add(open_.back().nameStart, open_.back().nameLength);
                parent = idx;
            }
            break;
        }
        case XmlNodeKind::EndTag: {
            // The innermost open element the end tag's name matches, as FindElement compares names.
            const std::string_view candidate(s + node.start + 2, node.length - 2);
            const std::string_view endName = candidate.substr(0, XmlMatchNameLength(candidate));
            auto takes = [&](const OpenElement& o) {
                return XmlNameMatches(endName, std::string_view(s + o.nameStart, o.nameLength));
            };
            std::size_t depth = open_.size();
            bool matched = false;
            if (depth > 0 && takes(open_[depth - 1])) {
                --depth;
                matched = true;
            } else if (depth > 1 && (!namesCounted_ || openNames_.takes(endName))) {
                // Every element passed over here is closed below, so the walk costs each element
                // once; a walk that would find nothing is ruled out by the count of open names.
                for (--depth; depth-- > 0;) {
                    if (takes(open_[depth])) {
                        matched = true;
                        break;
                    }
                }
                if (!matched && !namesCounted_) {
                    // The first end tag that matches nothing: from here on, count the open names so
                    // that further ones cost no walk.
                    namesCounted_ = true;
                    openNames_.reset(s);
                    for (const OpenElement& o : open_)
                        openNames_.add(o.nameStart, o.nameLength);
                }
            }
            if (matched) {
                const std::uint32_t idx = open_[depth].entry;
                ElementEntry& e = index_[idx];
                e.length = static_cast<std::uint32_t>(pos - e.start);
                e.setStoredEndTag(static_cast<std::uint32_t>(node.length));
                if (depth + 1 < open_.size())
                    closeUnended(depth + 1, node.start + 1);
                if (namesCounted_)
                    for (std::size_t k = depth; k < open_.size(); ++k)
                        openNames_.remove(open_[k].nameStart, open_[k].nameLength);
                open_.resize(depth);
                parent = index_[idx].parent;
            } else {
                markError();
                if (logOpen())
                    addRecord("lone_end_tag", {{"tagname", std::string(s + node.start + 2, node.nameLength)},
                                               {"offset", offset16(node.start)}});
            }
            break;
        }
        case XmlNodeKind::SyntaxError: {
            markError();
            if (!logOpen())
                break;
            switch (node.error) {
            case XmlSyntax::FirstTag:
                addRecord("first_tag_syntax", {{"offset", offset16(node.errorOffset)}});
                break;
            case XmlSyntax::Exclamation:
                addRecord("exclamation_tag_syntax", {{"offset", offset16(node.errorOffset)}});
                break;
            case XmlSyntax::Doctype:
                addRecord("doctype_tag_syntax", {{"offset", offset16(node.errorOffset)}});
                break;
            case XmlSyntax::Comment:
                addRecord("comment_tag_syntax", {{"offset", offset16(node.errorOffset)}});
                break;
            case XmlSyntax::CData:
                addRecord("cdata_section_syntax", {{"offset", offset16(node.errorOffset)}});
                break;
            case XmlSyntax::Unterminated:
                addRecord("unterminated_tag_syntax",
                          {{"type", node.unterminatedType}, {"offset", offset16(node.errorOffset)}});
                break;
            case XmlSyntax::None:
                break;
            }
            break;
        }
        default:
            break; // text, whitespace, comments, processing instructions, CDATA, document type
        }
        if (tooDeep)
            break;
    }
    if (!open_.empty()) {
        closeUnended(0, stopAt);
        open_.clear();
    }
    const std::uint32_t root = index_[0].firstChild;
    if (root == 0)
        addRecord("no_root_element");
    else if (index_[root].next != 0)
        addRecord("root_has_sibling");
    parent_ = current_ = child_ = 0;
}

// Closes the open elements from open_[keep] inwards as elements without end tag. Their children
// move out to follow them under open_[keep]'s parent, in document order; every child moves once,
// whatever the depth of the unended elements.
void XmlDocument::closeUnended(std::size_t keep, std::size_t offset2) {
    const std::uint32_t p = keep ? open_[keep - 1].entry : 0;
    index_[0].set(ElementEntry::kIllFormed);
    bool error = false;
    for (std::size_t k = open_.size(); k-- > keep;) {
        ElementEntry& e = index_[open_[k].entry];
        e.set(ElementEntry::kNoEndTag);
        e.setStoredEndTag(0);
        e.length = e.startTagLength;
        if (e.has(ElementEntry::kMarkupError)) {
            error = true;
            e.clear(ElementEntry::kMarkupError);
        }
        if (logOpen())
            addRecord("unended_start_tag",
                      {{"tagname", std::string(text_.data() + open_[k].nameStart, open_[k].nameLength)},
                       {"offset", offset16(e.start)},
                       {"offset2", offset16(offset2)}});
    }
    if (error)
        index_[p].set(ElementEntry::kMarkupError);
    for (std::size_t k = keep; k < open_.size(); ++k) {
        const std::uint32_t e = open_[k].entry;
        const std::uint32_t first = index_[e].firstChild;
        if (first == 0)
            continue;
        index_[e].firstChild = 0;
        for (std::uint32_t c = first; c != 0; c = index_[c].next)
            index_[c].parent = p;
        // e is the last child of p, so the chain goes on right behind it.
        const std::uint32_t pFirst = index_[p].firstChild;
        const std::uint32_t tail = index_[pFirst].previous;
        const std::uint32_t chainLast = index_[first].previous;
        index_[tail].next = first;
        index_[first].previous = tail;
        index_[first].clear(ElementEntry::kFirstChild);
        index_[pFirst].previous = chainLast;
    }
}

std::string XmlDocument::offset16(std::size_t byteOffset) {
    // Records may point back and forth (an unended element's start, then the end tag that closed
    // its parent): a UTF-16 count kept every 4 KiB makes each lookup cost at most 4 KiB of text.
    constexpr unsigned kMarkBits = 12;
    const char* s = text_.data();
    byteOffset = std::min(byteOffset, text_.size());
    const std::size_t mark = byteOffset >> kMarkBits;
    if (u16Marks_.empty())
        u16Marks_.push_back(0);
    while (u16Marks_.size() <= mark) {
        const std::size_t from = (u16Marks_.size() - 1) << kMarkBits;
        u16Marks_.push_back(u16Marks_.back() + utf16Units(s + from, s + from + (std::size_t{1} << kMarkBits)));
    }
    const std::size_t from = mark << kMarkBits;
    return std::to_string(u16Marks_[mark] + utf16Units(s + from, s + byteOffset));
}

void XmlDocument::addRecord(std::string_view name, std::initializer_list<std::pair<const char*, std::string>> attrs) {
    if (!logOpen())
        return;
    std::string record;
    record += '<';
    record += name;
    for (const auto& [attrName, value] : attrs) {
        record += ' ';
        record += attrName;
        record += "=\"";
        record += EscapeAttributeValue(value);
        record += '"';
    }
    record += "/>\r\n";
    resultLog_ += record;
    resultLog16_ += utf16Units(record.data(), record.data() + record.size());
}

bool XmlDocument::IsWellFormed() const {
    const ElementEntry& doc = index_[0];
    if (doc.has(ElementEntry::kIllFormed) || doc.firstChild == 0)
        return false;
    return index_[doc.firstChild].next == 0;
}

std::uint32_t XmlDocument::endTagLength(std::uint32_t i) const {
    const ElementEntry& e = index_[i];
    std::uint32_t stored = e.storedEndTag();
    if (stored != ElementEntry::kEndTagLong)
        return stored;
    // Too long for the field: the end tag is what follows the last "<" of the element.
    std::uint32_t end = e.end();
    std::uint32_t lt = end;
    while (lt > e.start + e.startTagLength && text_[lt - 1] != '<')
        --lt;
    return end - (lt - 1);
}

std::string_view XmlDocument::tagName(std::uint32_t i) const {
    const ElementEntry& e = index_[i];
    std::size_t b = e.start + 1;
    std::size_t end = e.start + e.startTagLength;
    std::size_t j = b;
    while (j < end && !xml_chars::endsMatchName(static_cast<unsigned char>(text_[j])))
        ++j;
    return std::string_view(text_).substr(b, j - b);
}

std::string_view XmlDocument::tokenTagName(std::uint32_t i) const {
    const ElementEntry& e = index_[i];
    std::size_t b = e.start + 1;
    std::size_t end = e.start + e.startTagLength;
    std::size_t j = b;
    while (j < end && !xml_chars::endsTokenName(static_cast<unsigned char>(text_[j])))
        ++j;
    return std::string_view(text_).substr(b, j - b);
}

void XmlDocument::ResetPosition() {
    parent_ = current_ = child_ = 0;
}

bool XmlDocument::FindElement(std::string_view name) {
    if (!name.empty() && name[0] == '/')
        return false;
    std::uint32_t candidate = current_ ? index_[current_].next : index_[parent_].firstChild;
    for (; candidate != 0; candidate = index_[candidate].next) {
        const ElementEntry& e = index_[candidate];
        if (name.empty() ||
            XmlTagNameMatches(std::string_view(text_).substr(e.start + 1, e.startTagLength - 1), name)) {
            current_ = candidate;
            child_ = 0;
            return true;
        }
    }
    return false;
}

bool XmlDocument::EnterElement() {
    if (current_ == 0)
        return false;
    parent_ = current_;
    current_ = child_;
    child_ = 0;
    return true;
}

bool XmlDocument::LeaveElement() {
    if (parent_ == 0)
        return false;
    child_ = current_;
    current_ = parent_;
    parent_ = index_[parent_].parent;
    return true;
}

std::string XmlDocument::GetTagName() const {
    if (current_ == 0)
        return {};
    return std::string(tagName(current_));
}

namespace {

// The inside of a CDATA section: what follows its nine-character opener and precedes "]]>". The
// scanner takes any "<![C" for an opener, so a damaged one ("<![CD<AT...") may hold characters of
// several bytes; the opener is counted in UTF-16 units, as positions are everywhere else, so no
// character is ever cut in two and the text stays valid UTF-8.
std::string_view CDataInside(std::string_view section) {
    constexpr std::size_t kOpenerUnits = 9;
    constexpr std::size_t kCloserBytes = 3; // "]]>"
    std::size_t begin = 0;
    for (std::size_t units = 0; units < kOpenerUnits && begin < section.size();) {
        const unsigned char lead = static_cast<unsigned char>(section[begin]);
        units += lead >= 0xF0 ? 2 : 1; // a character beyond U+FFFF takes two units
        ++begin;
        while (begin < section.size() && (static_cast<unsigned char>(section[begin]) & 0xC0) == 0x80)
            ++begin;
    }
    if (section.size() < begin + kCloserBytes)
        return {};
    return section.substr(begin, section.size() - kCloserBytes - begin);
}

} // namespace

std::string XmlDocument::GetElementText() const {
    if (current_ == 0)
        return {};
    const ElementEntry& e = index_[current_];
    if (e.isEmpty() || e.firstChild != 0)
        return {};
    const std::size_t contentStart = e.start + e.startTagLength;
    const std::size_t contentLength = e.length - e.startTagLength - endTagLength(current_);
    const std::string_view content = std::string_view(text_).substr(contentStart, contentLength);
    if (content.find('<') == std::string_view::npos)
        return UnescapeText(content);
    // Mixed content: text nodes unescaped, CDATA sections as they stand, markup left out.
    std::string out;
    XmlTokenizer tokenizer(content, false);
    std::size_t pos = 0;
    for (;;) {
        const XmlNode node = tokenizer.next(pos);
        if (node.kind == XmlNodeKind::EndOfText)
            break;
        pos = node.start + node.length;
        if (node.kind == XmlNodeKind::Text) {
            out += UnescapeText(content.substr(node.start, node.length));
        } else if (node.kind == XmlNodeKind::CDataSection) {
            out += CDataInside(content.substr(node.start, node.length));
        }
    }
    return out;
}

} // namespace orva
