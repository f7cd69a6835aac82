#include "core/crash/CrashHandler.h"

#include "core/app/Notifier.h"
#include "core/app/ProgramDirectory.h"
#include "core/crash/CoreFileWriter.h"
#include "core/crash/CrashPrompt.h"
#include "core/crash/CrashText.h"
#include "core/crash/ThreadFreeze.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace orva {
namespace {

using crash::CrashContext;
using crash::FormatText;
using crash::PromptKind;
using crash::PromptResult;
using crash::TextBuffer;

constexpr const char* kQuestionText =
    "%s crashed :-(\r\n\r\nA diagnostic file can be created which will help the author to resolve this problem. "
    "This file will be saved on your Disk (and not sent).\r\n\r\nDo you want to create this file now?";
constexpr const char* kSavedText = "Saved dump file to \"%s\".\r\n\r\nPlease send this file together with a detailed "
                                   "bug report to the developer !\r\n\r\nThank you for helping to improve %s.";
constexpr const char* kCreateFailedText = "Failed to create dump file \"%s\".\r\n\r\nError: %u";
constexpr const char* kSaveFailedText = "Failed to save dump file to \"%s\".\r\n\r\nError: %u";

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr std::size_t kMaxNameCharacters = 260;
constexpr std::size_t kPathCapacity = 4096;
constexpr std::time_t kClockSpan = 2 * 366 * 86400;

// Everything the crash path needs, made ready at installation: the crash path itself may only
// format into these buffers.
struct Setup {
    char appName[kMaxNameCharacters * 4 + 1] = {};
    char programDir[kPathCapacity] = {};
    char helper[kPathCapacity] = {};
    char question[8192] = {};
    crash::LocalClock clock;
};

Setup g_setup;
CrashContext g_crash;
crash::ThreadContext g_otherThreads[512];
char g_path[kPathCapacity];
char g_message[16384];
std::atomic<pid_t> g_ownerThread{0};
std::atomic<pid_t> g_crashedProcess{0};

enum class Stage { Written, CreateFailed, WriteFailed };
struct WriteResult {
    Stage stage;
    int error;
};

WriteResult CreateAndWrite(const char* path) {
    // Readable by the owner only: the dump holds whatever the process had in memory. Always a new file
    // (O_EXCL): a file or symlink already at the name may have been planted there, and reusing it would
    // keep its owner's mode or write through the link. Dump names carry the second of the crash, so that
    // name is taken only when someone put it there; the dump then fails like any file that cannot be made.
    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return {Stage::CreateFailed, errno};
    int err = crash::WriteCoreFile(fd, g_crash);
    if (close(fd) != 0 && err == 0)
        err = errno;
    return {err ? Stage::WriteFailed : Stage::Written, err};
}

// A copy of the process taken at the moment of the crash: the other threads go on running while the
// user reads the question, and the dump should show the state the crash left, not a later one. The
// copy waits for the dump's path (or the end of its pipe, meaning no dump) and answers how writing went.
struct Snapshot {
    pid_t pid = -1;
    int pathFd = -1;
    int resultFd = -1;
};

[[noreturn]] void RunSnapshot(int pathFd, int resultFd) {
    std::size_t n = 0;
    char c = 0;
    for (;;) {
        const ssize_t got = read(pathFd, &c, 1);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            _exit(0);
        if (c == '\0')
            break;
        if (n + 1 < sizeof g_path)
            g_path[n++] = c;
    }
    g_path[n] = '\0';
    const WriteResult result = CreateAndWrite(g_path);
    (void)!write(resultFd, &result, sizeof result);
    _exit(0);
}

bool StartSnapshot(Snapshot& s) {
    int pathPipe[2], resultPipe[2];
    if (pipe2(pathPipe, O_CLOEXEC) != 0)
        return false;
    if (pipe2(resultPipe, O_CLOEXEC) != 0) {
        close(pathPipe[0]);
        close(pathPipe[1]);
        return false;
    }
    // The bare system call, not fork() or _Fork(): those also record the child's thread id in the
    // thread's descriptor, and the copy must keep the crashed process's memory exactly as it was (a
    // debugger reads thread ids from there). The copy only makes system calls, so it needs nothing
    // the C library would otherwise set up.
    const auto pid = static_cast<pid_t>(syscall(SYS_clone, SIGCHLD, nullptr, nullptr, nullptr, nullptr));
    if (pid == 0) {
        close(pathPipe[1]);
        close(resultPipe[0]);
        RunSnapshot(pathPipe[0], resultPipe[1]);
    }
    close(pathPipe[0]);
    close(resultPipe[1]);
    if (pid < 0) {
        close(pathPipe[1]);
        close(resultPipe[0]);
        return false;
    }
    s = {pid, pathPipe[1], resultPipe[0]};
    return true;
}

WriteResult WriteFromSnapshot(Snapshot& s, const char* path) {
    WriteResult result{Stage::WriteFailed, EIO}; // what remains if the copy dies on the way
    const std::size_t length = std::strlen(path) + 1;
    if (write(s.pathFd, path, length) == static_cast<ssize_t>(length)) {
        WriteResult answer{};
        ssize_t got;
        while ((got = read(s.resultFd, &answer, sizeof answer)) < 0 && errno == EINTR) {
        }
        if (got == static_cast<ssize_t>(sizeof answer))
            result = answer;
    }
    return result;
}

void EndSnapshot(Snapshot& s) {
    if (s.pid < 0)
        return;
    close(s.pathFd);
    close(s.resultFd);
    while (waitpid(s.pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    s.pid = -1;
}

bool Ask(const char* text) {
    switch (crash::RunPromptHelper(g_setup.helper, PromptKind::Question, g_setup.appName, text)) {
    case PromptResult::Yes:
        return true;
    case PromptResult::No:
        return false;
    case PromptResult::Unavailable:
        break;
    }
    return crash::AskInProcess(g_setup.appName, text);
}

void Tell(const char* text) {
    if (crash::RunPromptHelper(g_setup.helper, PromptKind::Information, g_setup.appName, text) != PromptResult::Yes)
        crash::TellInProcess(g_setup.appName, text);
}

void FormDumpPath(TextBuffer& path) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    path.append(g_setup.programDir);
    crash::AppendDumpFileName(path, g_setup.appName, g_setup.clock.localTime(now.tv_sec));
}

void FormResult(TextBuffer& message, const WriteResult& result, const char* path) {
    char number[24];
    switch (result.stage) {
    case Stage::Written:
        FormatText(message, kSavedText, {path, g_setup.appName});
        break;
    case Stage::CreateFailed:
        FormatText(message, kCreateFailedText,
                   {path, crash::UnsignedText(static_cast<unsigned>(result.error), number)});
        break;
    case Stage::WriteFailed:
        FormatText(message, kSaveFailedText, {path, crash::UnsignedText(static_cast<unsigned>(result.error), number)});
        break;
    }
}

[[noreturn]] void HandleCrash(int signal, siginfo_t* info, void* context) {
    // A write to a dead helper must fail with EPIPE, not end the process before the dump.
    sigset_t pipeOnly;
    sigemptyset(&pipeOnly);
    sigaddset(&pipeOnly, SIGPIPE);
    sigprocmask(SIG_BLOCK, &pipeOnly, nullptr);

    crash::CaptureCrashContext(g_crash, signal, info, context);
    g_crash.otherCount = crash::FreezeOtherThreads(g_otherThreads, sizeof g_otherThreads / sizeof g_otherThreads[0]);
    g_crash.others = g_otherThreads;
    Snapshot snapshot;
    const bool haveSnapshot = StartSnapshot(snapshot);
    crash::ReleaseOtherThreads();

    if (Ask(g_setup.question)) {
        TextBuffer path(g_path, sizeof g_path);
        FormDumpPath(path);
        const WriteResult result = haveSnapshot ? WriteFromSnapshot(snapshot, g_path) : CreateAndWrite(g_path);
        EndSnapshot(snapshot);
        TextBuffer message(g_message, sizeof g_message);
        FormResult(message, result, g_path);
        Tell(g_message);
    } else {
        EndSnapshot(snapshot);
    }
    _exit(0);
}

void OnCrashSignal(int signal, siginfo_t* info, void* context) {
    const auto self = static_cast<pid_t>(syscall(SYS_gettid));
    pid_t owner = 0;
    if (!g_ownerThread.compare_exchange_strong(owner, self)) {
        // The snapshot copy must never wait for a crash it is itself part of.
        if (getpid() != g_crashedProcess.load())
            _exit(3);
        // The crash path itself failed: nothing more can be done safely.
        if (owner == self) {
            static const char kFailed[] = "\ncrash handler failed\n";
            (void)!write(STDERR_FILENO, kFailed, sizeof kFailed - 1);
            _exit(0);
        }
        // Another thread crashed while the first crash is handled; it waits for the end.
        for (;;)
            pause();
    }
    g_crashedProcess.store(getpid());
    HandleCrash(signal, info, context);
}

[[noreturn]] void OnTerminate() {
    // Say what was thrown, as the default handler does, then take the crash path through abort().
    if (const std::exception_ptr e = std::current_exception()) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            std::fprintf(stderr, "%s: terminate called after throwing an exception: %s\n", g_setup.appName, x.what());
        } catch (...) {
            std::fprintf(stderr, "%s: terminate called after throwing an exception of unknown type\n", g_setup.appName);
        }
    } else {
        std::fprintf(stderr, "%s: terminate called without an active exception\n", g_setup.appName);
    }
    std::fflush(stderr);
    std::abort();
}

