#include "cli/CliCommon.h"

#include "core/app/AppSettings.h"
#include "core/app/ProgramDirectory.h"
#include "core/app/TextTable.h"

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
    if (!SelectStartupLanguage(settings.Language))
        std::fprintf(stderr, "orva-cli: Language=%s in setting.ini is neither Chinese nor English; Chinese is used\n",
                     settings.Language.substr(0, 40).c_str());
    return true;
}

} // namespace orva::cli
