#pragma once
// Where a finished diagnosis goes: stored in the tables logs and uploads, then reported to the reporting
// service.
#include "core/records/DiagRecord.h"

#include <stop_token>
#include <string>
#include <vector>

namespace orva {

struct SinkResult {
    int stored = 0;        // RecordStore::insert's result for logs (1 stored, 0 nothing, -1 failed)
    bool accepted = false; // the reporting service took the newest record
    int uploads = 0;       // the same for uploads; 0 once the service took the record and its row went
    std::string reportProblem; // why the report was not accepted ("" when it was, or none was made)

    // Handed from store() to report(): the uploads row of the newest record (0: none), and the store's
    // error texts, which the technician reads after the report as before.
    int newestUploadId = 0;
    std::vector<std::string> heldMessages;
};

class RecordSink {
public:
    virtual ~RecordSink() = default;
    // Before a run sends anything: whether its record could be stored. False once the technician has
    // been shown why not.
    virtual bool ready() { return true; }
    // On the diagnosis worker right after the last check, before the end is shown: stores `pending`
    // (the finished records, the newest last; the caller empties it afterwards).
    virtual SinkResult store(const std::vector<DiagRecord>& pending) = 0;
    // Then reports the newest record and completes `result`. A stop request abandons the report: the
    // record waits in uploads for the next start.
    virtual void report(const std::vector<DiagRecord>& pending, SinkResult& result, std::stop_token stop) = 0;

    // Both, for a caller that shows nothing in between.
    SinkResult finish(const std::vector<DiagRecord>& pending, std::stop_token stop = {}) {
        SinkResult result = store(pending);
        report(pending, result, std::move(stop));
        return result;
    }
};

// Stores all records in logs and uploads in one transaction (a tool ended in the middle never leaves a
// record waiting for upload that the log query cannot find, nor a stored record that nobody will
// report), then reports the newest and deletes its uploads row when the service accepts it. Each step
// opens and closes a RecordStore of its own.
class DefaultRecordSink final : public RecordSink {
public:
    bool ready() override;
    SinkResult store(const std::vector<DiagRecord>& pending) override;
    void report(const std::vector<DiagRecord>& pending, SinkResult& result, std::stop_token stop) override;
};

} // namespace orva
