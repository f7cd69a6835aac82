// A long desktop session, offscreen: one diagnosis page runs diagnosis after diagnosis against the
// in-process simulator (reporting service turning every third report down), the technician answering
// every question with OK. After each run the process's open descriptors (/proc/self/fd) and resident
// memory (VmRSS) are sampled; at the end the table, and whether both stay flat from the 20th run on.
//
//   bench_soak_gui [--runs N] [--subnet S] [--clear-all-logs]
//
// Defaults: 200 runs, subnet 6 (the gateway answers on 127.0.S.1). The tab of all diagnoses since the
// start keeps every row by design, so it grows with every run; --clear-all-logs empties that list after
// each run, to tell its growth apart from anything else. The simulator lives in this process: its
// journal is emptied before each run, and the reports it keeps (about one document per run) count in.
#include "core/app/AppSettings.h"
#include "core/app/LogFile.h"
#include "core/app/ProgramDirectory.h"
#include "core/app/TextTable.h"
#include "gui/common/GuiNotifier.h"
#include "gui/common/UiPrompts.h"
#include "gui/controls/CPngButton.h"
#include "gui/diagnosis/CDlgJudge.h"
#include "gui/diagnosis/CPage2Dlg.h"
#include "gui/diagnosis/CorvaDlg.h"
#include "core/diagnosis/DeviceModels.h"
#include "gui/diagnosis/DiagLogList.h"

#include "sim/GatewaySimulator.h"
#include "sim/ServiceEndpoints.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <sqlite3.h>

#include <malloc.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// The offscreen platform says so for every prompt window raised; nothing the soak needs to see.
QtMessageHandler g_previousHandler = nullptr;

void QuietMessages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.contains(QStringLiteral("does not support raise()")))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, text);
}

struct Sample {
    int run;
    long fds;
    long rssKb;
    long heapKb; // bytes the allocator has handed out and not got back
};

long HeapKb() {
    const struct mallinfo2 m = mallinfo2();
    return static_cast<long>((m.uordblks + m.hblkhd) / 1024);
}

long OpenDescriptors() {
    long n = 0;
    std::error_code ec;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", ec);
         !ec && it != std::filesystem::directory_iterator(); it.increment(ec))
        ++n;
    return n - 1; // the directory iterator's own descriptor
}

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return -1;
}

// Least-squares slope of y over the run number.
double Slope(const std::vector<Sample>& samples, long Sample::*field) {
    const double n = static_cast<double>(samples.size());
    if (n < 2)
        return 0;
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (const auto& s : samples) {
        const double x = s.run, y = static_cast<double>(s.*field);
        sx += x;
        sy += y;
        sxx += x * x;
        sxy += x * y;
    }
    const double d = n * sxx - sx * sx;
    return d == 0 ? 0 : (n * sxy - sx * sy) / d;
}

long CountRows(const std::string& db, const char* table) {
    sqlite3* handle = nullptr;
    long n = -1;
    if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        const std::string sql = std::string("SELECT COUNT(*) FROM [") + table + "]";
        if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW)
            n = sqlite3_column_int64(st, 0);
        sqlite3_finalize(st);
    }
    sqlite3_close(handle);
    return n;
}

std::string SerialOf(int run) {
    char text[32];
    std::snprintf(text, sizeof text, "SOAKG%05d", run);
    return text;
}

