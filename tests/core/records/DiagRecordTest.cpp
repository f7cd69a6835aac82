#include "core/records/DiagRecord.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

namespace orva {
namespace {

DiagRecord SampleRecord() {
    DiagRecord r;
    r.Operator = "op";
    r.Mac = "00-11-22-33-44-55";
    r.sn = "SN1";
    r.DeviceType = "HG8245";
    r.FE1Check = 1;
    r.FE2Check = 0;
    r.POS1Check = 1;
    r.WifiCheck = 0;
    r.SoftWareVersionCheck = "V1.0";
    r.PSCheck = "ok";
    r.CPULoadCheck = 12.5f;
    r.MemCheck = 99.9f;
    r.PreConfigCheck = 1;
    r.DiskIntegrityCheck = 0;
    return r;
}

TEST(DiagRecord, InitialValuesMeanNotTested) {
    const DiagRecord r;
    for (int v : {r.FE1Check, r.FE2Check, r.FE3Check, r.FE4Check, r.POS1Check, r.POS2Check, r.PONCheck, r.FlashCheck,
                  r.LEDCheck, r.USBCheck, r.WifiCheck, r.PreConfigCheck, r.DiskIntegrityCheck})
        EXPECT_EQ(v, CheckNotTested);
    EXPECT_EQ(r.CPULoadCheck, 0.0f);
    EXPECT_TRUE(r.Operator.empty() && r.LOIDCheck.empty());
}

TEST(DiagRecord, ColumnTextsFollowTableOrder) {
    const std::vector<std::string> expected = {
        "00-11-22-33-44-55",
        "op",
        "SN1",
        "HG8245",
        "1",
        "0",
        "9",
        "9",
        "1",
        "9",
        "9",
        "9",
        "9",
        "9",
        "0",
        "V1.0",
        "ok",
        "12.500000",
        "99.900002",
        "1",
        "0",
    };
    EXPECT_EQ(RecordColumnTexts(SampleRecord()), expected);
    EXPECT_EQ(RecordColumnNames()[1], std::string("Mac"));
    EXPECT_EQ(RecordColumnNames()[22], std::string("datetime"));
}

TEST(DiagRecord, FixedFormatIgnoresProcessLocale) {
    // A front end may switch the numeric locale to one with a decimal comma.
    const char* old = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = old ? old : "C";
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_EQ(FormatFixed6(12.5f), "12.500000");
    EXPECT_EQ(FormatFixed6(0.0f), "0.000000");
    EXPECT_EQ(LeadingFloat("12.500000"), 12.5f);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(DiagRecord, RowRebuildsTheRecord) {
    RowTexts row = {std::string("17")};
    for (auto& text : RecordColumnTexts(SampleRecord()))
        row.emplace_back(text);
    row.emplace_back(std::string("2024-05-01 10:00:00"));
    const StoredRecord stored = RecordFromRow(row);
    EXPECT_EQ(stored.id, 17);
    EXPECT_EQ(stored.datetime, "2024-05-01 10:00:00");
    DiagRecord expected = SampleRecord();
    expected.MemCheck = 99.900002f;
    EXPECT_EQ(stored.record, expected);
}

TEST(DiagRecord, OddRowsRebuildWithoutHarm) {
    // Short row: the columns present are read, the rest keep their initial values.
    StoredRecord s = RecordFromRow({std::string("5"), std::string("mac"), std::nullopt});
    EXPECT_EQ(s.id, 5);
    EXPECT_EQ(s.record.Mac, "mac");
    EXPECT_EQ(s.record.Operator, "");
    EXPECT_EQ(s.record.FE1Check, CheckNotTested);

    // Garbage and NULL numbers read as 0; extra columns are ignored.
    RowTexts garbage(30, std::string("x\xff"));
    garbage[5] = std::nullopt;
    s = RecordFromRow(garbage);
    EXPECT_EQ(s.id, 0);
    EXPECT_EQ(s.record.FE1Check, 0);
    EXPECT_EQ(s.record.FE2Check, 0);
    EXPECT_EQ(s.record.CPULoadCheck, 0.0f);
    EXPECT_EQ(s.record.sn, "x\xff");
    EXPECT_EQ(RecordFromRow({}).record, DiagRecord{});
}

TEST(LeadingFloat, ReadsLikeAtofWithinFloatRange) {
    const float inf = std::numeric_limits<float>::infinity();
    const std::vector<std::pair<std::string, float>> cases = {
        {"12.500000", 12.5f}, {" 3x", 3.0f},   {"-1.5", -1.5f},  {"", 0.0f},   {"abc", 0.0f},
        {"1e999", inf},       {"-1e39", -inf}, {"1e-999", 0.0f}, {"+2", 2.0f},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(LeadingFloat(text), value) << text;
    EXPECT_TRUE(std::isnan(LeadingFloat("nan")));
}

} // namespace
} // namespace orva
