// The upload of stored records: what is sent, what is deleted, the log of the pass, no lock held while
// a request is out, and stopping the pass thread.
#include "upload_Fixture.h"

#include "core/records/ReportDocument.h"
#include "core/records/SqliteDb.h"
#include "core/records/SqliteError.h"
#include "core/records/UploadPass.h"

#include <chrono>
#include <filesystem>

namespace orva::test {
namespace {

using Reply = ScriptedService::Reply;

const LogEntry kOpened{"UPLOAD", "DB 开启，准备上传数据到云平台"};
const LogEntry kNoTable{"UPLOAD", "找不到Uploads表"};
const LogEntry kContent{"UPLOAD", "上传内容为："};
const LogEntry kSent{"UPLOAD", "记录 上传成功"};
const LogEntry kDeleted{"UPLOAD", "删除数据库暂存记录成功"};
const LogEntry kFailed{"UPLOAD", "记录 上传失败"};
const LogEntry kClosed{"UPLOAD", "DB关闭"};

std::vector<DiagRecord> Records(const std::vector<std::string>& sns) {
    std::vector<DiagRecord> out;
    for (const auto& sn : sns)
        out.push_back(SampleRecord(sn, "张伟"));
    return out;
}

using UploadPassTest = UploadTest;

TEST_F(UploadPassTest, DeletesOnlyTheRowsTheServiceAccepted) {
    storeUploads(Records({"SN-A", "SN-B", "SN-C", "SN-D", "SN-E"}));
    ScriptedService service({
        {200, kAccepted},
        {200, kRefused},
        {500, "<html><body><h1>Internal Server Error</h1></body></html>", "text/html"},
        {200, ""}, // nothing came back
        {200, kAccepted},
    });
    RecordStore store(dbPath());
    const UploadPassResult result = uploadStoredRecords(store, config(service.url()));

    EXPECT_TRUE(result.opened);
    EXPECT_EQ(result.rows, 5);
    EXPECT_EQ(result.accepted, 2);
    EXPECT_EQ(result.failed, 3);
    EXPECT_FALSE(result.stopped);
    EXPECT_FALSE(store.isOpen());
    EXPECT_EQ(uploadSns(), (std::vector<std::string>{"SN-B", "SN-C", "SN-D"}));

    const auto bodies = service.bodies();
    ASSERT_EQ(bodies.size(), 5u);
    for (const auto& body : bodies) {
        EXPECT_NE(body.find("\r\n<Operator>张伟</Operator>\r\n"), std::string::npos) << body;
        EXPECT_NE(body.find("\r\n<CPULoadCheck>12</CPULoadCheck>\r\n<MemCheck>99</MemCheck>\r\n"), std::string::npos);
    }
    EXPECT_NE(bodies[3].find("<SN>SN-D</SN>"), std::string::npos);

    // Every line of the pass, in order; each document line is the body that was sent.
    std::vector<LogEntry> expected{kOpened};
    const bool accepted[] = {true, false, false, false, true};
    for (std::size_t i = 0; i < 5; ++i) {
        expected.push_back(kContent);
        expected.push_back({"UPLOAD", bodies[i]});
        if (accepted[i]) {
            expected.push_back(kSent);
            expected.push_back(kDeleted);
        } else {
            expected.push_back(kFailed);
        }
    }
    expected.push_back(kClosed);
    EXPECT_EQ(log(), expected);
}

TEST_F(UploadPassTest, RunNetZeroSendsNothingAndKeepsEveryRow) {
    storeUploads(Records({"SN-A", "SN-B"}));
    ScriptedService service({});
    RecordStore store(dbPath());
    const UploadPassResult result = uploadStoredRecords(store, config(service.url(), 0));
    EXPECT_EQ(result.failed, 2);
    EXPECT_TRUE(service.bodies().empty());
    EXPECT_EQ(uploadSns(), (std::vector<std::string>{"SN-A", "SN-B"}));

    const auto entries = log();
    ASSERT_EQ(entries.size(), 8u);
    EXPECT_EQ(entries[0], kOpened);
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(entries[1 + 3 * i], kContent);
        EXPECT_NE(entries[2 + 3 * i].message.find(i == 0 ? "<SN>SN-A</SN>" : "<SN>SN-B</SN>"), std::string::npos);
        EXPECT_EQ(entries[3 + 3 * i], kFailed);
    }
    EXPECT_EQ(entries[7], kClosed);
}

TEST_F(UploadPassTest, EmptyTableOnlyOpensAndCloses) {
    ScriptedService service({});
    RecordStore store(dbPath());
    const UploadPassResult result = uploadStoredRecords(store, config(service.url()));
    EXPECT_TRUE(result.opened);
    EXPECT_EQ(result.rows, 0);
    EXPECT_TRUE(service.bodies().empty());
    EXPECT_EQ(log(), (std::vector<LogEntry>{kOpened, kClosed}));
}

TEST_F(UploadPassTest, StoreThatCannotOpenEndsThePass) {
    ScriptedService service({});
    RecordStore store(dir.file("missing-dir/orvalog.db"));
    const UploadPassResult result = uploadStoredRecords(store, config(service.url()));
    EXPECT_FALSE(result.opened);
    EXPECT_TRUE(service.bodies().empty());
    EXPECT_EQ(notes.messages(), std::vector<std::string>{"SQLITE_CANTOPEN[14]: unable to open database file"});
    EXPECT_EQ(log(), (std::vector<LogEntry>{kOpened, kNoTable, kClosed}));
}

TEST_F(UploadPassTest, NoLockIsHeldWhileARequestIsOut) {
    storeUploads(Records({"SN-A", "SN-B"}));
    ScriptedService service({});
    // Another client writes while the pass waits for the service; it must not have to wait at all.
    int lateInsert = -100;
    int firstStillStored = -100;
    service.setOnRequest([&](std::size_t index, const std::string&) {
        SqliteDb other;
        other.open(dbPath());
        other.setBusyWait(0);
        if (index == 0) {
            try {
                other.execute("INSERT INTO uploads (sn) VALUES (?)", {std::string("SN-LATE")});
                lateInsert = 0;
            } catch (const SqliteError& e) {
                lateInsert = e.code();
            }
        } else
            firstStillStored = other.queryInt("SELECT count(*) FROM uploads WHERE sn = 'SN-A'");
    });
    RecordStore store(dbPath());
    const UploadPassResult result = uploadStoredRecords(store, config(service.url()));

    EXPECT_EQ(lateInsert, 0);
    // The first deletion was committed before the second request went out.
    EXPECT_EQ(firstStillStored, 0);
    // The pass sends what it read at its start; the late row waits for the next one.
    EXPECT_EQ(result.rows, 2);
    EXPECT_EQ(service.bodies().size(), 2u);
    EXPECT_EQ(uploadSns(), std::vector<std::string>{"SN-LATE"});
}

TEST_F(UploadPassTest, ThreadRunsOnePassAndMayRunAgainAfterItEnded) {
    storeUploads(Records({"SN-A"}));
    ScriptedService service({});
    UploadPass pass(dbPath(), config(service.url()));
    EXPECT_FALSE(pass.lastResult().has_value());
    ASSERT_TRUE(pass.start());
    pass.wait();
    EXPECT_FALSE(pass.running());
    ASSERT_TRUE(pass.lastResult().has_value());
    EXPECT_EQ(pass.lastResult()->accepted, 1);
    EXPECT_TRUE(uploadSns().empty());

    ASSERT_TRUE(pass.start());
    pass.wait();
    EXPECT_EQ(pass.lastResult()->rows, 0);
    EXPECT_EQ(service.bodies().size(), 1u);
}

TEST_F(UploadPassTest, StoppedWhileSendingKeepsThatRowAndSendsNoMore) {
    storeUploads(Records({"SN-A", "SN-B"}));
    ScriptedService service({});
    std::mutex m;
    std::condition_variable cv;
    bool entered = false;
    bool release = false;
    service.setOnRequest([&](std::size_t, const std::string&) {
        std::unique_lock lock(m);
        entered = true;
        cv.notify_all();
        // Only a safety net against a hanging test; the test releases the request itself.
        cv.wait_for(lock, std::chrono::seconds(30), [&] { return release; });
    });

    UploadPass pass(dbPath(), config(service.url()));
    ASSERT_TRUE(pass.start());
    {
        std::unique_lock lock(m);
        ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(30), [&] { return entered; }));
    }
    EXPECT_TRUE(pass.running());
    EXPECT_FALSE(pass.start()); // one pass at a time
    pass.requestStop();
    {
        std::lock_guard lock(m);
        release = true; // the service accepts, but the tool was already closing
    }
    cv.notify_all();
    pass.wait();

    ASSERT_TRUE(pass.lastResult().has_value());
    EXPECT_TRUE(pass.lastResult()->stopped);
    EXPECT_EQ(pass.lastResult()->accepted, 0);
    EXPECT_EQ(service.bodies().size(), 1u);
    EXPECT_EQ(uploadSns(), (std::vector<std::string>{"SN-A", "SN-B"}));
    EXPECT_EQ(log(), (std::vector<LogEntry>{kOpened, kClosed}));
}

