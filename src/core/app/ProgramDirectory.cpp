#include "core/app/ProgramDirectory.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <mutex>
#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace orva {
namespace {

std::mutex g_mutex;
std::optional<ProgramDirectoryChoice> g_choice;

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

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// "/usr/bin/" -> "/usr/"; a folder without a parent stays itself.
std::string ParentOf(const std::string& dirWithSlash) {
    std::string d = dirWithSlash;
    while (d.size() > 1 && d.back() == '/')
        d.pop_back();
    const auto slash = d.rfind('/');
    if (slash == std::string::npos)
        return dirWithSlash;
    return d.substr(0, slash + 1);
}

// mkdir with the given mode that accepts an existing directory (never a symlink to one: O_NOFOLLOW
// semantics for the tool's own folders).
bool MakeDirectory(const std::string& path, mode_t mode, std::string& error) {
    if (mkdir(path.c_str(), mode) == 0)
        return true;
    const int err = errno;
    struct stat st {};
    if (err == EEXIST && lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return true;
    error = "cannot create " + path + ": " + std::strerror(err == EEXIST ? ENOTDIR : err);
    return false;
}

// Every folder of `path` that is missing, outermost first, created with `mode`.
bool MakeDirectories(const std::string& path, mode_t mode, std::string& error) {
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        const std::string prefix = path.substr(0, end);
        // A parent that is there (through a symlink or not: a home on another disk) is taken as it is.
        if (!IsDirectory(prefix) && !MakeDirectory(prefix, mode, error))
            return false;
        if (end == std::string::npos)
            return true;
    }
}

// Copies `from` to `to` unless `to` exists. The copy is written to a temporary file beside `to` and then
// linked to its name, which fails when the name exists: a user's file is never replaced, and a second
// program seeding at the same moment never sees half a file.
bool CopyIfMissing(const std::string& from, const std::string& to, std::string& error) {
    struct stat st {};
    if (lstat(to.c_str(), &st) == 0)
        return true;
    const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        error = "cannot read " + from + ": " + std::strerror(errno);
        return false;
    }
    std::string tmpl = to + ".XXXXXX";
    const int out = mkostemp(tmpl.data(), O_CLOEXEC);
    if (out < 0) {
        error = "cannot write beside " + to + ": " + std::strerror(errno);
        close(in);
        return false;
    }
    bool ok = true;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(in, buffer, sizeof buffer);
        if (n == 0)
            break;
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = "cannot read " + from + ": " + std::strerror(errno);
            ok = false;
            break;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = write(out, buffer + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0) {
                error = "cannot write " + to + ": " + std::strerror(errno);
                ok = false;
                break;
            }
            done += w;
        }
        if (!ok)
            break;
    }
    close(in);
    if (ok && fsync(out) != 0) {
        error = "cannot write " + to + ": " + std::strerror(errno);
        ok = false;
    }
    close(out);
    if (ok && link(tmpl.c_str(), to.c_str()) != 0 && errno != EEXIST) {
        error = "cannot create " + to + ": " + std::strerror(errno);
        ok = false;
    }
    unlink(tmpl.c_str());
    return ok;
}

std::string HomeDirectory(const ProgramDirectoryInputs& in) {
    if (!in.home.empty())
        return in.home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

} // namespace

ProgramDirectoryInputs CurrentProgramDirectoryInputs() {
    ProgramDirectoryInputs in;
    in.orvaHome = Env("ORVA_HOME");
    in.executableDir = ExecutableDirectory();
    in.xdgDataHome = Env("XDG_DATA_HOME");
    in.home = Env("HOME");
    return in;
}

ProgramDirectoryChoice ChooseProgramDirectory(const ProgramDirectoryInputs& in) {
    ProgramDirectoryChoice c;
    if (!in.commandLine.empty()) {
        c.dir = Absolute(in.commandLine);
        c.kind = ProgramDirectoryKind::CommandLine;
        return c;
    }
    if (!in.orvaHome.empty()) {
        c.dir = Absolute(in.orvaHome);
        c.kind = ProgramDirectoryKind::Environment;
        return c;
    }
    const std::string exe = WithSlash(in.executableDir);
    if (IsDirectory(exe + "res")) {
        c.dir = exe;
        c.kind = ProgramDirectoryKind::Executable;
        return c;
    }
    // XDG: a relative XDG_DATA_HOME is invalid and ignored.
    const std::string data = !in.xdgDataHome.empty() && in.xdgDataHome[0] == '/'
                                 ? WithSlash(in.xdgDataHome)
                                 : WithSlash(HomeDirectory(in)) + ".local/share/";
    c.dir = data + "orva/";
    c.kind = ProgramDirectoryKind::PerUser;
    c.shippedResources = ParentOf(exe) + "share/orva/res/";
    return c;
}

