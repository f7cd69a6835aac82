#pragma once
// A label drawn on a transparent background in its own text colour, 4 pixels in from the left and
// vertically centred, in the parent's font.
#include <QLabel>

namespace orva {

class CLabelEx : public QLabel {
    Q_OBJECT
public:
    explicit CLabelEx(QWidget* parent = nullptr);
    explicit CLabelEx(const QString& text, QWidget* parent = nullptr);

    // colour as 0x00BBGGRR; the default is black.
    void SetTextColour(quint32 colorRef);
    void SetTextColour(const QColor& colour);
    QColor TextColour() const { return colour_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor colour_{Qt::black};
};

} // namespace orva
