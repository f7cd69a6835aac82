#pragma once
// The element index of an XmlDocument: one 32-byte record per element, addressed by a 32-bit index.
// Entries live in segments of 65,536 so that a large index grows without moving what it holds; only
// the last, partly used segment is ever reallocated.
//
// The nesting level is not stored: it follows from the parent links, and keeping it would mean
// rewriting whole subtrees when the children of an element without end tag move out. That frees
// the flag word to hold a 27-bit end tag length; the start tag length has a word of its own, so no
// tag is ever too long for its field (an end tag past 27 bits is measured again from the text).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace orva {

struct ElementEntry {
    // Bits of endTagAndFlags above the end tag length.
    static constexpr std::uint32_t kEndTagMask = 0x07FFFFFF;
    // An end tag too long for the field: its length is found again from the text.
    static constexpr std::uint32_t kEndTagLong = kEndTagMask;
    static constexpr std::uint32_t kFirstChild = 1u << 27;
    static constexpr std::uint32_t kNoEndTag = 1u << 28;
    static constexpr std::uint32_t kMarkupError = 1u << 29; // on the innermost open element
    static constexpr std::uint32_t kIllFormed = 1u << 30;   // on entry 0 only
    static constexpr std::uint32_t kFree = 1u << 31;

    std::uint32_t start;          // byte offset of the "<" of the start tag
    std::uint32_t length;         // start tag through end tag, or the start tag alone
    std::uint32_t startTagLength; // "<" through ">" (or "/>")
    std::uint32_t endTagAndFlags; // low 27 bits end tag length (0 = none), high 5 bits flags
    std::uint32_t parent;         // 0 for a top-level element
    std::uint32_t firstChild;     // 0 when none
    std::uint32_t next;           // next sibling, 0 for the last
    std::uint32_t previous;       // previous sibling; the first child's points at the last (a ring)

    std::uint32_t flags() const { return endTagAndFlags & ~kEndTagMask; }
    bool has(std::uint32_t flag) const { return (endTagAndFlags & flag) != 0; }
    void set(std::uint32_t flag) { endTagAndFlags |= flag; }
    void clear(std::uint32_t flag) { endTagAndFlags &= ~flag; }
    std::uint32_t storedEndTag() const { return endTagAndFlags & kEndTagMask; }
    void setStoredEndTag(std::uint32_t len) {
        endTagAndFlags = (endTagAndFlags & ~kEndTagMask) | (len < kEndTagLong ? len : kEndTagLong);
    }
    std::uint32_t end() const { return start + length; }
    bool isEmpty() const { return startTagLength == length; }
};
static_assert(sizeof(ElementEntry) == 32);

class ElementIndex {
public:
    static constexpr unsigned kSegmentBits = 16;
    static constexpr std::uint32_t kSegmentSize = 1u << kSegmentBits;

    ElementEntry& operator[](std::uint32_t i) { return segments_[i >> kSegmentBits][i & (kSegmentSize - 1)]; }
    const ElementEntry& operator[](std::uint32_t i) const {
        return segments_[i >> kSegmentBits][i & (kSegmentSize - 1)];
    }

    std::size_t capacity() const { return capacity_; }
    // Makes room for at least n entries; entries already held keep their contents.
    void reserve(std::size_t n);
    // Drops every segment.
    void release();

private:
    std::vector<std::unique_ptr<ElementEntry[]>> segments_;
    std::uint32_t lastSegmentCapacity_ = 0;
    std::size_t capacity_ = 0;
};

} // namespace orva