Result<void> PrepareProgramDirectory(const ProgramDirectoryChoice& choice) {
    if (choice.kind != ProgramDirectoryKind::PerUser)
        return {};
    // Parents the user lacks (a fresh account without ~/.local/share) are made private too, as the base
    // directory rules ask.
    if (std::string why; !MakeDirectories(choice.dir + "res", 0700, why))
        return Failure{"cannot make the program directory " + choice.dir + " (" + why + ")"};
    DIR* shipped = opendir(choice.shippedResources.c_str());
    if (!shipped)
        return {}; // nothing shipped beside this executable: the program says setting.ini is missing
    std::vector<std::string> names;
    while (const dirent* e = readdir(shipped)) {
        const std::string name = e->d_name;
        if (name == "." || name == ".." || name == "common")
            continue;
        struct stat st {};
        if (stat((choice.shippedResources + name).c_str(), &st) == 0 && S_ISREG(st.st_mode))
            names.push_back(name);
    }
    closedir(shipped);
    std::string failed;
    for (const auto& name : names) {
        std::string why;
        if (!CopyIfMissing(choice.shippedResources + name, choice.dir + "res/" + name, why))
            failed = why;
    }
    if (!failed.empty())
        return Failure{failed};
    return {};
}

std::string ProgramDirectory() {
    std::lock_guard lock(g_mutex);
    if (!g_choice)
        g_choice = ChooseProgramDirectory(CurrentProgramDirectoryInputs());
    return g_choice->dir;
}

ProgramDirectoryKind CurrentProgramDirectoryKind() {
    std::lock_guard lock(g_mutex);
    if (!g_choice)
        g_choice = ChooseProgramDirectory(CurrentProgramDirectoryInputs());
    return g_choice->kind;
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

    ProgramDirectoryInputs in = CurrentProgramDirectoryInputs();
    in.commandLine = fromArgs.value_or("");
    const ProgramDirectoryChoice choice = ChooseProgramDirectory(in);
    if (const Result<void> prepared = PrepareProgramDirectory(choice); !prepared) {
        const char* name = argc > 0 && argv[0] ? std::strrchr(argv[0], '/') : nullptr;
        std::fprintf(stderr, "%s: %s\n", name ? name + 1 : (argc > 0 && argv[0] ? argv[0] : "orva"),
                     prepared.error().c_str());
    }
    std::lock_guard lock(g_mutex);
    g_choice = choice;
}

void SetProgramDirectory(const std::string& dir) {
    std::lock_guard lock(g_mutex);
    if (dir.empty()) {
        g_choice.reset();
        return;
    }
    ProgramDirectoryChoice c;
    c.dir = WithSlash(dir);
    c.kind = ProgramDirectoryKind::CommandLine;
    g_choice = c;
}

std::string SkinDirectory() {
    ProgramDirectoryChoice c;
    {
        std::lock_guard lock(g_mutex);
        if (!g_choice)
            g_choice = ChooseProgramDirectory(CurrentProgramDirectoryInputs());
        c = *g_choice;
    }
    const std::string own = c.dir + "res/common/";
    if (c.kind == ProgramDirectoryKind::PerUser && !IsDirectory(own))
        return c.shippedResources + "common/";
    return own;
}

std::string JoinPath(const std::string& first, const std::string& second) {
    return first + second;
}

std::string SettingsFilePath() {
    return JoinPath(ProgramDirectory(), "res/setting.ini");
}

std::string ProgramDirectoryHelp() {
    return "The program directory holds res/setting.ini, res/device.ini, res/login.xml, the records\n"
           "(orvalog.db), the log (orva.log) and the lock of the running copy (orva.lock). It is, first\n"
           "match wins: --dir DIR; the environment's ORVA_HOME; the program's own folder when it holds\n"
           "res/ (a build tree or a portable folder); else the per-user folder $XDG_DATA_HOME/orva\n"
           "(~/.local/share/orva), which the first start creates (mode 0700) and fills with the\n"
           "shipped defaults of ../share/orva/res beside the program (/usr/share/orva/res), copying\n"
           "only what is missing.\n";
}

std::string ProgramDirectoryLine() {
    return "program directory: " + ProgramDirectory();
}

} // namespace orva
