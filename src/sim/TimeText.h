#pragma once
#include <string>

namespace orva::sim {

// The local time now as "YYYY-MM-DDTHH:MM:SS.mmm", for journals.
std::string LocalTimeText();

} // namespace orva::sim
