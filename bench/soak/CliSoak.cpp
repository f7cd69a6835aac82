// A long run of orva-cli diagnoses against a reporting service that turns every third report down:
// afterwards every diagnosis has its row in logs, exactly the records whose latest report failed wait
// in uploads, and the next upload pass (against a service that takes everything) empties it.
//
//   bench_soak_cli [--runs N] [--fail-every K] [--subnet S]
//
// Defaults: 1000 runs, every 3rd report turned down, subnet 6 (the gateway answers on 127.0.S.1). Each run
// gets a serial number of its own (SOAK00001, ...) so that every report, row and stored record can be
// traced back to its diagnosis. After every run, uploads must hold exactly the records whose latest
// report was turned down: a refused record waits there until an upload pass (each diagnosis runs one
// beside it) gets it accepted.
#include "sim/GatewaySimulator.h"
#include "sim/ServiceEndpoints.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr const char* kUser = "soak";
constexpr const char* kPassword = "pw";

std::string SerialOf(int run) {
    char text[32];
    std::snprintf(text, sizeof text, "SOAK%05d", run);
    return text;
}

std::string g_gateway = "127.0.6.1";
std::string g_segment = "127.0.6.255";

void WriteSettings(const std::string& dir, const std::string& serviceUrl) {
    std::ofstream ini(dir + "res/setting.ini", std::ios::trunc);
    ini << "[Setting]\nLanguage=English\nMaintenanceAddress=" << g_gateway << "\nUpgradeAddress=" << g_segment
        << "\nLoginURL=" << serviceUrl << "/login\nReportURL=" << serviceUrl << "/report\nRunNet=1\nHttpTimeout=10\n";
}

std::string MakeProgramDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "bench-soak-cli-XXXXXX").string();
    if (!mkdtemp(templ.data()))
        return {};
    const std::string dir = templ + "/";
    std::filesystem::create_directories(dir + "res");
    std::filesystem::copy_file(std::string(ORVA_SOURCE_DIR) + "/res/device.ini", dir + "res/device.ini");
    return dir;
}

// Runs orva-cli to the end; its standard output goes to `out` (or is thrown away). The exit code, or -1.
int RunCli(const std::vector<std::string>& args, const std::string& out = "/dev/null") {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<std::string> words = {ORVA_CLI_PATH};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& w : words)
        argv.push_back(w.data());
    argv.push_back(nullptr);
    std::vector<std::string> envWords;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("ORVA_", 0) != 0)
            envWords.push_back(*e);
    std::vector<char*> envp;
    for (auto& w : envWords)
        envp.push_back(w.data());
    envp.push_back(nullptr);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, ORVA_CLI_PATH, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The sn column of every row of `table`; nullopt-like failure is reported as ok = false.
std::vector<std::string> SerialsIn(const std::string& db, const std::string& table, bool& ok) {
    std::vector<std::string> out;
    ok = false;
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(db.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(handle);
        return out;
    }
    sqlite3_busy_timeout(handle, 5000);
    sqlite3_stmt* st = nullptr;
    const std::string sql = "SELECT sn FROM [" + table + "] ORDER BY id";
    if (sqlite3_prepare_v2(handle, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            const auto* text = sqlite3_column_text(st, 0);
            out.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
        }
        ok = rc == SQLITE_DONE;
    }
    sqlite3_finalize(st);
    sqlite3_close(handle);
    return out;
}

size_t CountIn(const std::string& db, const std::string& table) {
    bool ok = false;
    const auto rows = SerialsIn(db, table, ok);
    return ok ? rows.size() : 0;
}

bool FailedAt(size_t number, int every) {
    return every > 0 && number % static_cast<size_t>(every) == 0;
}

int ParseInt(const char* text, int fallback) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    return end && *end == '\0' && v >= 0 ? static_cast<int>(v) : fallback;
}

} // namespace

