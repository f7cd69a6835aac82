#pragma once
// What the animation needs from a GIF's block structure that the image reader does not tell reliably:
// the logical screen size, the background colour and each frame's own delay.
#include <QByteArray>
#include <QColor>
#include <QList>
#include <QSize>

#include <optional>

namespace orva {

struct GifInfo {
    QSize screen;
    std::optional<QColor> background; // from the global colour table, when the file has one
    QList<int> delaysCs;              // one per image, in 1/100 s
};

// Walks the blocks of GIF data; nullopt when it does not start with "GIF" or is cut short before the
// first image. Trailing damage after complete images ends the walk with what was found.
std::optional<GifInfo> ScanGif(const QByteArray& data);

} // namespace orva
