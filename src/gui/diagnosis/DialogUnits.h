#pragma once
// The diagnosis page is laid out in dialog units, as its controls were first drawn; this turns them
// into pixels for the page's design width (497 units across 860 pixels).
#include <QRect>

namespace orva::dlu {

inline constexpr double kScale = 860.0 / 497.0;

inline int Px(int units) {
    return static_cast<int>(units * kScale + 0.5);
}

inline QRect Rect(int x, int y, int w, int h) {
    return QRect(Px(x), Px(y), Px(w), Px(h));
}

} // namespace orva::dlu
