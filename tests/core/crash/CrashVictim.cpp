// A program that installs the crash handler and then crashes the way its first argument says, for the
// crash tests: crash_victim MODE [APP_NAME]. Each way of crashing lives in its own function that is
// never inlined, so a backtrace of the dump names it.
#include "core/app/ProgramDirectory.h"
#include "core/crash/CrashHandler.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <stdexcept>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

#define VICTIM __attribute__((noinline))

namespace {

volatile int g_sink = 0;

VICTIM void CrashByNullWrite() {
    volatile int* volatile target = nullptr;
    *target = 42;
}

VICTIM void CrashByAbort() {
    std::abort();
}

VICTIM void CrashByUnhandledException() {
    throw std::runtime_error("nobody catches this");
}

VICTIM void CrashByDivision() {
    volatile int dividend = 7, zero = 0; // both unknown, so the compiler emits a real division
    g_sink = dividend / zero;
}

VICTIM void CrashByIllegalInstruction() {
    __builtin_trap();
}

VICTIM void CrashByBusError() {
    // A shared mapping of an empty file: touching it has no page behind it.
    const int fd = memfd_create("victim", 0);
    auto* page = static_cast<volatile char*>(mmap(nullptr, 4096, PROT_READ, MAP_SHARED, fd, 0));
    g_sink = page[0];
}

VICTIM void CrashByStackOverflow(int depth) {
    if (depth < 0) // never: the recursion only ends in the overflow
        return;
    volatile char frame[1024];
    frame[0] = static_cast<char>(depth);
    CrashByStackOverflow(depth + 1);
    g_sink = frame[0];
}

VICTIM void CrashOnWorkerThread() {
    std::thread([] { CrashByNullWrite(); }).join();
}

void* OverflowWorker(void*) {
    orva::EnableCrashStackForThisThread();
    CrashByStackOverflow(0);
    return nullptr;
}

VICTIM void CrashByWorkerStackOverflow() {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 1 << 20);
    pthread_t thread;
    pthread_create(&thread, &attr, OverflowWorker, nullptr);
    pthread_join(thread, nullptr);
}

} // namespace

int main(int argc, char** argv) {
    orva::InitProgramDirectory(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: crash_victim MODE [APP_NAME]\n");
        return 2;
    }
    const std::string mode = argv[1];
    orva::InstallCrashHandler(argc > 2 ? argv[2] : "orva", false);

    if (mode == "null-write")
        CrashByNullWrite();
    else if (mode == "abort")
        CrashByAbort();
    else if (mode == "throw")
        CrashByUnhandledException();
    else if (mode == "divide")
        CrashByDivision();
    else if (mode == "trap")
        CrashByIllegalInstruction();
    else if (mode == "bus")
        CrashByBusError();
    else if (mode == "overflow") {
        // A bounded stack, whatever the caller's limit, so the overflow comes soon.
        rlimit limit{8u << 20, 8u << 20};
        rlimit current{};
        getrlimit(RLIMIT_STACK, &current);
        if (current.rlim_max != RLIM_INFINITY && current.rlim_max < limit.rlim_cur)
            limit.rlim_cur = limit.rlim_max = current.rlim_max;
        setrlimit(RLIMIT_STACK, &limit);
        CrashByStackOverflow(0);
    } else if (mode == "worker")
        CrashOnWorkerThread();
    else if (mode == "worker-overflow")
        CrashByWorkerStackOverflow();
    else if (mode == "exit")
        return 7;
    std::fprintf(stderr, "still alive after %s\n", mode.c_str());
    return 1;
}
