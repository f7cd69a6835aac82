#pragma once
// Reporting finished diagnoses to the reporting service: the report made right after a diagnosis, and
// the pass that sends the records kept in uploads again. Only a reply with Response/Code "0" counts as
// accepted; whatever else comes back, the record stays (or goes) into uploads for the next start.
#include "core/records/DiagRecord.h"
#include "core/records/RecordStore.h"
#include "core/web/HttpOptions.h"

#include <stop_token>
#include <string>
#include <vector>

namespace orva {

// Where and whether reports are sent.
struct UploadConfig {
    std::string reportUrl;
    // 0: no request is ever made; every report counts as unanswered.
    int runNet = 1;
    HttpOptions http;
    std::string userAgent;

    // ReportURL, RunNet, HttpTimeout, TlsVerify and CaFile from Settings(), the client's usual agent.
    static UploadConfig FromSettings();
};

// Posts the document text; "" when no request may be made (RunNet 0, no URL), nothing came back or a
// stop request ended the request. `problem`, when given, gets why the reply is no acceptance, in words
// a technician can act on (reports switched off, no ReportURL, no answer and the HTTP client's reason,
// the service's refusal with its status or code), or "" for an acceptance.
std::string postReport(const UploadConfig& config, const std::string& body, std::stop_token stop = {},
                       std::string* problem = nullptr);

enum class ReportOutcome {
    NothingToReport, // empty list; the technician was told
    Accepted,        // the service took the newest record
    KeptForUpload,   // not accepted; every pending record is now in uploads
    NotKept,         // not accepted, and uploads could not take them (the technician saw why)
};

// The report alone: posts the newest (last) record of a non-empty list and writes the "SAVE" lines;
// true when the service accepted it. Keeping the records when it did not is the caller's part. A stop
// request abandons the request; it then counts as unanswered.
bool sendNewest(const std::vector<DiagRecord>& pending, const UploadConfig& config, std::stop_token stop = {},
                std::string* problem = nullptr);

// The report of a finished diagnosis, on the diagnosis thread: sends the newest (last) record; when
// the service does not accept it, stores all of `pending` in uploads through `store`.
ReportOutcome reportNewest(const std::vector<DiagRecord>& pending, RecordStore& store, const UploadConfig& config);
// The same with a store on the program's orvalog.db and the settings.
ReportOutcome reportNewest(const std::vector<DiagRecord>& pending);

enum class RowOutcome {
    Accepted,   // sent, accepted and deleted from uploads
    NotDeleted, // accepted, but the deletion failed: it is sent again next time
    Failed,     // not accepted; the row stays
    Stopped,    // the pass was asked to stop while this row was under way and it was not accepted; it stays
};

// One row of uploads (column texts in table order): rebuilds its record, sends it with a fresh check
// date and deletes the row when the service accepts it, also when a stop was asked for meanwhile.
RowOutcome uploadStoredRow(const RowTexts& row, RecordStore& store, const UploadConfig& config,
                           std::stop_token stop = {}, std::string* problem = nullptr);
// Its second half, once the request has returned: the "UPLOAD" lines and the deletion of row `id` for the
// reply the service gave to `document`, with `stopRequested` telling whether a stop came meanwhile.
RowOutcome settleStoredRow(int id, const std::string& document, const std::string& reply, bool stopRequested,
                           RecordStore& store);

struct UploadPassResult {
    bool opened = false; // false: uploads could not be opened
    int rows = 0;        // rows taken up (the stopped one included)
    int accepted = 0;
    int failed = 0; // not accepted, or not deleted
    bool stopped = false;
    std::string problem; // why the last row that failed was not accepted (postReport's words)
};

// The upload of stored records: opens uploads on `store`, reads every row, ends the read, then sends
// and deletes them one by one. A stop request ends the pass before the next row; a row whose send was
// under way stays in uploads.
UploadPassResult uploadStoredRecords(RecordStore& store, const UploadConfig& config, std::stop_token stop = {});
// The same with a store on the program's orvalog.db and the settings.
UploadPassResult uploadStoredRecords(std::stop_token stop = {});

} // namespace orva
