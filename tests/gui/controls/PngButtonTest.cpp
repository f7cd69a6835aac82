#include "gui/controls/CPngButton.h"

#include <QApplication>
#include <QEnterEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using orva::CPngButton;

namespace {

// A 500 x 40 strip whose five pictures are solid colours, so any pixel tells which one is shown.
const QColor kSlice[5] = {QColor(200, 0, 0), QColor(0, 200, 0), QColor(0, 0, 200), QColor(200, 200, 0),
                          QColor(0, 200, 200)};

QPixmap makeStrip(int sliceW = 100, int h = 40) {
    QImage img(5 * sliceW, h, QImage::Format_RGB32);
    QPainter p(&img);
    for (int i = 0; i < 5; ++i)
        p.fillRect(i * sliceW, 0, sliceW, h, kSlice[i]);
    return QPixmap::fromImage(img);
}

void hover(QWidget* w, bool in) {
    if (in) {
        QEnterEvent e(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
        QApplication::sendEvent(w, &e);
    } else {
        QEvent e(QEvent::Leave);
        QApplication::sendEvent(w, &e);
    }
}

// The colour the button shows, checked at its corners and centre: all must agree.
QColor shownColour(CPngButton& b) {
    const QImage img = b.grab().toImage();
    const QColor c = img.pixelColor(1, 1);
    for (QPoint pt : {QPoint(img.width() - 2, 1), QPoint(img.width() / 2, img.height() / 2),
                      QPoint(1, img.height() - 2), QPoint(img.width() - 2, img.height() - 2)})
        if (img.pixelColor(pt) != c)
            return QColor();
    return c;
}

class PngButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        parent.resize(300, 100);
        button = new CPngButton(&parent);
        button->move(7, 9);
        ASSERT_TRUE(button->SetPngImage(makeStrip()));
    }
    QWidget parent;
    CPngButton* button = nullptr;
};

TEST_F(PngButtonTest, StripOfFiveBecomesOnePictureKeepingPosition) {
    EXPECT_EQ(button->size(), QSize(100, 40));
    EXPECT_EQ(button->PictureSize(), QSize(100, 40));
    EXPECT_EQ(button->pos(), QPoint(7, 9));
    EXPECT_EQ(shownColour(*button), kSlice[0]);
}

struct StateCase {
    const char* name;
    bool selected, inactive, hovered, pressed;
    CPngButton::Picture expected;
};

class PngButtonStateTest : public PngButtonTest, public ::testing::WithParamInterface<StateCase> {};

TEST_P(PngButtonStateTest, ShowsTheSliceOfItsState) {
    const StateCase& c = GetParam();
    button->SetSelected(c.selected);
    button->SetInactive(c.inactive);
    if (c.hovered)
        hover(button, true);
    if (c.pressed)
        QTest::mousePress(button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(button->CurrentPicture(), c.expected);
    EXPECT_EQ(shownColour(*button), kSlice[c.expected]);
    EXPECT_EQ(button->grab().toImage().convertToFormat(QImage::Format_RGB32),
              button->PictureOf(c.expected).toImage().convertToFormat(QImage::Format_RGB32));
    if (c.pressed)
        QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(10, 10));
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, PngButtonStateTest,
    ::testing::Values(StateCase{"Idle", false, false, false, false, CPngButton::Normal},
                      StateCase{"MouseOver", false, false, true, false, CPngButton::Hover},
                      StateCase{"Pressed", false, false, true, true, CPngButton::Pressed},
                      StateCase{"Selected", true, false, false, false, CPngButton::Selected},
                      StateCase{"SelectedUnderMouseShowsHover", true, false, true, false, CPngButton::Hover},
                      StateCase{"SelectedPressed", true, false, true, true, CPngButton::Pressed},
                      StateCase{"Inactive", false, true, false, false, CPngButton::Inactive},
                      StateCase{"InactiveWinsOverEverything", true, true, true, true, CPngButton::Inactive}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PngButtonTest, LeavingEndsMouseOver) {
    hover(button, true);
    EXPECT_EQ(shownColour(*button), kSlice[CPngButton::Hover]);
    hover(button, false);
    EXPECT_FALSE(button->IsHover());
    EXPECT_EQ(shownColour(*button), kSlice[CPngButton::Normal]);
}

TEST_F(PngButtonTest, ClickEmitsAndDoubleClickCountsAsAnotherPress) {
    QSignalSpy clicks(button, &QAbstractButton::clicked);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(clicks.count(), 1);

    // What the platform delivers for a double click: press, release, double click, release.
    const QPointF at(10, 10);
    auto send = [&](QEvent::Type type, Qt::MouseButtons buttons) {
        QMouseEvent e(type, at, button->mapToGlobal(at), Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(button, &e);
    };
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    send(QEvent::MouseButtonDblClick, Qt::LeftButton);
    EXPECT_EQ(button->CurrentPicture(), CPngButton::Pressed);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    EXPECT_EQ(clicks.count(), 3);
}

TEST_F(PngButtonTest, DisabledButtonDoesNotClick) {
    QSignalSpy clicks(button, &QAbstractButton::clicked);
    button->setEnabled(false);
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_EQ(clicks.count(), 0);
}

TEST(PngButtonFileTest, LoadsFromFileTakesToolTipOnceAndRefusesMissingFiles) {
    QTemporaryDir dir;
    const QString a = dir.filePath("a.png");
    const QString b = dir.filePath("b.png");
    ASSERT_TRUE(makeStrip(20, 10).save(a));
    ASSERT_TRUE(makeStrip(30, 12).save(b));

    CPngButton button(QStringLiteral("确定"));
    EXPECT_FALSE(button.SetPngFile(dir.filePath("missing.png")));
    EXPECT_FALSE(button.HasImage());
    ASSERT_TRUE(button.SetPngFile(a));
    EXPECT_EQ(button.size(), QSize(20, 10));
    EXPECT_EQ(button.toolTip(), QStringLiteral("确定"));

    button.setText(QStringLiteral("other"));
    ASSERT_TRUE(button.SetPngFile(b)); // a new strip replaces the old one; the tool tip stays
    EXPECT_EQ(button.size(), QSize(30, 12));
    EXPECT_EQ(button.toolTip(), QStringLiteral("确定"));
}

TEST(PngButtonFileTest, TextIsDrawnCentredInBlack) {
    CPngButton button(QStringLiteral("WWW"));
    QFont f = button.font();
    f.setPixelSize(16);
    f.setBold(true);
    button.setFont(f);
    ASSERT_TRUE(button.SetPngImage(makeStrip(120, 40)));
    const QImage img = button.grab().toImage();
    bool black = false;
    for (int x = 40; x < 80; ++x)
        black = black || img.pixelColor(x, 20) == QColor(0, 0, 0);
    EXPECT_TRUE(black);
    EXPECT_EQ(img.pixelColor(2, 2), kSlice[0]);
    EXPECT_EQ(img.pixelColor(117, 37), kSlice[0]);
}

} // namespace
