#include "diagnosis/RecordSink.h"

#include "records/RecordStore.h"
#include "records/Upload.h"

namespace orva {

SinkResult DefaultRecordSink::finish(const std::vector<DiagRecord>& pending) {
    SinkResult result;
    if (pending.empty()) {
        reportNewest(pending); // tells the technician there is nothing to report
        return result;
    }
    // The report comes first: what the service does not take is kept in uploads.
    result.accepted = sendNewest(pending, UploadConfig::FromSettings());
    RecordStore store;
    if (!store.open(std::vector<std::string>{"uploads", "logs"})) {
        result.stored = RecordStore::StoreFailed;
        result.uploads = result.accepted ? RecordStore::NothingToStore : RecordStore::StoreFailed;
        return result;
    }
    const RecordStore::FinishedResult stored = store.insertFinished(pending, !result.accepted);
    store.close();
    result.stored = stored.logs;
    result.uploads = stored.uploads;
    return result;
}

} // namespace orva