int ParseInt(const char* text) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    return end && *end == '\0' ? static_cast<int>(v) : -1;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 200;
    int subnet = 6;
    bool clearAllLogs = false;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--clear-all-logs") {
            clearAllLogs = true;
            continue;
        }
        const int v = i + 1 < argc ? ParseInt(argv[i + 1]) : -1;
        if (a == "--runs" && v >= 1) {
            runs = v;
        } else if (a == "--subnet" && v >= 1 && v <= 254) {
            subnet = v;
        } else {
            std::fprintf(stderr, "usage: bench_soak_gui [--runs N] [--subnet S] [--clear-all-logs]\n");
            return 64;
        }
        ++i;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    g_previousHandler = qInstallMessageHandler(QuietMessages);
    int qtArgc = 1;
    char name[] = "bench_soak_gui";
    char* qtArgv[] = {name, nullptr};
    QApplication app(qtArgc, qtArgv);

    const std::string gateway = "127.0." + std::to_string(subnet) + ".1";
    const std::string segment = "127.0." + std::to_string(subnet) + ".255";

    std::string templ = (std::filesystem::temp_directory_path() / "bench-soak-gui-XXXXXX").string();
    if (!mkdtemp(templ.data())) {
        std::fprintf(stderr, "bench_soak_gui: no temporary directory\n");
        return 1;
    }
    const std::string dir = templ + "/";
    std::filesystem::create_directories(dir + "res");
    std::filesystem::copy_file(std::string(ORVA_SOURCE_DIR) + "/res/device.ini", dir + "res/device.ini");

    orva::sim::Options options;
    options.address = gateway;
    options.model = "KT540G";
    options.http = "127.0.0.1:0";
    options.reportFailEvery = 3;
    options.reportFailMode = orva::sim::ReportMode::Code1;
    orva::sim::GatewaySimulator sim(options);
    const orva::Result<void> startup = sim.start();
    if (!startup) {
        std::fprintf(stderr, "bench_soak_gui: simulator: %s\n", startup.error().c_str());
        return 1;
    }
    const std::string service = sim.services()->httpUrl();
    {
        std::ofstream ini(dir + "res/setting.ini");
        ini << "[Setting]\nLanguage=Chinese\nMaintenanceAddress=" << gateway << "\nUpgradeAddress=" << segment
            << "\nLoginURL=" << service << "/login\nReportURL=" << service << "/report\nRunNet=1\nHttpTimeout=10\n";
    }
    orva::SetProgramDirectory(dir);
    orva::AppSettings settings;
    if (!orva::LoadAppSettings(orva::SettingsFilePath(), settings)) {
        std::fprintf(stderr, "bench_soak_gui: cannot read %s\n", orva::SettingsFilePath().c_str());
        return 1;
    }
    orva::SetSettings(settings);
    orva::SelectLanguage(settings.Language);
    if (!orva::LogFile::instance().open(dir + "orva.log")) {
        std::fprintf(stderr, "bench_soak_gui: cannot open the log\n");
        return 1;
    }
    // Prompts are answered in advance (none is expected to need a Yes); a fatal exit is only counted.
    orva::UiPromptsTestScope prompts;
    int fatalExits = 0;
    orva::GuiNotifier guiNotifier([&fatalExits](int) { ++fatalExits; });
    guiNotifier.install();

    orva::SessionOptions sessionOptions;
    sessionOptions.replyTimeoutSeconds = 5;
    auto page = std::make_unique<orva::CorvaDlg>(nullptr, nullptr, sessionOptions);
    page->setSettings(settings.Version, settings.LoginURL, settings.ReportURL);
    page->setOperatorName("soak");
    page->show();

    // The technician at the prompt window: OK to everything.
    long prompts_answered = 0;
    QTimer answerer;
    answerer.setInterval(5);
    QObject::connect(&answerer, &QTimer::timeout, [&] {
        orva::CDlgJudge* judge = page->judge();
        if (judge && judge->isVisible()) {
            ++prompts_answered;
            QTest::mouseClick(judge->okButton(), Qt::LeftButton);
        }
    });
    answerer.start();
    int ended = 0;
    std::vector<int> outcomes(8, 0);
    QObject::connect(page.get(), &orva::CorvaDlg::diagnosisEnded, [&](int outcome) {
        ++ended;
        if (outcome >= 0 && outcome < static_cast<int>(outcomes.size()))
            ++outcomes[static_cast<size_t>(outcome)];
    });

    QTest::mouseClick(page->confirmButton(), Qt::LeftButton);
    std::printf("offscreen diagnosis page, %d runs, KT540G on %s; every 3. report turned down%s\n", runs,
                gateway.c_str(), clearAllLogs ? "; all-diagnoses list emptied after each run" : "");
    std::printf("%5s %6s %9s %8s %9s %6s\n", "run", "fds", "VmRSS kB", "heap kB", "all rows", "secs");
    std::fflush(stdout);
    std::vector<Sample> samples;
    int stuck = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int run = 1; run <= runs; ++run) {
        orva::sim::Override serial;
        serial.prefix = "QUERY_SYSTEM_INFO";
        serial.fields = {{"DEVTYPE", SerialOf(run)}};
        sim.setOverrides({serial});
        sim.clearJournal();
        const auto t0 = std::chrono::steady_clock::now();
        const int before = ended;
        QTest::mouseClick(page->startButton(), Qt::LeftButton);
        if (!QTest::qWaitFor([&] { return ended > before && !page->running(); }, 120000)) {
            ++stuck;
            std::printf("run %d did not end within two minutes; stopping it\n", run);
            page->stopDiagnosis();
            (void)QTest::qWaitFor([&] { return !page->running(); }, 30000);
        }
        // Let the queued widget work of the run settle before looking at the process.
        QTest::qWait(20);
        orva::UiPrompts::clearShown(); // the test-mode record of prompts is not the tool's memory
        const int allRows = page->allLogsTab()->list()->rowCount();
        if (clearAllLogs)
            page->allLogsTab()->list()->clearResultRows();
        const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        samples.push_back({run, OpenDescriptors(), ResidentKb(), HeapKb()});
        std::printf("%5d %6ld %9ld %8ld %9d %6.1f\n", run, samples.back().fds, samples.back().rssKb,
                    samples.back().heapKb, allRows, secs);
        std::fflush(stdout);
    }
    const double minutes = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / 60.0;
    answerer.stop();

    const auto reports = sim.services()->reports();
    size_t turnedDown = 0;
    for (size_t k = 1; k <= reports.size(); ++k)
        turnedDown += k % 3 == 0;
    const long logs = CountRows(dir + "orvalog.db", "logs");
    const long uploads = CountRows(dir + "orvalog.db", "uploads");

    std::printf("\n%d runs in %.1f min; runs ended %d (outcome counts:", runs, minutes, ended);
    for (size_t i = 0; i < outcomes.size(); ++i)
        if (outcomes[i])
            std::printf(" %zu x%d", i, outcomes[i]);
    std::printf("), stuck %d, prompts answered %ld, fatal exits %d\n", stuck, prompts_answered, fatalExits);
    std::printf("reports received %zu, turned down %zu; logs %ld rows, uploads %ld rows\n", reports.size(), turnedDown,
                logs, uploads);
    std::vector<Sample> tail;
    for (const auto& s : samples)
        if (s.run >= 20)
            tail.push_back(s);
    if (tail.empty())
        tail = samples;
    auto [fdMin, fdMax] =
        std::minmax_element(tail.begin(), tail.end(), [](const Sample& a, const Sample& b) { return a.fds < b.fds; });
    auto [rssMin, rssMax] = std::minmax_element(tail.begin(), tail.end(),
                                                [](const Sample& a, const Sample& b) { return a.rssKb < b.rssKb; });
    const double fdSlope = Slope(tail, &Sample::fds);
    const double rssSlope = Slope(tail, &Sample::rssKb);
    const double heapSlope = Slope(tail, &Sample::heapKb);
    auto [heapMin, heapMax] = std::minmax_element(tail.begin(), tail.end(),
                                                  [](const Sample& a, const Sample& b) { return a.heapKb < b.heapKb; });
    const double span = static_cast<double>(tail.back().run - tail.front().run);
    std::printf("from run %d to %d: fds min %ld max %ld slope %.4f per run; VmRSS min %ld kB max %ld kB slope %.2f "
                "kB per run (%.0f kB over the span); first sample %ld fds, %ld kB\n",
                tail.front().run, tail.back().run, fdMin->fds, fdMax->fds, fdSlope, rssMin->rssKb, rssMax->rssKb,
                rssSlope, rssSlope * span, samples.front().fds, samples.front().rssKb);
    std::printf("heap in use min %ld kB max %ld kB slope %.2f kB per run (%.0f kB over the span)\n", heapMin->heapKb,
                heapMax->heapKb, heapSlope, heapSlope * span);
    // Flat: descriptors never change; memory moves by less than a page per run on the fitted line.
    std::printf("descriptors %s; resident memory %s; heap %s\n", fdMin->fds == fdMax->fds ? "flat" : "NOT flat",
                rssSlope < 4.0 ? "flat" : "growing", heapSlope < 4.0 ? "flat" : "growing");

    page.reset();
    sim.stop();
    std::printf("program directory kept: %s\n", dir.c_str());
    return 0;
}
