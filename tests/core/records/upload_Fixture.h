#pragma once
// Shared pieces of the upload suites: a program directory with its own log, reporting services on
// 127.0.0.1 (the simulator's, and a scripted one that answers each request from a list), and readers
// for orva.log and the uploads table.
#include "core/records/RecordStore.h"
#include "core/records/Upload.h"

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

namespace httplib {
class Server;
}

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

// A reporting service whose replies are scripted per request, in order; after the script it answers
// `fallback`. A 200 with an empty body is what the client sees as no answer at all.
struct ServiceReply {
    int status = 200;
    std::string body;
    std::string type = "text/xml; charset=utf-8";
};

class ScriptedService {
public:
    using Reply = ServiceReply;
    explicit ScriptedService(std::vector<Reply> script, Reply fallback = {200, kAccepted});
    ~ScriptedService();

    std::string url() const;
    std::vector<std::string> bodies() const;
    // Runs inside the handler of each request, before it answers (index counts from 0).
    void setOnRequest(std::function<void(std::size_t index, const std::string& body)> hook);

private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = 0;
    mutable std::mutex mutex_;
    std::vector<Reply> script_;
    Reply fallback_;
    std::vector<std::string> bodies_;
    std::function<void(std::size_t, const std::string&)> hook_;
};

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
