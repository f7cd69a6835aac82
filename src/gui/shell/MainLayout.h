#pragma once
// The main window's geometry: its size from the header image and the screen, and where each page sits
// in the area below the header. Coordinates are client coordinates with exclusive right and bottom.
#include "gui/shell/PageId.h"

#include <QRect>
#include <QSize>

namespace orva {

inline constexpr int kHeaderHeight = 120; // the page area starts below the header
inline constexpr int kPageMargin = 20;    // kept free right of and below every page
inline constexpr int kMaxWindowHeight = 756;
inline constexpr int kDiagnosisDesignWidth = 860;
inline constexpr int kNavButtonTop = 30;

// Width of the header image; the screen's height, at most 756 pixels.
QSize MainWindowSize(int headerWidth, int screenHeight);

// The rectangle of a page inside a client area of `clientSize`.
QRect PageRect(PageId id, QSize clientSize, int headerWidth, QSize pageSize);

// Close and minimise buttons, measured from the right edge.
QRect CloseButtonRect(int clientWidth);
QRect MinimiseButtonRect(int clientWidth);

} // namespace orva