int main(int argc, char** argv) {
    int runs = 1000;
    int failEvery = 3;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--subnet" && i + 1 < argc) {
            const int v = ParseInt(argv[++i], -1);
            if (v < 1 || v > 254) {
                std::fprintf(stderr, "bench_soak_cli: bad --subnet '%s'\n", argv[i]);
                return 64;
            }
            g_gateway = "127.0." + std::to_string(v) + ".1";
            g_segment = "127.0." + std::to_string(v) + ".255";
            continue;
        }
        if ((a == "--runs" || a == "--fail-every") && i + 1 < argc) {
            const int v = ParseInt(argv[++i], -1);
            if (v < (a == "--runs" ? 1 : 0)) {
                std::fprintf(stderr, "bench_soak_cli: bad %s '%s'\n", a.c_str(), argv[i]);
                return 64;
            }
            (a == "--runs" ? runs : failEvery) = v;
        } else {
            std::fprintf(stderr, "usage: bench_soak_cli [--runs N] [--fail-every K] [--subnet S]\n");
            return 64;
        }
    }
    const std::string dir = MakeProgramDir();
    if (dir.empty()) {
        std::fprintf(stderr, "bench_soak_cli: no temporary directory\n");
        return 1;
    }
    const std::string db = dir + "orvalog.db";

    orva::sim::Options options;
    options.address = g_gateway;
    options.model = "KT540G";
    options.http = "127.0.0.1:0";
    options.users = {{kUser, kPassword}};
    options.reportFailEvery = failEvery;
    options.reportFailMode = orva::sim::ReportMode::Code1;
    orva::sim::GatewaySimulator sim(options);
    const orva::Result<void> startup = sim.start();
    if (!startup) {
        std::fprintf(stderr, "bench_soak_cli: simulator: %s\n", startup.error().c_str());
        return 1;
    }
    WriteSettings(dir, sim.services()->httpUrl());

    std::printf("orva-cli diagnose, %d runs, KT540G on %s; the reporting service answers Code 1 to every %d. report\n",
                runs, g_gateway.c_str(), failEvery);
    std::printf("%5s %5s %8s %8s %8s %8s %8s\n", "run", "exit", "wall ms", "reports", "failed", "logs", "uploads");
    std::map<int, int> exits;
    std::vector<double> walls;
    // Per serial number, the outcome of its latest report so far (true: turned down).
    std::map<std::string, bool> latest;
    size_t seenReports = 0;
    size_t heldRuns = 0, brokenRuns = 0, refusedOwnReports = 0, refusedResends = 0, acceptedResends = 0;
    const auto soakStart = std::chrono::steady_clock::now();
    for (int run = 1; run <= runs; ++run) {
        orva::sim::Override serial;
        serial.prefix = "QUERY_SYSTEM_INFO";
        serial.fields = {{"DEVTYPE", SerialOf(run)}};
        sim.setOverrides({serial});
        const auto t0 = std::chrono::steady_clock::now();
        const int code = RunCli({"--dir", dir, "--user", kUser, "--password", kPassword, "diagnose", "--model",
                                 "KT540G", "--answers", "yes", "--reply-timeout", "5"});
        const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        walls.push_back(wall);
        ++exits[code];

        const auto soFar = sim.services()->reports();
        for (; seenReports < soFar.size(); ++seenReports) {
            const bool failed = FailedAt(seenReports + 1, failEvery);
            const auto& sn = soFar[seenReports].sn;
            const bool resend = latest.count(sn) > 0;
            if (resend)
                (failed ? refusedResends : acceptedResends) += 1;
            else
                refusedOwnReports += failed;
            latest[sn] = failed;
        }
        std::set<std::string> waiting;
        for (const auto& [sn, failed] : latest)
            if (failed)
                waiting.insert(sn);
        bool readOk = false;
        const auto now = SerialsIn(db, "uploads", readOk);
        const std::set<std::string> held(now.begin(), now.end());
        if (readOk && held == waiting && now.size() == held.size()) {
            ++heldRuns;
        } else {
            ++brokenRuns;
            std::printf("run %d: uploads holds %zu rows, %zu records wait for a resend\n", run, now.size(),
                        waiting.size());
        }
        if (run == 1 || run % 25 == 0 || run == runs || code != 0) {
            const size_t reports = sim.services()->reports().size();
            size_t failed = 0;
            for (size_t k = 1; k <= reports; ++k)
                failed += FailedAt(k, failEvery);
            std::printf("%5d %5d %8.0f %8zu %8zu %8zu %8zu\n", run, code, wall, reports, failed, CountIn(db, "logs"),
                        CountIn(db, "uploads"));
            std::fflush(stdout);
        }
    }
    const double soakMinutes =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - soakStart).count() / 60.0;

    // What the service saw: per serial number, its reports in order and whether the latest one failed.
    const auto reports = sim.services()->reports();
    std::map<std::string, std::vector<bool>> outcomes; // true: turned down
    size_t failedReports = 0;
    for (size_t k = 1; k <= reports.size(); ++k) {
        const bool failed = FailedAt(k, failEvery);
        failedReports += failed;
        outcomes[reports[k - 1].sn].push_back(failed);
    }
    size_t firstReportsFailed = 0, resends = 0;
    std::set<std::string> expectedWaiting;
    for (const auto& [sn, list] : outcomes) {
        firstReportsFailed += list.front();
        resends += list.size() - 1;
        if (list.back())
            expectedWaiting.insert(sn);
    }

    bool logsOk = false, uploadsOk = false;
    const auto logSerials = SerialsIn(db, "logs", logsOk);
    const auto uploadSerials = SerialsIn(db, "uploads", uploadsOk);
    const std::set<std::string> logSet(logSerials.begin(), logSerials.end());
    const std::set<std::string> uploadSet(uploadSerials.begin(), uploadSerials.end());
    size_t logsOfRuns = 0;
    for (int run = 1; run <= runs; ++run)
        logsOfRuns += logSet.count(SerialOf(run));
    std::vector<std::string> missing, extra;
    std::set_difference(expectedWaiting.begin(), expectedWaiting.end(), uploadSet.begin(), uploadSet.end(),
                        std::back_inserter(missing));
    std::set_difference(uploadSet.begin(), uploadSet.end(), expectedWaiting.begin(), expectedWaiting.end(),
                        std::back_inserter(extra));

    // The next upload pass, against a service that takes every report.
    sim.stop();
    orva::sim::Options accepting = options;
    accepting.reportFailEvery = 0;
    orva::sim::GatewaySimulator service(accepting);
    if (const orva::Result<void> serving = service.start(); !serving) {
        std::fprintf(stderr, "bench_soak_cli: simulator: %s\n", serving.error().c_str());
        return 1;
    }
    WriteSettings(dir, service.services()->httpUrl());
    const std::string uploadOut = dir + "upload.txt";
    const int uploadCode = RunCli({"--dir", dir, "--user", kUser, "--password", kPassword, "upload"}, uploadOut);
    std::string uploadLine;
    {
        std::ifstream in(uploadOut);
        std::getline(in, uploadLine);
    }
    const size_t uploadedAfter = service.services()->reports().size();
    bool afterOk = false;
    const auto uploadsAfter = SerialsIn(db, "uploads", afterOk);
    service.stop();

    std::vector<double> sorted = walls;
    std::sort(sorted.begin(), sorted.end());
    double sum = 0;
    for (double w : walls)
        sum += w;
    std::printf("\nsoak: %d runs in %.1f min; wall ms per run min %.0f, median %.0f, max %.0f, mean %.0f\n", runs,
                soakMinutes, sorted.front(), sorted[sorted.size() / 2], sorted.back(), sum / runs);
    std::printf("exit codes:");
    for (const auto& [code, n] : exits)
        std::printf(" %d x%d", code, n);
    std::printf("\n");
    std::printf("reports received %zu (first reports %zu, resends by upload passes %zu); turned down %zu "
                "(first reports %zu)\n",
                reports.size(), outcomes.size(), resends, failedReports, firstReportsFailed);
    std::printf("logs: %zu rows%s, %zu distinct serials, %zu of the %d runs\n", logSerials.size(),
                logsOk ? "" : " (read failed)", logSet.size(), logsOfRuns, runs);
    std::printf("after each run, uploads held exactly the refused records: %zu runs, not so: %zu runs; refused "
                "first reports %zu, resends by the next passes accepted %zu, refused %zu\n",
                heldRuns, brokenRuns, refusedOwnReports, acceptedResends, refusedResends);
    std::printf("uploads before the upload pass: %zu rows%s (%zu distinct); records whose latest report was "
                "turned down: %zu; missing from uploads %zu, there without cause %zu\n",
                uploadSerials.size(), uploadsOk ? "" : " (read failed)", uploadSet.size(), expectedWaiting.size(),
                missing.size(), extra.size());
    for (size_t i = 0; i < std::min<size_t>(missing.size(), 10); ++i)
        std::printf("  missing %s\n", missing[i].c_str());
    for (size_t i = 0; i < std::min<size_t>(extra.size(), 10); ++i)
        std::printf("  without cause %s\n", extra[i].c_str());
    std::printf("upload pass: exit %d, \"%s\", %zu reports received\n", uploadCode, uploadLine.c_str(), uploadedAfter);
    std::printf("uploads after the upload pass: %zu rows%s\n", uploadsAfter.size(), afterOk ? "" : " (read failed)");
    std::printf("program directory kept: %s\n", dir.c_str());
    return 0;
}
