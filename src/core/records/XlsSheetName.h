#pragma once
// What makes a sheet name one that spreadsheet programs open: 1 to 31 characters, none of
// : \ / ? * [ ] or a control character, no apostrophe at either end. Names compare without regard to
// ASCII case there, so "Sheet1" and "SHEET1" cannot both be in one workbook.
#include <cstddef>
#include <string>

namespace orva {

constexpr std::size_t MaxSheetNameUnits = 31;

bool IsValidSheetName(const std::string& name);
// True when the names are equal with ASCII letters compared case-insensitively.
bool SameSheetName(const std::string& a, const std::string& b);
// A valid name made from `wanted`: forbidden characters and malformed bytes become '_', an apostrophe
// at either end too, and the name is cut to 31 characters; an empty result gives `fallback`.
std::string MakeSheetName(const std::string& wanted, const std::string& fallback = "Sheet1");
// `base` cut so that `suffix` still fits behind it, then the suffix: "Name (2)".
std::string SheetNameWithSuffix(const std::string& base, const std::string& suffix);

} // namespace orva
