#include "core/diagnosis/RecordSink.h"

#include "core/app/Notifier.h"
#include "core/records/RecordStore.h"
#include "core/records/Upload.h"

namespace orva {

bool DefaultRecordSink::ready() {
    RecordStore store;
    return store.checkWritable();
}

SinkResult DefaultRecordSink::store(const std::vector<DiagRecord>& pending) {
    SinkResult result;
    if (pending.empty())
        return result;
    RecordStore store;
    store.holdMessages(true);
    // The record is kept for upload before the report goes out: whatever ends the tool while the
    // request is out, the next start sends it.
    if (!store.open(std::vector<std::string>{"uploads", "logs"})) {
        result.stored = RecordStore::StoreFailed;
        result.uploads = RecordStore::StoreFailed;
    } else {
        const RecordStore::FinishedResult stored = store.insertFinished(pending, true);
        store.close();
        result.stored = stored.logs;
        result.uploads = stored.uploads;
        result.newestUploadId = stored.newestUploadId;
    }
    result.heldMessages = store.takeHeldMessages();
    return result;
}

void DefaultRecordSink::report(const std::vector<DiagRecord>& pending, SinkResult& result, std::stop_token stop) {
    if (pending.empty()) {
        reportNewest(pending); // tells the technician there is nothing to report
        return;
    }
    result.accepted = sendNewest(pending, UploadConfig::FromSettings(), stop, &result.reportProblem);
    if (!result.accepted && stop.stop_requested())
        result.reportProblem = "the report was given up before an answer came";
    if (result.accepted) {
        // The same deletion as the upload pass makes for a row the service took.
        if (result.uploads == RecordStore::Stored && result.newestUploadId > 0) {
            RecordStore store;
            store.holdMessages(true);
            if (store.open("uploads") && store.deleteUpload(result.newestUploadId) == 1) {
                result.uploads = RecordStore::NothingToStore;
                result.newestUploadId = 0;
            }
            store.close();
            for (std::string& text : store.takeHeldMessages())
                result.heldMessages.push_back(std::move(text));
        } else if (result.uploads != RecordStore::Stored) {
            result.uploads = RecordStore::NothingToStore;
        }
    }
    for (const std::string& text : result.heldMessages)
        notifier().messageBox(text);
    result.heldMessages.clear();
}

} // namespace orva
