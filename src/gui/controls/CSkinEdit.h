#pragma once
// An edit box with two colour schemes, one while it has the keyboard focus and one without. The three
// values of a scheme colour the text, the background and the border, in that order (0x00BBGGRR).
#include <QLineEdit>

namespace orva {

class CSkinEdit : public QLineEdit {
    Q_OBJECT
public:
    struct Scheme {
        QColor text, background, border;
    };

    explicit CSkinEdit(QWidget* parent = nullptr);

    void SetNoFocusColor(quint32 text, quint32 background, quint32 border);
    void SetFocusColor(quint32 text, quint32 background, quint32 border);
    Scheme NoFocusScheme() const { return noFocus_; }
    Scheme FocusScheme() const { return focus_; }
    // The scheme in force now (the focus scheme while the box has the focus).
    Scheme CurrentScheme() const { return focused_ ? focus_ : noFocus_; }

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void applyScheme();

    Scheme noFocus_{QColor(Qt::black), QColor(Qt::white), QColor(Qt::gray)};
    Scheme focus_{QColor(Qt::black), QColor(Qt::white), QColor(Qt::darkGray)};
    bool focused_ = false;
};

} // namespace orva
