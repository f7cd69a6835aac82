// The page side of a run: how each result and answer is shown, logged and collected as a fault.
#include "core/app/LogFile.h"
#include "core/app/TextTable.h"
#include "core/diagnosis/DiagnosisMessages.h"
#include "core/diagnosis/DiagnosisSession.h"
#include "core/diagnosis/SessionRun.h"

namespace orva {
namespace {

constexpr const char* kModelMismatch = "选择检测设备类型与当前连接设备类型不一致，请重新设置！";

} // namespace

void DiagnosisSession::appendRow(Run& run, LogTab tab, const std::string& item, const std::string& result) {
    if (!live(run))
        return;
    int number;
    {
        MutexLock lock(mutex_);
        number = (tab == LogTab::Current ? currentTab_ : allTab_).append(item, result);
    }
    show(run, [&](DiagnosisView& v) { v.logRowAdded(tab, number, item, result); });
}

void DiagnosisSession::reportResult(Run& run, int item, const std::string& mark, const std::string& result,
                                    const std::string& fault) {
    if (!live(run))
        return;
    const std::string name = CheckItemName(item);
    {
        MutexLock lock(mutex_);
        run.held(mutex_);
        run.checks.push_back({item, name, mark, result, fault});
    }
    appendRow(run, LogTab::Current, name, result);
    appendRow(run, LogTab::All, name, result);
    LogFile::instance().write("CheckResult", name);
    LogFile::instance().write("CheckResult", result);
}

void DiagnosisSession::addFault(Run& run, int item, const std::string& text) {
    // The record keeps the item with the text: the stored result alone cannot tell a failure from a
    // check that never ran.
    run.record.faults.push_back({item, text});
    MutexLock lock(mutex_);
    run.held(mutex_);
    run.faults.push_back(text);
}

// --- Run notifications ---

void DiagnosisSession::onConnected(Run& run) {
    std::vector<ItemRow> rows;
    for (int n = 1; n <= kCheckItemCount; ++n)
        rows.push_back({CheckItemName(n), run.tmpl.ticks(n)});
    show(run, [&](DiagnosisView& v) { v.itemsShown(rows); });
}

void DiagnosisSession::onConnectError(Run& run) {
    if (!claimEnd(run, RunOutcome::ConnectError))
        return;
    disarmWatchdog(run);
    {
        MutexLock lock(mutex_);
        run.held(mutex_);
        run.connected = false;
    }
    returnToIdle(run);
    if (latest(run)) {
        view_.questionClosed();
        view_.stepFailed(Text(TextId::ConnectStatus), Text(TextId::ConnectError));
    }
    markEnded(run, true);
}

void DiagnosisSession::onConnectTimeout(const std::shared_ptr<Run>& run) {
    // The run is given up here: its worker abandons the CONNECT exchange, so a reply that comes later
    // changes nothing, and the technician can start again at once.
    if (!claimEnd(*run, RunOutcome::ConnectTimeout, true))
        return;
    if (latest(*run))
        view_.stepFailed(Text(TextId::ConnectStatus), Text(TextId::ConnectTimeout));
    returnToIdle(*run);
    markEnded(*run, true);
}

bool DiagnosisSession::onIdentity(Run& run) {
    if (!live(run))
        return false;
    std::string productClass, serial;
    {
        MutexLock lock(mutex_);
        run.held(mutex_);
        productClass = run.productClass;
        serial = run.serial;
    }
    show(run, [&](DiagnosisView& v) { v.identityRead(productClass, serial); });
    if (run.tmpl.model == productClass)
        return true;
    show(run, [&](DiagnosisView& v) { v.message(kModelMismatch); });
    if (!claimEnd(run, RunOutcome::ModelMismatch))
        return false;
    bool registered;
    {
        MutexLock lock(mutex_);
        run.held(mutex_);
        registered = running_ && current_.get() == &run;
    }
    if (!registered) {
        if (latest(run))
            view_.message(Text(TextId::ThreadStopped));
    } else {
        returnToIdle(run);
        if (latest(run))
            view_.questionClosed();
    }
    markEnded(run, true);
    return false;
}

void DiagnosisSession::onPotsStartFailed(Run& run) {
    if (!claimEnd(run, RunOutcome::PotsStartFailed))
        return;
    returnToIdle(run);
    if (latest(run)) {
        view_.questionClosed();
        view_.stepFailed(Text(TextId::ItemPotsStart), Text(TextId::ResultFailure));
    }
    markEnded(run, true);
}

void DiagnosisSession::onFinished(Run& run) {
    returnToIdle(run);
    show(run, [](DiagnosisView& v) { v.message(Text(TextId::DiagFinished)); });
}

// --- Results ---

void DiagnosisSession::onItemResult(Run& run, int item, TextId fault, const ItemResult& result, bool scroll) {
    show(run, [&](DiagnosisView& v) { v.itemFinished(item, result.mark, scroll); });
    const std::string faultText = result.fault ? Text(fault) : std::string();
    reportResult(run, item, result.mark, result.result, faultText);
    if (result.fault)
        addFault(run, item, faultText);
}

void DiagnosisSession::applyAnswer(Run& run, int questionId, AnswerKind kind, int value) {
    const CheckItem* item = ItemJudgedBy(questionId, value);
    if (!item)
        return;
    const bool yes = kind == AnswerKind::Yes;
    const CheckSteps& steps = item->steps.judge == questionId ? item->steps : *item->dslSteps;
    if (yes && steps.fill == FillWhen::OnYes && steps.set)
        steps.set(run.record, run.reply, true);
    if (!yes)
        run.answeredNo[static_cast<size_t>(item->number)] = true;
    onItemResult(run, item->number, steps.fault, JudgeAnswer(yes), false);
}

} // namespace orva
