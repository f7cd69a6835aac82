#include "TestSupport.h"
#include "TestSubnets.h" // built with the support library, so its static_assert is checked on every build
#include <cctype>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace orva::test {

std::string subnet(int n) {
    return "127.0." + std::to_string(n) + ".";
}
std::string gatewayAddress(int n) {
    return subnet(n) + "1";
}

TempProgramDir::TempProgramDir(const std::string& tag) {
    std::string templ = (std::filesystem::temp_directory_path() / (tag + "-XXXXXX")).string();
    if (!mkdtemp(templ.data()))
        throw std::runtime_error("mkdtemp failed");
    path_ = templ + "/";
    std::filesystem::create_directories(path_ + "res");
}

TempProgramDir::~TempProgramDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

void TempProgramDir::writeSettings(int subnetN, const std::map<std::string, std::string>& extra) const {
    std::map<std::string, std::string> keys = {
        {"Language", "Chinese"},
        {"MaintenanceAddress", gatewayAddress(subnetN)},
        {"UpgradeAddress", subnet(subnetN) + "255"},
        {"LoginURL", "http://127.0.0.1:9/login"},
        {"ReportURL", "http://127.0.0.1:9/report"},
        {"RunNet", "0"},
        // A suite of the roll-call asks for one; the others keep the wire sequences and times they assert.
        {"rollcalltime", "0"},
    };
    for (const auto& [k, v] : extra)
        keys[k] = v;
    std::ostringstream ini;
    ini << "[Setting]\n";
    for (const auto& [k, v] : keys)
        ini << k << "=" << v << "\n";
    writeFile(path_ + "res/setting.ini", ini.str());
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool fileExists(const std::string& path) {
    return std::filesystem::exists(path);
}

RecordingNotifier::RecordingNotifier() {
    setNotifier(this);
}
RecordingNotifier::~RecordingNotifier() {
    setNotifier(nullptr);
}

void RecordingNotifier::messageBox(const std::string& text, const std::string&) {
    std::lock_guard lock(mutex_);
    messages_.push_back(text);
}

bool RecordingNotifier::askYesNo(const std::string& text, const std::string& caption) {
    return askOkCancel(text, caption);
}

bool RecordingNotifier::askOkCancel(const std::string& text, const std::string&) {
    std::lock_guard lock(mutex_);
    messages_.push_back(text);
    if (answers_.empty())
        return false;
    bool a = answers_.front();
    answers_.erase(answers_.begin());
    return a;
}

void RecordingNotifier::fatalExit(const std::string& text, int exitCode) {
    {
        std::lock_guard lock(mutex_);
        messages_.push_back(text);
    }
    throw FatalExit{text, exitCode};
}

void RecordingNotifier::queueAnswer(bool answer) {
    std::lock_guard lock(mutex_);
    answers_.push_back(answer);
}

std::vector<std::string> RecordingNotifier::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

std::string CaseName(const char* name) {
    std::string out;
    for (const char* p = name; *p; ++p)
        out += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return out;
}

std::string PatternImage(size_t size, unsigned mul, unsigned add) {
    std::string image(size, '\0');
    for (size_t i = 0; i < size; ++i)
        image[i] = static_cast<char>((i * mul + add) & 0xFF);
    return image;
}

} // namespace orva::test
