#include "core/app/IniFile.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <locale.h>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace orva {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t\r\v\f";

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    const auto last = s.find_last_not_of(kBlanks);
    return s.substr(first, last - first + 1);
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

enum class LineKind { Other, Section, Key };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name;  // section or key name, trimmed
    std::string_view value; // key value, trimmed, quotes kept
};

ParsedLine Parse(std::string_view line) {
    ParsedLine p;
    const std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';')
        return p;
    if (t.front() == '[') {
        std::string_view inner = t.substr(1);
        const auto close = inner.find(']');
        if (close != std::string_view::npos)
            inner = inner.substr(0, close);
        p.kind = LineKind::Section;
        p.name = Trim(inner);
        return p;
    }
    const auto eq = t.find('=');
    if (eq == std::string_view::npos)
        return p;
    p.name = Trim(t.substr(0, eq));
    if (p.name.empty())
        return p;
    p.kind = LineKind::Key;
    p.value = Trim(t.substr(eq + 1));
    return p;
}

// What a reader gets for a stored value: one pair of enclosing quotes dropped, cut to the maximum length
// without splitting a UTF-8 sequence.
std::string ReadValue(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        v = v.substr(1, v.size() - 2);
    std::size_t chars = 0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if ((static_cast<unsigned char>(v[i]) & 0xC0) != 0x80) {
            if (chars == kProfileValueMax)
                return std::string(v.substr(0, i));
            ++chars;
        }
    }
    return std::string(v);
}

bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

} // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) {}

std::optional<IniFile> IniFile::load(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream s;
    s << in.rdbuf();
    if (in.bad())
        return std::nullopt;
    return fromText(s.str(), path);
}

IniFile IniFile::fromText(std::string_view text, std::string path) {
    IniFile f(std::move(path));
    if (text.substr(0, kBom.size()) == kBom) {
        f.bom_ = true;
        text.remove_prefix(kBom.size());
    }
    const auto firstLf = text.find('\n');
    if (firstLf != std::string_view::npos && firstLf > 0 && text[firstLf - 1] == '\r')
        f.eol_ = "\r\n";
    f.finalEol_ = text.empty() || text.back() == '\n';
    std::size_t pos = 0;
    while (pos < text.size()) {
        auto lf = text.find('\n', pos);
        if (lf == std::string_view::npos)
            lf = text.size();
        std::string_view line = text.substr(pos, lf - pos);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        f.lines_.emplace_back(line);
        pos = lf + 1;
    }
    return f;
}

std::optional<IniFile::Block> IniFile::findSection(std::string_view section) const {
    section = Trim(section);
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const ParsedLine p = Parse(lines_[i]);
        if (p.kind != LineKind::Section || !SameName(p.name, section))
            continue;
        std::size_t end = i + 1;
        while (end < lines_.size() && Parse(lines_[end]).kind != LineKind::Section)
            ++end;
        return Block{i, end};
    }
    return std::nullopt;
}

std::optional<std::size_t> IniFile::findKey(const Block& block, std::string_view key) const {
    key = Trim(key);
    for (std::size_t i = block.header + 1; i < block.end; ++i) {
        const ParsedLine p = Parse(lines_[i]);
        if (p.kind == LineKind::Key && SameName(p.name, key))
            return i;
    }
    return std::nullopt;
}

std::optional<std::string> IniFile::find(std::string_view section, std::string_view key) const {
    const auto block = findSection(section);
    if (!block)
        return std::nullopt;
    const auto line = findKey(*block, key);
    if (!line)
        return std::nullopt;
    return ReadValue(Parse(lines_[*line]).value);
}

std::string IniFile::get(std::string_view section, std::string_view key, std::string_view defaultValue) const {
    auto v = find(section, key);
    return v ? std::move(*v) : std::string(defaultValue);
}

