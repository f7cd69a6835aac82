#include "core/records/CompoundFileWriter.h"

#include "TestSupport.h"
#include "XlsSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace orva {
namespace {

using test::CfbFile;
using test::ParseCompoundFile;

std::string Bytes(std::size_t size) {
    std::string data(size, '\0');
    std::uint32_t x = 2463534242u;
    for (char& c : data) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x);
    }
    return data;
}

struct SizeCase {
    const char* label;
    std::size_t size;
    bool mini;
    std::uint32_t fatSectors;
    std::uint32_t difatSectors;
};

class CompoundFileSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(CompoundFileSizes, ReadsBackTheStreamWithSoundTables) {
    const SizeCase& c = GetParam();
    const std::string data = Bytes(c.size);
    const std::string file = CompoundFileWriter::build("Workbook", data);
    const CfbFile f = ParseCompoundFile(file);

    EXPECT_TRUE(f.problems.empty()) << ::testing::PrintToString(f.problems);
    EXPECT_EQ(f.stream, data);
    EXPECT_EQ(f.streamInMini, c.mini);
    EXPECT_EQ(f.fatSectors, c.fatSectors);
    EXPECT_EQ(f.difatSectors, c.difatSectors);
    ASSERT_FALSE(f.fatSectorList.empty());
    EXPECT_EQ(f.fatSectorList[0], 0u) << "the first FAT sector is sector 0";
    EXPECT_EQ(f.firstDirectory, 1u);
    EXPECT_EQ(f.miniFatSectors, c.mini && c.size > 0 ? 1u : 0u);

    ASSERT_EQ(f.entries.size(), 4u);
    EXPECT_EQ(f.entries[0].name, "Root Entry");
    EXPECT_EQ(f.entries[0].type, 5);
    EXPECT_EQ(f.entries[1].name, "Workbook");
    EXPECT_EQ(f.entries[1].type, 2);
    EXPECT_EQ(f.entries[1].size, c.size);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(f.entries[i].colour, 1) << "black";
        EXPECT_EQ(f.entries[i].left, CompoundFileWriter::NoStream);
        EXPECT_EQ(f.entries[i].right, CompoundFileWriter::NoStream);
    }
    EXPECT_EQ(f.entries[1].child, CompoundFileWriter::NoStream);
    for (int i = 2; i < 4; ++i) {
        EXPECT_EQ(f.entries[i].type, 0) << "unused entry";
        EXPECT_EQ(f.entries[i].child, CompoundFileWriter::NoStream);
    }
    // The root's stream is the mini stream: whole mini sectors of the small stream.
    const std::uint32_t miniSize = c.mini ? static_cast<std::uint32_t>((c.size + 63) / 64 * 64) : 0;
    EXPECT_EQ(f.entries[0].size, miniSize);
}

// 7,087,104 bytes is the largest stream whose FAT still fits the header's 109 entries.
INSTANTIATE_TEST_SUITE_P(Sizes, CompoundFileSizes,
                         ::testing::Values(SizeCase{"empty", 0, true, 1, 0}, SizeCase{"one_byte", 1, true, 1, 0},
                                           SizeCase{"small", 700, true, 1, 0},
                                           SizeCase{"below_cutoff", 4095, true, 1, 0},
                                           SizeCase{"at_cutoff", 4096, false, 1, 0},
                                           SizeCase{"regular", 60000, false, 1, 0},
                                           SizeCase{"second_fat_sector", 200000, false, 4, 0},
                                           SizeCase{"fat_fills_header", 7087104, false, 109, 0},
                                           SizeCase{"first_difat_sector", 7087105, false, 110, 1},
                                           SizeCase{"two_difat_sectors", 16000000, false, 247, 2}),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(CompoundFileWrite, WritesTheImageAndReportsUnwritablePaths) {
    test::TempProgramDir dir("xls-cfb");
    const std::string data = Bytes(5000);
    const Result<void> first = CompoundFileWriter::write(dir.file("a.xls"), "Workbook", data);
    ASSERT_TRUE(first.ok()) << first.error();
    EXPECT_EQ(test::readFile(dir.file("a.xls")), CompoundFileWriter::build("Workbook", data));

    // A second write replaces the file rather than appending.
    const Result<void> second = CompoundFileWriter::write(dir.file("a.xls"), "Workbook", "short");
    ASSERT_TRUE(second.ok()) << second.error();
    EXPECT_EQ(ParseCompoundFile(test::readFile(dir.file("a.xls"))).stream, "short");

    const Result<void> missing = CompoundFileWriter::write(dir.file("missing/a.xls"), "Workbook", data);
    EXPECT_FALSE(missing.ok());
    EXPECT_FALSE(missing.error().empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing/a.xls")));
}

} // namespace
} // namespace orva
