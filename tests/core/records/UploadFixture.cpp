#include "UploadFixture.h"

#include "core/app/LogFile.h"
#include "core/app/TextTable.h"

#include <iconv.h>

#include <atomic>
#include <ostream>
#include <stdexcept>

namespace orva::test {

std::ostream& operator<<(std::ostream& out, const LogEntry& e) {
    return out << "[" << e.tag << "] " << e.message;
}

namespace {

std::string GbkToUtf8(const std::string& gbk) {
    iconv_t cd = iconv_open("UTF-8", "CP936");
    if (cd == reinterpret_cast<iconv_t>(-1))
        throw std::runtime_error("no GBK converter");
    std::string out(gbk.size() * 2 + 16, '\0');
    char* in = const_cast<char*>(gbk.data());
    std::size_t inLeft = gbk.size();
    char* o = out.data();
    std::size_t oLeft = out.size();
    const std::size_t rc = iconv(cd, &in, &inLeft, &o, &oLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1))
        throw std::runtime_error("log is not GBK");
    out.resize(out.size() - oLeft);
    return out;
}

// "[tag](YYYY-MM-DD HH:MM:SS):" at the start of a line.
bool SplitHeader(const std::string& line, std::string& tag, std::string& message) {
    if (line.empty() || line[0] != '[')
        return false;
    const std::size_t close = line.find("](");
    if (close == std::string::npos || line.size() < close + 2 + 19 + 2)
        return false;
    const std::string time = line.substr(close + 2, 19);
    if (time[4] != '-' || time[7] != '-' || time[10] != ' ' || time[13] != ':' || time[16] != ':')
        return false;
    if (line.compare(close + 21, 2, "):") != 0)
        return false;
    tag = line.substr(1, close - 1);
    message = line.substr(close + 23);
    return true;
}

} // namespace

std::vector<LogEntry> ReadLog(const std::string& path) {
    const std::string text = GbkToUtf8(readFile(path));
    std::vector<LogEntry> entries;
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t nl = text.find('\n', from);
        if (nl == std::string::npos)
            nl = text.size();
        std::string line = text.substr(from, nl - from);
        from = nl + 1;
        // Each LF was written as CR LF; a CR of the message itself stays.
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        LogEntry e;
        if (SplitHeader(line, e.tag, e.message))
            entries.push_back(std::move(e));
        else if (!entries.empty())
            entries.back().message += "\n" + line;
        else
            throw std::runtime_error("log does not start with an entry");
    }
    return entries;
}

DiagRecord SampleRecord(const std::string& sn, const std::string& op) {
    DiagRecord r;
    r.Operator = op;
    r.Mac = "00-1A-2B-3C-4D-5E";
    r.sn = sn;
    r.DeviceType = "KT540G";
    r.FE1Check = CheckPassed;
    r.FE2Check = CheckFailed;
    r.SoftWareVersionCheck = "V1.0.3";
    r.PSCheck = "OK";
    r.CPULoadCheck = 12.5f;
    r.MemCheck = 99.9f;
    r.PreConfigCheck = CheckPassed;
    return r;
}

UploadTest::UploadTest() {
    dir.writeSettings(kUploadSubnet);
    SelectLanguage("Chinese");
    if (!LogFile::instance().open(dir.file("orva.log")))
        throw std::runtime_error("cannot open the log");
}

UploadTest::~UploadTest() = default;

UploadConfig UploadTest::config(const std::string& url, int runNet) const {
    UploadConfig c;
    c.reportUrl = url;
    c.runNet = runNet;
    c.http.timeout = std::chrono::seconds(20);
    c.userAgent = "orva-test";
    return c;
}

void UploadTest::storeUploads(const std::vector<DiagRecord>& records) {
    RecordStore store(dbPath());
    ASSERT_TRUE(store.open("uploads"));
    ASSERT_EQ(store.insert("uploads", records), RecordStore::Stored);
}

std::vector<std::string> UploadTest::uploadSns() {
    RecordStore store(dbPath());
    std::vector<std::string> sns;
    if (!store.open("uploads"))
        return sns;
    for (const RowTexts& row : store.readUploads().rows)
        sns.push_back(row.at(3).value_or("<null>"));
    return sns;
}

} // namespace orva::test
