#include "gui/controls/CBitComboBox.h"
#include "gui/controls/CBitListBox.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace orva;

namespace {

QPixmap solid(QSize size, QColor c) {
    QPixmap p(size);
    p.fill(c);
    return p;
}

const QColor kLeft(200, 0, 0), kRight(0, 0, 200), kMiddle(0, 200, 0);
const QColor kListLeft(90, 0, 90), kListRight(0, 90, 90), kListTop(90, 90, 0), kListBottom(40, 40, 40);

class BitComboBoxTest : public ::testing::Test {
protected:
    void SetUp() override {
        combo.SetFacePixmaps(solid({3, 22}, kLeft), solid({20, 22}, kRight), solid({1, 22}, kMiddle));
        combo.SetListPixmaps(solid({2, 1}, kListLeft), solid({2, 1}, kListRight), solid({1, 2}, kListTop),
                             solid({1, 2}, kListBottom));
        combo.SetHighlightColours(0xAE8A73, 0xFFFFFF);
        combo.SetNormalColours(0xFFFFFF, 0xFFFFFF);
        combo.addItems({QStringLiteral("HG260"), QStringLiteral("HG220"), QStringLiteral("E8C")});
        combo.resize(160, 22);
    }
    CBitComboBox combo;
};

TEST_F(BitComboBoxTest, FaceIsDrawnFromTheThreeBitmaps) {
    const QImage img = combo.grab().toImage();
    EXPECT_EQ(img.pixelColor(1, 11), kLeft);
    EXPECT_EQ(img.pixelColor(150, 11), kRight);
    EXPECT_EQ(img.pixelColor(80, 1), kMiddle); // the stretched middle shows above and below the field
    EXPECT_EQ(img.pixelColor(80, 20), kMiddle);
    EXPECT_EQ(img.pixelColor(130, 11), QColor(Qt::white)); // the field in the normal background
    // White text on a white field would vanish: it is drawn dark instead.
    bool dark = false;
    for (int x = 3; x < 60; ++x)
        for (int y = 3; y < 19; ++y)
            dark = dark || img.pixelColor(x, y).lightness() < 100;
    EXPECT_TRUE(dark);
}

TEST_F(BitComboBoxTest, SelectionByIndexAndKeyboard) {
    QSignalSpy changed(&combo, &QComboBox::currentIndexChanged);
    EXPECT_EQ(combo.currentText(), QStringLiteral("HG260"));
    combo.setCurrentIndex(2);
    EXPECT_EQ(combo.currentText(), QStringLiteral("E8C"));
    QTest::keyClick(&combo, Qt::Key_Up);
    EXPECT_EQ(combo.currentIndex(), 1);
    EXPECT_EQ(changed.count(), 2);
}

TEST_F(BitComboBoxTest, ListUsesTheHighlightAndNormalColoursAndEdgeBitmaps) {
    CBitListBox* list = combo.ListBox();
    ASSERT_EQ(combo.view(), list);
    combo.show();
    combo.showPopup();
    ASSERT_TRUE(list->isVisible());
    list->setCurrentIndex(combo.model()->index(1, 0));
    const QRect row0 = list->visualRect(combo.model()->index(0, 0));
    const QRect row1 = list->visualRect(combo.model()->index(1, 0));
    ASSERT_TRUE(row1.isValid());
    // Heights follow the text extent.
    EXPECT_GE(row0.height(), list->fontMetrics().height());

    const QImage img = list->viewport()->grab().toImage();
    EXPECT_EQ(img.pixelColor(row1.right() - 10, row1.center().y()), QColor(0x73, 0x8A, 0xAE));
    EXPECT_EQ(img.pixelColor(row0.right() - 10, row0.center().y()), QColor(Qt::white));
    EXPECT_EQ(img.pixelColor(0, row0.center().y()), kListLeft);
    EXPECT_EQ(img.pixelColor(img.width() - 1, row1.center().y()), kListRight);
    EXPECT_NE(img.pixelColor(row0.center().x(), 0), kListTop); // the top edge is for one-item lists only
    combo.hidePopup();
}

TEST_F(BitComboBoxTest, OneItemListGetsTheTopBitmap) {
    combo.clear();
    combo.addItem(QStringLiteral("HG260"));
    CBitListBox* list = combo.ListBox();
    combo.show();
    combo.showPopup();
    const QImage img = list->viewport()->grab().toImage();
    EXPECT_EQ(img.pixelColor(img.width() / 2, 0), kListTop);
    combo.hidePopup();
}

struct ReadableCase {
    QColor background, wanted, expected;
};

class ReadableTextTest : public ::testing::TestWithParam<ReadableCase> {};

TEST_P(ReadableTextTest, KeepsContrastingColoursAndReplacesVanishingOnes) {
    EXPECT_EQ(CBitComboBox::ReadableOn(GetParam().background, GetParam().wanted), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Colours, ReadableTextTest,
                         ::testing::Values(ReadableCase{Qt::white, Qt::white, Qt::black},
                                           ReadableCase{Qt::white, Qt::black, Qt::black},
                                           ReadableCase{Qt::black, Qt::black, Qt::white},
                                           ReadableCase{QColor(0x73, 0x8A, 0xAE), Qt::white, Qt::white},
                                           ReadableCase{Qt::white, QColor(0xC0, 0, 0), QColor(0xC0, 0, 0)}));

TEST(BitComboBoxEditableTest, TypedTextSitsInTheReadableField) {
    CBitComboBox combo;
    combo.setEditable(true);
    combo.SetNormalColours(0xFFFFFF, 0xFFFFFF);
    combo.addItem(QStringLiteral("HG260"));
    combo.resize(160, 22);
    combo.grab(); // lays the field out
    ASSERT_NE(combo.lineEdit(), nullptr);
    EXPECT_EQ(combo.lineEdit()->palette().color(QPalette::Text), QColor(Qt::black));
    EXPECT_EQ(combo.lineEdit()->palette().color(QPalette::Base), QColor(Qt::white));
    EXPECT_EQ(combo.lineEdit()->text(), QStringLiteral("HG260"));
}

} // namespace
