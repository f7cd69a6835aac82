#pragma once
// MD5 (RFC 1321) as the login file stores it: 32 lower-case hexadecimal digits.
#include <string>
#include <string_view>

namespace orva {

// Digest of the bytes exactly as given.
std::string Md5Hex(std::string_view bytes);

} // namespace orva
