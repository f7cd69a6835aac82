#pragma once
// Software-area codes reported by the gateway and the region each stands for. The names are Chinese in
// both languages.
#include <string>

namespace orva {

// The region of a code ("0".."9", "A".."V"); empty text for a code that is not in the table.
std::string RegionName(const std::string& code);

} // namespace orva
