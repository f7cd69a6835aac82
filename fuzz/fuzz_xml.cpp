// A document as a service (or a damaged file) may send it: parsed, every element visited with the
// cursor, its name, text and attributes read, then looked up again by name.
#include "FuzzSupport.h"

#include "core/web/XmlDocument.h"

#include <string>
#include <vector>

namespace {

// The attribute names written in a start tag, found the simple way: every run of name characters
// directly before an "=".
std::vector<std::string> AttributeNamesIn(std::string_view tag) {
    std::vector<std::string> names;
    for (std::size_t eq = tag.find('='); eq != std::string_view::npos; eq = tag.find('=', eq + 1)) {
        std::size_t end = eq;
        while (end > 0 && (tag[end - 1] == ' ' || tag[end - 1] == '\t'))
            --end;
        std::size_t begin = end;
        while (begin > 0 && tag[begin - 1] != ' ' && tag[begin - 1] != '\t' && tag[begin - 1] != '<' &&
               tag[begin - 1] != '"' && tag[begin - 1] != '\'')
            --begin;
        if (begin < end && names.size() < 8)
            names.emplace_back(tag.substr(begin, end - begin));
    }
    return names;
}

bool ValidUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const unsigned char c = s[i];
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (n == 0 || i + n > s.size())
            return false;
        std::uint32_t cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
        for (std::size_t k = 1; k < n; ++k) {
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        }
        const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n;
    }
    return true;
}

void CheckEntry(const orva::XmlDocument& doc, std::uint32_t i) {
    const orva::ElementEntry& e = doc.Entry(i);
    FUZZ_CHECK(e.startTagLength <= e.length);
    FUZZ_CHECK(std::size_t(e.start) + e.length <= doc.GetText().size());
    FUZZ_CHECK(doc.GetText()[e.start] == '<');
}

// Where every element lies, in document order, as the cursor meets them.
struct Placed {
    std::string name;
    std::uint32_t start, length, startTagLength, depth;
    bool operator==(const Placed&) const = default;
};

std::vector<Placed> Outline(orva::XmlDocument& doc) {
    std::vector<Placed> out;
    std::uint32_t depth = 0;
    doc.ResetPosition();
    for (;;) {
        if (doc.FindElement()) {
            FUZZ_CHECK(out.size() < doc.EntryCount());
            CheckEntry(doc, doc.CursorCurrent());
            const orva::ElementEntry& e = doc.Entry(doc.CursorCurrent());
            out.push_back({doc.GetTagName(), e.start, e.length, e.startTagLength, depth});
            doc.EnterElement();
            ++depth;
        } else if (depth == 0 || !doc.LeaveElement()) {
            break;
        } else {
            --depth;
        }
    }
    doc.ResetPosition();
    return out;
}

// Edits any document the way the offline list is edited after a login, damaged or not: whatever
// the repairs made of it, every element the cursor can reach still lies inside the text.
void EditAnyway(const std::string& input) {
    orva::XmlDocument doc;
    doc.Parse(input);
    if (doc.FindElement()) {
        FUZZ_CHECK(doc.EnterElement());
        doc.FindElement();
        FUZZ_CHECK(doc.AddElement("OrvaAfter", "v&"));
        FUZZ_CHECK(doc.LeaveElement());
        FUZZ_CHECK(doc.AddChildElement("OrvaChild", 7));
    }
    doc.ResetPosition();
    FUZZ_CHECK(doc.AddElement("OrvaTop", "<w>"));
    FUZZ_CHECK(doc.GetElementText() == "<w>");
    Outline(doc);
}

