#include "core/records/Upload.h"

#include "core/app/AppSettings.h"
#include "core/app/LogFile.h"
#include "core/app/Notifier.h"
#include "core/app/TextTable.h"
#include "core/records/ReportDocument.h"
#include "core/web/HttpClient.h"

namespace orva {

namespace {

void log(const char* tag, const std::string& message) {
    LogFile::instance().write(tag, message);
}

// A service's code is shown to the technician: bounded, and with no control characters to obey.
std::string Shown(const std::string& text) {
    constexpr size_t kLongest = 40;
    std::string out;
    for (char c : text.substr(0, kLongest))
        out += static_cast<unsigned char>(c) < 0x20 || c == 0x7F ? '?' : c;
    return text.size() > kLongest ? out + "..." : out;
}

std::string NoAnswerText(const std::string& url, const std::string& httpError) {
    return "no answer from " + url + (httpError.empty() ? "" : " (" + httpError + ")");
}

// "" for an acceptance.
std::string RefusalText(const std::string& reply, long status) {
    const std::optional<std::string> code = reportReplyCode(reply);
    if (code == "0")
        return {};
    std::string text = "the reporting service did not accept it (";
    if (status >= 400 || !code)
        text += "HTTP " + std::to_string(status) + (code ? ", " : "");
    if (code)
        text += "Code " + Shown(*code);
    else
        text += ", no report reply";
    return text + ")";
}

} // namespace

UploadConfig UploadConfig::FromSettings() {
    const AppSettings& s = Settings();
    UploadConfig c;
    c.reportUrl = s.ReportURL;
    c.runNet = s.RunNet;
    c.http = HttpOptions::FromSettings();
    c.userAgent = CHttpClient::kDefaultUserAgent;
    return c;
}

std::string postReport(const UploadConfig& config, const std::string& body, std::stop_token stop,
                       std::string* problem) {
    std::string reply;
    std::string why;
    if (config.runNet == 0) {
        why = "reports are switched off (RunNet=0 in setting.ini)";
    } else if (config.reportUrl.empty()) {
        why = "setting.ini names no ReportURL";
    } else {
        CHttpClient client(config.userAgent, config.http);
        client.Post(config.reportUrl, body, reply, std::move(stop));
        why = reply.empty() ? NoAnswerText(config.reportUrl, client.lastError())
                            : RefusalText(reply, client.lastStatus());
    }
    if (problem)
        *problem = std::move(why);
    return reply;
}

bool sendNewest(const std::vector<DiagRecord>& pending, const UploadConfig& config, std::stop_token stop,
                std::string* problem) {
    const XmlDocument doc = buildReportDocument(pending.back());
    const std::string reply = postReport(config, doc.GetText(), std::move(stop), problem);
    if (isAcceptedReply(reply)) {
        log("SAVE", "云平台上传记录成功");
        return true;
    }
    // No reply, an error page or a refusal: the service does not have the record, so it must wait in
    // uploads for the next start rather than be lost.
    log("SAVE", "云平台上传失败，暂存到本地:");
    log("SAVE", doc.GetText());
    return false;
}

ReportOutcome reportNewest(const std::vector<DiagRecord>& pending, RecordStore& store, const UploadConfig& config) {
    if (pending.empty()) {
        notifier().messageBox(Text(TextId::NoReportResult));
        return ReportOutcome::NothingToReport;
    }
    if (sendNewest(pending, config))
        return ReportOutcome::Accepted;
    ReportOutcome outcome = ReportOutcome::NotKept;
    if (store.open("uploads") && store.insert("uploads", pending) == RecordStore::Stored)
        outcome = ReportOutcome::KeptForUpload;
    store.close();
    return outcome;
}

ReportOutcome reportNewest(const std::vector<DiagRecord>& pending) {
    RecordStore store;
    return reportNewest(pending, store, UploadConfig::FromSettings());
}

RowOutcome uploadStoredRow(const RowTexts& row, RecordStore& store, const UploadConfig& config, std::stop_token stop,
                           std::string* problem) {
    const StoredRecord stored = RecordFromRow(row);
    const XmlDocument doc = buildReportDocument(stored.record);
    const std::string reply = postReport(config, doc.GetText(), stop, problem);
    return settleStoredRow(stored.id, doc.GetText(), reply, stop.stop_requested(), store);
}

RowOutcome settleStoredRow(int id, const std::string& document, const std::string& reply, bool stopRequested,
                           RecordStore& store) {
    const bool accepted = isAcceptedReply(reply);
    // Asked to stop while the request was out: a row the service took must still go, or it would be
    // sent a second time at the next start; anything else is dropped and the row stays for then.
    if (stopRequested && !accepted)
        return RowOutcome::Stopped;
    log("UPLOAD", "上传内容为：");
    log("UPLOAD", document);
    if (!accepted) {
        log("UPLOAD", "记录 上传失败");
        return RowOutcome::Failed;
    }
    log("UPLOAD", "记录 上传成功");
    if (store.deleteUpload(id) != 1)
        return RowOutcome::NotDeleted;
    log("UPLOAD", "删除数据库暂存记录成功");
    return RowOutcome::Accepted;
}

UploadPassResult uploadStoredRecords(RecordStore& store, const UploadConfig& config, std::stop_token stop) {
    UploadPassResult result;
    log("UPLOAD", "DB 开启，准备上传数据到云平台");
    if (!store.open("uploads")) {
        log("UPLOAD", "找不到Uploads表");
        log("UPLOAD", "DB关闭");
        return result;
    }
    result.opened = true;
    // forEachUpload has read every row and ended its read before the first one is handed out, so no
    // lock on the file is held while a request is out.
    store.forEachUpload([&](const std::vector<std::string>&, const RowTexts& row) {
        if (stop.stop_requested()) {
            result.stopped = true;
            return 1;
        }
        ++result.rows;
        std::string problem;
        switch (uploadStoredRow(row, store, config, stop, &problem)) {
        case RowOutcome::Accepted:
            ++result.accepted;
            break;
        case RowOutcome::NotDeleted:
            ++result.failed;
            result.problem = "accepted, but its row in uploads could not be deleted";
            break;
        case RowOutcome::Failed:
            ++result.failed;
            result.problem = std::move(problem);
            break;
        case RowOutcome::Stopped:
            result.stopped = true;
            return 1;
        }
        return 0;
    });
    store.close();
    log("UPLOAD", "DB关闭");
    return result;
}

UploadPassResult uploadStoredRecords(std::stop_token stop) {
    RecordStore store;
    return uploadStoredRecords(store, UploadConfig::FromSettings(), stop);
}

} // namespace orva
