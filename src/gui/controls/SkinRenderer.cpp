#include "gui/controls/SkinRenderer.h"

#include "gui/controls/GifWriter.h"
#include "gui/controls/SkinFiles.h"

#include <QDir>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <functional>

namespace orva::skin {

namespace {

// One palette for the whole tool: a blue-grey header, a light page area, one accent.
const QColor kHeaderTop(0x3A, 0x57, 0x73);
const QColor kHeaderBottom(0x26, 0x3E, 0x57);
const QColor kHeaderLine(0x1C, 0x30, 0x45);
const QColor kPage(0xF0, 0xF0, 0xF0);
const QColor kInk(0x26, 0x3E, 0x57);
const QColor kButtonTop(0x5B, 0x7A, 0x99);
const QColor kButtonBottom(0x46, 0x63, 0x7F);
const QColor kButtonBorder(0x34, 0x50, 0x6A);
const QColor kAccent(0x73, 0x8A, 0xAE);
const QColor kMuted(0x9A, 0xA8, 0xB6);
const QColor kFieldTint(0xE4, 0xEA, 0xF0);
const QColor kLoginTop(0x2B, 0x47, 0x63);
const QColor kLoginBottom(0x1A, 0x2E, 0x45);

QFont skinFont(int pixelSize, bool bold) {
    QFont f;
    f.setFamilies(
        {QStringLiteral("Noto Sans CJK SC"), QStringLiteral("Noto Sans CJK JP"), QStringLiteral("DejaVu Sans")});
    f.setPixelSize(pixelSize);
    f.setBold(bold);
    f.setHintingPreference(QFont::PreferFullHinting);
    return f;
}

void text(QPainter& p, const QRect& r, const QString& s, int px, bool bold, const QColor& c,
          Qt::Alignment align = Qt::AlignCenter) {
    p.setFont(skinFont(px, bold));
    p.setPen(c);
    p.drawText(r, int(align) | Qt::TextSingleLine, s);
}

// A label in both languages: the Chinese name above, the English one below.
void twoLines(QPainter& p, const QRect& r, const QString& zh, const QString& en, int zhPx, int enPx,
              const QColor& zhColour, const QColor& enColour) {
    const int zhH = QFontMetrics(skinFont(zhPx, true)).height();
    const int enH = QFontMetrics(skinFont(enPx, false)).height();
    const int top = r.top() + (r.height() - zhH - enH + 2) / 2;
    text(p, QRect(r.left(), top, r.width(), zhH), zh, zhPx, true, zhColour);
    text(p, QRect(r.left(), top + zhH - 2, r.width(), enH), en, enPx, false, enColour);
}

QImage blank(QSize size) {
    QImage img(size, QImage::Format_ARGB32_Premultiplied);
    img.fill(Qt::transparent);
    return img;
}

// Five pictures side by side: normal, mouse over, pressed, selected, inactive.
using StateFn = std::function<void(QPainter&, const QRect&, int state)>;
QImage strip(QSize whole, const StateFn& draw) {
    QImage img = blank(whole);
    const int w = whole.width() / 5;
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    for (int s = 0; s < 5; ++s) {
        p.save();
        p.setClipRect(QRect(s * w, 0, w, whole.height()));
        draw(p, QRect(s * w, 0, w, whole.height()), s);
        p.restore();
    }
    return img;
}

QImage navButton(QSize whole, const QString& zh, const QString& en) {
    return strip(whole, [&](QPainter& p, const QRect& r, int s) {
        const QRectF face = QRectF(r).adjusted(3, 4, -3, 0);
        QPainterPath tab;
        tab.addRoundedRect(face.adjusted(0, 0, 0, 8), 6, 6); // rounded at the top only
        QColor zhColour = Qt::white;
        QColor enColour(0xD0, 0xDC, 0xE8);
        int shift = 0;
        switch (s) {
        case 1:
            p.fillPath(tab, QColor(255, 255, 255, 46));
            break;
        case 2:
            p.fillPath(tab, QColor(0, 0, 0, 70));
            shift = 1;
            break;
        case 3:
            p.fillPath(tab, kPage);
            zhColour = kInk;
            enColour = kButtonBottom;
            break;
        case 4:
            zhColour = kMuted;
            enColour = kMuted;
            break;
        default:
            break;
        }
        twoLines(p, r.adjusted(shift, 4 + shift, shift, shift), zh, en, 17, 12, zhColour, enColour);
    });
}

QImage pageButton(QSize whole, const QString& zh, const QString& en) {
    return strip(whole, [&](QPainter& p, const QRect& r, int s) {
        const QRectF face = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
        QLinearGradient g(face.topLeft(), face.bottomLeft());
        QColor border = kButtonBorder;
        QColor zhColour = Qt::white;
        QColor enColour(0xDC, 0xE6, 0xF0);
        int shift = 0;
        switch (s) {
        case 0:
            g.setColorAt(0, kButtonTop);
            g.setColorAt(1, kButtonBottom);
            break;
        case 1:
            g.setColorAt(0, kButtonTop.lighter(125));
            g.setColorAt(1, kButtonTop);
            break;
        case 2:
            g.setColorAt(0, kButtonBottom.darker(130));
            g.setColorAt(1, kButtonBottom);
            shift = 1;
            break;
        case 3:
            g.setColorAt(0, Qt::white);
            g.setColorAt(1, kPage);
            border = kButtonBottom;
            zhColour = kInk;
            enColour = kButtonBottom;
            break;
        default:
            g.setColorAt(0, QColor(0xC4, 0xCB, 0xD2));
            g.setColorAt(1, QColor(0xB0, 0xB8, 0xC0));
            border = QColor(0x9C, 0xA5, 0xAE);
            zhColour = QColor(0xF2, 0xF4, 0xF6);
            enColour = zhColour;
            break;
        }
        p.setPen(border);
        p.setBrush(g);
        p.drawRoundedRect(face, 4, 4);
        twoLines(p, r.adjusted(shift, shift, shift, shift), zh, en, 13, 10, zhColour, enColour);
    });
}

// The corner buttons: a cross or a bar on the header.
QImage cornerButton(QSize whole, bool cross) {
    return strip(whole, [&](QPainter& p, const QRect& r, int s) {
        const QRectF box = QRectF(r).adjusted(0.5, 0.5, -0.5, -0.5);
        QColor ink = Qt::white;
        if (s == 1)
            p.fillRect(box, cross ? QColor(0xD9, 0x53, 0x4F) : QColor(255, 255, 255, 60));
        if (s == 2)
            p.fillRect(box, cross ? QColor(0xA9, 0x34, 0x30) : QColor(0, 0, 0, 80));
        if (s == 4)
            ink = kMuted;
        p.setPen(QPen(ink, 2.0, Qt::SolidLine, Qt::RoundCap));
        const QRectF g = QRectF(r).adjusted(4.5, 4.5, -4.5, -4.5);
        if (cross) {
            p.drawLine(g.topLeft(), g.bottomRight());
            p.drawLine(g.topRight(), g.bottomLeft());
        } else {
            p.drawLine(QPointF(g.left(), g.bottom()), QPointF(g.right(), g.bottom()));
        }
    });
}

QImage header(QSize size) {
    QImage img = blank(size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, size.height());
    g.setColorAt(0, kHeaderTop);
    g.setColorAt(1, kHeaderBottom);
    p.fillRect(img.rect(), g);
    p.fillRect(QRect(0, size.height() - 1, size.width(), 1), kHeaderLine);
    text(p, QRect(14, 4, 260, 24), QStringLiteral("Velmar终端诊断工具"), 16, true, Qt::white,
         Qt::AlignLeft | Qt::AlignVCenter);
    text(p, QRect(200, 4, 400, 24), QStringLiteral("EPON Gateway Diagnostic Tool"), 12, false, QColor(0xC5, 0xD3, 0xE0),
         Qt::AlignLeft | Qt::AlignVCenter);
    return img;
}

QColor loginGradientAt(int y, int height) {
    const double t = double(y) / std::max(1, height - 1);
    auto mix = [t](int a, int b) { return int(a + (b - a) * t + 0.5); };
    return QColor(mix(kLoginTop.red(), kLoginBottom.red()), mix(kLoginTop.green(), kLoginBottom.green()),
                  mix(kLoginTop.blue(), kLoginBottom.blue()));
}

QImage loginBackground(QSize size) {
    QImage img = blank(size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, size.height() - 1);
    g.setColorAt(0, kLoginTop);
    g.setColorAt(1, kLoginBottom);
    p.fillRect(img.rect(), g);
    p.setPen(QColor(255, 255, 255, 40));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(img.rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    text(p, QRect(0, 44, size.width(), 32), QStringLiteral("Velmar终端诊断工具"), 22, true, Qt::white);
    text(p, QRect(0, 80, size.width(), 20), QStringLiteral("EPON Gateway Diagnostic Tool"), 13, false,
         QColor(0xC5, 0xD3, 0xE0));
    p.fillRect(QRect(80, 116, size.width() - 160, 1), QColor(255, 255, 255, 60));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 255, 255, 14));
    p.drawRoundedRect(QRectF(64, 138, size.width() - 128, 186), 8, 8);  // around the fields, x 95..380
    return img;
}

QImage aboutBackground(QSize size) {
    QImage img = blank(size);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(img.rect(), Qt::white);
    QLinearGradient g(0, 0, 0, 96);
    g.setColorAt(0, kHeaderTop);
    g.setColorAt(1, kHeaderBottom);
    p.fillRect(QRect(0, 0, size.width(), 96), g);
    p.setPen(QColor(0xC8, 0xD0, 0xD8));
    p.drawRect(QRectF(img.rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    text(p, QRect(0, 18, size.width(), 34), QStringLiteral("Velmar终端诊断工具"), 24, true, Qt::white);
    text(p, QRect(0, 56, size.width(), 22), QStringLiteral("EPON Gateway Diagnostic Tool"), 14, false,
         QColor(0xC5, 0xD3, 0xE0));
    const QStringList lines = {
        QStringLiteral("EPON 家庭网关的诊断与维护"),
        QStringLiteral("Diagnosis and maintenance of EPON home gateways"),
        QString(),
        QStringLiteral("故障诊断 · 恢复出厂设置 · 升级镜像 · 系统配置 · 查看日志"),
        QStringLiteral("Diagnosis · Factory reset · Image upgrade · Configuration · Logs"),
    };
    int y = 130;
    for (const QString& line : lines) {
        text(p, QRect(0, y, size.width(), 26), line, 15, false, kInk);
        y += 30;
    }
    p.fillRect(QRect(60, size.height() - 70, size.width() - 120, 1), kFieldTint);
    return img;
}

// 100 x 8: a light block sliding along a dark track, on the login background's colour there.
QByteArray busyGif(QSize size) {
    const QColor background = loginGradientAt(266, 340);
    const QList<QColor> palette = {background, QColor(0x34, 0x50, 0x6A), QColor(0x8F, 0xB3, 0xD9),
                                   QColor(0xCF, 0xE3, 0xF7)};
    const int w = size.width();
    const int h = size.height();
    const int frames = 12;
    const int block = 24;
    QList<GifFrame> out;
    for (int f = 0; f < frames; ++f) {
        GifFrame frame;
        frame.delayCs = 8;
        frame.indices.resize(w * h);
        const int start = -block + f * (w + block) / frames;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                quint8 idx = (y >= 2 && y < h - 2) ? 1 : 0;
                if (y >= 1 && y < h - 1 && x >= start && x < start + block)
                    idx = (x - start >= block / 3 && x - start < 2 * block / 3) ? 3 : 2;
                frame.indices[y * w + x] = idx;
            }
        }
        out.append(frame);
    }
    return EncodeGif(w, h, palette, out, 0);
}

QImage comboPiece(int id, QSize size) {
    QImage img = blank(size);
    QPainter p(&img);
    const int w = size.width();
    const int h = size.height();
    switch (id) {
    case kComboFaceLeftId:
        p.fillRect(img.rect(), Qt::white);
        p.fillRect(QRect(0, 1, w, 2), kFieldTint);
        p.fillRect(QRect(0, h - 3, w, 2), kFieldTint);
        p.fillRect(QRect(1, 0, w - 1, 1), kButtonBorder);
        p.fillRect(QRect(1, h - 1, w - 1, 1), kButtonBorder);
        p.fillRect(QRect(0, 1, 1, h - 2), kButtonBorder);
        break;
    case kComboFaceMiddleId:
        p.fillRect(img.rect(), Qt::white);
        p.fillRect(QRect(0, 1, w, 2), kFieldTint);
        p.fillRect(QRect(0, h - 3, w, 2), kFieldTint);
        p.fillRect(QRect(0, 0, w, 1), kButtonBorder);
        p.fillRect(QRect(0, h - 1, w, 1), kButtonBorder);
        break;
    case kComboFaceRightId: {
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient g(0, 0, 0, h);
        g.setColorAt(0, kButtonTop);
        g.setColorAt(1, kButtonBottom);
        p.fillRect(QRect(0, 0, w, h), g);
        p.fillRect(QRect(0, 0, w - 1, 1), kButtonBorder);
        p.fillRect(QRect(0, h - 1, w - 1, 1), kButtonBorder);
        p.fillRect(QRect(w - 1, 1, 1, h - 2), kButtonBorder);
        p.fillRect(QRect(0, 0, 1, h), kButtonBorder);
        QPainterPath arrow;
        const double cx = w / 2.0;
        const double cy = h / 2.0;
        arrow.moveTo(cx - 4.5, cy - 2);
        arrow.lineTo(cx + 4.5, cy - 2);
        arrow.lineTo(cx, cy + 3);
        arrow.closeSubpath();
        p.fillPath(arrow, Qt::white);
        break;
    }
    case kComboListLeftId:
        p.fillRect(QRect(0, 0, 1, h), kButtonBorder);
        p.fillRect(QRect(1, 0, w - 1, h), kFieldTint);
        break;
    case kComboListRightId:
        p.fillRect(QRect(0, 0, w - 1, h), kFieldTint);
        p.fillRect(QRect(w - 1, 0, 1, h), kButtonBorder);
        break;
    case kComboListTopId:
        p.fillRect(QRect(0, 0, w, 1), kButtonBorder);
        p.fillRect(QRect(0, 1, w, h - 1), kFieldTint);
        break;
    case kComboListBottomId:
        p.fillRect(QRect(0, 0, w, h - 1), kFieldTint);
        p.fillRect(QRect(0, h - 1, w, 1), kButtonBorder);
        break;
    default:
        break;
    }
    return img;
}

struct Label {
    const char* file;
    const char* zh;
    const char* en;
};

const Label kNavLabels[] = {
    {kNavDiagnosis, "故障诊断", "Diagnosis"},
    {kNavReset, "恢复出厂设置", "Factory reset"},
    {kNavImageUpdate, "升级镜像", "Image upgrade"},
    {kNavConfig, "系统配置", "Configuration"},
    {kNavLogQuery, "查看日志", "Logs"},
    {kNavAbout, "关于", "About"},
};

const Label kButtonLabels[] = {
    {kLoginOk, "登录", "Log in"},
    {kLoginCancel, "取消", "Cancel"},
    {kConfigOk, "确定", "OK"},
    {kConfigAdd, "添加", "Add"},
    {kConfigRemove, "移除", "Remove"},
    {kDiagStart, "开始诊断", "Start"},
    {kDiagStop, "结束诊断", "Stop"},
    {kCurrentLog, "当前诊断日志", "Current log"},
    {kAllLogs, "全部诊断日志", "All logs"},
    {kResetStart, "开始恢复", "Restore"},
    {kImageBrowse, "浏览", "Browse"},
    {kImageTransfer, "传输", "Transfer"},
    {kImageCancel, "取消", "Cancel"},
};

} // namespace

