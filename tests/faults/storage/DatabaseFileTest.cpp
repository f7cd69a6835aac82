// orvalog.db that cannot be used: not a database, read-only, in a read-only directory, a directory, on a
// read-only file system. The diagnosis does not start: the technician is told why before any command
// goes to the gateway or any question is asked (and a script sees it in the exit code), and what was in
// the file stays as it was.
#include "ChildProcess.h"
#include "FaultSupport.h"

#include "SimulatorPeers.h"
#include "TestSubnets.h"
#include "TestSupport.h"
#include "core/app/InstanceGuard.h"
#include "core/records/RecordStore.h"
#include "core/records/SqliteDb.h"
#include "core/web/LoginFile.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sys/mount.h>

#include <sched.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <random>

namespace orva::test {
namespace {

constexpr int kSubnet = orva::test::subnets::faults_dbfile::kDatabaseFile;

struct Prepared {
    std::vector<std::unique_ptr<Immutable>> locks;
    bool ok = true;
    void lock(const std::string& path) {
        locks.push_back(std::make_unique<Immutable>(path));
        ok = ok && locks.back()->works();
    }
};

std::string GarbageBytes() {
    std::mt19937 gen(181);
    std::string bytes(8192, '\0');
    for (char& c : bytes)
        c = static_cast<char>(gen() & 0xFF);
    return bytes;
}

void StoreOldRecord(const TempProgramDir& dir) {
    RecordStore store(dir.file("orvalog.db"));
    ASSERT_TRUE(store.open("logs"));
    ASSERT_EQ(store.insert("logs", {SampleRecord("OLD-1")}), RecordStore::Stored);
    ASSERT_TRUE(store.open("uploads"));
    ASSERT_EQ(store.insert("uploads", {SampleRecord("OLD-1")}), RecordStore::Stored);
}

struct DbCase {
    const char* name;
    std::function<void(const TempProgramDir&, Prepared&)> prepare;
    const char* message; // the wrapper's text the technician is shown
    bool oldRecord;      // the file held OLD-1 beforehand, which must still be there
    int uploadCode;      // orva-cli upload's exit code (1: OLD-1 still waits, the reports being off)
};

class GatewayOnSubnet : public ::testing::Test {
protected:
    void SetUp() override {
        dir.writeSettings(kSubnet, {{"RunNet", "0"}});
        ShipDeviceIni(dir.path());
        ASSERT_TRUE(StartSimulator(gateway, kSubnet, {.sn = "DBF-1"}));
    }
    void TearDown() override { gateway->stop(); }

    // The run was refused before its first command: the gateway heard nothing, no question was asked.
    void expectRefusedBeforeAnything(const ChildOutcome& o, const std::string& message) const {
        EXPECT_EQ(o.signal, 0);
        EXPECT_EQ(o.code, 2) << o.err;
        EXPECT_NE(o.err.find(message), std::string::npos) << o.err;
        EXPECT_EQ(o.err.find("not stored"), std::string::npos) << o.err;
        const auto doc = nlohmann::json::parse(o.out, nullptr, false);
        ASSERT_FALSE(doc.is_discarded()) << o.out;
        EXPECT_FALSE(doc["completed"].get<bool>());
        EXPECT_EQ(doc["outcome"], "not-started");
        EXPECT_TRUE(doc["items"].empty());
        EXPECT_TRUE(doc["record"].is_null());
        EXPECT_TRUE(gateway->commands().empty());
    }

