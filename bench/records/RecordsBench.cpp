// Fills a record store with a million diagnoses through RecordStore, then times the two searches of
// the log page (one serial number, one day) through the store and through the sqlite3 command-line
// tool on the same file, side by side.
//
//   bench_records [records] [file] [keep]   defaults: 1000000, /tmp/orva-bench-records/orvalog.db
//   "keep" searches a file an earlier run filled with the same number of records, without filling it again.
#include "core/records/RecordStore.h"
#include "core/records/SqliteDb.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace orva;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kBatch = 2000;
constexpr int kPerDay = 2000;
constexpr int kSerials = 500000; // each serial diagnosed about twice

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

std::string Serial(int n) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "SN%08d", n % kSerials);
    return buffer;
}

// Day d counted from 2020-01-01, as "YYYY-MM-DD" parts.
LogDate Day(int d) {
    std::tm t{};
    t.tm_year = 120;
    t.tm_mon = 0;
    t.tm_mday = 1 + d;
    t.tm_hour = 12;
    std::mktime(&t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday};
}

std::string StoredAt(int day, int secondOfDay) {
    const LogDate d = Day(day);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day, secondOfDay / 3600,
                  secondOfDay / 60 % 60, secondOfDay % 60);
    return buffer;
}

DiagRecord MakeRecord(int n) {
    DiagRecord r;
    r.Operator = "operator" + std::to_string(n % 50);
    r.Mac = "00-1A-2B-3C-4D-5E";
    r.sn = Serial(n);
    r.DeviceType = "HG82" + std::to_string(n % 10);
    r.FE1Check = r.FE2Check = r.FE3Check = r.FE4Check = 1;
    r.POS1Check = r.POS2Check = n % 7 ? 1 : 0;
    r.PONCheck = r.FlashCheck = r.LEDCheck = r.USBCheck = 1;
    r.SoftWareVersionCheck = "V3.2.1";
    r.PSCheck = "ok";
    r.CPULoadCheck = static_cast<float>(n % 100) + 0.5f;
    r.MemCheck = 42.25f;
    r.PreConfigCheck = r.DiskIntegrityCheck = 1;
    return r;
}

std::string Quote(const std::string& s) {
    return "'" + s + "'";
}

double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

struct CliTimes {
    double wall = 0; // the whole process, seconds
    double cpu = 0;  // user + system of the statements as the tool's own timer reports them
};

// Runs `sqlite3 file < script` with the tool's timer on and the rows sent to /dev/null.
CliTimes RunCli(const std::string& file, const std::string& script, const std::string& dir) {
    const std::string scriptPath = dir + "/queries.sql", outPath = dir + "/timer.txt";
    std::ofstream(scriptPath) << ".timer on\n.output /dev/null\n" << script;
    const std::string command = "sqlite3 '" + file + "' < '" + scriptPath + "' > '" + outPath + "'";
    CliTimes times;
    const auto t0 = Clock::now();
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "sqlite3 failed: %s\n", command.c_str());
    times.wall = Seconds(Clock::now() - t0);
    std::ifstream timer(outPath);
    for (std::string line; std::getline(timer, line);) {
        double real = 0, user = 0, sys = 0;
        if (std::sscanf(line.c_str(), "Run Time: real %lf user %lf sys %lf", &real, &user, &sys) == 3)
            times.cpu += user + sys;
    }
    std::filesystem::remove(scriptPath);
    std::filesystem::remove(outPath);
    return times;
}

} // namespace

