#pragma once
// Base64 with the standard alphabet and '=' padding, no line breaks (RFC 4648 section 4).
#include <string>
#include <string_view>

namespace orva {

std::string Base64Encode(std::string_view bytes);
// Strict decoding: the text must be a non-empty multiple of 4 characters from the alphabet, with
// padding only at the end. On failure `out` is left as it was and the result is false.
bool Base64Decode(std::string_view text, std::string& out);

} // namespace orva
