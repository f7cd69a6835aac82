#include "core/app/ProgramDirectory.h"
#include "gui/controls/CAnimatedPicture.h"
#include "gui/controls/CBitComboBox.h"
#include "gui/controls/CPngButton.h"
#include "gui/controls/SkinFiles.h"
#include "gui/controls/SkinRenderer.h"

#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orva;
using namespace orva::skin;

namespace {

// The skin rendered once into a throw-away program directory.
class SkinTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new QTemporaryDir;
        ASSERT_TRUE(dir->isValid());
        QString error;
        ASSERT_TRUE(RenderSkin(dir->filePath("res/common"), &error)) << error.toStdString();
        SetProgramDirectory(dir->path().toStdString());
    }
    static void TearDownTestSuite() {
        SetProgramDirectory({});
        delete dir;
        dir = nullptr;
    }
    static QString file(const QString& name) { return dir->filePath("res/common/" + name); }
    static QTemporaryDir* dir;
};
QTemporaryDir* SkinTest::dir = nullptr;

bool isStrip(const QString& name) {
    for (const char* s : {kTop, kAboutBackground, kLoginBackground})
        if (name == QString::fromUtf8(s))
            return false;
    return name.endsWith(".png") && !name.startsWith("combo-");
}

TEST_F(SkinTest, EveryFileIsThereWithItsSize) {
    const QStringList written = QDir(dir->filePath("res/common")).entryList(QDir::Files);
    EXPECT_EQ(written.size(), SkinFiles().size());
    for (const SkinFile& f : SkinFiles()) {
        QImageReader reader(file(f.name));
        EXPECT_EQ(reader.size(), f.size) << f.name.toStdString() << ": " << reader.errorString().toStdString();
        EXPECT_EQ(SkinPath(f.name), file(f.name));
    }
}

TEST_F(SkinTest, SizesTheWindowsDependOn) {
    // The header sets the main window's width and leaves room for the pages' design width.
    EXPECT_GE(QImage(file(kTop)).width(), 860 + 2 * 20);
    EXPECT_EQ(QImage(file(kTop)).height(), 120);
    // Six navigation buttons side by side from x 0 at y 30 stay clear of the corner buttons and end at
    // the page area.
    const QSize nav = QImageReader(file(kNavDiagnosis)).size();
    EXPECT_LE(6 * nav.width() / 5, QImage(file(kTop)).width() - 60);
    EXPECT_EQ(30 + nav.height(), 120);
    // The login dialog's controls (up to x 380, the buttons from y 280) fit its background.
    const QSize login = QImageReader(file(kLoginBackground)).size();
    const QSize ok = QImageReader(file(kLoginOk)).size();
    EXPECT_LE(270 + ok.width() / 5, login.width());
    EXPECT_LE(280 + ok.height(), login.height());
    EXPECT_LE(150 + ok.width() / 5, 270); // log-in and cancel do not overlap
    EXPECT_GT(login.width(), 380 + 56);
}

TEST_F(SkinTest, ButtonStripsShowFiveDifferentPictures) {
    for (const SkinFile& f : SkinFiles()) {
        if (!isStrip(f.name))
            continue;
        ASSERT_EQ(f.size.width() % 5, 0) << f.name.toStdString();
        CPngButton button;
        ASSERT_TRUE(button.SetPngFile(file(f.name))) << f.name.toStdString();
        EXPECT_EQ(button.size(), QSize(f.size.width() / 5, f.size.height()));
        for (int a = 0; a < 5; ++a)
            for (int b = a + 1; b < 5; ++b) {
                // Selected and normal may look alike only on the corner buttons, which are never selected.
                if (a == 0 && b == 3 && f.size.height() == 16)
                    continue;
                EXPECT_NE(button.PictureOf(CPngButton::Picture(a)).toImage(),
                          button.PictureOf(CPngButton::Picture(b)).toImage())
                    << f.name.toStdString() << " pictures " << a << " and " << b;
            }
    }
}

TEST_F(SkinTest, TheBusyPictureAnimatesFromItsResourceId) {
    CAnimatedPicture pic;
    ASSERT_TRUE(pic.LoadFromResource(kBusyGifId, QStringLiteral("Gif")));
    EXPECT_EQ(pic.size(), QSize(100, 8));
    EXPECT_GT(pic.FrameCount(), 1);
    pic.StartAnimation();
    EXPECT_EQ(pic.CurrentIntervalMs(), CAnimatedPicture::DisplayMs(pic.FrameAt(0).delayCs));
    EXPECT_NE(pic.FrameAt(0).image, pic.FrameAt(1).image);
    EXPECT_FALSE(pic.LoadFromResource(4242));
}

TEST_F(SkinTest, TheStandardComboBoxFindsItsBitmaps) {
    CBitComboBox combo;
    combo.ApplyStandardSkin();
    EXPECT_EQ(combo.FaceLeft().size(), QSize(3, 22));
    EXPECT_EQ(combo.FaceRight().size(), QSize(20, 22));
    EXPECT_EQ(combo.FaceMiddle().size(), QSize(1, 22));
    for (const QPixmap* p : {&combo.ListLeft(), &combo.ListRight(), &combo.ListTop(), &combo.ListBottom()})
        EXPECT_FALSE(p->isNull());
    EXPECT_EQ(combo.HighlightBackground(), QColor(0x73, 0x8A, 0xAE));
    EXPECT_EQ(combo.NormalText(), QColor(Qt::white));
    EXPECT_EQ(combo.ReadableNormalText(), QColor(Qt::black));
}

TEST(SkinRenderTest, ReportsAFolderItCannotCreate) {
    QTemporaryDir dir;
    QFile blocker(dir.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QString error;
    EXPECT_FALSE(RenderSkin(dir.filePath("file/common"), &error));
    EXPECT_FALSE(error.isEmpty());
}

} // namespace
