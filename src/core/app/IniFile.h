#pragma once
// Initialisation files (res/setting.ini, res/device.ini) with the rules technicians know from Windows:
// sections in [brackets], key=value lines, section and key names matched without regard to letter case,
// blanks around names and values ignored, one pair of enclosing quotes (' or ") dropped from a value.
// Files are UTF-8; a byte-order mark and CR LF line ends are accepted and kept when the file is written.
//
// Writing changes the file in place: an existing key's line is replaced, a new key goes to the end of its
// section, a new section to the end of the file; every other line, comment and blank line stays as it was.
// Where a section appears twice, the first one counts, for reading and writing alike.
#include "core/app/LeadingNumber.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orva {

// A value is read as text of at most this many characters (longer values are cut).
inline constexpr std::size_t kProfileValueMax = 999;

class IniFile {
public:
    // An empty document; save() creates the file at `path`.
    IniFile() = default;
    explicit IniFile(std::string path);

    // Reads the file; nullopt when it does not exist or cannot be read.
    static std::optional<IniFile> load(const std::string& path);
    // A document from text already in memory (save() needs a path: give one or use saveAs).
    static IniFile fromText(std::string_view text, std::string path = {});

    const std::string& path() const { return path_; }

    // The value of `key` in `section`, nullopt when either is missing. Names are trimmed before the lookup,
    // so "ReportURL " finds ReportURL.
    std::optional<std::string> find(std::string_view section, std::string_view key) const;
    std::string get(std::string_view section, std::string_view key, std::string_view defaultValue = {}) const;
    // The value's leading number (see LeadingInt/LeadingFloat); the default only when the key is missing.
    int getInt(std::string_view section, std::string_view key, int defaultValue) const;
    float getFloat(std::string_view section, std::string_view key, float defaultValue) const;

    bool hasSection(std::string_view section) const;
    bool hasKey(std::string_view section, std::string_view key) const;
    // Section names as written, in file order, each once.
    std::vector<std::string> sectionNames() const;
    // Key names of a section as written, in file order.
    std::vector<std::string> keys(std::string_view section) const;

    // Sets a value (see the file comment for where it goes). False, with nothing changed, for an empty
    // section or key name, a key with '=', a section with ']', or a line break anywhere: such text would
    // not read back as written.
    bool set(std::string_view section, std::string_view key, std::string_view value);
    // Removes a key's line, or a section with all its lines. False when there was nothing to remove.
    bool erase(std::string_view section, std::string_view key);
    bool eraseSection(std::string_view section);

    // The document as it would be written.
    std::string text() const;
    // Writes to path() (or `path`) through a temporary file renamed over the old one, so a failed write never
    // leaves half a file. False when it could not be written.
    bool save() const;
    bool saveAs(const std::string& path) const;

private:
    struct Block {
        std::size_t header; // index of the section line
        std::size_t end;    // one past its last line
    };
    std::optional<Block> findSection(std::string_view section) const;
    std::optional<std::size_t> findKey(const Block& block, std::string_view key) const;

    std::string path_;
    std::vector<std::string> lines_; // without line ends
    std::string eol_ = "\n";
    bool bom_ = false;
    bool finalEol_ = true;
};

// GetPrivateProfileString / WritePrivateProfileString on a file path. Reading a missing file gives the
// default; writing creates the file when needed. False when the write was refused or failed.
std::string ReadProfileString(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view defaultValue = {});
bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);

} // namespace orva
