#include "gui/controls/CLabelEx.h"
#include "gui/controls/CSkinEdit.h"
#include "gui/controls/ColorRef.h"

#include <QApplication>
#include <QFocusEvent>

#include <gtest/gtest.h>

using namespace orva;

namespace {

struct ColourCase {
    quint32 ref;
    QColor colour;
};

class ColorRefTest : public ::testing::TestWithParam<ColourCase> {};

TEST_P(ColorRefTest, RedIsTheLowByte) {
    EXPECT_EQ(FromColorRef(GetParam().ref), GetParam().colour);
    EXPECT_EQ(ToColorRef(GetParam().colour), GetParam().ref);
}

INSTANTIATE_TEST_SUITE_P(Values, ColorRefTest,
                         ::testing::Values(ColourCase{0xFFFFFF, QColor(255, 255, 255)},
                                           ColourCase{0x0000FF, QColor(255, 0, 0)},
                                           ColourCase{0xFF0000, QColor(0, 0, 255)},
                                           ColourCase{0xAE8A73, QColor(0x73, 0x8A, 0xAE)},
                                           ColourCase{0x311A08, QColor(0x08, 0x1A, 0x31)}));

class LabelExColourTest : public ::testing::TestWithParam<quint32> {};

// A label on a green parent: its text comes out in exactly the colour given, everything around the
// text shows the parent, and the text starts 4 pixels in.
TEST_P(LabelExColourTest, DrawsTextInItsColourOnTheParentsBackground) {
    const QColor parentColour(10, 160, 10);
    QWidget parent;
    parent.resize(200, 40);
    parent.setAutoFillBackground(true);
    QPalette pal = parent.palette();
    pal.setColor(QPalette::Window, parentColour);
    parent.setPalette(pal);
    QFont f = parent.font();
    f.setFamily(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(24);
    parent.setFont(f);

    auto* label = new CLabelEx(QString(QChar(0x2588)), &parent); // a full block: solid text pixels
    label->setGeometry(0, 0, 200, 40);
    label->SetTextColour(GetParam());
    EXPECT_EQ(label->TextColour(), FromColorRef(GetParam()));
    EXPECT_EQ(label->font().pixelSize(), 24); // the parent's font

    const QImage img = parent.grab().toImage();
    EXPECT_EQ(img.pixelColor(8, 20), FromColorRef(GetParam()));
    EXPECT_EQ(img.pixelColor(1, 20), parentColour);
    EXPECT_EQ(img.pixelColor(190, 20), parentColour);
    EXPECT_EQ(img.pixelColor(8, 1), parentColour); // vertically centred, clear of the top
}

INSTANTIATE_TEST_SUITE_P(Colours, LabelExColourTest, ::testing::Values(0xFFFFFFu, 0x000000u, 0x0000FFu, 0xAE8A73u));

TEST(LabelExTest, DefaultsToBlack) {
    CLabelEx label(QStringLiteral("用户名:"));
    EXPECT_EQ(label.TextColour(), QColor(Qt::black));
    EXPECT_EQ(label.text(), QStringLiteral("用户名:"));
}

// The login dialog's schemes: white on blue without focus, black on white with it.
TEST(SkinEditTest, SwitchesSchemeWithTheFocus) {
    CSkinEdit edit;
    edit.resize(230, 30);
    edit.SetNoFocusColor(0xFFFFFF, 0x8A4F1E, 0x311A08);
    edit.SetFocusColor(0x000000, 0xFFFFFF, 0x311A08);

    auto check = [&edit](const QColor& text, const QColor& back, const QColor& border) {
        EXPECT_EQ(edit.CurrentScheme().text, text);
        EXPECT_EQ(edit.CurrentScheme().background, back);
        EXPECT_EQ(edit.palette().color(QPalette::Text), text);
        const QImage img = edit.grab().toImage();
        EXPECT_EQ(img.pixelColor(0, 0), border);
        EXPECT_EQ(img.pixelColor(200, 4), back);
    };
    check(QColor(255, 255, 255), QColor(0x1E, 0x4F, 0x8A), QColor(0x08, 0x1A, 0x31));
    QFocusEvent in(QEvent::FocusIn, Qt::TabFocusReason);
    QApplication::sendEvent(&edit, &in);
    check(QColor(0, 0, 0), QColor(255, 255, 255), QColor(0x08, 0x1A, 0x31));
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(&edit, &out);
    check(QColor(255, 255, 255), QColor(0x1E, 0x4F, 0x8A), QColor(0x08, 0x1A, 0x31));
}

} // namespace
