// faults-store-loop: stores finished diagnoses one after another through the diagnosis page's record sink
// (logs and uploads, then the report, after which uploads loses the record the service took), and tells
// its parent after each one that is stored. The parent kills it at some point and checks the database afterwards.
//   faults-store-loop --dir DIR FIRST COUNT
// Prints "stored N accepted|kept" once record LOOP-N is in logs (and, unless accepted, in uploads);
// "failed N" when it could not be stored.
#include "core/app/AppSettings.h"
#include "core/app/LogFile.h"
#include "core/app/ProgramDirectory.h"
#include "core/diagnosis/RecordSink.h"
#include "core/records/RecordStore.h"

#include "FaultSupport.h"

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    using namespace orva;
    InitProgramDirectory(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: faults-store-loop --dir DIR FIRST COUNT\n");
        return 64;
    }
    AppSettings settings;
    if (!LoadAppSettings(SettingsFilePath(), settings)) {
        std::fprintf(stderr, "setting.ini is missing!\n");
        return 0;
    }
    SetSettings(settings);
    LogFile::instance().open(JoinPath(ProgramDirectory(), "orva.log"));
    const int first = std::atoi(argv[1]);
    const int count = std::atoi(argv[2]);
    DefaultRecordSink sink;
    for (int n = first; n < first + count; ++n) {
        // A long operator name makes each row span more of a page, so kills land inside writes too.
        const std::vector<DiagRecord> pending = {
            test::SampleRecord("LOOP-" + std::to_string(n), "tech-" + std::string(600, 'x'))};
        const SinkResult r = sink.finish(pending);
        const bool kept = r.uploads == RecordStore::Stored;
        if (r.stored == RecordStore::Stored && (kept || r.accepted))
            std::printf("stored %d %s\n", n, kept ? "kept" : "accepted");
        else
            std::printf("failed %d\n", n);
        std::fflush(stdout);
    }
    return 0;
}
