#pragma once
// The core speaks UTF-8 std::string; widgets speak QString.
#include "app/TextTable.h"

#include <QString>

#include <string>

namespace orva {

inline QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// A control's caption from the text table: the selected language's, and the control's built-in Chinese
// caption while no language is selected (a `Language` the tool does not know selects none), so that a
// control set from the table unconditionally never ends up blank.
inline QString Caption(TextId id) {
    const std::string& selected = Text(id);
    return Q(selected.empty() ? ChineseText(id) : selected);
}

} // namespace orva
