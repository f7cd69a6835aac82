#pragma once
// Small helpers shared by the test suites: a throw-away program directory with a loopback-only
// setting.ini, a notifier that records instead of showing, file helpers.
#include "core/app/Notifier.h"

#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace orva::test {

// "127.0.N." — each test suite owns its subnets (TestSubnets.h) so suites can run side by side on the
// fixed ports.
std::string subnet(int n);
// "127.0.N.1", the gateway of subnet N.
std::string gatewayAddress(int n);

// A fresh program directory under /tmp with res/ in it, removed with everything in it at the end.
class TempProgramDir {
public:
    explicit TempProgramDir(const std::string& tag = "orva");
    ~TempProgramDir();
    TempProgramDir(const TempProgramDir&) = delete;
    TempProgramDir& operator=(const TempProgramDir&) = delete;

    // With a trailing '/'.
    const std::string& path() const { return path_; }
    std::string file(const std::string& relative) const { return path_ + relative; }
    // Writes res/setting.ini with every address on subnet N and the given extra "key=value" lines.
    void writeSettings(int subnetN, const std::map<std::string, std::string>& extra = {}) const;

private:
    std::string path_;
};

std::string readFile(const std::string& path);

// "BOM and CRLF" -> "BOM_and_CRLF": readable, valid names for parameterised cases.
std::string CaseName(const char* name);

// A firmware image of `size` bytes whose byte i is (i * mul + add) mod 256: every datagram of a
// transfer differs from its neighbours, so a misplaced or repeated one shows.
std::string PatternImage(size_t size, unsigned mul = 131, unsigned add = 17);
void writeFile(const std::string& path, const std::string& bytes);
bool fileExists(const std::string& path);

// Records every call; answers come from a queue (default: No/Cancel). fatalExit throws FatalExit so
// the code under test stops where the real process would have ended.
class RecordingNotifier final : public Notifier {
public:
    struct FatalExit {
        std::string text;
        int code;
    };
    RecordingNotifier();           // installs itself
    ~RecordingNotifier() override; // restores the plain notifier

    void messageBox(const std::string& text, const std::string& caption) override;
    bool askYesNo(const std::string& text, const std::string& caption) override;
    bool askOkCancel(const std::string& text, const std::string& caption) override;
    void fatalExit(const std::string& text, int exitCode) override;

    void queueAnswer(bool answer);
    std::vector<std::string> messages() const;

private:
    mutable std::mutex mutex_;
    std::vector<std::string> messages_;
    std::vector<bool> answers_;
};

} // namespace orva::test