// Closing the tool stops the pass while a report is out to a service that is slow to answer: the
// request is given up at once rather than waited out, and the row stays for the next start.
TEST_F(UploadPassTest, StopDuringASlowReportEndsItAndKeepsTheRow) {
    struct Gate {
        std::mutex m;
        std::condition_variable cv;
        bool entered = false;
        bool release = false;
        bool answered = false;
    } gate; // outlives the service, whose handler may still wait on it
    ScriptedService service({});
    service.setOnRequest([&](std::size_t, const std::string&) {
        std::unique_lock lock(gate.m);
        gate.entered = true;
        gate.cv.notify_all();
        // Answers only when the test lets it (or, should the stop not reach the request, after the
        // client's whole time-out, which fails the test below without hanging it).
        gate.cv.wait_for(lock, std::chrono::seconds(60), [&] { return gate.release; });
        gate.answered = true;
    });
    struct ReleaseAtEnd {
        Gate& gate;
        ~ReleaseAtEnd() {
            {
                std::lock_guard lock(gate.m);
                gate.release = true;
            }
            gate.cv.notify_all();
        }
    } releaseAtEnd{gate};

    storeUploads(Records({"SN-A", "SN-B"}));
    UploadConfig c = config(service.url());
    c.http.timeout = std::chrono::seconds(60);
    UploadPass pass(dbPath(), c);
    ASSERT_TRUE(pass.start());
    {
        std::unique_lock lock(gate.m);
        ASSERT_TRUE(gate.cv.wait_for(lock, std::chrono::seconds(60), [&] { return gate.entered; }));
    }
    pass.requestStop();
    pass.wait();
    {
        std::lock_guard lock(gate.m);
        EXPECT_FALSE(gate.answered) << "the pass waited for the answer instead of giving the request up";
    }

    ASSERT_TRUE(pass.lastResult().has_value());
    EXPECT_TRUE(pass.lastResult()->stopped);
    EXPECT_EQ(pass.lastResult()->rows, 1);
    EXPECT_EQ(service.bodies().size(), 1u);
    EXPECT_EQ(uploadSns(), (std::vector<std::string>{"SN-A", "SN-B"}));
    EXPECT_EQ(log(), (std::vector<LogEntry>{kOpened, kClosed}));
}