int main(int argc, char** argv) {
    const int total = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const std::string file = argc > 2 ? argv[2] : "/tmp/orva-bench-records/orvalog.db";
    const bool keep = argc > 3 && std::string(argv[3]) == "keep" && std::filesystem::exists(file);
    std::filesystem::create_directories(std::filesystem::path(file).parent_path());
    if (!keep)
        std::filesystem::remove(file);
    const int days = (total + kPerDay - 1) / kPerDay;

    RecordStore store(file);
    if (!store.open("logs"))
        return 1;
    if (!keep) {
        // Insert through the store, one transaction per batch, the batch's rows sharing a time of day.
        std::vector<DiagRecord> batch;
        batch.reserve(kBatch);
        const auto insertStart = Clock::now();
        const double cpuStart = CpuSeconds();
        for (int n = 0; n < total; n += kBatch) {
            batch.clear();
            for (int k = n; k < n + kBatch && k < total; ++k)
                batch.push_back(MakeRecord(k));
            const int day = n / kPerDay;
            const int second = (n % kPerDay) * 86399 / kPerDay;
            if (store.insert("logs", batch, StoredAt(day, second)) != RecordStore::Stored)
                return 1;
        }
        const double insertSeconds = Seconds(Clock::now() - insertStart);
        std::printf("insert %d records in batches of %d: %.2f s wall (%.2f us per record), %.2f us cpu per record, "
                    "file %.0f MB\n",
                    total, kBatch, insertSeconds, insertSeconds * 1e6 / total, (CpuSeconds() - cpuStart) * 1e6 / total,
                    static_cast<double>(std::filesystem::file_size(file)) / 1048576.0);
    } else {
        std::printf("searching the %d records already in %s\n", store.highestLogId(), file.c_str());
    }

    {
        SqliteDb db;
        db.open(file);
        const LogCondition bySerial = BuildLogCondition(LogFilter{.serial = "x"});
        const LogCondition byDay = BuildLogCondition(LogFilter{.from = Day(0), .to = Day(0)});
        for (const LogCondition* c : {&bySerial, &byDay}) {
            std::printf("plan of %s\n", LogQuerySql(*c).c_str());
            for (SqliteQuery q = db.query("EXPLAIN QUERY PLAN " + LogQuerySql(*c), c->params); !q.atEnd(); q.nextRow())
                std::printf("  %s\n", q.columnText(3).c_str());
        }
    }

    // Searches through the store: wall clock and CPU time of this process.
    const int serials = std::min(total, kSerials);
    const int serialQueries = 2000;
    std::size_t serialRows = 0;
    auto t0 = Clock::now();
    double c0 = CpuSeconds();
    for (int i = 0; i < serialQueries; ++i)
        serialRows += store.queryLogs(LogFilter{.serial = Serial(static_cast<int>(i * 7919LL % serials))}).rows.size();
    const double serialStore = Seconds(Clock::now() - t0) / serialQueries;
    const double serialStoreCpu = (CpuSeconds() - c0) / serialQueries;

    const int dayQueries = std::min(days, 50);
    std::size_t dayRows = 0;
    t0 = Clock::now();
    c0 = CpuSeconds();
    for (int i = 0; i < dayQueries; ++i) {
        const LogDate d = Day(i * 37 % days);
        dayRows += store.queryLogs(LogFilter{.from = d, .to = d}).rows.size();
    }
    const double dayStore = Seconds(Clock::now() - t0) / dayQueries;
    const double dayStoreCpu = (CpuSeconds() - c0) / dayQueries;
    store.close();

    // The same statements through the command-line tool; its start-up is measured alone and taken off
    // the wall clock.
    const std::string dir = std::filesystem::path(file).parent_path().string();
    const CliTimes baseline = RunCli(file, "SELECT 1;\n", dir);
    std::string serialScript, dayScript;
    for (int i = 0; i < serialQueries; ++i)
        serialScript += LogQuerySql({"sn = " + Quote(Serial(static_cast<int>(i * 7919LL % serials))), {}}) + ";\n";
    for (int i = 0; i < dayQueries; ++i) {
        const LogDate d = Day(i * 37 % days);
        dayScript += LogQuerySql({"datetime >= " + Quote(LogDateText(d, false)) +
                                      " AND datetime <= " + Quote(LogDateText(d, true)),
                                  {}}) +
                     ";\n";
    }
    const CliTimes serialCli = RunCli(file, serialScript, dir);
    const CliTimes dayCli = RunCli(file, dayScript, dir);

    std::printf("\n%-34s %22s %22s\n", "query (mean per run)", "RecordStore wall/cpu", "sqlite3 CLI wall/cpu");
    auto line = [](const std::string& what, double wall, double cpu, double cliWall, double cliCpu) {
        std::printf("%-34s %9.3f / %6.3f ms %9.3f / %6.3f ms\n", what.c_str(), wall * 1e3, cpu * 1e3, cliWall * 1e3,
                    cliCpu * 1e3);
    };
    line("by serial, " + std::to_string(serialQueries) + " runs, " + std::to_string(serialRows / serialQueries) +
             " rows",
         serialStore, serialStoreCpu, (serialCli.wall - baseline.wall) / serialQueries, serialCli.cpu / serialQueries);
    line("one day, " + std::to_string(dayQueries) + " runs, " + std::to_string(dayRows / dayQueries) + " rows",
         dayStore, dayStoreCpu, (dayCli.wall - baseline.wall) / dayQueries, dayCli.cpu / dayQueries);
    std::printf("(CLI wall: one process running all runs, less its start-up of %.1f ms, rows printed to /dev/null;\n"
                " CLI cpu: sum of its own .timer user+sys figures)\n",
                baseline.wall * 1e3);
    return 0;
}