int IniFile::getInt(std::string_view section, std::string_view key, int defaultValue) const {
    const auto v = find(section, key);
    return v ? LeadingInt(*v) : defaultValue;
}

float IniFile::getFloat(std::string_view section, std::string_view key, float defaultValue) const {
    const auto v = find(section, key);
    return v ? LeadingFloat(*v) : defaultValue;
}

bool IniFile::hasSection(std::string_view section) const {
    return findSection(section).has_value();
}

bool IniFile::hasKey(std::string_view section, std::string_view key) const {
    return find(section, key).has_value();
}

std::vector<std::string> IniFile::sectionNames() const {
    std::vector<std::string> names;
    for (const auto& line : lines_) {
        const ParsedLine p = Parse(line);
        if (p.kind != LineKind::Section)
            continue;
        bool seen = false;
        for (const auto& n : names)
            seen = seen || SameName(n, p.name);
        if (!seen)
            names.emplace_back(p.name);
    }
    return names;
}

std::vector<std::string> IniFile::keys(std::string_view section) const {
    std::vector<std::string> names;
    const auto block = findSection(section);
    if (!block)
        return names;
    for (std::size_t i = block->header + 1; i < block->end; ++i) {
        const ParsedLine p = Parse(lines_[i]);
        if (p.kind == LineKind::Key)
            names.emplace_back(p.name);
    }
    return names;
}

bool IniFile::set(std::string_view section, std::string_view key, std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    if (section.empty() || key.empty() || HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value) ||
        key.find('=') != std::string_view::npos || key.front() == '[' || key.front() == ';' ||
        section.find(']') != std::string_view::npos)
        return false;

    const auto block = findSection(section);
    if (!block) {
        lines_.push_back("[" + std::string(section) + "]");
        lines_.push_back(std::string(key) + "=" + std::string(value));
        finalEol_ = true;
        return true;
    }
    if (const auto line = findKey(*block, key)) {
        // Keep the key as the file spells it; only the value changes.
        lines_[*line] = std::string(Parse(lines_[*line]).name) + "=" + std::string(value);
        return true;
    }
    // After the section's last non-blank line, so blank lines that separate it from the next one stay there.
    std::size_t at = block->end;
    while (at > block->header + 1 && Trim(lines_[at - 1]).empty())
        --at;
    if (at == lines_.size())
        finalEol_ = true;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::string(key) + "=" + std::string(value));
    return true;
}

bool IniFile::erase(std::string_view section, std::string_view key) {
    const auto block = findSection(section);
    if (!block)
        return false;
    const auto line = findKey(*block, key);
    if (!line)
        return false;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*line));
    return true;
}

bool IniFile::eraseSection(std::string_view section) {
    const auto block = findSection(section);
    if (!block)
        return false;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(block->header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(block->end));
    return true;
}

std::string IniFile::text() const {
    std::string out;
    if (bom_)
        out += kBom;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        out += lines_[i];
        if (i + 1 < lines_.size() || finalEol_)
            out += eol_;
    }
    return out;
}

bool IniFile::save() const {
    return saveAs(path_);
}

bool IniFile::saveAs(const std::string& path) const {
    if (path.empty())
        return false;
    const std::string bytes = text();
    std::string temp = path + ".XXXXXX";
    const int fd = mkstemp(temp.data());
    if (fd < 0)
        return false;
    struct stat st {};
    const mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    (void)fchmod(fd, mode); // a mode we cannot set is no reason to lose the write
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        if (ok)
            done += static_cast<std::size_t>(n);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && std::rename(temp.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(temp.c_str());
    return false;
}

std::string ReadProfileString(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view defaultValue) {
    const auto file = IniFile::load(path);
    return file ? file->get(section, key, defaultValue) : std::string(defaultValue);
}

bool WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
    auto file = IniFile::load(path);
    IniFile doc = file ? std::move(*file) : IniFile(path);
    return doc.set(section, key, value) && doc.save();
}

} // namespace orva
