// The page side of a run: how each result and answer is shown, logged and collected as a fault.
#include "app/LogFile.h"
#include "app/TextTable.h"
#include "diagnosis/DiagnosisMessages.h"
#include "diagnosis/DiagnosisSession.h"
#include "diagnosis/RegionTable.h"
#include "diagnosis/SessionRun.h"

namespace orva {
namespace {

constexpr const char* kPass = "√";
constexpr const char* kFail = "X";
constexpr const char* kModelMismatch = "选择检测设备类型与当前连接设备类型不一致，请重新设置！";

const std::string& Success() {
    return Text(TextId::ResultSuccess);
}
const std::string& Failure() {
    return Text(TextId::ResultFailure);
}
const char* Mark(bool pass) {
    return pass ? kPass : kFail;
}
const std::string& ResultText(bool pass) {
    return pass ? Success() : Failure();
}

const TextId kLanFaults[] = {TextId::ErrFe1, TextId::ErrFe2, TextId::ErrFe3, TextId::ErrFe4};

} // namespace

void DiagnosisSession::appendRow(Run& run, LogTab tab, const std::string& item, const std::string& result) {
    if (!live(run))
        return;
    LogTabRows& rows = tab == LogTab::Current ? currentTab_ : allTab_;
    const int number = rows.append(item, result);
    show(run, [&](DiagnosisView& v) { v.appendLogRow(tab, number, item, result); });
}

void DiagnosisSession::reportResult(Run& run, int item, const std::string& mark, const std::string& result) {
    if (!live(run))
        return;
    const std::string name = CheckItemName(item);
    {
        std::lock_guard lock(run.dataMutex);
        run.checks.push_back({item, name, mark, result});
    }
    appendRow(run, LogTab::Current, name, result);
    appendRow(run, LogTab::All, name, result);
    LogFile::instance().write("CheckResult", name);
    LogFile::instance().write("CheckResult", result);
}

void DiagnosisSession::addFault(Run& run, const std::string& text) {
    std::lock_guard lock(run.dataMutex);
    run.faults.push_back(text);
}

// --- Run notifications ---

void DiagnosisSession::onConnected(Run& run) {
    std::vector<ItemRow> rows;
    for (int n = 1; n <= kCheckItemCount; ++n)
        rows.push_back({CheckItemName(n), run.tmpl.ticks(n)});
    show(run, [&](DiagnosisView& v) { v.setItemRows(rows); });
}

void DiagnosisSession::onConnectError(Run& run) {
    if (!claimEnd(run, RunOutcome::ConnectError))
        return;
    disarmWatchdog(run);
    {
        std::lock_guard lock(mutex_);
        run.connected = false;
    }
    returnToIdle(run);
    if (run.generation == generation_.load()) {
        view_.hidePrompt();
        view_.insertTopRow(Text(TextId::ConnectStatus), Text(TextId::ConnectError));
    }
    markEnded(run, true);
}

void DiagnosisSession::onConnectTimeout(const std::shared_ptr<Run>& run) {
    // The run is given up here: its worker abandons the CONNECT exchange, so a reply that comes later
    // changes nothing, and the technician can start again at once.
    if (!claimEnd(*run, RunOutcome::ConnectTimeout, true))
        return;
    if (run->generation == generation_.load())
        view_.insertTopRow(Text(TextId::ConnectStatus), Text(TextId::ConnectTimeout));
    returnToIdle(*run);
    markEnded(*run, true);
}

bool DiagnosisSession::onIdentity(Run& run) {
    if (!live(run))
        return false;
    std::string productClass, serial;
    {
        std::lock_guard lock(run.dataMutex);
        productClass = run.productClass;
        serial = run.serial;
    }
    show(run, [&](DiagnosisView& v) { v.showIdentity(productClass, serial); });
    if (run.tmpl.model == productClass)
        return true;
    show(run, [&](DiagnosisView& v) { v.message(kModelMismatch); });
    if (!claimEnd(run, RunOutcome::ModelMismatch))
        return false;
    bool registered;
    {
        std::lock_guard lock(mutex_);
        registered = running_ && current_.get() == &run;
    }
    if (!registered) {
        if (run.generation == generation_.load())
            view_.message(Text(TextId::ThreadStopped));
    } else {
        returnToIdle(run);
        if (run.generation == generation_.load())
            view_.hidePrompt();
    }
    markEnded(run, true);
    return false;
}

void DiagnosisSession::onPotsStartFailed(Run& run) {
    if (!claimEnd(run, RunOutcome::PotsStartFailed))
        return;
    returnToIdle(run);
    if (run.generation == generation_.load()) {
        view_.hidePrompt();
        view_.insertTopRow(Text(TextId::ItemPotsStart), Failure());
    }
    markEnded(run, true);
}

void DiagnosisSession::onFinished(Run& run) {
    returnToIdle(run);
    show(run, [](DiagnosisView& v) { v.message(Text(TextId::DiagFinished)); });
}

// --- Automatic results ---

void DiagnosisSession::onLanResult(Run& run, int port) {
    const bool pass = run.reply.Get("STATUS") == kHardwareSucc && run.reply.Get("FESTATUS") == "OK";
    show(run, [&](DiagnosisView& v) { v.setItemStatus(port, Mark(pass)); });
    reportResult(run, port, Mark(pass), ResultText(pass));
    if (!pass)
        addFault(run, Text(kLanFaults[port - 1]));
}

void DiagnosisSession::onDslUplinkResult(Run& run) {
    const bool pass = run.reply.Get("STATUS") == kHardwareSucc;
    show(run, [&](DiagnosisView& v) {
        v.setItemStatus(12, Mark(pass));
        v.scrollToItem(12);
    });
    reportResult(run, 12, Mark(pass), ResultText(pass));
    if (!pass)
        addFault(run, Text(TextId::ErrUplink));
}

void DiagnosisSession::onFlashResult(Run& run) {
    if (run.reply.Get("RET") == "ERROR") {
        show(run, [](DiagnosisView& v) { v.setItemStatus(13, kFail); });
        reportResult(run, 13, kFail, Failure());
        addFault(run, Text(TextId::ErrFlash));
        return;
    }
    const bool pass = run.reply.Get("STATUS") == kHardwareSucc;
    // The usage is shown whatever the status said.
    const std::string result = Success() + " " + run.reply.Get("FLASHUSEAGE") + "%";
    show(run, [&](DiagnosisView& v) {
        v.setItemStatus(13, Mark(pass));
        v.scrollToItem(13);
    });
    reportResult(run, 13, Mark(pass), result);
    if (!pass)
        addFault(run, Text(TextId::ErrFlash));
}

void DiagnosisSession::onUsbResult(Run& run) {
    const bool pass = run.reply.Get("STATUS") == kHardwareSucc;
    show(run, [&](DiagnosisView& v) { v.setItemStatus(15, Mark(pass)); });
    reportResult(run, 15, Mark(pass), ResultText(pass));
    if (!pass)
        addFault(run, Text(TextId::ErrUsb));
}

void DiagnosisSession::onWifiResult(Run& run) {
    const bool pass = run.reply.Get("STATUS") == kHardwareSucc;
    show(run, [&](DiagnosisView& v) {
        v.setItemStatus(16, Mark(pass));
        v.scrollToItem(16);
    });
    reportResult(run, 16, Mark(pass), ResultText(pass));
    if (!pass)
        addFault(run, Text(TextId::ErrWifi));
}

void DiagnosisSession::onSoftwareVersionResult(Run& run) {
    const std::string version = run.reply.Get("SOFTWAREVERSION");
    const bool shown = !version.empty();
    show(run, [&](DiagnosisView& v) {
        v.setItemStatus(17, Mark(shown));
        v.scrollToItem(17);
    });
    reportResult(run, 17, Mark(shown), Success() + " " + version);
    if (run.reply.Get("STATUS") != kSoftwareSucc)
        addFault(run, Text(TextId::ErrSoftwareVersion));
}

void DiagnosisSession::onKeyProcessResult(Run& run) {
    const bool pass = run.reply.Get("KEYPROCESSCHECK") == "OK";
    show(run, [&](DiagnosisView& v) {
        v.setItemStatus(18, Mark(pass));
        v.scrollToItem(18);
    });
    reportResult(run, 18, Mark(pass), ResultText(pass));
    if (!pass)
        addFault(run, Text(TextId::ErrKeyProcess));
}

void DiagnosisSession::onSystemResourceResult(Run& run) {
    const std::string cpu = run.reply.Get("CPULOAD");
    const std::string mem = run.reply.Get("MEMLOAD");
    const bool shown = !cpu.empty();
    show(run, [&](DiagnosisView& v) {
        v.setItemStatus(19, Mark(shown));
        v.scrollToItem(19);
    });
    reportResult(run, 19, Mark(shown), Success() + " CPU:" + cpu + "% Memory:" + mem + "%");
    if (run.reply.Get("STATUS") != kSoftwareSucc)
        addFault(run, Text(TextId::ErrSystemResource));
}

void DiagnosisSession::onAreaResult(Run& run) {
    const std::string code = run.reply.Get("AREACHECK");
    const bool shown = !code.empty();
    show(run, [&](DiagnosisView& v) {
        v.setItemStatus(20, Mark(shown));
        v.scrollToItem(20);
    });
    reportResult(run, 20, Mark(shown), Success() + " " + RegionName(code));
    if (run.reply.Get("STATUS") != kSoftwareSucc)
        addFault(run, Text(TextId::ErrArea));
}

void DiagnosisSession::onIntegrityResult(Run& run) {
    const bool pass = run.reply.Get("INTEGRITYCHECK") == "OK";
    show(run, [&](DiagnosisView& v) {
        v.setItemStatus(21, Mark(pass));
        v.scrollToItem(21);
    });
    reportResult(run, 21, Mark(pass), ResultText(pass));
    if (!pass)
        addFault(run, Text(TextId::ErrIntegrity));
}

void DiagnosisSession::onDiskResult(Run& run) {
    const bool unrecognised = run.reply.Get("STATUS") == "UNRECOGNIZE_REQUEST";
    // Anything but a refused request shows the gateway's own word for its disk.
    const std::string mark = unrecognised ? std::string(kFail) : run.reply.Get("DISKCHECK");
    show(run, [&](DiagnosisView& v) {
        v.setItemStatus(22, mark);
        v.scrollToItem(22);
    });
    reportResult(run, 22, mark, unrecognised ? Failure() : Success());
    if (unrecognised)
        addFault(run, Text(TextId::ErrDisk));
}

// --- Answers ---

void DiagnosisSession::applyAnswer(Run& run, int questionId, AnswerKind kind, int value) {
    const bool yes = kind == AnswerKind::Yes;
    const int port = value == 2 ? 2 : 1;
    int item = 0;
    TextId fault = TextId::ErrUplink;
    switch (questionId) {
    case WM_DIAG_UPLINK_RESULT:
        item = 12;
        fault = TextId::ErrUplink;
        if (yes)
            run.record.PONCheck = CheckPassed;
        break;
    case WM_DIAG_LED_JUDGE:
        item = 14;
        fault = TextId::ErrLed;
        if (yes)
            run.record.LEDCheck = CheckPassed;
        break;
    case WM_DIAG_RING_JUDGE:
        item = port == 1 ? 5 : 8;
        fault = port == 1 ? TextId::ErrPots1Ring : TextId::ErrPots2Ring;
        if (!yes)
            run.potsAnswers[static_cast<size_t>(port - 1) * 3] = false;
        break;
    case WM_DIAG_DTMF_JUDGE:
        item = port == 1 ? 6 : 9;
        fault = port == 1 ? TextId::ErrPots1Dtmf : TextId::ErrPots2Dtmf;
        if (!yes)
            run.potsAnswers[static_cast<size_t>(port - 1) * 3 + 1] = false;
        break;
    case WM_DIAG_CNG_JUDGE:
        item = port == 1 ? 7 : 10;
        fault = port == 1 ? TextId::ErrPots1Cng : TextId::ErrPots2Cng;
        if (!yes)
            run.potsAnswers[static_cast<size_t>(port - 1) * 3 + 2] = false;
        break;
    case WM_DIAG_LOOP_JUDGE:
        item = 11;
        fault = TextId::ErrPotsLoop;
        break;
    default:
        return;
    }
    show(run, [&](DiagnosisView& v) { v.setItemStatus(item, Mark(yes)); });
    reportResult(run, item, Mark(yes), ResultText(yes));
    if (!yes)
        addFault(run, Text(fault));
}

} // namespace orva
