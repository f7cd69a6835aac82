#pragma once
// Scans an XML text one node at a time. The tokenizer never changes the text and never allocates;
// what it finds wrong it describes in the node, and the caller decides whether to record it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace orva {

enum class XmlNodeKind : std::uint8_t {
    StartTag,
    EndTag,
    Text,
    Whitespace,
    CDataSection,
    ProcessingInstruction,
    Comment,
    DocumentType,
    SyntaxError,
    EndOfText,
};

enum class XmlSyntax : std::uint8_t {
    None,
    FirstTag,     // "<" followed by a character that starts no markup
    Exclamation,  // "<!" followed by anything but "-", "[" or "D"
    Doctype,      // "<!" inside a document type declaration not followed by "A", "E" or "N"
    Comment,      // "<!-" not followed by "-"
    CData,        // "<![" not followed by "C"
    Unterminated, // the text ended inside markup
};

struct XmlNode {
    XmlNodeKind kind;
    XmlSyntax error;
    bool selfClosing;             // start tags: written "<name .../>"
    const char* unterminatedType; // for XmlSyntax::Unterminated
    std::size_t start;
    std::size_t length;
    std::size_t nameLength;  // start and end tags: the name (after "<" or "</")
    std::size_t errorOffset; // offset of the "<" the error belongs to
};

namespace xml_chars {
// Blank, tab, CR, LF.
inline bool isSpace(unsigned char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
// Characters that may follow "<" to open a start tag.
inline bool startsName(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || c == '_' || c == ':' || c > 96;
}
// The end of a tag name as the tokenizer reads it.
inline bool endsTokenName(unsigned char c) {
    return isSpace(c) || c == '/' || c == '>';
}
// The end of a tag name as element name matching reads it.
inline bool endsMatchName(unsigned char c) {
    switch (c) {
    case ' ':
    case '\t':
    case '\r':
    case '\n':
    case '!':
    case '"':
    case '\'':
    case '/':
    case ';':
    case '<':
    case '=':
    case '>':
    case '?':
    case '\\':
        return true;
    default:
        return false;
    }
}
} // namespace xml_chars

// The length of the tag name at the start of `candidate`, read up to the first name delimiter.
inline std::size_t XmlMatchNameLength(std::string_view candidate) {
    std::size_t len = 0;
    while (len < candidate.size() && !xml_chars::endsMatchName(static_cast<unsigned char>(candidate[len])))
        ++len;
    return len;
}

// Whether the tag name `tagName` (already cut at its first name delimiter) matches `given`: the same
// characters over the tag name's length, with `given` ending there or going on with a blank, "=",
// "/", "[" or "]".
inline bool XmlNameMatches(std::string_view tagName, std::string_view given) {
    const std::size_t len = tagName.size();
    if (given.size() < len)
        return false;
    if (len <= 8) {
        // Most names are short: a loop is cheaper than a call.
        for (std::size_t i = 0; i < len; ++i)
            if (tagName[i] != given[i])
                return false;
    } else if (std::memcmp(tagName.data(), given.data(), len) != 0) {
        return false;
    }
    if (given.size() == len)
        return true;
    char c = given[len];
    return c == ' ' || c == '=' || c == '/' || c == '[' || c == ']';
}

// Whether the tag name at the start of `candidate` (read up to the first name delimiter) matches
// `given`, as XmlNameMatches.
inline bool XmlTagNameMatches(std::string_view candidate, std::string_view given) {
    return XmlNameMatches(candidate.substr(0, XmlMatchNameLength(candidate)), given);
}

class XmlTokenizer {
public:
    // With mergeText, text and whitespace run to the next "<" and are all reported as Text: the
    // document scan stores neither, and a single search is the fastest way past them.
    XmlTokenizer(std::string_view text, bool mergeText) : s_(text.data()), n_(text.size()), merge_(mergeText) {}

