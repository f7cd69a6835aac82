// Building: new elements and attributes are spliced into the text, then the index is corrected for
// the elements behind and above the splice.
#include "core/web/XmlDocument.h"

#include "core/web/XmlEntities.h"
#include "core/web/XmlTokenizer.h"

#include <limits>

namespace orva {

namespace {

constexpr std::size_t kMaxText = std::numeric_limits<std::int32_t>::max();

// A name that reads back as itself: it opens a start tag and holds no character that ends a name.
bool isWritableName(std::string_view name) {
    if (name.empty() || !xml_chars::startsName(static_cast<unsigned char>(name[0])))
        return false;
    for (char c : name)
        if (xml_chars::endsMatchName(static_cast<unsigned char>(c)))
            return false;
    return true;
}

std::string cdataValue(std::string_view value) {
    std::string out = "<![CDATA[";
    std::size_t from = 0;
    for (;;) {
        std::size_t at = value.find("]]>", from);
        if (at == std::string_view::npos) {
            out += value.substr(from);
            break;
        }
        out += value.substr(from, at - from);
        out += "]]]]><![CDATA[>";
        from = at + 3;
    }
    out += "]]>";
    return out;
}

} // namespace

bool XmlDocument::AddElement(std::string_view name, std::string_view value, unsigned flags) {
    std::uint32_t added = 0;
    if (!insert(parent_, current_, name, value, flags, added))
        return false;
    current_ = added;
    child_ = 0;
    return true;
}

bool XmlDocument::AddChildElement(std::string_view name, std::string_view value, unsigned flags) {
    if (current_ == 0)
        return false;
    std::uint32_t added = 0;
    if (!insert(current_, child_, name, value, flags, added))
        return false;
    child_ = added;
    return true;
}

bool XmlDocument::AddChildElement(std::string_view name, int value) {
    return AddChildElement(name, std::to_string(value));
}

void XmlDocument::spliceText(std::size_t at, std::size_t replaced, std::string_view with) {
    const std::size_t needed = text_.size() - replaced + with.size();
    if (text_.capacity() < needed)
        text_.reserve(needed + needed / 2 + 128);
    text_.replace(at, replaced, with);
}

void XmlDocument::shiftSubtree(std::uint32_t root, std::uint32_t delta) {
    std::uint32_t n = root;
    for (;;) {
        index_[n].start += delta;
        if (index_[n].firstChild != 0) {
            n = index_[n].firstChild;
            continue;
        }
        while (n != root && index_[n].next == 0)
            n = index_[n].parent;
        if (n == root)
            break;
        n = index_[n].next;
    }
}

void XmlDocument::growFrom(std::uint32_t el, std::uint32_t delta) {
    for (std::uint32_t a = el;; a = index_[a].parent) {
        index_[a].length += delta;
        if (a == 0)
            break;
        for (std::uint32_t s = index_[a].next; s != 0; s = index_[s].next)
            shiftSubtree(s, delta);
    }
}

bool XmlDocument::insert(std::uint32_t parentEl, std::uint32_t after, std::string_view name, std::string_view value,
                         unsigned flags, std::uint32_t& added) {
    if (!isWritableName(name))
        return false;
    if ((flags & AddNoEndTag) && !value.empty())
        return false;

    // The new element's markup.
    std::string markup;
    std::uint32_t startTag, endTag;
    markup.reserve(2 * name.size() + value.size() + 8);
    markup += '<';
    markup += name;
    if (!value.empty()) {
        markup += '>';
        startTag = static_cast<std::uint32_t>(markup.size());
        markup += (flags & AddCData) ? cdataValue(value) : EscapeElementValue(value, flags & AddKeepReferences);
        markup += "</";
        markup += name;
        markup += '>';
        endTag = static_cast<std::uint32_t>(name.size() + 3);
    } else {
        if (flags & AddNoEndTag)
            markup += '>';
        else
            markup += (flags & AddXhtmlSpace) ? " />" : "/>";
        startTag = static_cast<std::uint32_t>(markup.size());
        endTag = 0;
    }
    const std::string_view lineBreak = (flags & AddNoLineBreak) ? "" : "\r\n";

    // Where it goes, and what the parent's tags become.
    enum class Into { Plain, SelfClosingParent, UnendedParent, EmptyParent } into = Into::Plain;
    std::size_t at = 0;
    std::size_t replaced = 0;
    std::string insertion;
    std::size_t newStart = 0;
    std::string_view parentName;
    if (after != 0) {
        // On the line after `after`, before the next tag (or at the end of the text when only line
        // breaks follow, so that a last element still gets a line of its own).
        at = index_[after].end();
        std::size_t j = at;
        while (j < text_.size() && xml_chars::isSpace(static_cast<unsigned char>(text_[j])))
            ++j;
        if (j == text_.size() || text_[j] == '<')
            at = j;
    } else if (parentEl == 0) {
        at = text_.size();
    } else {
        const ElementEntry& p = index_[parentEl];
        if (p.isEmpty()) {
            parentName = tokenTagName(parentEl);
            if (!p.has(ElementEntry::kNoEndTag) && p.startTagLength >= 3 &&
                text_[p.start + p.startTagLength - 2] == '/') {
                into = Into::SelfClosingParent; // <P/> becomes <P> ... </P>
                at = p.start + p.startTagLength - 2;
                replaced = 1;
            } else {
                into = Into::UnendedParent; // a start tag without end tag gets one around the child
                at = p.start + p.startTagLength;
            }
        } else if (p.length - p.startTagLength - endTagLength(parentEl) == 0) {
            into = Into::EmptyParent;
            at = p.start + p.startTagLength;
        } else {
            at = p.end() - endTagLength(parentEl);
        }
    }
    switch (into) {
    case Into::Plain:
        insertion.append(markup).append(lineBreak);
        newStart = at;
        break;
    case Into::SelfClosingParent:
        insertion.append(">").append(lineBreak).append(markup).append(lineBreak).append("</").append(parentName);
        newStart = at + 1 + lineBreak.size();
        break;
    case Into::UnendedParent:
        insertion.append(lineBreak).append(markup).append(lineBreak).append("</").append(parentName).append(">");
        newStart = at + lineBreak.size();
        break;
    case Into::EmptyParent:
        insertion.append(lineBreak).append(markup).append(lineBreak);
        newStart = at + lineBreak.size();
        break;
    }
    if (text_.size() - replaced + insertion.size() > kMaxText)
        return false;

    // Commit: the parent's tags, the text, then the positions behind and above.
    if (into == Into::SelfClosingParent || into == Into::UnendedParent) {
        ElementEntry& p = index_[parentEl];
        if (into == Into::SelfClosingParent)
            p.startTagLength -= 1;
        p.clear(ElementEntry::kNoEndTag);
        p.setStoredEndTag(static_cast<std::uint32_t>(parentName.size() + 3));
    }
    const std::uint32_t delta = static_cast<std::uint32_t>(insertion.size() - replaced);
    spliceText(at, replaced, insertion);
    if (after != 0)
        for (std::uint32_t s = index_[after].next; s != 0; s = index_[s].next)
            shiftSubtree(s, delta);
    growFrom(parentEl, delta);

    // Link the new entry.
    const std::uint32_t idx = allocEntry();
    ElementEntry& e = index_[idx];
    e.start = static_cast<std::uint32_t>(newStart);
    e.length = static_cast<std::uint32_t>(markup.size());
    e.startTagLength = startTag;
    e.endTagAndFlags = 0;
    e.setStoredEndTag(endTag);
    if (flags & AddNoEndTag)
        e.set(ElementEntry::kNoEndTag);
    e.parent = parentEl;
    e.firstChild = 0;
    e.next = 0;
    if (after != 0) {
        e.next = index_[after].next;
        e.previous = after;
        index_[after].next = idx;
        if (e.next != 0)
            index_[e.next].previous = idx;
        else
            index_[index_[parentEl].firstChild].previous = idx;
    } else {
        ElementEntry& p = index_[parentEl];
        if (p.firstChild == 0) {
            p.firstChild = idx;
            e.previous = idx;
            e.set(ElementEntry::kFirstChild);
        } else {
            ElementEntry& first = index_[p.firstChild];
            e.previous = first.previous;
            index_[first.previous].next = idx;
            first.previous = idx;
        }
    }
    added = idx;
    return true;
}

namespace {

struct AttributeSpan {
    std::size_t nameBegin, nameEnd;   // offsets in the text
    std::size_t valueBegin, valueEnd; // equal when there is no value
    std::size_t end;                  // just after the value (and its closing quote)
};

// Calls f(span) for each attribute in the start tag [tagBegin, tagEnd) after its name; stops when f
// returns true.
template <class F> void forEachAttribute(const std::string& text, std::size_t nameEnd, std::size_t tagEnd, F f) {
    std::size_t i = nameEnd;
    const std::size_t limit = tagEnd - 1; // the closing ">"
    auto space = [&](std::size_t k) { return xml_chars::isSpace(static_cast<unsigned char>(text[k])); };
    while (i < limit) {
        while (i < limit && (space(i) || text[i] == '/'))
            ++i;
        if (i >= limit)
            break;
        AttributeSpan a{};
        a.nameBegin = i;
        while (i < limit && !space(i) && text[i] != '=' && text[i] != '/')
            ++i;
        a.nameEnd = i;
        std::size_t j = i;
        while (j < limit && space(j))
            ++j;
        a.valueBegin = a.valueEnd = i;
        if (j < limit && text[j] == '=') {
            ++j;
            while (j < limit && space(j))
                ++j;
            if (j < limit && (text[j] == '"' || text[j] == '\'')) {
                char q = text[j];
                std::size_t close = text.find(q, j + 1);
                if (close == std::string::npos || close >= limit)
                    close = limit;
                a.valueBegin = j + 1;
                a.valueEnd = close;
                i = std::min(close + 1, limit);
            } else {
                a.valueBegin = j;
                while (j < limit && !space(j))
                    ++j;
                a.valueEnd = j;
                i = j;
            }
        }
        a.end = i;
        if (a.nameEnd == a.nameBegin) {
            ++i; // a stray character such as "=": step over it
            continue;
        }
        if (f(a))
            return;
    }
}

} // namespace

std::string XmlDocument::GetAttribute(std::string_view name) const {
    if (current_ == 0 || name.empty())
        return {};
    const ElementEntry& e = index_[current_];
    std::string result;
    const std::size_t nameEnd = e.start + 1 + tokenTagName(current_).size();
    forEachAttribute(text_, nameEnd, e.start + e.startTagLength, [&](const AttributeSpan& a) {
        if (std::string_view(text_).substr(a.nameBegin, a.nameEnd - a.nameBegin) != name)
            return false;
        result = UnescapeText(std::string_view(text_).substr(a.valueBegin, a.valueEnd - a.valueBegin));
        return true;
    });
    return result;
}

bool XmlDocument::SetAttribute(std::string_view name, std::string_view value) {
    if (current_ == 0 || !isWritableName(name))
        return false;
    const ElementEntry& e = index_[current_];
    const std::size_t tagEnd = e.start + e.startTagLength;
    const std::size_t nameEnd = e.start + 1 + tokenTagName(current_).size();
    std::string written;
    written.append(name).append("=\"").append(EscapeAttributeValue(value)).append("\"");
    std::size_t at = 0, replaced = 0;
    bool found = false;
    forEachAttribute(text_, nameEnd, tagEnd, [&](const AttributeSpan& a) {
        if (std::string_view(text_).substr(a.nameBegin, a.nameEnd - a.nameBegin) != name)
            return false;
        at = a.nameBegin;
        replaced = a.end - a.nameBegin;
        found = true;
        return true;
    });
    if (!found) {
        written.insert(0, " ");
        at = tagEnd - 1;
        if (text_[at - 1] == '/' && (e.isEmpty() && !e.has(ElementEntry::kNoEndTag))) {
            --at;
            if (xml_chars::isSpace(static_cast<unsigned char>(text_[at - 1])))
                --at;
        }
    }
    if (text_.size() - replaced + written.size() > kMaxText)
        return false;
    const std::uint32_t delta = static_cast<std::uint32_t>(written.size() - replaced);
    spliceText(at, replaced, written);
    index_[current_].startTagLength += delta;
    for (std::uint32_t c = index_[current_].firstChild; c != 0; c = index_[c].next)
        shiftSubtree(c, delta);
    growFrom(current_, delta);
    return true;
}

} // namespace orva
