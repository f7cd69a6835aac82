#include "gui/shell/ProcessExit.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace orva {

namespace {

std::mutex& HookMutex() {
    static std::mutex m;
    return m;
}

ExitHook& Hook() {
    static ExitHook hook;
    return hook;
}

} // namespace

void ExitProcess(int code) {
    ExitHook hook;
    {
        std::lock_guard lock(HookMutex());
        hook = Hook();
    }
    if (hook) {
        hook(code);
        return;
    }
    // At once, without unwinding: worker threads may be blocked in requests and must not be joined.
    std::fflush(nullptr);
    std::_Exit(code);
}

void SetExitHook(ExitHook hook) {
    std::lock_guard lock(HookMutex());
    Hook() = std::move(hook);
}

} // namespace orva
