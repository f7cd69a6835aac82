#pragma once
// Numbers read from settings files and stored rows, the way atoi and atof read them, whatever the
// process locale says (Qt switches it at start-up).
#include <string>

namespace orva {

// The text's leading decimal integer: leading white space skipped, an optional sign, then digits; 0 when
// the text does not start with a number ("20x" is 20, "abc" is 0). Out-of-range values are clamped to
// the int range.
int LeadingInt(const std::string& text);
// The text's leading floating-point number in single precision, '.' as the decimal point; 0 when there
// is none, an infinity beyond the float range.
float LeadingFloat(const std::string& text);

} // namespace orva
