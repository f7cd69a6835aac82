#include "gui/controls/CAnimatedPicture.h"
#include "gui/controls/GifInfo.h"
#include "gui/controls/GifWriter.h"

#include <QBuffer>
#include <QImageReader>
#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace orva;
using orva::skin::EncodeGif;
using orva::skin::GifFrame;

namespace {

const QList<QColor> kPalette = {QColor(250, 250, 250), QColor(200, 0, 0), QColor(0, 150, 0), QColor(0, 0, 220)};

// Frame i is solid palette colour i + 1.
QByteArray solidGif(const QList<int>& delays, QSize size = QSize(12, 6), int background = 0) {
    QList<GifFrame> frames;
    for (int i = 0; i < delays.size(); ++i) {
        GifFrame f;
        f.delayCs = delays[i];
        f.indices = QVector<quint8>(size.width() * size.height(), quint8(1 + i % 3));
        frames.append(f);
    }
    return EncodeGif(size.width(), size.height(), kPalette, frames, background);
}

struct DelayCase {
    int delayCs;
    int ms;
};

class DisplayTimeTest : public ::testing::TestWithParam<DelayCase> {};

TEST_P(DisplayTimeTest, ShortDelaysBecomeATenthOfASecond) {
    EXPECT_EQ(CAnimatedPicture::DisplayMs(GetParam().delayCs), GetParam().ms);
}

INSTANTIATE_TEST_SUITE_P(Rule, DisplayTimeTest,
                         ::testing::Values(DelayCase{0, 100}, DelayCase{3, 100}, DelayCase{4, 100}, DelayCase{5, 50},
                                           DelayCase{50, 500}, DelayCase{7, 70}));

TEST(AnimatedPictureTest, SplitsFramesAndRunsEachForItsTime) {
    CAnimatedPicture pic;
    ASSERT_TRUE(pic.LoadFromData(solidGif({3, 50, 7}, QSize(12, 6), 2)));
    EXPECT_EQ(pic.FrameCount(), 3);
    EXPECT_EQ(pic.size(), QSize(12, 6));
    EXPECT_EQ(pic.BackgroundColour(), kPalette[2]); // from the global colour table
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(pic.FrameAt(i).image.pixelColor(5, 3), kPalette[1 + i]) << i;

    pic.StartAnimation();
    ASSERT_TRUE(pic.IsAnimating());
    const int expected[][2] = {{0, 100}, {1, 500}, {2, 70}, {0, 100}, {1, 500}}; // wraps after the last
    for (const auto& step : expected) {
        EXPECT_EQ(pic.CurrentFrame(), step[0]);
        EXPECT_EQ(pic.CurrentIntervalMs(), step[1]);
        EXPECT_EQ(pic.grab().toImage().pixelColor(6, 3), kPalette[1 + step[0]]);
        pic.AdvanceFrame();
    }
    pic.StopAnimation();
    EXPECT_FALSE(pic.IsAnimating());
    EXPECT_EQ(pic.CurrentIntervalMs(), 0);

    pic.StartAnimation(); // starts again from the first frame
    EXPECT_EQ(pic.CurrentFrame(), 0);
}

TEST(AnimatedPictureTest, StillPicturesDoNotAnimate) {
    QImage png(7, 5, QImage::Format_RGB32);
    png.fill(QColor(1, 2, 3));
    QByteArray pngData;
    QBuffer buf(&pngData);
    buf.open(QIODevice::WriteOnly);
    png.save(&buf, "PNG");

    const struct {
        const char* name;
        QByteArray data;
        QSize size;
    } cases[] = {{"one-frame GIF", solidGif({20}), QSize(12, 6)}, {"PNG", pngData, QSize(7, 5)}};
    for (const auto& c : cases) {
        CAnimatedPicture pic;
        ASSERT_TRUE(pic.LoadFromData(c.data)) << c.name;
        EXPECT_EQ(pic.FrameCount(), 1) << c.name;
        EXPECT_EQ(pic.size(), c.size) << c.name;
        pic.StartAnimation();
        EXPECT_FALSE(pic.IsAnimating()) << c.name;
    }
}

TEST(AnimatedPictureTest, RefusesWhatIsNoPicture) {
    CAnimatedPicture pic;
    EXPECT_FALSE(pic.LoadFromData(QByteArray("GIF89a not really")));
    EXPECT_FALSE(pic.LoadFromData(QByteArray()));
    EXPECT_FALSE(pic.LoadFromFile(QStringLiteral("/nonexistent/busy.gif")));
    EXPECT_EQ(pic.FrameCount(), 0);
    pic.StartAnimation();
    EXPECT_FALSE(pic.IsAnimating());
}

TEST(GifInfoTest, CutShortDataKeepsTheCompleteFrames) {
    const QByteArray gif = solidGif({3, 50, 7});
    const auto full = ScanGif(gif);
    ASSERT_TRUE(full);
    EXPECT_EQ(full->delaysCs, (QList<int>{3, 50, 7}));
    EXPECT_EQ(full->screen, QSize(12, 6));
    for (qsizetype cut = 0; cut < gif.size(); ++cut) {
        const auto part = ScanGif(gif.left(cut)); // must never read past the end
        if (part) {
            EXPECT_LE(part->delaysCs.size(), 3);
        }
    }
}

// The encoder against Qt's decoder: every pixel back as written, for small and full palettes and for
// pictures long enough to fill the code table and clear it.
struct GifCase {
    const char* name;
    int w, h, colours;
    bool noisy;
};

class GifRoundTripTest : public ::testing::TestWithParam<GifCase> {};

TEST_P(GifRoundTripTest, DecodesToTheSamePixels) {
    const GifCase& c = GetParam();
    QList<QColor> palette;
    for (int i = 0; i < c.colours; ++i)
        palette.append(QColor((i * 37) & 0xFF, (i * 91) & 0xFF, (i * 53 + 7) & 0xFF));
    QRandomGenerator rng(1234);
    QList<GifFrame> frames;
    for (int f = 0; f < 2; ++f) {
        GifFrame frame;
        frame.delayCs = 10 + f;
        frame.indices.resize(c.w * c.h);
        for (int i = 0; i < c.w * c.h; ++i)
            frame.indices[i] = quint8(c.noisy ? rng.bounded(c.colours) : ((i / 7 + f) % c.colours));
        frames.append(frame);
    }
    QByteArray data = EncodeGif(c.w, c.h, palette, frames);
    QBuffer buf(&data);
    buf.open(QIODevice::ReadOnly);
    QImageReader reader(&buf, "gif");
    for (int f = 0; f < 2; ++f) {
        const QImage img = reader.read();
        ASSERT_FALSE(img.isNull()) << "frame " << f << ": " << reader.errorString().toStdString();
        ASSERT_EQ(img.size(), QSize(c.w, c.h));
        int wrong = 0;
        for (int y = 0; y < c.h; ++y)
            for (int x = 0; x < c.w; ++x)
                wrong += img.pixelColor(x, y).rgb() != palette[frames[f].indices[y * c.w + x]].rgb();
        EXPECT_EQ(wrong, 0) << "frame " << f;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, GifRoundTripTest,
    ::testing::Values(GifCase{"TwoColours", 9, 5, 2, true}, GifCase{"ThreeColours", 31, 17, 3, true},
                      GifCase{"Stripes", 100, 8, 4, false}, GifCase{"FullPaletteNoise", 120, 90, 256, true},
                      GifCase{"SixteenColoursLong", 300, 200, 16, true}, GifCase{"OnePixel", 1, 1, 4, true}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
