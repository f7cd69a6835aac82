// orva-crash-prompt question|info CAPTION TEXT
// Shows one box for a crashed orva process, which cannot safely show it itself. Exit code 0 for Yes
// (or, for info, once shown), 1 for No, 2 for a wrong command line.
//
// Where the answer comes from, first match wins: ORVA_CRASH_ANSWER=yes|no (unattended runs, tests),
// a message box when a display is there, the terminal, else No (nobody agreed to a dump).
#include "core/crash/CrashPrompt.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#ifdef ORVA_CRASH_PROMPT_QT
#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#endif

namespace {

using orva::crash::kPromptNo;
using orva::crash::kPromptUsage;
using orva::crash::kPromptYes;

#ifdef ORVA_CRASH_PROMPT_QT
bool HasDisplay() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && (std::strncmp(platform, "offscreen", 9) == 0 || std::strncmp(platform, "minimal", 7) == 0))
        return false; // nobody could see the box, and nobody could answer it
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

#endif

void Print(std::FILE* out, const std::string& caption, const std::string& text) {
    std::fprintf(out, "\n[%s]\n%s\n", caption.c_str(), text.c_str());
    std::fflush(out);
}

#ifdef ORVA_CRASH_PROMPT_QT
// Only ever the first argument goes to Qt: the texts are not options.
int ShowBox(bool question, const std::string& caption, const std::string& text, int argc, char** argv) {
    QApplication app(argc, argv);
    // The crashed tool's icon, from the desktop's theme (an installed copy puts it there).
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("orva")));
    QString body = QString::fromUtf8(text.c_str());
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    const QString title = QString::fromUtf8(caption.c_str());
    if (!question) {
        QMessageBox::information(nullptr, title, body, QMessageBox::Ok);
        return kPromptYes;
    }
    const auto answer = QMessageBox::critical(nullptr, title, body, QMessageBox::Yes | QMessageBox::No);
    return answer == QMessageBox::Yes ? kPromptYes : kPromptNo;
}
#endif

// The terminal of the crashed program: its standard input when that is one, else the controlling one.
int AskTerminal(bool question, const std::string& caption, const std::string& text) {
    int in = isatty(STDIN_FILENO) ? STDIN_FILENO : open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (in < 0) {
        Print(stderr, caption, text);
        return question ? kPromptNo : kPromptYes;
    }
    std::FILE* out = in == STDIN_FILENO ? stderr : fdopen(dup(in), "w");
    if (!out)
        out = stderr;
    Print(out, caption, text);
    if (!question)
        return kPromptYes;
    std::fputs("[y/N] ", out);
    std::fflush(out);
    std::string line;
    char c = 0;
    while (read(in, &c, 1) == 1 && c != '\n')
        line += c;
    return !line.empty() && (line[0] == 'y' || line[0] == 'Y') ? kPromptYes : kPromptNo;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4 || (std::strcmp(argv[1], "question") != 0 && std::strcmp(argv[1], "info") != 0)) {
        std::fprintf(stderr, "usage: %s question|info CAPTION TEXT\n", argv[0]);
        return kPromptUsage;
    }
    const bool question = std::strcmp(argv[1], "question") == 0;
    const std::string caption = argv[2];
    const std::string text = argv[3];

    const int preset = orva::crash::ParseCrashAnswer(std::getenv(orva::crash::kAnswerVariable));
    if (preset >= 0) {
        Print(stderr, caption, text);
        return !question || preset == 1 ? kPromptYes : kPromptNo;
    }
#ifdef ORVA_CRASH_PROMPT_QT
    if (HasDisplay()) {
        int qtArgc = 1;
        return ShowBox(question, caption, text, qtArgc, argv);
    }
#endif
    return AskTerminal(question, caption, text);
}
