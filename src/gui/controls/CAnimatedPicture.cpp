#include "gui/controls/CAnimatedPicture.h"

#include "gui/controls/GifInfo.h"
#include "gui/controls/SkinFiles.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>

namespace orva {

CAnimatedPicture::CAnimatedPicture(QWidget* parent) : QWidget(parent) {
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &CAnimatedPicture::AdvanceFrame);
}

CAnimatedPicture::~CAnimatedPicture() {
    StopAnimation();
}

bool CAnimatedPicture::LoadFromResource(int id, const QString&) {
    const QString path = skin::SkinResourcePath(id);
    return !path.isEmpty() && LoadFromFile(path);
}

bool CAnimatedPicture::LoadFromFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    return LoadFromData(f.readAll());
}

int CAnimatedPicture::DisplayMs(int delayCs) {
    return delayCs > 4 ? delayCs * 10 : 100;
}

bool CAnimatedPicture::LoadFromData(const QByteArray& data) {
    Unload();
    QList<Frame> frames;
    QColor background = Qt::white;
    QSize size;
    if (const auto info = ScanGif(data); info && info->delaysCs.size() > 1) {
        QBuffer buffer;
        buffer.setData(data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "gif");
        for (int i = 0; i < info->delaysCs.size(); ++i) {
            QImage img = reader.read();
            if (img.isNull())
                break;
            frames.append({img, info->delaysCs[i]});
        }
        if (info->background)
            background = *info->background;
        size = info->screen;
    }
    if (frames.size() < 2) {
        // Not animated: one still picture, whatever its format.
        frames.clear();
        QImage img = QImage::fromData(data);
        if (img.isNull())
            return false;
        frames.append({img, 0});
        size = img.size();
        background = Qt::white;
    }
    frames_ = frames;
    background_ = background;
    pictureSize_ = size;
    current_ = 0;
    resize(size);
    update();
    return true;
}

void CAnimatedPicture::Unload() {
    StopAnimation();
    frames_.clear();
    pictureSize_ = QSize();
    current_ = 0;
    update();
}

void CAnimatedPicture::StartAnimation() {
    timer_.stop();
    current_ = 0;
    if (frames_.size() > 1)
        timer_.start(DisplayMs(frames_[0].delayCs));
    update();
}

void CAnimatedPicture::StopAnimation() {
    timer_.stop();
}

void CAnimatedPicture::AdvanceFrame() {
    if (frames_.isEmpty())
        return;
    // Past the last frame the picture starts again from a clean background (frame 0 is drawn on it).
    current_ = (current_ + 1) % int(frames_.size());
    const bool running = timer_.isActive() || sender() == &timer_;
    if (running && frames_.size() > 1)
        timer_.start(DisplayMs(frames_[current_].delayCs));
    update();
}

void CAnimatedPicture::paintEvent(QPaintEvent*) {
    if (frames_.isEmpty())
        return;
    QPainter p(this);
    p.fillRect(QRect(QPoint(0, 0), pictureSize_), background_);
    p.drawImage(0, 0, frames_[current_].image);
}

} // namespace orva
