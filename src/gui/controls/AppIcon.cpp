#include "gui/controls/AppIcon.h"

#include "core/app/ProgramDirectory.h"

#include <QDir>
#include <QFileInfo>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace orva::skin {

const QList<int>& AppIconSizes() {
    static const QList<int> sizes = {16, 22, 24, 32, 48, 64, 128, 256};
    return sizes;
}

QImage RenderAppIcon(int size) {
    QImage img(size, size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    // Everything is laid out on a 256-unit square and scaled, so the small sizes are the big one shrunk;
    // the smallest ones get a thicker outline to stay readable.
    p.scale(size / 256.0, size / 256.0);
    const qreal line = size <= 24 ? 14 : size <= 48 ? 10 : 7;

    QPainterPath tile;
    tile.addRoundedRect(QRectF(8, 8, 240, 240), 44, 44);
    QLinearGradient back(0, 8, 0, 248);
    back.setColorAt(0, QColor(0x3A, 0x57, 0x73));
    back.setColorAt(1, QColor(0x1C, 0x30, 0x45));
    p.fillPath(tile, back);

    // The gateway: a box with two antennas and a row of lights.
    const QColor body(0xF0, 0xF4, 0xF8);
    p.setPen(QPen(body, line, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(84, 120), QPointF(64, 56));
    p.drawLine(QPointF(172, 120), QPointF(192, 56));
    QPainterPath box;
    box.addRoundedRect(QRectF(40, 120, 176, 76), 18, 18);
    p.fillPath(box, body);
    const QColor lights[] = {QColor(0x3C, 0xC8, 0x6E), QColor(0x3C, 0xC8, 0x6E), QColor(0xF2, 0xB1, 0x34),
                             QColor(0x73, 0x8A, 0xAE)};
    p.setPen(Qt::NoPen);
    for (int i = 0; i < 4; ++i) {
        p.setBrush(lights[i]);
        p.drawEllipse(QPointF(76 + i * 35, 158), 13, 13);
    }
    return img;
}

bool RenderAppIcons(const QString& dir, QString* error) {
    if (!QDir().mkpath(dir)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(dir);
        return false;
    }
    for (int size : AppIconSizes()) {
        const QString path = QDir(dir).filePath(QStringLiteral("orva-%1.png").arg(size));
        if (!RenderAppIcon(size).save(path, "PNG")) {
            if (error)
                *error = QStringLiteral("cannot write %1").arg(path);
            return false;
        }
    }
    return true;
}

QString AppIconFolder() {
    return QString::fromStdString(SkinDirectory()) + QStringLiteral("icons/");
}

QIcon ApplicationIcon() {
    QIcon icon;
    for (int size : AppIconSizes()) {
        const QString path = AppIconFolder() + QStringLiteral("orva-%1.png").arg(size);
        if (QFileInfo::exists(path))
            icon.addFile(path, QSize(size, size));
    }
    if (icon.isNull())
        icon = QIcon::fromTheme(QStringLiteral("orva"));
    return icon;
}

} // namespace orva::skin
