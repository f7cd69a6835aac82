#pragma once
// The core speaks UTF-8 std::string; widgets speak QString.
#include <QString>

#include <string>

namespace orva {

inline QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace orva
