#pragma once
// A small GIF89a encoder (LZW-compressed, one global colour table, looping): Qt reads GIF but does not
// write it, and the busy picture is an animated GIF.
#include <QByteArray>
#include <QColor>
#include <QList>
#include <QVector>

namespace orva::skin {

struct GifFrame {
    QVector<quint8> indices; // width * height palette indices, row by row
    int delayCs = 10;        // 1/100 s
};

// palette: 2..256 colours (padded to a power of two); backgroundIndex names the background colour.
QByteArray EncodeGif(int width, int height, const QList<QColor>& palette, const QList<GifFrame>& frames,
                     int backgroundIndex = 0);

} // namespace orva::skin