// Edits a well-formed document through the cursor and checks that the index kept up to date by the
// edit describes the new text exactly as a fresh parse of it does.
void CheckEdits(const std::string& input) {
    const std::string value = "a<b&c>\"d'e";
    orva::XmlDocument doc;
    doc.Parse(input);
    FUZZ_CHECK(doc.FindElement());
    // Only a root with a plain start tag ("<name>" or "<name/>") is edited: the lenient scanner reads
    // stray quotes, slashes or "=" in a tag in ways an edit of that tag cannot keep.
    const orva::ElementEntry& root = doc.Entry(doc.CursorCurrent());
    const std::string_view tag = std::string_view(doc.GetText()).substr(root.start, root.startTagLength);
    const std::string name = doc.GetTagName();
    if (tag != "<" + name + ">" && tag != "<" + name + "/>")
        return;
    FUZZ_CHECK(doc.SetAttribute("orva", value));
    FUZZ_CHECK(doc.GetAttribute("orva") == value);
    FUZZ_CHECK(doc.AddChildElement("OrvaAdded", value));
    FUZZ_CHECK(doc.EnterElement());
    FUZZ_CHECK(doc.GetElementText() == value);
    FUZZ_CHECK(doc.AddElement("OrvaNumber"));
    FUZZ_CHECK(doc.AddChildElement("Inner", 42));

    orva::XmlDocument fresh;
    FUZZ_CHECK(fresh.Parse(doc.GetText()));
    FUZZ_CHECK(Outline(doc) == Outline(fresh));
    FUZZ_CHECK(fresh.FindElement() && fresh.GetAttribute("orva") == value);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(orva::fuzz::AsText(data, size));
    orva::XmlDocument doc;
    const bool wellFormed = doc.Parse(input);
    // References are replaced by real characters only, so valid UTF-8 in gives valid UTF-8 out.
    const bool utf8 = ValidUtf8(input);
    FUZZ_CHECK(doc.GetText() == input);
    FUZZ_CHECK(doc.IsWellFormed() == wellFormed);

    std::vector<std::string> names;
    std::uint32_t visited = 0;
    int depth = 0;
    doc.ResetPosition();
    for (;;) {
        if (doc.FindElement()) {
            const std::uint32_t current = doc.CursorCurrent();
            // Each element is met once; meeting more than the index holds means its links form a loop.
            FUZZ_CHECK(++visited < doc.EntryCount());
            FUZZ_CHECK(current != 0 && current < doc.EntryCount());
            FUZZ_CHECK(doc.Entry(current).parent == doc.CursorParent());
            CheckEntry(doc, current);
            const std::string name = doc.GetTagName();
            if (depth == 0 && names.size() < 64)
                names.push_back(name);
            const std::string text = doc.GetElementText();
            if (utf8)
                FUZZ_CHECK(ValidUtf8(text));
            if (doc.Entry(current).firstChild != 0)
                FUZZ_CHECK(text.empty());
            const orva::ElementEntry& e = doc.Entry(current);
            for (const auto& attribute :
                 AttributeNamesIn(std::string_view(doc.GetText()).substr(e.start, e.startTagLength)))
                if (utf8)
                    FUZZ_CHECK(ValidUtf8(doc.GetAttribute(attribute)));
            (void)doc.GetAttribute("id");
            (void)doc.GetAttribute("");
            FUZZ_CHECK(doc.EnterElement());
            ++depth;
        } else {
            if (depth == 0)
                break;
            FUZZ_CHECK(doc.LeaveElement());
            --depth;
        }
    }
    FUZZ_CHECK(!doc.LeaveElement());
    FUZZ_CHECK(doc.GetTagName().empty() || doc.CursorCurrent() != 0);

    // Every top-level name read above is found again by name. A name holding one of the characters
    // that end a name in a lookup ("a[2]", "a b") asks for a shorter name and is left out.
    for (const auto& name : names) {
        doc.ResetPosition();
        if (!name.empty() && name[0] != '/' && name.find_first_of(" =/[]") == std::string::npos) {
            FUZZ_CHECK(doc.FindElement(name));
            FUZZ_CHECK(doc.GetTagName() == name);
        }
    }

    // Parsing the same text again gives the same index.
    orva::XmlDocument twice;
    FUZZ_CHECK(twice.Parse(input) == wellFormed);
    FUZZ_CHECK(twice.EntryCount() == doc.EntryCount());

    if (wellFormed)
        CheckEdits(input);
    EditAnyway(input);
    return 0;
}
