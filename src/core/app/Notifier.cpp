#include "core/app/Notifier.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace orva {
namespace {

class StderrNotifier final : public Notifier {
public:
    void messageBox(const std::string& text, const std::string& caption) override {
        std::fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ", text.c_str());
    }
    bool askYesNo(const std::string& text, const std::string& caption) override {
        messageBox(text, caption);
        return false;
    }
    bool askOkCancel(const std::string& text, const std::string& caption) override {
        messageBox(text, caption);
        return false;
    }
    void fatalExit(const std::string& text, int exitCode) override {
        messageBox(text, {});
        std::exit(exitCode);
    }
};

StderrNotifier g_plain;
std::atomic<Notifier*> g_current{nullptr};

} // namespace

Notifier& notifier() {
    Notifier* n = g_current.load(std::memory_order_acquire);
    return n ? *n : g_plain;
}

void setNotifier(Notifier* n) { g_current.store(n, std::memory_order_release); }

} // namespace orva