// A reply that came back complete while a stop was being asked for: an acceptance still deletes the row
// (else the service would get it a second time at the next start), anything else leaves it for then.
TEST_F(UploadPassTest, AnAcceptanceThatArrivesAsTheStopComesStillDeletesTheRow) {
    struct Case {
        const char* name;
        std::string reply;
        bool stopRequested;
        RowOutcome outcome;
        bool rowStays;
        std::vector<LogEntry> lines; // after the document line pair, if any
    };
    const std::vector<Case> cases = {
        {"AcceptedWhileStopping", kAccepted, true, RowOutcome::Accepted, false, {kSent, kDeleted}},
        {"RefusedWhileStopping", kRefused, true, RowOutcome::Stopped, true, {}},
        {"NothingWhileStopping", "", true, RowOutcome::Stopped, true, {}},
        {"RefusedWithoutStop", kRefused, false, RowOutcome::Failed, true, {kFailed}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(dbPath());
        storeUploads(Records({"SN-A"}));
        const std::size_t linesBefore = log().size();
        RecordStore store(dbPath());
        ASSERT_TRUE(store.open("uploads"));
        const RecordRows rows = store.readUploads();
        ASSERT_EQ(rows.rows.size(), 1u);
        const StoredRecord stored = RecordFromRow(rows.rows[0]);
        const std::string document = buildReportDocument(stored.record).GetText();
        EXPECT_EQ(settleStoredRow(stored.id, document, c.reply, c.stopRequested, store), c.outcome);
        store.close();
        EXPECT_EQ(uploadSns(), c.rowStays ? std::vector<std::string>{"SN-A"} : std::vector<std::string>{});
        std::vector<LogEntry> expected;
        if (c.outcome != RowOutcome::Stopped) {
            expected = {kContent, {"UPLOAD", document}};
            expected.insert(expected.end(), c.lines.begin(), c.lines.end());
        }
        const auto lines = log();
        EXPECT_EQ(std::vector<LogEntry>(lines.begin() + static_cast<long>(linesBefore), lines.end()), expected);
    }
}

TEST_F(UploadPassTest, StopBeforeTheFirstRowSendsNothing) {
    storeUploads(Records({"SN-A"}));
    ScriptedService service({});
    std::stop_source source;
    source.request_stop();
    RecordStore store(dbPath());
    const UploadPassResult result = uploadStoredRecords(store, config(service.url()), source.get_token());
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.rows, 0);
    EXPECT_TRUE(service.bodies().empty());
    EXPECT_EQ(uploadSns(), std::vector<std::string>{"SN-A"});
}

} // namespace
} // namespace orva::test
