#include "core/app/LeadingNumber.h"

#include <climits>
#include <cstdlib>
#include <locale.h>

namespace orva {
namespace {

locale_t CLocale() {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    return c;
}

} // namespace

int LeadingInt(const std::string& text) {
    const long v = strtol_l(text.c_str(), nullptr, 10, CLocale());
    if (v > INT_MAX)
        return INT_MAX;
    if (v < INT_MIN)
        return INT_MIN;
    return static_cast<int>(v);
}

float LeadingFloat(const std::string& text) {
    return strtof_l(text.c_str(), nullptr, CLocale());
}

} // namespace orva
