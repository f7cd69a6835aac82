// The application icon: drawn at every size, found in the program directory's skin, and carried by
// the upgrade page.
#include "core/app/ProgramDirectory.h"
#include "gui/controls/AppIcon.h"
#include "gui/maintenance/CDlgImgUpdate.h"

#include <QDir>
#include <QImageReader>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace orva;
using namespace orva::skin;

namespace {

TEST(AppIcon, DrawnAtEveryHicolorSizeAsASquareWithTransparentCorners) {
    EXPECT_EQ(AppIconSizes(), (QList<int>{16, 22, 24, 32, 48, 64, 128, 256}));
    for (int size : AppIconSizes()) {
        const QImage img = RenderAppIcon(size);
        ASSERT_EQ(img.size(), QSize(size, size));
        EXPECT_EQ(qAlpha(img.pixel(0, 0)), 0) << size;
        EXPECT_EQ(qAlpha(img.pixel(size / 2, size - size / 6)), 255) << size;
        // The lights stand out from the body: not one colour throughout.
        EXPECT_NE(img.pixel(size / 2, size / 2), img.pixel(size / 2, size / 6)) << size;
    }
}

TEST(AppIcon, TheWindowsTakeItFromTheSkinFolder) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QString error;
    ASSERT_TRUE(RenderAppIcons(dir.filePath("res/common/icons"), &error)) << error.toStdString();
    for (int size : AppIconSizes())
        EXPECT_EQ(QImageReader(dir.filePath(QString("res/common/icons/orva-%1.png").arg(size))).size(),
                  QSize(size, size));
    SetProgramDirectory(dir.path().toStdString());
    EXPECT_EQ(AppIconFolder(), dir.path() + "/res/common/icons/");
    QList<int> sizes;
    for (const QSize& s : ApplicationIcon().availableSizes())
        sizes << s.width();
    EXPECT_EQ(sizes, AppIconSizes());
    // The upgrade page sets it as its own icon, big and small.
    CDlgImgUpdate page;
    EXPECT_EQ(page.windowIcon().availableSizes().size(), AppIconSizes().size());
    SetProgramDirectory({});
}

TEST(AppIcon, ACreateFailureIsReported) {
    QTemporaryDir dir;
    QFile blocker(dir.filePath("plain"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QString error;
    EXPECT_FALSE(RenderAppIcons(dir.filePath("plain/icons"), &error));
    EXPECT_TRUE(error.contains("plain/icons")) << error.toStdString();
}

} // namespace
