#include "MaintenanceFixture.h"

#include "core/app/AppSettings.h"
#include "core/app/LogFile.h"
#include "core/app/ProgramDirectory.h"
#include "core/protocol/CommandChannel.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <regex>
#include <sstream>

namespace orva::test {

void UseSettings(TempProgramDir& dir, int subnetN, const std::map<std::string, std::string>& extra) {
    dir.writeSettings(subnetN, extra);
    SetProgramDirectory(dir.path());
    AppSettings settings;
    ASSERT_TRUE(LoadAppSettings(dir.file("res/setting.ini"), settings));
    SetSettings(settings);
    ASSERT_TRUE(LogFile::instance().open(dir.file("orva.log")));
}

std::vector<std::string> LogLines(const TempProgramDir& dir) {
    std::string gbk = readFile(dir.file("orva.log"));
    std::string utf8(gbk.size() * 3 + 16, '\0');
    iconv_t cd = iconv_open("UTF-8", "GBK");
    char* in = gbk.data();
    size_t inLeft = gbk.size();
    char* out = utf8.data();
    size_t outLeft = utf8.size();
    iconv(cd, &in, &inLeft, &out, &outLeft);
    iconv_close(cd);
    utf8.resize(utf8.size() - outLeft);
    std::vector<std::string> lines;
    std::istringstream s(utf8);
    for (std::string line; std::getline(s, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> LogLinesWithoutTime(const TempProgramDir& dir) {
    std::vector<std::string> out;
    const std::regex time(R"(^(\[[^\]]*\])\([^)]*\):)");
    for (const auto& line : LogLines(dir))
        out.push_back(std::regex_replace(line, time, "$1:"));
    return out;
}

void RecordingUpgradeView::add(std::string event) {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
}

std::vector<std::string> RecordingUpgradeView::events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

std::vector<std::string> RecordingUpgradeView::events(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& e : events())
        if (e.rfind(prefix, 0) == 0)
            out.push_back(e.substr(prefix.size()));
    return out;
}

void RecordingRestoreView::add(std::string event) {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
}

std::vector<std::string> RecordingRestoreView::events() const {
    std::lock_guard lock(mutex_);
    return events_;
}

} // namespace orva::test
