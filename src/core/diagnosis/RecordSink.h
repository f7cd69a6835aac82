#pragma once
// Where a finished diagnosis goes: reported to the reporting service and stored in the table logs.
#include "records/DiagRecord.h"

#include <string>
#include <vector>

namespace orva {

struct SinkResult {
    int stored = 0; // RecordStore::insert's result for logs (1 stored, 0 nothing, -1 failed)
};

class RecordSink {
public:
    virtual ~RecordSink() = default;
    // Runs on the diagnosis worker after the last check. `pending` holds the finished records, the
    // newest last; the caller empties it afterwards.
    virtual SinkResult finish(const std::vector<DiagRecord>& pending) = 0;
};

// Reports the newest record (reportNewest: what the service does not take goes into uploads) and stores
// all of them in logs through a RecordStore of its own, opened and closed for each finish.
class DefaultRecordSink final : public RecordSink {
public:
    SinkResult finish(const std::vector<DiagRecord>& pending) override;
};

} // namespace orva
