#include "cli/CliView.h"

#include "core/app/AppSettings.h"

#include <unistd.h>

namespace orva::cli {

void CliView::line(const std::string& text) {
    std::lock_guard lock(mutex_);
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

void CliView::note(const std::string& text) {
    std::lock_guard lock(mutex_);
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
}

void CliView::runStarting(const std::string& address) {
    note("connecting to " + address + " …");
}

void CliView::reportStarting() {
    // Only when a request goes out: with reports off or no URL the report ends at once.
    const AppSettings& s = Settings();
    if (s.RunNet != 0 && !s.ReportURL.empty())
        note("sending the report to " + s.ReportURL + " …");
}

void CliView::stepFailed(const std::string& step, const std::string& result) {
    line(step + ": " + result);
}

void CliView::faultsShown(const std::vector<std::string>& faults) {
    if (faults.empty())
        return;
    line("faults:");
    for (const std::string& fault : faults)
        line("  " + fault);
}

void CliView::logRowAdded(LogTab tab, int number, const std::string& item, const std::string& result) {
    // The current-log tab has exactly the finished checks of this run.
    if (tab != LogTab::Current)
        return;
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "%2d. ", number);
    line(prefix + item + ": " + result);
}

void CliView::identityRead(const std::string& productClass, const std::string& serial) {
    line("产品形态: " + productClass + "  整机条码: " + serial);
}

void CliView::questionOpened(const Prompt& prompt, int /*item*/) {
    if (script_) {
        if (session_)
            session_->answer(script_->decide(prompt));
        return;
    }
    // On the terminal: the main thread reads the answer and hands it to the session.
    std::lock_guard lock(mutex_);
    std::fprintf(stderr, "[%s] %s\n%s ", prompt.title.c_str(), prompt.text.c_str(),
                 prompt.mode == 0 ? "(Enter)" : "(y/n)");
    std::fflush(stderr);
}

void CliView::message(const std::string& text) {
    line(text);
}

void CliView::runEnded(RunOutcome outcome) {
    {
        std::lock_guard lock(mutex_);
        outcome_ = outcome;
    }
    const char byte = 'e';
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &byte, 1);
}

std::optional<RunOutcome> CliView::outcome() const {
    std::lock_guard lock(mutex_);
    return outcome_;
}

} // namespace orva::cli
