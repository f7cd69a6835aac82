// A settings file as a technician's editor (or a damaged disk) may leave it: read from a file, every
// key read in each form, then a value written back in place and read again, with every other value
// left as it was.
#include "FuzzSupport.h"

#include "core/app/IniFile.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <optional>
#include <utility>

namespace {

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

// UTF-8 characters: every byte that does not continue a sequence.
std::size_t Characters(const std::string& s) {
    return std::size_t(std::count_if(s.begin(), s.end(), [](unsigned char c) { return (c & 0xC0) != 0x80; }));
}

using Values = std::map<std::pair<std::string, std::string>, std::optional<std::string>>;

// The values of the first few keys of the first few sections, as the reader sees them.
Values ReadSome(const orva::IniFile& ini) {
    Values values;
    const auto sections = ini.sectionNames();
    for (std::size_t s = 0; s < sections.size() && s < 6; ++s) {
        const auto keys = ini.keys(sections[s]);
        for (std::size_t k = 0; k < keys.size() && k < 8; ++k)
            values[{sections[s], keys[k]}] = ini.find(sections[s], keys[k]);
    }
    return values;
}

// After setting (section, key), every other key still reads as before.
void CheckOthersKept(const Values& before, const orva::IniFile& after, const std::string& section,
                     const std::string& key) {
    for (const auto& [where, value] : before) {
        if (Lower(where.first) == Lower(section) && Lower(where.second) == Lower(key))
            continue;
        FUZZ_CHECK(after.find(where.first, where.second) == value);
    }
}

void SetAndReadBack(const orva::IniFile& original, const Values& before, const std::string& section,
                    const std::string& key, const std::string& path) {
    const std::string value = "written value";
    orva::IniFile ini = original;
    if (!ini.set(section, key, value))
        return;
    FUZZ_CHECK(ini.find(section, key) == value);
    const orva::IniFile reread = orva::IniFile::fromText(ini.text());
    FUZZ_CHECK(reread.find(section, key) == value);
    CheckOthersKept(before, reread, section, key);
    FUZZ_CHECK(ini.saveAs(path));
    const auto loaded = orva::IniFile::load(path);
    FUZZ_CHECK(loaded && loaded->find(section, key) == value);
    // The file holds exactly the document's text. (Reading it back may still differ in a stray CR at
    // a line end, which the reader drops like any other line-end CR.)
    FUZZ_CHECK(orva::fuzz::ReadBytes(path) == ini.text());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& dir = orva::fuzz::ScratchDir();
    const std::string path = dir + "setting.ini";
    const std::string copy = dir + "written.ini";
    if (!orva::fuzz::WriteBytes(path, orva::fuzz::AsText(data, size)))
        return 0;

    const auto loaded = orva::IniFile::load(path);
    FUZZ_CHECK(loaded.has_value());
    const orva::IniFile& ini = *loaded;
    // Reading the file and reading the same bytes from memory agree.
    FUZZ_CHECK(orva::IniFile::fromText(orva::fuzz::AsText(data, size)).text() == ini.text());

    const Values before = ReadSome(ini);
    for (const auto& [where, value] : before) {
        FUZZ_CHECK(value.has_value());
        FUZZ_CHECK(Characters(*value) <= orva::kProfileValueMax);
        FUZZ_CHECK(ini.hasSection(where.first) && ini.hasKey(where.first, where.second));
        (void)ini.getInt(where.first, where.second, -1);
        (void)ini.getFloat(where.first, where.second, -1.0f);
    }
    // The profile function reads the file the same way.
    if (!before.empty()) {
        const auto& [where, value] = *before.begin();
        FUZZ_CHECK(orva::ReadProfileString(path, where.first, where.second, "default") == *value);
    }

    // The keys the tool itself reads, whatever the file holds.
    (void)ini.getInt("Setting", "RunNet", 1);
    (void)ini.get("Setting", "ReportURL");
    (void)ini.getFloat("Setting", "HttpTimeout", 30.0f);

    // Writing: an existing key in place, a new key into an existing section, a new section.
    if (!before.empty()) {
        const auto& first = before.begin()->first;
        SetAndReadBack(ini, before, first.first, first.second, copy);
        SetAndReadBack(ini, before, first.first, "FuzzNewKey", copy);
        const auto& last = before.rbegin()->first;
        SetAndReadBack(ini, before, last.first, last.second, copy);
    }
    SetAndReadBack(ini, before, "Setting", "Timeout", copy);
    SetAndReadBack(ini, before, "FuzzNewSection", "Key", copy);

    // The profile functions on the file itself.
    if (orva::WriteProfileString(path, "Setting", "Language", "English"))
        FUZZ_CHECK(orva::ReadProfileString(path, "Setting", "Language") == "English");
    return 0;
}
