// Where the all-logs export starts when the record store could not be opened as the page was made: the
// page adds no box of its own to the store's, and a later export never takes the whole history.
#include "DiagnosisPageFixture.h"
#include "TestSubnets.h"

#include <filesystem>

namespace orva::test {
namespace {

constexpr int kExportStartSubnet = orva::test::subnets::gui_diagnosis::kExportStart;

TEST_F(DiagnosisPageFixture, UnopenableStoreAtStartNeitherAddsABoxNorExportsTheHistory) {
    setUpProgram(kExportStartSubnet);
    // A directory where the database should be: no store can be opened.
    const std::string db = dir.file("orvalog.db");
    std::filesystem::create_directories(db);
    {
        RecordStore probe;
        probe.holdMessages(true);
        ASSERT_FALSE(probe.open("logs"));
    }
    makePage();
    EXPECT_TRUE(notifier.messages().empty()); // the login's own store says why; once is enough

    // The database comes back, with diagnoses of earlier days in it.
    std::filesystem::remove_all(db);
    {
        RecordStore store;
        ASSERT_TRUE(store.open("logs"));
        DiagRecord old;
        old.Operator = "tech00";
        old.sn = "OLD0001";
        ASSERT_EQ(store.insert("logs", {old, old}), RecordStore::Stored);
        store.close();
    }
    ASSERT_EQ(storedLogs().size(), 2u);
    // Nothing diagnosed yet: the export would take none of them.
    {
        RecordStore store;
        ASSERT_TRUE(store.open("logs"));
        EXPECT_TRUE(store.logsAfter(page->logIdAtStart()).empty());
    }

    // This run's diagnosis is what the export takes, and only it.
    startSimulator();
    page->session().setDeviceTemplate(DeviceTemplate{"KT540G", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}});
    click(page->startButton());
    ASSERT_TRUE(waitForRunEnd());
    ASSERT_EQ(page->session().lastRun().outcome, RunOutcome::Finished);
    RecordStore store;
    ASSERT_TRUE(store.open("logs"));
    const std::vector<StoredRecord> exported = store.logsAfter(page->logIdAtStart());
    ASSERT_EQ(exported.size(), 1u);
    EXPECT_EQ(exported[0].record.sn, "SN0170");
}

} // namespace
} // namespace orva::test