    XmlNode next(std::size_t pos) const;

private:
    XmlNode scanMarkup(std::size_t pos) const;
    XmlNode scanStartTag(std::size_t pos) const;
    XmlNode scanDoctype(std::size_t pos) const;
    // Finds `delim` (ending in ">") at or after `from`; npos when the text ends first.
    std::size_t findDelimiter(std::size_t from, const char* delim, std::size_t delimLen) const;
    XmlNode errorNode(std::size_t start, std::size_t from, XmlSyntax error) const;
    XmlNode unterminated(std::size_t start, const char* type) const;

    const char* s_;
    std::size_t n_;
    bool merge_;
};

inline XmlNode XmlTokenizer::next(std::size_t pos) const {
    if (pos >= n_)
        return XmlNode{XmlNodeKind::EndOfText, XmlSyntax::None, false, nullptr, pos, 0, 0, 0};
    if (s_[pos] == '<')
        return scanMarkup(pos);
    if (merge_) {
        const void* lt = std::memchr(s_ + pos, '<', n_ - pos);
        std::size_t end = lt ? static_cast<std::size_t>(static_cast<const char*>(lt) - s_) : n_;
        return XmlNode{XmlNodeKind::Text, XmlSyntax::None, false, nullptr, pos, end - pos, 0, 0};
    }
    // Whitespace while only blanks and line breaks occur; text from the first other character on.
    // Text ends before "<" or just after ">", whitespace before "<".
    bool text = false;
    std::size_t i = pos;
    for (; i < n_; ++i) {
        unsigned char c = static_cast<unsigned char>(s_[i]);
        if (c == '<')
            break;
        if (!xml_chars::isSpace(c)) {
            text = true;
            if (c == '>') {
                ++i;
                break;
            }
        }
    }
    return XmlNode{
        text ? XmlNodeKind::Text : XmlNodeKind::Whitespace, XmlSyntax::None, false, nullptr, pos, i - pos, 0, 0};
}

inline XmlNode XmlTokenizer::unterminated(std::size_t start, const char* type) const {
    return XmlNode{XmlNodeKind::SyntaxError, XmlSyntax::Unterminated, false, type, start, n_ - start, 0, start};
}

inline XmlNode XmlTokenizer::errorNode(std::size_t start, std::size_t from, XmlSyntax error) const {
    // Runs to the next ">" (inclusive) or the next "<" (exclusive), whichever comes first.
    std::size_t i = from;
    for (; i < n_; ++i) {
        char c = s_[i];
        if (c == '>') {
            ++i;
            break;
        }
        if (c == '<')
            break;
    }
    return XmlNode{XmlNodeKind::SyntaxError, error, false, nullptr, start, i - start, 0, start};
}

inline std::size_t XmlTokenizer::findDelimiter(std::size_t from, const char* delim, std::size_t delimLen) const {
    // delim ends in '>': look for each '>' and check what precedes it. A text full of ">" that are
    // not the delimiter would cost a search per character, so after a few misses one search for the
    // whole delimiter takes over.
    std::size_t i = from + delimLen - 1;
    for (int misses = 0; i < n_ && misses < 16; ++misses) {
        const void* gt = std::memchr(s_ + i, '>', n_ - i);
        if (!gt)
            return std::string_view::npos;
        std::size_t g = static_cast<std::size_t>(static_cast<const char*>(gt) - s_);
        if (g + 1 >= from + delimLen && std::memcmp(s_ + g + 1 - delimLen, delim, delimLen) == 0)
            return g + 1;
        i = g + 1;
    }
    if (i >= n_)
        return std::string_view::npos;
    // Every occurrence ending before i was ruled out, so the first one ending at or after i is the answer.
    const std::size_t searchFrom = i + 1 - delimLen;
    const void* found = memmem(s_ + searchFrom, n_ - searchFrom, delim, delimLen);
    if (!found)
        return std::string_view::npos;
    return static_cast<std::size_t>(static_cast<const char*>(found) - s_) + delimLen;
}

inline XmlNode XmlTokenizer::scanStartTag(std::size_t pos) const {
    // The name: up to a blank, line break, "/" or ">".
    std::size_t i = pos + 1;
    bool equalsInName = false;
    while (i < n_ && !xml_chars::endsTokenName(static_cast<unsigned char>(s_[i]))) {
        equalsInName |= s_[i] == '=';
        ++i;
    }
    std::size_t nameLength = i - pos - 1;
    // The common forms "<name>" and "<name/>" need no attribute scan.
    if (!equalsInName && i < n_) {
        if (s_[i] == '>')
            return XmlNode{XmlNodeKind::StartTag, XmlSyntax::None, false, nullptr, pos, i + 1 - pos, nameLength, 0};
        if (s_[i] == '/' && i + 1 < n_ && s_[i + 1] == '>')
            return XmlNode{XmlNodeKind::StartTag, XmlSyntax::None, true, nullptr, pos, i + 2 - pos, nameLength, 0};
    }
    if (equalsInName)
        i = pos + 1; // an "=" inside the name may open a quoted value: scan the name's characters too
    // The tag ends at the first ">" outside a quoted attribute value. A quote opens a value only
    // right after "=" (blanks allowed between); an unquoted value runs to the next blank.
    enum { Plain, AfterEquals, Quoted, Unquoted } state = Plain;
    char quote = 0;
    for (; i < n_; ++i) {
        char c = s_[i];
        switch (state) {
        case Plain:
            if (c == '>') {
                bool empty = s_[i - 1] == '/';
                return XmlNode{XmlNodeKind::StartTag, XmlSyntax::None, empty, nullptr, pos, i + 1 - pos, nameLength, 0};
            }
            if (c == '=')
                state = AfterEquals;
            break;
        case AfterEquals:
            if (c == '"' || c == '\'') {
                quote = c;
                state = Quoted;
            } else if (c == '>') {
                return XmlNode{XmlNodeKind::StartTag, XmlSyntax::None, false, nullptr, pos, i + 1 - pos, nameLength, 0};
            } else if (!xml_chars::isSpace(static_cast<unsigned char>(c))) {
                state = Unquoted;
            }
            break;
        case Quoted:
            if (c == quote)
                state = Plain;
            break;
        case Unquoted:
            if (c == '>') {
                // Inside an unquoted value a "/" before ">" closes the tag only after a blank or quote.
                bool empty = false;
                if (s_[i - 1] == '/') {
                    unsigned char b = static_cast<unsigned char>(s_[i - 2]);
                    empty = xml_chars::isSpace(b) || b == '"' || b == '\'';
                }
                return XmlNode{XmlNodeKind::StartTag, XmlSyntax::None, empty, nullptr, pos, i + 1 - pos, nameLength, 0};
            }
            if (xml_chars::isSpace(static_cast<unsigned char>(c)))
                state = Plain;
            break;
        }
    }
    return unterminated(pos, "start_tag");
}

inline XmlNode XmlTokenizer::scanDoctype(std::size_t pos) const {
    // Ends at the first ">" outside quotes and outside the declarations nested in it.
    XmlSyntax error = XmlSyntax::None;
    std::size_t errorOffset = pos;
    char quote = 0;
    std::size_t i = pos + 3;
    while (i < n_) {
        char c = s_[i];
        if (quote) {
            if (c == quote)
                quote = 0;
            ++i;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
            ++i;
            continue;
        }
        if (c == '>') {
            XmlNode node{XmlNodeKind::DocumentType, XmlSyntax::None, false, nullptr, pos, i + 1 - pos, 0, 0};
            if (error != XmlSyntax::None) {
                node.kind = XmlNodeKind::SyntaxError;
                node.error = error;
                node.errorOffset = errorOffset;
            }
            return node;
        }
        if (c == '<' && i + 1 < n_ && (s_[i + 1] == '!' || s_[i + 1] == '?')) {
            std::size_t end;
            if (s_[i + 1] == '?') {
                end = findDelimiter(i + 2, "?>", 2);
            } else if (i + 3 < n_ && s_[i + 2] == '-' && s_[i + 3] == '-') {
                end = findDelimiter(i + 4, "-->", 3);
            } else {
                char k = i + 2 < n_ ? s_[i + 2] : 0;
                if (k != 'A' && k != 'E' && k != 'N' && error == XmlSyntax::None) {
                    error = XmlSyntax::Doctype;
                    errorOffset = i;
                }
                // A nested declaration runs to its own ">", quotes respected.
                char q = 0;
                end = std::string_view::npos;
                for (std::size_t j = i + 2; j < n_; ++j) {
                    char d = s_[j];
                    if (q) {
                        if (d == q)
                            q = 0;
                    } else if (d == '"' || d == '\'') {
                        q = d;
                    } else if (d == '>') {
                        end = j + 1;
                        break;
                    }
                }
            }
            if (end == std::string_view::npos)
                break;
            i = end;
            continue;
        }
        ++i;
    }
    return unterminated(pos, "document_type");
}

inline XmlNode XmlTokenizer::scanMarkup(std::size_t pos) const {
    std::size_t i = pos + 1;
    if (i >= n_)
        return unterminated(pos, "tag");
    unsigned char c = static_cast<unsigned char>(s_[i]);
    if (xml_chars::startsName(c))
        return scanStartTag(pos);
    if (c == '/') {
        // The name first: in the common "</name>" its end is the tag's end, and no search is needed.
        std::size_t j = pos + 2;
        while (j < n_ && !xml_chars::endsTokenName(static_cast<unsigned char>(s_[j])))
            ++j;
        std::size_t end;
        if (j < n_ && s_[j] == '>') {
            end = j + 1;
        } else {
            const void* gt = j < n_ ? std::memchr(s_ + j, '>', n_ - j) : nullptr;
            if (!gt)
                return unterminated(pos, "end_tag");
            end = static_cast<std::size_t>(static_cast<const char*>(gt) - s_) + 1;
        }
        return XmlNode{XmlNodeKind::EndTag, XmlSyntax::None, false, nullptr, pos, end - pos, j - pos - 2, 0};
    }
    if (c == '?') {
        std::size_t end = findDelimiter(pos + 2, "?>", 2);
        if (end == std::string_view::npos)
            return unterminated(pos, "processing_instruction");
        return XmlNode{XmlNodeKind::ProcessingInstruction, XmlSyntax::None, false, nullptr, pos, end - pos, 0, 0};
    }
    if (c != '!')
        return errorNode(pos, i, XmlSyntax::FirstTag);
    if (++i >= n_)
        return unterminated(pos, "tag");
    c = static_cast<unsigned char>(s_[i]);
    if (c == '-') {
        if (++i >= n_)
            return unterminated(pos, "tag");
        if (s_[i] != '-')
            return errorNode(pos, i, XmlSyntax::Comment);
        std::size_t end = findDelimiter(pos + 4, "-->", 3);
        if (end == std::string_view::npos)
            return unterminated(pos, "comment");
        return XmlNode{XmlNodeKind::Comment, XmlSyntax::None, false, nullptr, pos, end - pos, 0, 0};
    }
    if (c == '[') {
        if (++i >= n_)
            return unterminated(pos, "tag");
        if (s_[i] != 'C')
            return errorNode(pos, i, XmlSyntax::CData);
        std::size_t end = findDelimiter(pos + 4, "]]>", 3);
        if (end == std::string_view::npos)
            return unterminated(pos, "cdata_section");
        return XmlNode{XmlNodeKind::CDataSection, XmlSyntax::None, false, nullptr, pos, end - pos, 0, 0};
    }
    if (c == 'D')
        return scanDoctype(pos);
    return errorNode(pos, i, XmlSyntax::Exclamation);
}

} // namespace orva
