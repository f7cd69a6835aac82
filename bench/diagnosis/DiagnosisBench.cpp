// How close a whole KT540G diagnosis through orva-cli comes to the least it can take. Every exchange
// holds a fixed 100 ms pause between sending and receiving, so the number of commands the gateway
// received, times 100 ms, is the floor; the rest is the tool's own time (start-up, login, the
// database, the answers' round trips).
//
//   bench_diagnosis [RUNS]     (default 10; the simulator answers on 127.0.7.1)
#include "sim/GatewaySimulator.h"

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
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr const char* kGateway = "127.0.7.1";
constexpr const char* kSegment = "127.0.7.255";
constexpr double kPauseMs = 100.0;

std::string MakeProgramDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "bench-diagnosis-XXXXXX").string();
    if (!mkdtemp(templ.data()))
        return {};
    const std::string dir = templ + "/";
    std::filesystem::create_directories(dir + "res");
    // Everything on loopback: the gateway, the segment, and login and report services nobody answers
    // (the tool goes offline and keeps the records).
    std::ofstream ini(dir + "res/setting.ini");
    ini << "[Setting]\nLanguage=Chinese\nMaintenanceAddress=" << kGateway << "\nUpgradeAddress=" << kSegment
        << "\nLoginURL=http://127.0.0.1:9/login\nReportURL=http://127.0.0.1:9/report\nRunNet=0\n";
    std::filesystem::copy_file(std::string(ORVA_SOURCE_DIR) + "/res/device.ini", dir + "res/device.ini");
    return dir;
}

// Runs orva-cli to the end with its output thrown away; the exit code, or -1.
int RunCli(const std::vector<std::string>& args) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
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

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const std::string dir = MakeProgramDir();
    if (dir.empty()) {
        std::fprintf(stderr, "bench_diagnosis: no temporary directory\n");
        return 1;
    }
    orva::sim::Options options;
    options.address = kGateway;
    options.model = "KT540G";
    options.sn = "BENCH0001";
    orva::sim::GatewaySimulator sim(options);
    const orva::Result<void> startup = sim.start();
    if (!startup) {
        std::fprintf(stderr, "bench_diagnosis: simulator: %s\n", startup.error().c_str());
        return 1;
    }

    std::printf("KT540G diagnosis through orva-cli --answers yes, %d runs, gateway %s\n", runs, kGateway);
    std::printf("%4s %6s %10s %10s %7s\n", "run", "exch", "floor ms", "wall ms", "ratio");
    std::vector<double> walls, floors;
    int failures = 0;
    for (int i = 1; i <= runs; ++i) {
        sim.clearJournal();
        const auto t0 = std::chrono::steady_clock::now();
        const int code = RunCli({"--dir", dir, "--user", "bench", "--password", "pw", "diagnose", "--model", "KT540G",
                                 "--answers", "yes", "--reply-timeout", "5"});
        const double wall = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        const size_t exchanges = sim.commands().size();
        const double floor = static_cast<double>(exchanges) * kPauseMs;
        if (code != 0)
            ++failures;
        walls.push_back(wall);
        floors.push_back(floor);
        std::printf("%4d %6zu %10.0f %10.0f %7.3f%s\n", i, exchanges, floor, wall, floor > 0 ? wall / floor : 0.0,
                    code == 0 ? "" : ("  exit " + std::to_string(code)).c_str());
        std::fflush(stdout);
    }
    sim.stop();

    std::vector<double> sorted = walls;
    std::sort(sorted.begin(), sorted.end());
    double wallSum = 0, floorSum = 0;
    for (size_t i = 0; i < walls.size(); ++i) {
        wallSum += walls[i];
        floorSum += floors[i];
    }
    const double median =
        sorted.size() % 2 ? sorted[sorted.size() / 2] : (sorted[sorted.size() / 2 - 1] + sorted[sorted.size() / 2]) / 2;
    std::printf("wall ms: min %.0f, median %.0f, max %.0f, mean %.0f; mean floor %.0f ms; mean ratio %.3f\n",
                sorted.front(), median, sorted.back(), wallSum / runs, floorSum / runs,
                floorSum > 0 ? wallSum / floorSum : 0.0);
    std::printf("runs that did not end with exit 0: %d\n", failures);

    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return failures == 0 ? 0 : 1;
}
