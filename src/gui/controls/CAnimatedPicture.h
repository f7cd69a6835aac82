#pragma once
// An animated GIF (or a still picture). The frames are decoded once; the animation runs on a timer of
// the UI thread: Qt widgets may only be painted from that thread, and a single-shot timer per frame gives
// the same pacing as a drawing thread without any locking, while stopping takes effect at once.
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QList>
#include <QTimer>
#include <QWidget>

namespace orva {

class CAnimatedPicture : public QWidget {
    Q_OBJECT
public:
    struct Frame {
        QImage image;    // the whole logical screen after this frame is drawn
        int delayCs = 0; // the frame's own delay in 1/100 s
    };

    explicit CAnimatedPicture(QWidget* parent = nullptr);
    ~CAnimatedPicture() override;

    // Loads the picture of a resource id from the skin (164 "Gif" is the busy picture).
    bool LoadFromResource(int id, const QString& type = QStringLiteral("Gif"));
    bool LoadFromFile(const QString& path);
    // GIF data ("GIF" at the start) is split into frames; anything else, or a GIF of one frame, is one
    // still picture. The control resizes itself to the picture's size.
    bool LoadFromData(const QByteArray& data);
    void Unload();

    // Starts (or restarts) the animation from the first frame; a still picture is just shown.
    void StartAnimation();
    void StopAnimation();
    bool IsAnimating() const { return timer_.isActive(); }

    int FrameCount() const { return int(frames_.size()); }
    int CurrentFrame() const { return current_; }
    const Frame& FrameAt(int i) const { return frames_.at(i); }
    QColor BackgroundColour() const { return background_; }
    QSize PictureSize() const { return pictureSize_; }
    // How long a frame stays: its delay x 10 ms when above 4/100 s, else 100 ms.
    static int DisplayMs(int delayCs);
    // The interval the running timer was started with (0 when not animating).
    int CurrentIntervalMs() const { return IsAnimating() ? timer_.interval() : 0; }

public slots:
    // Moves to the next frame (after the last, back to the first on the background) and re-arms the
    // timer with that frame's time. The timer calls it; tests may call it directly.
    void AdvanceFrame();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QList<Frame> frames_;
    QColor background_{Qt::white};
    QSize pictureSize_;
    int current_ = 0;
    QTimer timer_;
};

} // namespace orva
