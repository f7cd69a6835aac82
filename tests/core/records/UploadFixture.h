#pragma once
// Shared pieces of the upload suites: a program directory with its own log, reporting services on
// 127.0.0.1 (the simulator's, and the scripted one of HttpPeers.h), and readers for orva.log and the
// uploads table.
#include "core/records/RecordStore.h"
#include "core/records/Upload.h"

#include "HttpPeers.h"
#include "TestSubnets.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace orva::test {

// Every suite that writes a setting.ini takes its addresses from this subnet.
constexpr int kUploadSubnet = orva::test::subnets::upload::kSettings;

constexpr const char* kAccepted = "<Response><Code>0</Code></Response>";
constexpr const char* kRefused = "<Response><Code>1</Code></Response>";

struct LogEntry {
    std::string tag;
    std::string message;
    bool operator==(const LogEntry&) const = default;
};
std::ostream& operator<<(std::ostream& out, const LogEntry& e);

// orva.log read back: GBK to UTF-8, one entry per written line (a message spanning several lines is
// joined again).
std::vector<LogEntry> ReadLog(const std::string& path);

DiagRecord SampleRecord(const std::string& sn, const std::string& op = "tech");

class UploadTest : public ::testing::Test {
protected:
    UploadTest();
    ~UploadTest() override;

    std::string dbPath() const { return dir.file("orvalog.db"); }
    std::vector<LogEntry> log() const { return ReadLog(dir.file("orva.log")); }
    UploadConfig config(const std::string& url, int runNet = 1) const;
    // Stores records in uploads through a store of its own.
    void storeUploads(const std::vector<DiagRecord>& records);
    // The sn column of every row of uploads, ascending id.
    std::vector<std::string> uploadSns();

    TempProgramDir dir{"upload"};
    RecordingNotifier notes;
};

} // namespace orva::test
