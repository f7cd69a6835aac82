#include "CliCommon.h"

#include "app/AppSettings.h"
#include "app/ProgramDirectory.h"
#include "app/TextTable.h"

#include <cstdio>

namespace orva::cli {

std::optional<std::string> Args::take(const std::string& name, bool& missingValue) {
    const std::string flag = "--" + name;
    for (size_t i = 0; i < words_.size(); ++i) {
        if (words_[i] == flag) {
            if (i + 1 >= words_.size()) {
                missingValue = true;
                words_.erase(words_.begin() + static_cast<long>(i));
                return std::nullopt;
            }
            std::string value = words_[i + 1];
            words_.erase(words_.begin() + static_cast<long>(i), words_.begin() + static_cast<long>(i) + 2);
            return value;
        }
        if (words_[i].rfind(flag + "=", 0) == 0) {
            std::string value = words_[i].substr(flag.size() + 1);
            words_.erase(words_.begin() + static_cast<long>(i));
            return value;
        }
    }
    return std::nullopt;
}

bool Args::takeFlag(const std::string& name) {
    for (size_t i = 0; i < words_.size(); ++i) {
        if (words_[i] == "--" + name) {
            words_.erase(words_.begin() + static_cast<long>(i));
            return true;
        }
    }
    return false;
}

bool LoadSettingsOrExplain() {
    AppSettings settings;
    if (!LoadAppSettings(SettingsFilePath(), settings)) {
        std::fprintf(stderr, "setting.ini is missing!\n");
        return false;
    }
    SetSettings(settings);
    SelectLanguage(settings.Language);
    return true;
}

} // namespace orva::cli