    TempProgramDir dir{"orva-faults-db"};
    std::unique_ptr<sim::GatewaySimulator> gateway;
};

class DatabaseFile : public GatewayOnSubnet, public ::testing::WithParamInterface<DbCase> {};

TEST_P(DatabaseFile, TheRunDoesNotStartAndTheTechnicianIsToldWhy) {
    const DbCase& c = GetParam();
    const std::string db = dir.file("orvalog.db");
    Prepared prepared;
    c.prepare(dir, prepared);
    if (!prepared.ok)
        GTEST_SKIP() << "the immutable attribute cannot be set here";
    const std::string before = std::filesystem::is_regular_file(db) ? readFile(db) : "";

    ChildProcess cli(CliPath(), DiagnoseArgs(dir.path(), gatewayAddress(kSubnet)));
    expectRefusedBeforeAnything(cli.finish(), c.message);

    ChildProcess upload(CliPath(), CliArgs(dir.path(), {"upload"}));
    const ChildOutcome u = upload.finish();
    EXPECT_EQ(u.signal, 0);
    EXPECT_EQ(u.code, c.uploadCode) << u.out << u.err;

    prepared.locks.clear();
    // Nothing the tool could not use was overwritten or half-written.
    if (std::filesystem::is_regular_file(db)) {
        EXPECT_EQ(readFile(db), before);
    }
    if (c.oldRecord) {
        EXPECT_EQ(IntegrityCheck(db), "ok");
        EXPECT_EQ(SerialsIn(db, "logs"), std::vector<std::string>{"OLD-1"});
        EXPECT_EQ(SerialsIn(db, "uploads"), std::vector<std::string>{"OLD-1"});
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, DatabaseFile,
                         ::testing::Values(DbCase{"NotADatabase",
                                                  [](const TempProgramDir& d, Prepared&) {
                                                      writeFile(d.file("orvalog.db"), GarbageBytes());
                                                  },
                                                  "UNKNOWN_ERROR[26]: file is not a database", false, 2},
                                           DbCase{"ReadOnlyFile",
                                                  [](const TempProgramDir& d, Prepared& p) {
                                                      StoreOldRecord(d);
                                                      p.lock(d.file("orvalog.db"));
                                                  },
                                                  "SQLITE_READONLY[8]: attempt to write a readonly database", true, 1},
                                           DbCase{"ReadOnlyDirectory",
                                                  [](const TempProgramDir& d, Prepared& p) {
                                                      StoreOldRecord(d);
                                                      p.lock(d.path());
                                                  },
                                                  "SQLITE_CANTOPEN[14]: unable to open database file", true, 1},
                                           DbCase{"ReadOnlyDirectoryWithoutDatabase",
                                                  [](const TempProgramDir& d, Prepared& p) { p.lock(d.path()); },
                                                  "SQLITE_CANTOPEN[14]: unable to open database file", false, 2},
                                           DbCase{"DatabaseIsADirectory",
                                                  [](const TempProgramDir& d, Prepared&) {
                                                      std::filesystem::create_directory(d.file("orvalog.db"));
                                                  },
                                                  "SQLITE_CANTOPEN[14]: unable to open database file", false, 2}),
                         [](const auto& info) { return std::string(info.param.name); });

// A program directory on a read-only file system (a small tmpfs, remounted read-only, in a mount
// namespace of this test's own): the store and the instance lock both name the read-only file system,
// with and without an orvalog.db there.
TEST_F(GatewayOnSubnet, AReadOnlyFileSystemIsNamedAndTheRunDoesNotStart) {
    if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        GTEST_SKIP() << "no mount namespace of our own here";
    std::string mountPoint = dir.path();
    mountPoint.pop_back();
    if (::mount("orva-rofs", mountPoint.c_str(), "tmpfs", 0, "size=4m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{mountPoint};
    const auto remount = [&](unsigned long flags) {
        return ::mount(nullptr, mountPoint.c_str(), nullptr, MS_REMOUNT | flags, nullptr) == 0;
    };
    std::filesystem::create_directory(dir.file("res"));
    dir.writeSettings(kSubnet, {{"RunNet", "0"}});
    ShipDeviceIni(dir.path());

    const std::string readOnly = "(Read-only file system)";
    for (const bool withDatabase : {true, false}) {
        SCOPED_TRACE(withDatabase ? "orvalog.db there" : "no orvalog.db");
        ASSERT_TRUE(remount(0));
        std::filesystem::remove(dir.file("orvalog.db"));
        std::filesystem::remove(dir.file("orva.log"));
        if (withDatabase)
            StoreOldRecord(dir);
        ASSERT_TRUE(remount(MS_RDONLY));
        ChildProcess cli(CliPath(), DiagnoseArgs(dir.path(), gatewayAddress(kSubnet)));
        const ChildOutcome o = cli.finish();
        expectRefusedBeforeAnything(o, (withDatabase ? "SQLITE_READONLY[8]: attempt to write a readonly database "
                                                     : "SQLITE_CANTOPEN[14]: unable to open database file ") +
                                           readOnly);
        EXPECT_NE(o.err.find("cannot create the lock " + dir.file("orva.lock") + " (Read-only file system)"),
                  std::string::npos)
            << o.err;
        EXPECT_EQ(o.err.find("No such file or directory"), std::string::npos) << o.err;
        if (withDatabase) {
            EXPECT_EQ(SerialsIn(dir.file("orvalog.db"), "logs"), std::vector<std::string>{"OLD-1"});
        }
    }
}

// logs and uploads are written in one transaction, yet a table whose rows cannot be stored does not take
// the other table's rows down with it.
TEST(FinishedRecords, EachTableStandsOnItsOwnInTheSharedTransaction) {
    struct Case {
        const char* name;
        const char* foreignTable; // created beforehand with another shape, so its rows fail; "" for none
        int uploads, logs;
    };
    const std::vector<Case> cases = {
        {"Sound", "", RecordStore::Stored, RecordStore::Stored},
        {"ForeignLogs", "logs", RecordStore::Stored, RecordStore::StoreFailed},
        {"ForeignUploads", "uploads", RecordStore::StoreFailed, RecordStore::Stored},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempProgramDir dir("orva-faults-both");
        const std::string db = dir.file("orvalog.db");
        if (*c.foreignTable) {
            SqliteDb raw;
            raw.open(db);
            raw.execute(std::string("CREATE TABLE ") + c.foreignTable + " (sn TEXT)");
        }
        RecordingNotifier notifier;
        RecordStore store(db);
        ASSERT_TRUE(store.open(std::vector<std::string>{"uploads", "logs"}));
        const auto r = store.insertFinished({SampleRecord("BOTH-1"), SampleRecord("BOTH-2")}, true);
        store.close();
        EXPECT_EQ(r.uploads, c.uploads);
        EXPECT_EQ(r.logs, c.logs);
        EXPECT_EQ(notifier.messages().size(), *c.foreignTable ? 1u : 0u);
        const std::vector<std::string> both = {"BOTH-1", "BOTH-2"};
        if (c.uploads == RecordStore::Stored) {
            EXPECT_EQ(SerialsIn(db, "uploads"), both);
        }
        if (c.logs == RecordStore::Stored) {
            EXPECT_EQ(SerialsIn(db, "logs"), both);
        }
        EXPECT_EQ(IntegrityCheck(db), "ok");
    }
}

// The lock file of a read-only installation still keeps a second copy out, and only a copy that holds it
// does: without one the tool goes on (and says it has no guard).
TEST(ReadOnlyProgramDirectory, OnlyACopyHoldingTheLockKeepsTheNextOneOut) {
    TempProgramDir dir("orva-faults-lock");
    dir.writeSettings(kSubnet, {{"RunNet", "0"}});
    ASSERT_TRUE(RememberCredentials(dir.file("res/login.xml"), "tech01", "pw"));
    StoreOldRecord(dir);
    writeFile(dir.file("orva.lock"), "");
    Immutable lockFile(dir.file("orva.lock"));
    Immutable programDir(dir.path());
    if (!lockFile.works() || !programDir.works())
        GTEST_SKIP() << "the immutable attribute cannot be set here";
    const auto logs = CliArgs(dir.path(), {"logs", "--sn", "OLD-1"});
    {
        InstanceGuard first(dir.path());
        ASSERT_TRUE(first.acquired());
        ChildProcess second(CliPath(), logs);
        const ChildOutcome o = second.finish();
        EXPECT_EQ(o.code, 75) << o.err;
        EXPECT_NE(o.err.find("another copy"), std::string::npos) << o.err;
    }
    ChildProcess alone(CliPath(), logs);
    const ChildOutcome o = alone.finish();
    EXPECT_EQ(o.code, 0) << o.err;
    EXPECT_NE(o.out.find("OLD-1"), std::string::npos) << o.out;
}

} // namespace
} // namespace orva::test
