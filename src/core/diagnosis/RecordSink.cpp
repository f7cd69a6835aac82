#include "diagnosis/RecordSink.h"

#include "records/RecordStore.h"
#include "records/Upload.h"

namespace orva {

SinkResult DefaultRecordSink::finish(const std::vector<DiagRecord>& pending) {
    // The report comes first: when the service does not take it, it keeps the records in uploads.
    reportNewest(pending);
    SinkResult result;
    RecordStore store;
    if (store.open("logs"))
        result.stored = store.insert("logs", pending);
    else
        result.stored = RecordStore::StoreFailed;
    store.close();
    return result;
}

} // namespace orva
