#include "CliCommon.h"

#include <cstdio>

namespace orva::cli {

int RunDiagnose(Args&) {
    std::fprintf(stderr, "orva-cli: diagnose is not available in this build\n");
    return kExitUsage;
}

int RunUpload(Args&) {
    std::fprintf(stderr, "orva-cli: upload is not available in this build\n");
    return kExitUsage;
}

} // namespace orva::cli