bool RenderSkin(const QString& dir, QString* error) {
    auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (!QDir().mkpath(dir))
        return fail(QStringLiteral("cannot create %1").arg(dir));
    const QDir out(dir);
    for (const SkinFile& f : SkinFiles()) {
        const QString path = out.filePath(f.name);
        if (f.name.endsWith(QLatin1String(".gif"))) {
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(busyGif(f.size)) < 0)
                return fail(QStringLiteral("cannot write %1").arg(path));
            continue;
        }
        QImage img;
        const QByteArray name = f.name.toUtf8();
        if (name == kTop)
            img = header(f.size);
        else if (name == kClose)
            img = cornerButton(f.size, true);
        else if (name == kMinimise)
            img = cornerButton(f.size, false);
        else if (name == kLoginBackground)
            img = loginBackground(f.size);
        else if (name == kAboutBackground)
            img = aboutBackground(f.size);
        for (const Label& l : kNavLabels)
            if (name == l.file)
                img = navButton(f.size, QString::fromUtf8(l.zh), QString::fromUtf8(l.en));
        for (const Label& l : kButtonLabels)
            if (name == l.file)
                img = pageButton(f.size, QString::fromUtf8(l.zh), QString::fromUtf8(l.en));
        for (int id : {kComboFaceLeftId, kComboFaceRightId, kComboFaceMiddleId, kComboListLeftId, kComboListRightId,
                       kComboListTopId, kComboListBottomId})
            if (f.name == SkinResourceFile(id))
                img = comboPiece(id, f.size);
        if (img.isNull())
            return fail(QStringLiteral("no picture for %1").arg(f.name));
        if (!img.save(path, "PNG"))
            return fail(QStringLiteral("cannot write %1").arg(path));
    }
    return true;
}

} // namespace orva::skin
