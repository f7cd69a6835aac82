// The report document's exact text, and what counts as the service's acceptance.
#include "core/records/RecordStore.h"
#include "core/records/ReportDocument.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace orva {
namespace {

DiagRecord FullRecord() {
    DiagRecord r;
    r.Operator = "tech01";
    r.Mac = "00-1A-2B-3C-4D-5E";
    r.sn = "SIM0A1B2C3D4E";
    r.DeviceType = "KT540G";
    r.FE1Check = 1;
    r.FE2Check = 0;
    r.FE3Check = 9;
    r.FE4Check = 1;
    r.POS1Check = 0;
    r.POS2Check = 1;
    r.PONCheck = 1;
    r.FlashCheck = 0;
    r.LEDCheck = 1;
    r.USBCheck = 9;
    r.WifiCheck = 1;
    r.SoftWareVersionCheck = "V1.0.3";
    r.LOIDCheck = "never reported";
    r.PSCheck = "ALL_RUNNING";
    r.CPULoadCheck = 12.5f;
    r.MemCheck = 99.9f;
    r.PreConfigCheck = 1;
    r.DiskIntegrityCheck = 0;
    return r;
}

TEST(ReportDocument, FullRecordGivesTheExactText) {
    const XmlDocument doc = buildReportDocument(FullRecord(), "2024-03-05 08:09:10");
    const std::string expected = "<DeviceList>\r\n"
                                 "<DeviceDiag>\r\n"
                                 "<Operator>tech01</Operator>\r\n"
                                 "<SN>SIM0A1B2C3D4E</SN>\r\n"
                                 "<DeviceType>KT540G</DeviceType>\r\n"
                                 "<CheckDate>2024-03-05 08:09:10</CheckDate>\r\n"
                                 "<HardWareDiag>\r\n"
                                 "<FE1Check>1</FE1Check>\r\n"
                                 "<FE2Check>0</FE2Check>\r\n"
                                 "<FE3Check>9</FE3Check>\r\n"
                                 "<FE4Check>1</FE4Check>\r\n"
                                 "<POS1Check>0</POS1Check>\r\n"
                                 "<POS2Check>1</POS2Check>\r\n"
                                 "<PONCheck>1</PONCheck>\r\n"
                                 "<FlashCheck>0</FlashCheck>\r\n"
                                 "<LEDCheck>1</LEDCheck>\r\n"
                                 "<USBCheck>9</USBCheck>\r\n"
                                 "<WifiCheck>1</WifiCheck>\r\n"
                                 "</HardWareDiag>\r\n"
                                 "<SoftWareDiag>\r\n"
                                 "<SoftWareVersionCheck>V1.0.3</SoftWareVersionCheck>\r\n"
                                 "<MAC>00-1A-2B-3C-4D-5E</MAC>\r\n"
                                 "<PSCheck>ALL_RUNNING</PSCheck>\r\n"
                                 "<CPULoadCheck>12</CPULoadCheck>\r\n"
                                 "<MemCheck>99</MemCheck>\r\n"
                                 "<PreConfigCheck>1</PreConfigCheck>\r\n"
                                 "<DiskIntegrityCheck>0</DiskIntegrityCheck>\r\n"
                                 "</SoftWareDiag>\r\n"
                                 "</DeviceDiag>\r\n"
                                 "</DeviceList>\r\n";
    EXPECT_EQ(doc.GetText(), expected);
    EXPECT_TRUE(doc.IsWellFormed());
}

struct FieldCase {
    const char* name;
    void (*change)(DiagRecord&);
    const char* line; // must appear as a whole line
};

const FieldCase kFieldCases[] = {
    {"EmptySoftwareVersionIsAnEmptyElement", [](DiagRecord& r) { r.SoftWareVersionCheck.clear(); },
     "<SoftWareVersionCheck/>"},
    {"EmptyOperatorIsAnEmptyElement", [](DiagRecord& r) { r.Operator.clear(); }, "<Operator/>"},
    {"QuoteInOperatorStaysAsItIs", [](DiagRecord& r) { r.Operator = "O'Neil"; }, "<Operator>O'Neil</Operator>"},
    {"ChineseOperatorKeepsItsUtf8Bytes", [](DiagRecord& r) { r.Operator = "张伟"; },
     "<Operator>\xE5\xBC\xA0\xE4\xBC\x9F</Operator>"},
    {"MarkupCharactersAreEscaped", [](DiagRecord& r) { r.PSCheck = "a<b & c>d \"q\""; },
     "<PSCheck>a&lt;b &amp; c&gt;d \"q\"</PSCheck>"},
    {"LoadTruncatesTowardZero", [](DiagRecord& r) { r.CPULoadCheck = 12.999f; }, "<CPULoadCheck>12</CPULoadCheck>"},
    {"NegativeLoadTruncatesTowardZero", [](DiagRecord& r) { r.MemCheck = -0.5f; }, "<MemCheck>0</MemCheck>"},
    {"HugeLoadIsClamped", [](DiagRecord& r) { r.CPULoadCheck = std::numeric_limits<float>::infinity(); },
     "<CPULoadCheck>2147483647</CPULoadCheck>"},
    {"NaNLoadIsZero", [](DiagRecord& r) { r.MemCheck = std::nanf(""); }, "<MemCheck>0</MemCheck>"},
    // Characters XML forbids become U+FFFD, whatever the record holds; TAB, DEL and U+0085 are allowed.
    {"EscapeSequenceInSoftwareVersion", [](DiagRecord& r) { r.SoftWareVersionCheck = "V1\x1b]0;t\x07\x1b[2J"; },
     "<SoftWareVersionCheck>V1\xEF\xBF\xBD]0;t\xEF\xBF\xBD\xEF\xBF\xBD[2J</SoftWareVersionCheck>"},
    {"NulAndBackspaceInSn", [](DiagRecord& r) { r.sn = std::string("SN\0\b1", 5); },
     "<SN>SN\xEF\xBF\xBD\xEF\xBF\xBD"
     "1</SN>"},
    {"NonCharactersInOperator", [](DiagRecord& r) { r.Operator = "t\xEF\xBF\xBE\xEF\xBF\xBF"; },
     "<Operator>t\xEF\xBF\xBD\xEF\xBF\xBD</Operator>"},
    {"MalformedUtf8InProcessCheck", [](DiagRecord& r) { r.PSCheck = "A\xC0\xFF\xED\xA0\x80"; },
     "<PSCheck>A\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD</PSCheck>"},
    {"TabDelAndC1Kept", [](DiagRecord& r) { r.DeviceType = "K\tT\x7f\xC2\x85"; },
     "<DeviceType>K\tT\x7f\xC2\x85</DeviceType>"},
};

class ReportDocumentField : public ::testing::TestWithParam<FieldCase> {};

TEST_P(ReportDocumentField, WritesTheLine) {
    DiagRecord r = FullRecord();
    GetParam().change(r);
    const std::string text = buildReportDocument(r, "2024-03-05 08:09:10").GetText();
    EXPECT_NE(text.find(std::string("\r\n") + GetParam().line + "\r\n"), std::string::npos) << text;
}

INSTANTIATE_TEST_SUITE_P(Cases, ReportDocumentField, ::testing::ValuesIn(kFieldCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReportDocument, StoredLoadsAreSentTruncated) {
    // What the upload pass sends for a row stored as 12.500000 and 99.900002.
    RowTexts row(RecordColumnCount);
    row[0] = "7";
    row[18] = "12.500000";
    row[19] = "99.900002";
    const StoredRecord stored = RecordFromRow(row);
    const std::string text = buildReportDocument(stored.record, "2024-03-05 08:09:10").GetText();
    EXPECT_NE(text.find("\r\n<CPULoadCheck>12</CPULoadCheck>\r\n<MemCheck>99</MemCheck>\r\n"), std::string::npos);
}

// XML 1.0 allows TAB, LF, CR, U+0020..U+D7FF, U+E000..U+FFFD and U+10000..U+10FFFF, in well-formed UTF-8.
bool OnlyXmlCharacters(const std::string& text, std::string& bad) {
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        std::size_t n = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
        if (n == 0 || i + n > text.size()) {
            bad = "malformed byte at " + std::to_string(i);
            return false;
        }
        char32_t cp = n == 1 ? b : n == 2 ? (b & 0x1F) : n == 3 ? (b & 0x0F) : (b & 0x07);
        for (std::size_t k = 1; k < n; ++k) {
            const auto c = static_cast<unsigned char>(text[i + k]);
            if ((c & 0xC0) != 0x80) {
                bad = "malformed sequence at " + std::to_string(i);
                return false;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        const bool minimal = n == 1 || (n == 2 && cp >= 0x80) || (n == 3 && cp >= 0x800) || (n == 4 && cp >= 0x10000);
        const bool allowed = cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF) ||
                             (cp >= 0xE000 && cp <= 0xFFFD) || (cp >= 0x10000 && cp <= 0x10FFFF);
        if (!minimal || !allowed) {
            bad = "character U+" + std::to_string(static_cast<unsigned long>(cp)) + " at " + std::to_string(i);
            return false;
        }
        i += n;
    }
    return true;
}

TEST(ReportDocument, NoForbiddenCharacterWhateverTheStoredRowHolds) {
    // Every C0 character, the two non-characters and malformed bytes, in every text column of a row as
    // an old uploads table may hold it (stored before replies were cleaned).
    std::string hostile = "x";
    for (char c = 0; c < 0x20; ++c)
        hostile += c;
    hostile += "\xEF\xBF\xBE\xEF\xBF\xBF\x80\xC0\xAF\xED\xB0\x80\xF4\x90\x80\x80\xE5\xBC";
    RowTexts row(RecordColumnCount);
    row[0] = "7";
    for (std::size_t col = 1; col < row.size(); ++col)
        row[col] = hostile;
    const StoredRecord stored = RecordFromRow(row);
    DiagRecord r = stored.record;
    // The texts the document carries, set directly too, in case the row reader keeps only some of them.
    r.Operator = r.sn = r.DeviceType = r.SoftWareVersionCheck = r.Mac = r.PSCheck = hostile;
    for (const DiagRecord& record : {stored.record, r}) {
        const XmlDocument doc = buildReportDocument(record, hostile);
        std::string bad;
        EXPECT_TRUE(OnlyXmlCharacters(doc.GetText(), bad)) << bad;
        EXPECT_TRUE(doc.IsWellFormed());
    }
    // What stays is the text around the replaced characters: tab, line feed and carriage return.
    EXPECT_EQ(reportText("a\tb\nc\rd"), "a\tb\nc\rd");
}

TEST(ReportDocument, CheckDateIsTakenAtTheCall) {
    const std::string before = RecordStore::NowText();
    const std::string text = buildReportDocument(FullRecord()).GetText();
    const std::string after = RecordStore::NowText();
    const std::size_t open = text.find("<CheckDate>");
    ASSERT_NE(open, std::string::npos);
    const std::string date = text.substr(open + 11, 19);
    EXPECT_EQ(text.substr(open + 30, 12), "</CheckDate>");
    EXPECT_LE(before, date);
    EXPECT_LE(date, after);
}

struct ReplyCase {
    const char* name;
    const char* reply;
    bool accepted;
};

const ReplyCase kReplyCases[] = {
    {"CodeZero", "<Response><Code>0</Code></Response>", true},
    {"CodeZeroWithDeclarationAndOtherElements",
     "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Response "
     "a=\"1\">\r\n<Msg>ok</Msg>\r\n<Code>0</Code>\r\n</Response>",
     true},
    {"CodeOne", "<Response><Code>1</Code></Response>", false},
    {"CodeWithBlanks", "<Response><Code> 0 </Code></Response>", false},
    {"EmptyCode", "<Response><Code/></Response>", false},
    {"NoCode", "<Response><Result>0</Result></Response>", false},
    {"CodeOutsideResponse", "<Code>0</Code>", false},
    {"ResponseNotAtTopLevel", "<Reply><Response><Code>0</Code></Response></Reply>", false},
    {"HtmlErrorPage", "<html><head><title>500 Internal Server Error</title></head><body>0</body></html>", false},
    {"PlainText", "0", false},
    {"Empty", "", false},
};

class AcceptedReply : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(AcceptedReply, OnlyCodeZeroInResponseCounts) {
    EXPECT_EQ(isAcceptedReply(GetParam().reply), GetParam().accepted);
}

INSTANTIATE_TEST_SUITE_P(Cases, AcceptedReply, ::testing::ValuesIn(kReplyCases),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace orva
