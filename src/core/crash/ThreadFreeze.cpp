#include "core/crash/ThreadFreeze.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace orva::crash {
namespace {

// A real-time signal from the top of the range, away from the ones the C library keeps for itself.
int FreezeSignal() {
    return SIGRTMAX - 2;
}

constexpr std::size_t kMaxThreads = 512;

struct Slot {
    std::atomic<bool> done{false};
    ThreadContext context;
};

Slot g_slots[kMaxThreads];
std::atomic<bool> g_freezing{false};
std::atomic<bool> g_released{false};
std::atomic<std::size_t> g_claimed{0};
std::atomic<std::size_t> g_answered{0};

void Nap() {
    timespec t{0, 1000000}; // 1 ms
    nanosleep(&t, nullptr);
}

void OnFreezeSignal(int, siginfo_t* info, void* context) {
    // Only a request of this process's own crash path counts; anything else is ignored.
    if (!g_freezing.load(std::memory_order_acquire) || g_released.load(std::memory_order_acquire))
        return;
    if (!info || info->si_code != SI_TKILL || info->si_pid != getpid())
        return;
    const int savedErrno = errno;
    const std::size_t slot = g_claimed.fetch_add(1);
    if (slot < kMaxThreads) {
        CaptureThreadContext(g_slots[slot].context, context);
        g_slots[slot].done.store(true, std::memory_order_release);
    }
    g_answered.fetch_add(1, std::memory_order_release);
    while (!g_released.load(std::memory_order_acquire))
        Nap();
    errno = savedErrno;
}

struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

pid_t ParseTid(const char* name) {
    pid_t v = 0;
    for (; *name; ++name) {
        if (*name < '0' || *name > '9')
            return 0;
        v = v * 10 + (*name - '0');
    }
    return v;
}

} // namespace

bool InstallThreadFreeze() {
    struct sigaction action {};
    action.sa_sigaction = OnFreezeSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESTART;
    sigemptyset(&action.sa_mask);
    return sigaction(FreezeSignal(), &action, nullptr) == 0;
}

std::size_t FreezeOtherThreads(ThreadContext* out, std::size_t capacity) {
    const pid_t pid = getpid();
    const auto self = static_cast<pid_t>(syscall(SYS_gettid));
    g_released.store(false, std::memory_order_release);
    g_freezing.store(true, std::memory_order_release);

    std::size_t sent = 0;
    const int dir = open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        alignas(8) static char buffer[16384];
        long n;
        while ((n = syscall(SYS_getdents64, dir, buffer, sizeof buffer)) > 0) {
            for (long at = 0; at < n;) {
                const auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer + at);
                at += entry->d_reclen;
                const pid_t tid = ParseTid(entry->d_name);
                if (tid > 0 && tid != self && syscall(SYS_tgkill, pid, tid, FreezeSignal()) == 0)
                    ++sent;
            }
        }
        close(dir);
    }
    for (int waited = 0; waited < 1000 && g_answered.load(std::memory_order_acquire) < sent; ++waited)
        Nap();

    std::size_t count = 0;
    for (std::size_t i = 0; i < kMaxThreads && count < capacity; ++i) {
        if (g_slots[i].done.load(std::memory_order_acquire))
            std::memcpy(static_cast<void*>(&out[count++]), &g_slots[i].context, sizeof(ThreadContext));
    }
    return count;
}

void ReleaseOtherThreads() {
    g_released.store(true, std::memory_order_release);
}

} // namespace orva::crash
