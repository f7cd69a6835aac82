// orva-cli upload: the pass that sends the records kept in uploads again.
#include "cli/CliCommon.h"

#include "core/records/Upload.h"

#include <cstdio>

namespace orva::cli {
namespace {

int RunUpload() {
    std::string operatorName;
    if (const std::optional<int> code = EnterTool(operatorName))
        return *code;
    const UploadPassResult result = uploadStoredRecords();
    if (!result.opened) {
        std::printf("uploads could not be opened\n");
        return kExitNotFinished;
    }
    std::printf("upload: %d stored records, %d accepted, %d kept\n", result.rows, result.accepted, result.failed);
    if (result.failed > 0)
        std::printf("kept because %s\n", result.problem.c_str());
    std::fflush(stdout);
    // Records still waiting are not done: a script must not take them for delivered.
    return result.failed > 0 || result.stopped ? kExitFaults : kExitOk;
}

} // namespace

Command AddUpload(CLI::App& program) {
    CLI::App* app = program.add_subcommand("upload", "Send the records kept in uploads to the reporting service");
    app->footer("Exit: 0 every kept record was accepted (or none was kept), 1 records remain in uploads,\n"
                "2 uploads could not be opened.");
    return {app, [] { return RunUpload(); }};
}

} // namespace orva::cli
