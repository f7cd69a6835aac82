#include "gui/shell/CrashSetup.h"

#if __has_include("crash/CrashHandler.h")
#include "core/crash/CrashHandler.h"
#define ORVA_HAVE_CRASH_HANDLER 1
#endif

namespace orva {

void InstallShellCrashHandler() {
#ifdef ORVA_HAVE_CRASH_HANDLER
    InstallCrashHandler("orva", false);
#endif
}

} // namespace orva
