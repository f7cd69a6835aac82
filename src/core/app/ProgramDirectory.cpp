#include "app/ProgramDirectory.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <unistd.h>

namespace orva {
namespace {

std::mutex g_mutex;
std::optional<std::string> g_dir;

std::string WithSlash(std::string dir) {
    if (dir.empty() || dir.back() != '/')
        dir += '/';
    return dir;
}

std::string Absolute(const std::string& dir) {
    std::error_code ec;
    const auto abs = std::filesystem::absolute(dir, ec);
    return WithSlash(ec ? dir : abs.string());
}

std::string ExecutableDirectory() {
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || !exe.has_parent_path())
        return "./";
    return WithSlash(exe.parent_path().string());
}

std::string EnvironmentOrExecutable() {
    const char* home = std::getenv("ORVA_HOME");
    if (home && *home)
        return Absolute(home);
    return ExecutableDirectory();
}

} // namespace

std::string ProgramDirectory() {
    std::lock_guard lock(g_mutex);
    if (!g_dir)
        g_dir = EnvironmentOrExecutable();
    return *g_dir;
}

void InitProgramDirectory(int& argc, char** argv) {
    std::optional<std::string> fromArgs;
    int out = 1;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (options && std::strcmp(arg, "--") == 0)
            options = false;
        if (options && std::strcmp(arg, "--dir") == 0) {
            // "--dir" without a value is dropped as well; it names nothing.
            if (i + 1 < argc)
                fromArgs = argv[++i];
            continue;
        }
        if (options && std::strncmp(arg, "--dir=", 6) == 0) {
            fromArgs = arg + 6;
            continue;
        }
        argv[out++] = argv[i];
    }
    argc = out;
    argv[argc] = nullptr;

    const std::string dir = fromArgs && !fromArgs->empty() ? Absolute(*fromArgs) : EnvironmentOrExecutable();
    std::lock_guard lock(g_mutex);
    g_dir = dir;
}

void SetProgramDirectory(const std::string& dir) {
    std::lock_guard lock(g_mutex);
    if (dir.empty())
        g_dir.reset();
    else
        g_dir = WithSlash(dir);
}

std::string JoinPath(const std::string& first, const std::string& second) {
    return first + second;
}

std::string SettingsFilePath() {
    return JoinPath(ProgramDirectory(), "res/setting.ini");
}

} // namespace orva