// Copies at most kMaxNameCharacters characters of UTF-8 text, never splitting a character.
void CopyName(const std::string& name, char* out, std::size_t capacity) {
    std::size_t characters = 0, i = 0;
    for (; i < name.size(); ++i) {
        const bool starts = (static_cast<unsigned char>(name[i]) & 0xC0) != 0x80;
        if (starts && ++characters > kMaxNameCharacters)
            break;
        if (i + 1 >= capacity)
            break;
    }
    while (i > 0 && i < name.size() && (static_cast<unsigned char>(name[i]) & 0xC0) == 0x80)
        --i; // cut before a continuation byte, so before the whole character
    std::memcpy(out, name.data(), i);
    out[i] = '\0';
}

void CopyText(const std::string& text, char* out, std::size_t capacity) {
    TextBuffer b(out, capacity);
    b.append(text.c_str());
}

std::string ExecutableDirectory() {
    char exe[kPathCapacity];
    const ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
    if (n <= 0)
        return "./";
    std::string path(exe, static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

// The prompt helper lies beside the program in a build tree or a portable folder; an installed
// program finds it in ../libexec/orva/ (/usr/libexec/orva/ for /usr/bin/orva), off the user's PATH.
std::string PromptHelperPath() {
    const std::string exeDir = ExecutableDirectory();
    const std::string beside = exeDir + "orva-crash-prompt";
    if (access(beside.c_str(), X_OK) == 0)
        return beside;
    std::string up = exeDir.substr(0, exeDir.size() > 1 ? exeDir.size() - 1 : 0);
    const auto slash = up.rfind('/');
    up = slash == std::string::npos ? "../" : up.substr(0, slash + 1);
    const std::string installed = up + "libexec/orva/orva-crash-prompt";
    return access(installed.c_str(), X_OK) == 0 ? installed : beside;
}

struct AltStack {
    void* memory = nullptr;
    std::size_t size = 0;
    ~AltStack() {
        if (!memory)
            return;
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
        munmap(memory, size);
    }
};
thread_local AltStack t_altStack;

} // namespace

bool EnableCrashStackForThisThread() {
    if (t_altStack.memory)
        return true;
    const long page = sysconf(_SC_PAGESIZE) > 0 ? sysconf(_SC_PAGESIZE) : 4096;
    const long minimum = sysconf(_SC_SIGSTKSZ) > 0 ? sysconf(_SC_SIGSTKSZ) : 0;
    std::size_t usable = 256u << 10;
    if (static_cast<std::size_t>(minimum) * 4 > usable)
        usable = static_cast<std::size_t>(minimum) * 4;
    // One inaccessible page below the stack turns an overflow of the handler into a clean fault.
    const std::size_t size = usable + static_cast<std::size_t>(page);
    void* memory = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        return false;
    mprotect(memory, static_cast<std::size_t>(page), PROT_NONE);
    stack_t stack{};
    stack.ss_sp = static_cast<char*>(memory) + page;
    stack.ss_size = usable;
    if (sigaltstack(&stack, nullptr) != 0) {
        munmap(memory, size);
        return false;
    }
    t_altStack.memory = memory;
    t_altStack.size = size;
    return true;
}

bool InstallCrashHandler(const std::string& appName, bool showErrors) {
    CopyName(appName, g_setup.appName, sizeof g_setup.appName);
    CopyText(ProgramDirectory(), g_setup.programDir, sizeof g_setup.programDir);
    const char* helper = std::getenv("ORVA_CRASH_PROMPT");
    CopyText(helper && *helper ? std::string(helper) : PromptHelperPath(), g_setup.helper, sizeof g_setup.helper);
    TextBuffer question(g_setup.question, sizeof g_setup.question);
    FormatText(question, kQuestionText, {g_setup.appName});
    tzset();
    const std::time_t now = std::time(nullptr);
    g_setup.clock.prepare(now - 86400, kClockSpan);

    std::string failure;
    if (!EnableCrashStackForThisThread())
        failure = std::strerror(errno);
    struct sigaction action {};
    action.sa_sigaction = OnCrashSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    bool installed = true;
    for (int signal : kSignals) {
        if (sigaction(signal, &action, nullptr) != 0) {
            installed = false;
            failure = std::strerror(errno);
        }
    }
    crash::InstallThreadFreeze(); // without it the dump just lacks the other threads' registers
    std::set_terminate(OnTerminate);
    if (!failure.empty() && showErrors)
        notifier().messageBox("The crash handler could not be set up: " + failure, g_setup.appName);
    return installed;
}

} // namespace orva
