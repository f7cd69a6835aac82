// The bytes of the image broadcast, built without sending anything.
#include "core/maintenance/ImageDatagrams.h"
#include "TestSupport.h"
#include "core/app/AppSettings.h"
#include "core/maintenance/ImageTransfer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace orva {
namespace {

using test::PatternImage;

uint32_t Big32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
uint16_t Big16(const uint8_t* p) {
    return static_cast<uint16_t>((p[0] << 8) | p[1]);
}

struct SizeCase {
    uint32_t length;
    uint32_t blockCount;
    std::vector<uint16_t> counts; // bytes per data datagram, in order
};

void PrintTo(const SizeCase& c, std::ostream* os) {
    *os << c.length << " bytes";
}

class ImageSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(ImageSizes, InfoAndDataDatagramsFollowTheLength) {
    const SizeCase& c = GetParam();
    const std::string image = PatternImage(c.length, 7, 0);

    const ImageInfoDatagram info = BuildImageInfoDatagram(c.length);
    EXPECT_EQ(Big32(info.data()), 2754u);
    EXPECT_EQ(Big32(info.data() + 4), c.blockCount);
    EXPECT_EQ(Big32(info.data() + 8), c.length);

    ASSERT_EQ(ImageDataDatagramCount(c.length), c.counts.size());
    size_t offset = 0;
    for (size_t i = 0; i < c.counts.size(); ++i) {
        const ImageDataDatagram d = BuildImageDataDatagram(image, i);
        EXPECT_EQ(Big16(d.data() + 1000), i + 1) << "datagram " << i;
        EXPECT_EQ(Big16(d.data() + 1002), c.counts[i]) << "datagram " << i;
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(d.data()), c.counts[i]), image.substr(offset, c.counts[i]));
        // The padding after the image bytes is zero.
        for (size_t k = c.counts[i]; k < 1000; ++k)
            ASSERT_EQ(d[k], 0) << "datagram " << i << " byte " << k;
        offset += c.counts[i];
    }
    EXPECT_EQ(offset, c.length);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ImageSizes,
                         ::testing::Values(SizeCase{2500, 3, {1000, 1000, 500}}, // block count = datagrams here
                                           SizeCase{2000, 3, {1000, 1000}},      // one more than datagrams
                                           SizeCase{500, 0, {500}},              // 0, yet one datagram follows
                                           SizeCase{0, 0, {}},                   // the info datagram alone
                                           SizeCase{999, 0, {999}}, SizeCase{1000, 2, {1000}},
                                           SizeCase{1001, 2, {1000, 1}}),
                         [](const auto& info) { return "bytes" + std::to_string(info.param.length); });

TEST(ImageDatagrams, InfoDatagramIsBigEndian) {
    const ImageInfoDatagram info = BuildImageInfoDatagram(2500);
    const ImageInfoDatagram expected = {0x00, 0x00, 0x0A, 0xC2, 0x00, 0x00, 0x00, 0x03, 0x00, 0x00, 0x09, 0xC4};
    EXPECT_EQ(info, expected);
}

// 66,000,000 bytes take 66,000 datagrams, so the 16-bit sequence wraps once.
TEST(ImageDatagrams, SequenceWrapsAfter65535InALargeImage) {
    constexpr uint32_t kLength = 66'000'000;
    EXPECT_EQ(ImageDataDatagramCount(kLength), 66'000u);
    EXPECT_EQ(ImageBlockCount(kLength), 66'001u);

    struct Step {
        size_t index;
        uint16_t sequence;
    };
    for (const Step s :
         {Step{0, 1}, Step{65533, 65534}, Step{65534, 65535}, Step{65535, 0}, Step{65536, 1}, Step{65999, 464}})
        EXPECT_EQ(ImageSequenceNumber(s.index), s.sequence) << "index " << s.index;
    EXPECT_EQ(ImageChunkLength(kLength, 65999), 1000);
    EXPECT_EQ(ImageChunkLength(kLength, 66000), 0);

    const std::string image = PatternImage(kLength, 7, 0);
    const ImageDataDatagram wrapped = BuildImageDataDatagram(image, 65535);
    EXPECT_EQ(Big16(wrapped.data() + 1000), 0);
    EXPECT_EQ(Big16(wrapped.data() + 1002), 1000);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(wrapped.data()), 1000), image.substr(65'535'000, 1000));
}

TEST(ImageDatagrams, ProgressIsTheShareAlreadySent) {
    struct Case {
        uint64_t sent, length;
        int percent;
    };
    for (const Case c : {Case{0, 2500, 0}, Case{1000, 2500, 40}, Case{2000, 2500, 80}, Case{0, 0, 0},
                         // 65,999,000 × 100 does not fit in 32 bits.
                         Case{65'999'000, 66'000'000, 99}, Case{66'000'000, 66'000'000, 100}})
        EXPECT_EQ(ImageProgressPercent(c.sent, c.length), c.percent) << c.sent << "/" << c.length;
}

TEST(ImageDatagrams, PacingIntervalIsAlwaysOneThePacerCanWait) {
    using std::chrono::nanoseconds;
    constexpr double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double seconds;
        nanoseconds interval;
    };
    const Case cases[] = {
        {0.005, nanoseconds(5'000'000)},
        {0.0005, nanoseconds(500'000)},
        {1e-12, nanoseconds(0)},
        {0.0, nanoseconds(0)},
        {-1.0, nanoseconds(0)},
        {10.0, nanoseconds(10'000'000'000)},
        // Once these overflowed llround and turned pacing off.
        {1e10, nanoseconds(10'000'000'000)},
        {std::numeric_limits<double>::max(), nanoseconds(10'000'000'000)},
        {inf, nanoseconds(5'000'000)},
        {-inf, nanoseconds(5'000'000)},
        {std::nan(""), nanoseconds(5'000'000)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PacingInterval(c.seconds).count(), c.interval.count()) << c.seconds;
    // The default and the maximum of the setting are exactly what the pacer is given.
    EXPECT_EQ(PacingInterval(kDefaultUpgradeInterval).count(), 5'000'000);
    EXPECT_EQ(PacingInterval(kMaxUpgradeInterval).count(), 10'000'000'000);
}

} // namespace
} // namespace orva
