#include "gui/shell/Startup.h"

#include "core/app/AppSettings.h"
#include "core/app/InstanceGuard.h"
#include "core/app/ProgramDirectory.h"
#include "core/app/TextTable.h"
#include "gui/common/GuiNotifier.h"
#include "gui/controls/AppIcon.h"
#include "gui/common/UiPrompts.h"
#include "gui/shell/CDlgMain.h"
#include "gui/shell/CrashSetup.h"
#include "gui/shell/ProcessExit.h"
#include "gui/shell/QtTranslations.h"
#include "gui/shell/Screenshots.h"

#include <QApplication>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

namespace orva {

namespace {

// Takes "--screenshots OUT" (or "--screenshots=OUT") off the command line; empty when absent.
std::string TakeScreenshotOption(int& argc, char** argv) {
    static const std::string kName = "--screenshots";
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        int used = 0;
        std::string value;
        if (word == kName && i + 1 < argc) {
            value = argv[i + 1];
            used = 2;
        } else if (word.rfind(kName + "=", 0) == 0) {
            value = word.substr(kName.size() + 1);
            used = 1;
        }
        if (used) {
            for (int j = i; j + used <= argc; ++j)
                argv[j] = argv[j + used];
            argc -= used;
            return value;
        }
    }
    return {};
}

// "--help" or "--version" before any "--"; empty when neither is there.
std::string InfoOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--")
            break;
        if (word == "--help" || word == "-h")
            return "--help";
        if (word == "--version")
            return "--version";
    }
    return {};
}

// Both texts end with the program directory this start would use; they need no display.
void PrintInfo(const std::string& option) {
    if (option == "--version") {
        std::printf("orva %s\n%s\n", ORVA_VERSION, ProgramDirectoryLine().c_str());
        return;
    }
    std::printf("Usage: orva [--dir DIR] [--screenshots OUTDIR]\n"
                "The desktop tool for diagnosing and maintaining EPON home gateways: log in, run the\n"
                "checks of a gateway model over the maintenance protocol, restore every gateway of a\n"
                "segment to factory defaults, broadcast a firmware image, edit the check templates and\n"
                "search and export past records, in Chinese or English.\n"
                "\n"
                "Options:\n"
                "  --dir DIR              use DIR as the program directory\n"
                "  --screenshots OUTDIR   render every page into OUTDIR as PNG files, then end\n"
                "  --help                 show this text, then end\n"
                "  --version              show the version and the program directory, then end\n"
                "\n"
                "Program directory:\n"
                "%s"
                "\n"
                "%s\n",
                ProgramDirectoryHelp().c_str(), ProgramDirectoryLine().c_str());
}

bool ReadSettings() {
    const std::string path = SettingsFilePath();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        UiPrompts::information(nullptr, QStringLiteral("setting.ini is missing!"));
        ExitProcess(0);
        return false;
    }
    AppSettings settings;
    LoadAppSettings(path, settings);
    SetSettings(settings);
    if (!SelectStartupLanguage(settings.Language))
        std::fprintf(stderr, "orva: Language=%s in setting.ini is neither Chinese nor English; Chinese is used\n",
                     settings.Language.substr(0, 40).c_str());
    InstallQtTranslations();
    return true;
}

} // namespace

int RunShell() {
    if (!ReadSettings())
        return 0;
    GuiNotifier notifier;
    notifier.install();
    const AppSettings& s = Settings();
    CDlgMain main(s.Version, s.LoginURL, s.ReportURL);
    main.run();
    return 0;
}

int OrvaMain(int argc, char** argv) {
    // A file-size limit reached by orva.log or orvalog.db must fail that write, not kill the tool: the
    // log drops the line, the record store shows its error.
    std::signal(SIGXFSZ, SIG_IGN);
    InitProgramDirectory(argc, argv);
    if (const std::string info = InfoOption(argc, argv); !info.empty()) {
        PrintInfo(info);
        std::fflush(stdout);
        return 0;
    }
    const std::string screenshots = TakeScreenshotOption(argc, argv);
    // The guard comes first: a second copy ends before it opens any window or display connection.
    InstanceGuard guard;
    // Only a copy that holds the lock ends this one; a lock file that cannot be created (read-only
    // program directory) must not end the tool without a word.
    if (guard.heldElsewhere())
        return 0;
    InstallShellCrashHandler();
    std::optional<QApplication> ownApp;
    if (!QCoreApplication::instance())
        ownApp.emplace(argc, argv);
    // Every window of the tool (main window, login, prompts, progress) takes the application's icon.
    QApplication::setWindowIcon(skin::ApplicationIcon());
    if (!screenshots.empty()) {
        if (!ReadSettings())
            return 0;
        // Which icon the windows carry, for the check of an installed copy.
        QStringList sizes;
        for (const QSize& s : QApplication::windowIcon().availableSizes())
            sizes << QString::number(s.width());
        std::printf("window icon: %s\n", sizes.isEmpty() ? "none" : qPrintable(sizes.join(QLatin1Char(' '))));
        return RenderScreenshots(screenshots) ? 0 : 1;
    }
    return RunShell();
}

} // namespace orva
