#pragma once
// The core speaks UTF-8 std::string; widgets speak QString.
#include "core/app/TextTable.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <string>
#include <vector>

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

// A list control's column headings from the text table, as Caption gives a single caption: the
// selected language's, and the built-in Chinese ones while no language is selected.
inline QStringList Captions(TextId id) {
    const std::vector<std::string>& selected = TextList(id);
    const std::vector<std::string>& chinese = ChineseTextList(id);
    QStringList out;
    for (std::size_t i = 0; i < chinese.size(); ++i)
        out << Q(i < selected.size() && !selected[i].empty() ? selected[i] : chinese[i]);
    return out;
}

} // namespace orva
