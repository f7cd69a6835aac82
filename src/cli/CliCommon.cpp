#include "CliCommon.h"

#include "app/AppSettings.h"
#include "app/ProgramDirectory.h"
#include "app/TextTable.h"

#include <cstdio>

namespace orva::cli {

void UsageError(const std::string& message) {
    std::fprintf(stderr, "orva-cli: %s\n", message.c_str());
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
