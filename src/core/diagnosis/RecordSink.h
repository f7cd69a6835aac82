#pragma once
// Where a finished diagnosis goes: reported to the reporting service and stored in the table logs.
#include "records/DiagRecord.h"

#include <string>
#include <vector>

namespace orva {

struct SinkResult {
    int stored = 0;        // RecordStore::insert's result for logs (1 stored, 0 nothing, -1 failed)
    bool accepted = false; // the reporting service took the newest record
    int uploads = 0;       // the same for uploads; 0 when the service took the record
};

class RecordSink {
public:
    virtual ~RecordSink() = default;
    // Runs on the diagnosis worker after the last check. `pending` holds the finished records, the
    // newest last; the caller empties it afterwards.
    virtual SinkResult finish(const std::vector<DiagRecord>& pending) = 0;
};

// Reports the newest record, then stores all of them in logs and, when the service did not take it, in
// uploads, through a RecordStore of its own opened and closed for each finish. Both tables are written
// in one transaction: a tool ended in the middle never leaves a record waiting for upload that the log
// query cannot find, nor a stored record that nobody will report.
class DefaultRecordSink final : public RecordSink {
public:
    SinkResult finish(const std::vector<DiagRecord>& pending) override;
};

} // namespace orva
