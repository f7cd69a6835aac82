#include "core/records/XlsSheetName.h"

#include "core/records/XlsText.h"

#include <cstdint>

namespace orva {

namespace {

bool IsForbidden(char16_t unit) {
    switch (unit) {
    case ':':
    case '\\':
    case '/':
    case '?':
    case '*':
    case '[':
    case ']':
    case 0xFFFD: // a malformed byte in the name
        return true;
    default:
        return unit < 0x20 || unit == 0x7F;
    }
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool IsValidSheetName(const std::string& name) {
    const std::u16string units = Utf8ToUtf16(name);
    if (units.empty() || units.size() > MaxSheetNameUnits)
        return false;
    if (units.front() == '\'' || units.back() == '\'')
        return false;
    for (const char16_t unit : units)
        if (IsForbidden(unit))
            return false;
    return true;
}

bool SameSheetName(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    return true;
}

std::string MakeSheetName(const std::string& wanted, const std::string& fallback) {
    std::u16string units = Utf8ToUtf16(wanted);
    for (char16_t& unit : units)
        if (IsForbidden(unit))
            unit = '_';
    units.resize(Utf16CutLength(units, MaxSheetNameUnits));
    if (!units.empty() && units.front() == '\'')
        units.front() = '_';
    if (!units.empty() && units.back() == '\'')
        units.back() = '_';
    return units.empty() ? fallback : Utf16ToUtf8(units);
}

std::string SheetNameWithSuffix(const std::string& base, const std::string& suffix) {
    const std::u16string tail = Utf8ToUtf16(suffix);
    std::u16string units = Utf8ToUtf16(MakeSheetName(base));
    const std::size_t room = tail.size() < MaxSheetNameUnits ? MaxSheetNameUnits - tail.size() : 0;
    units.resize(Utf16CutLength(units, room));
    return MakeSheetName(Utf16ToUtf8(units) + suffix);
}

} // namespace orva
