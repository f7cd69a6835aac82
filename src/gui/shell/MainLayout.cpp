#include "gui/shell/MainLayout.h"

#include <algorithm>

namespace orva {

namespace {

QRect FromEdges(int left, int top, int right, int bottom) {
    return QRect(QPoint(left, top), QSize(right - left, bottom - top));
}

} // namespace

QSize MainWindowSize(int headerWidth, int screenHeight) {
    return QSize(headerWidth, std::min(screenHeight, kMaxWindowHeight));
}

QRect PageRect(PageId id, QSize clientSize, int headerWidth, QSize pageSize) {
    const int right = clientSize.width() - kPageMargin;
    const int bottom = clientSize.height() - kPageMargin;
    if (id == PageId::Diagnosis)
        return FromEdges((headerWidth - kDiagnosisDesignWidth) / 2, kHeaderHeight, right, bottom);
    int left = (clientSize.width() - pageSize.width()) / 2;
    const int top = kHeaderHeight + (clientSize.height() - pageSize.height() - kHeaderHeight) / 2;
    if (id != PageId::Reset)
        left += 20;
    return FromEdges(left, top, right, bottom);
}

QRect CloseButtonRect(int clientWidth) {
    return FromEdges(clientWidth - 32, 11, clientWidth - 16, 27);
}

QRect MinimiseButtonRect(int clientWidth) {
    return FromEdges(clientWidth - 56, 16, clientWidth - 40, 32);
}

} // namespace orva
