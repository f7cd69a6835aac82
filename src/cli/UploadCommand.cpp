// orva-cli upload: the pass that sends the records kept in uploads again.
#include "CliCommon.h"

#include "records/Upload.h"

#include <cstdio>

namespace orva::cli {

int RunUpload(Args& args) {
    if (!args.rest().empty()) {
        std::fprintf(stderr, "usage: orva-cli [--dir DIR] [--user U --password P] upload\n");
        return kExitUsage;
    }
    std::string operatorName;
    if (int code = EnterTool(operatorName); code >= 0)
        return code;
    const UploadPassResult result = uploadStoredRecords();
    if (!result.opened) {
        std::printf("uploads could not be opened\n");
        return kExitNotFinished;
    }
    std::printf("upload: %d stored records, %d accepted, %d kept\n", result.rows, result.accepted, result.failed);
    return kExitOk;
}

} // namespace orva::cli
