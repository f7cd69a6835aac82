#pragma once
// What the two maintenance pages share in their look: the background, their design sizes (the dialog
// templates' 575 x 353 and 499 x 366 dialog units at 1.5 x 1.625 pixels per unit) and the skin paths.
#include "gui/controls/SkinFiles.h"

#include <QColor>
#include <QSize>
#include <QString>

namespace orva::maintenance_page {

inline const QColor kBackground{240, 240, 240};
inline constexpr QSize kResetDesignSize{862, 574};
inline constexpr QSize kImgUpdateDesignSize{748, 595};

// res/common/<name> under the program directory.
inline QString SkinFile(const char* name) {
    return skin::SkinPath(QString::fromUtf8(name));
}

} // namespace orva::maintenance_page
