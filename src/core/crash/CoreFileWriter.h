#pragma once
// An ELF core file (ET_CORE) of the calling process, the format the kernel itself writes, so that
// `gdb PROGRAM DUMP` shows where the program crashed. Written with system calls only: it runs inside
// the crash signal handler or in a child forked from it.
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <sys/types.h>
#include <sys/ucontext.h>

namespace orva::crash {

// One thread's registers, as a signal handler on that thread found them.
struct ThreadContext {
    pid_t tid = 0;
    ucontext_t context{};
#if defined(__x86_64__)
    struct _libc_fpstate fpstate {};
    bool haveFpstate = false;
    std::uint64_t fsBase = 0;
    std::uint64_t gsBase = 0;
#endif
};

// The crash: the crashing thread, the other threads that could be stopped, and the process's ids.
struct CrashContext {
    int signal = 0;
    siginfo_t info{};
    ThreadContext thread;
    const ThreadContext* others = nullptr;
    std::size_t otherCount = 0;
    pid_t pid = 0;
    pid_t ppid = 0;
    pid_t pgrp = 0;
    pid_t sid = 0;
};

// Records the calling thread; to be called by a signal handler with its context. Async-signal-safe.
void CaptureThreadContext(ThreadContext& out, const void* ucontext);
// Records the crashing (calling) thread and the ids of the process. Async-signal-safe.
void CaptureCrashContext(CrashContext& out, int signal, const siginfo_t* info, const void* ucontext);

// Writes the core file of the calling process's memory into fd, which must be open for writing and
// empty. Memory is read through /proc/self/mem, so pages that cannot be read leave holes instead of
// faulting. Returns 0, or the errno of what failed.
int WriteCoreFile(int fd, const CrashContext& crash);

} // namespace orva::crash
