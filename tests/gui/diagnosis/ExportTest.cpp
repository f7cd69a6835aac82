// The all-logs tab's save button: the diagnoses finished since the tool started, as an .xls workbook.
#include "DiagnosisPageFixture.h"

#include "TestSubnets.h"
#include "core/records/ExportRecords.h"

#include <QRegularExpression>

#include <cstdio>

namespace orva::test {
namespace {

// The sheet names, row count and the serial column of the first sheet, read back by xlrd; empty when
// the Debian python3 with xlrd is not there.
std::string ReadBack(const std::string& path) {
    const std::string script = "import sys, xlrd\n"
                               "b = xlrd.open_workbook(sys.argv[1])\n"
                               "s = b.sheet_by_index(0)\n"
                               "print(','.join(b.sheet_names()), s.nrows, ','.join(s.col_values(2)))\n";
    const std::string scriptPath = path + ".py";
    writeFile(scriptPath, script);
    if (std::system("/usr/bin/python3 -c 'import xlrd' >/dev/null 2>&1") != 0)
        return {};
    std::FILE* p = ::popen(("/usr/bin/python3 " + scriptPath + " " + path).c_str(), "r");
    if (!p)
        return {};
    std::string out;
    char buf[512];
    while (std::fgets(buf, sizeof buf, p))
        out += buf;
    ::pclose(p);
    return out;
}

TEST_F(DiagnosisPageFixture, SaveButtonExportsTheDiagnosesOfThisRun) {
    setUpProgram(orva::test::subnets::gui_diagnosis::kPageE);
    // A diagnosis of an earlier day of work: not part of this run's export.
    {
        RecordStore store;
        ASSERT_TRUE(store.open("logs"));
        DiagRecord old;
        old.Operator = "tech00";
        old.sn = "OLD0001";
        ASSERT_EQ(store.insert("logs", {old}), RecordStore::Stored);
        store.close();
    }
    startSimulator();
    makePage();
    click(page->allLogsButton());
    QPushButton* save = page->allLogsTab()->saveButton();
    ASSERT_TRUE(save->isVisible());

    // Nothing on the tab yet: nothing to save, no dialog.
    UiPrompts::queueFileName(Q(dir.file("early.xls")));
    click(save);
    EXPECT_TRUE(UiPrompts::shown().empty());
    EXPECT_FALSE(fileExists(dir.file("early.xls")));
    UiPrompts::setTestMode(true); // empties the queue

    page->session().setDeviceTemplate(DeviceTemplate{"KT540G", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}});
    click(page->startButton());
    ASSERT_TRUE(waitForRunEnd());
    ASSERT_EQ(storedLogs().size(), 2u);

    struct SaveCase {
        std::string fileName; // empty: the dialog is cancelled
        bool written;
    };
    for (const SaveCase& c : {SaveCase{"", false}, SaveCase{"run.xls", true}}) {
        SCOPED_TRACE(c.fileName);
        UiPrompts::clearShown();
        const std::string path = c.fileName.empty() ? std::string() : dir.file(c.fileName);
        UiPrompts::queueFileName(Q(path));
        click(save);
        const auto shown = UiPrompts::shown();
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown[0].kind, UiPrompts::Kind::SaveFile);
        // The proposed name: the date and time without leading zeros.
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^[0-9]{8,14}\\.xls$")).match(shown[0].caption).hasMatch())
            << shown[0].caption.toStdString();
        if (!c.written) {
            EXPECT_EQ(shown.size(), 1u);
            continue;
        }
        ASSERT_EQ(shown.size(), 2u);
        EXPECT_EQ(shown[1].kind, UiPrompts::Kind::Information);
        EXPECT_EQ(shown[1].text, QString::fromUtf8(ExportSavedText));
        const std::string bytes = readFile(path);
        ASSERT_GE(bytes.size(), 512u);
        EXPECT_EQ(bytes.substr(0, 4), std::string("\xD0\xCF\x11\xE0", 4));
        const std::string back = ReadBack(path);
        if (!back.empty()) {
            EXPECT_EQ(back, "tech01 2 SN,SN0170\n");
        }
    }
}

} // namespace
} // namespace orva::test
