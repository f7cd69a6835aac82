#pragma once
// Helpers shared by the XmlDocument suites.
#include "core/web/XmlDocument.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orva::test {

// The element tree of a document as a flat pre-order list, with each element's geometry and links
// expressed so that two documents can be compared: index numbers differ between a built and a parsed
// document, positions in the text must not.
struct ElementShape {
    std::uint32_t start, length, startTag, endTag, flags;
    int depth, childCount;
    bool operator==(const ElementShape&) const = default;
};

inline std::vector<ElementShape> Shape(const XmlDocument& doc) {
    std::vector<ElementShape> out;
    const std::uint32_t flagMask = ElementEntry::kFirstChild | ElementEntry::kNoEndTag;
    std::vector<std::pair<std::uint32_t, int>> todo;
    for (std::uint32_t c = doc.Entry(0).firstChild; c; c = doc.Entry(c).next)
        todo.emplace_back(c, 0);
    std::reverse(todo.begin(), todo.end());
    while (!todo.empty()) {
        auto [i, depth] = todo.back();
        todo.pop_back();
        const ElementEntry& e = doc.Entry(i);
        std::vector<std::pair<std::uint32_t, int>> kids;
        for (std::uint32_t c = e.firstChild; c; c = doc.Entry(c).next)
            kids.emplace_back(c, depth + 1);
        out.push_back({e.start, e.length, e.startTagLength, e.storedEndTag(), e.flags() & flagMask, depth,
                       static_cast<int>(kids.size())});
        todo.insert(todo.end(), kids.rbegin(), kids.rend());
    }
    return out;
}

// Checks the links every index must keep: parents, the previous ring, children inside their parent.
inline void ExpectConsistentLinks(const XmlDocument& doc) {
    std::vector<std::uint32_t> todo{0};
    while (!todo.empty()) {
        std::uint32_t p = todo.back();
        todo.pop_back();
        const ElementEntry& pe = doc.Entry(p);
        std::uint32_t first = pe.firstChild, last = 0;
        for (std::uint32_t c = first; c; c = doc.Entry(c).next) {
            const ElementEntry& ce = doc.Entry(c);
            EXPECT_EQ(ce.parent, p) << "element at " << ce.start;
            EXPECT_EQ(ce.has(ElementEntry::kFirstChild), c == first) << "element at " << ce.start;
            if (c != first) {
                EXPECT_EQ(ce.previous, last) << "element at " << ce.start;
            }
            if (p != 0) {
                EXPECT_GE(ce.start, pe.start + pe.startTagLength);
                EXPECT_LE(ce.end(), pe.end());
            }
            EXPECT_LE(ce.end(), doc.GetText().size());
            last = c;
            todo.push_back(c);
        }
        if (first) {
            EXPECT_EQ(doc.Entry(first).previous, last);
        }
    }
    EXPECT_EQ(doc.Entry(0).length, doc.GetText().size());
}

// A document built or edited through the API must index exactly as a fresh parse of its text.
inline void ExpectIndexMatchesReparse(const XmlDocument& doc) {
    ExpectConsistentLinks(doc);
    XmlDocument again;
    again.Parse(doc.GetText());
    EXPECT_EQ(Shape(doc), Shape(again)) << doc.GetText();
}

} // namespace orva::test
