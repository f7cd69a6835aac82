// A document as a service (or a damaged file) may send it: parsed, every element visited with the
// cursor, its name, text and attributes read, then looked up again by name.
#include "FuzzSupport.h"

#include "web/XmlDocument.h"

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

void CheckEntry(const orva::XmlDocument& doc, std::uint32_t i) {
    const orva::ElementEntry& e = doc.Entry(i);
    FUZZ_CHECK(e.startTagLength <= e.length);
    FUZZ_CHECK(std::size_t(e.start) + e.length <= doc.GetText().size());
    FUZZ_CHECK(doc.GetText()[e.start] == '<');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(orva::fuzz::AsText(data, size));
    orva::XmlDocument doc;
    const bool wellFormed = doc.Parse(input);
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
            if (doc.Entry(current).firstChild != 0)
                FUZZ_CHECK(text.empty());
            const orva::ElementEntry& e = doc.Entry(current);
            for (const auto& attribute :
                 AttributeNamesIn(std::string_view(doc.GetText()).substr(e.start, e.startTagLength)))
                (void)doc.GetAttribute(attribute);
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
    return 0;
}
