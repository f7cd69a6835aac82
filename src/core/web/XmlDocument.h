#pragma once
// XmlDocument: an XML document kept as its text plus an index of where each element lies in it,
// with a cursor for navigation. Parsing never changes the text; building splices markup into it.
//
// Texts are UTF-8. Offsets inside the index are byte offsets; the "offset" values written into the
// result log count UTF-16 code units, so they read the same whatever the internal form.
//
// The parser is lenient: it always leaves an index, repairs what it can, writes each problem to the
// result log and reports well-formedness as one boolean.
//
// Parsing takes time linear in the text, whatever the text holds. Nesting is bounded: an element's
// level is the number of elements open (started and not yet ended) when its start tag is read, so
// the root is at level 0 and its children at 1. Levels 0 to kMaxDepth - 1 are parsed; a start tag
// (self-closing or not) that would be at level kMaxDepth ends the parse there, as if the text ended
// just before its "<": the document level is marked ill-formed, a "nesting_too_deep" record (the
// tag's name and offset) is written, and the elements still open are closed without end tag as at
// the end of a text (their "unended_start_tag" records give that "<" as offset2, their children move
// out behind them). Nothing from that tag on is indexed; Parse returns false. The index keeps what
// was read before, so callers navigate it as any other malformed document.
#include "core/web/XmlElementIndex.h"
#include "core/web/XmlOpenNames.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

class XmlDocument {
public:
    // Byte-order marks found by LoadFile and written again by SaveFile.
    enum DocFlags : std::uint32_t {
        DocUtf8Preamble = 1u << 0,
        DocUtf16LE = 1u << 1,
        DocUtf16BE = 1u << 2,
    };
    // Options of AddElement/AddChildElement; the plain form is what the services receive.
    enum AddFlags : unsigned {
        AddCData = 1u << 0,          // value as "<![CDATA[...]]>"
        AddNoLineBreak = 1u << 1,    // no CR LF after the element
        AddXhtmlSpace = 1u << 2,     // "<name />" instead of "<name/>"
        AddNoEndTag = 1u << 3,       // the start tag alone (refused with a value)
        AddKeepReferences = 1u << 4, // "&name;" already in the value stays as it is
    };

    // The deepest nesting a parse accepts: elements at levels 0 to kMaxDepth - 1.
    static constexpr std::size_t kMaxDepth = 256;

    XmlDocument();

    // Replaces the text, clears the result log, rebuilds the index, resets the cursor.
    // True when the text is well-formed.
    bool Parse(std::string text);
    const std::string& GetText() const { return text_; }

    // Reads and decodes a file (byte-order mark, declared encoding, UTF-8 detection), then parses it.
    // False when the file cannot be read or the text is not well-formed.
    bool LoadFile(const std::string& path);
    // Writes the text in its declared encoding (UTF-8 when none is declared).
    bool SaveFile(const std::string& path);
    // The same bytes written to a descriptor the caller opened (and still owns: it is not closed), for
    // files that must be created safely first (a temporary made with mkstemp).
    bool SaveFile(int fd);

    // Moves to the next sibling whose tag name matches; an empty name takes the next sibling.
    bool FindElement(std::string_view name = {});
    bool EnterElement();
    bool LeaveElement();
    void ResetPosition();

    // The text content of the current element, references replaced; "" when it has child elements.
    std::string GetElementText() const;
    // The tag name of the current element, "" when nothing is current.
    std::string GetTagName() const;
    // An attribute of the current element, unescaped; "" when absent.
    std::string GetAttribute(std::string_view name) const;
    // Sets (adds or replaces) an attribute of the current element.
    bool SetAttribute(std::string_view name, std::string_view value);

    // Inserts an element after the current one, or as the parent's last child when nothing is current.
    bool AddElement(std::string_view name, std::string_view value = {}, unsigned flags = 0);
    // Inserts a child of the current element after the current child (or as its last child).
    bool AddChildElement(std::string_view name, std::string_view value = {}, unsigned flags = 0);
    bool AddChildElement(std::string_view name, int value);

    bool IsWellFormed() const;
    const std::string& ResultText() const { return resultLog_; }
    std::uint32_t DocumentFlags() const { return docFlags_; }

    // The index, for inspection.
    const ElementEntry& Entry(std::uint32_t i) const { return index_[i]; }
    std::uint32_t EntryCount() const { return nextFree_; }
    // Cursor as (parent, current, child); 0 means the document level or none.
    std::uint32_t CursorParent() const { return parent_; }
    std::uint32_t CursorCurrent() const { return current_; }
    std::uint32_t CursorChild() const { return child_; }

private:
    struct OpenElement {
        std::uint32_t entry;
        std::uint32_t nameStart;
        std::uint32_t nameLength;
    };
    void parseText();
    void closeUnended(std::size_t keep, std::size_t offset2);
    std::uint32_t allocEntry();

    std::uint32_t endTagLength(std::uint32_t i) const;
    std::string_view tagName(std::uint32_t i) const;      // as element name matching reads it
    std::string_view tokenTagName(std::uint32_t i) const; // up to a blank, "/" or ">"
    bool insert(std::uint32_t parentEl, std::uint32_t after, std::string_view name, std::string_view value,
                unsigned flags, std::uint32_t& added);
    void spliceText(std::size_t at, std::size_t replaced, std::string_view with);
    void shiftSubtree(std::uint32_t root, std::uint32_t delta);
    // After an edit inside `el` that changed the text length by delta (modulo 2^32): el and its
    // ancestors grow, everything behind the edit moves.
    void growFrom(std::uint32_t el, std::uint32_t delta);

    // Result log.
    bool logOpen() const { return resultLog16_ <= 999; }
    void addRecord(std::string_view name, std::initializer_list<std::pair<const char*, std::string>> attrs = {});
    std::string offset16(std::size_t byteOffset);
    void fileError(int error);
    // The file's bytes (byte-order mark included) in the encoding SaveFile writes; starts its result log.
    std::string encodeForSave();

    std::string text_;
    std::string resultLog_;
    std::size_t resultLog16_ = 0; // length of the log in UTF-16 units
    std::uint32_t parent_ = 0;
    std::uint32_t current_ = 0;
    std::uint32_t child_ = 0;
    std::uint32_t nextFree_ = 1;
    std::uint32_t docFlags_ = 0;
    ElementIndex index_;
    std::vector<OpenElement> open_; // the parser's stack, kept for its capacity
    XmlOpenNames openNames_;        // the names in open_, counted once an end tag matched none of them
    bool namesCounted_ = false;
    // UTF-16 units before every 4 KiB of the text, for offset16(); filled as far as records need.
    std::vector<std::size_t> u16Marks_;
};

} // namespace orva
