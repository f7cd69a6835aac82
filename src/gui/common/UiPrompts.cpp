#include "gui/common/UiPrompts.h"

#include "gui/common/UiDispatcher.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

#include <deque>
#include <memory>
#include <mutex>

namespace orva {

namespace {

struct TestState {
    std::mutex mutex;
    bool on = false;
    std::deque<bool> answers;
    std::deque<QString> fileNames;
    std::vector<UiPrompts::Shown> shown;
    std::function<void(const UiPrompts::Shown&)> observer;
};

TestState& state() {
    static TestState s;
    return s;
}

// Prompts belong to the application's thread; the caller waits for the answer. Without an application
// there is only this thread.
void onUiThread(std::function<void()> fn) {
    if (QCoreApplication* app = QCoreApplication::instance())
        CallOnUi(app, std::move(fn));
    else
        fn();
}

QWidget* parentOr(QWidget* parent) {
    return parent ? parent : QApplication::activeWindow();
}

// In test mode: records the prompt, answers it from the queues and returns true; otherwise false.
bool answerInTestMode(UiPrompts::Shown& shown) {
    std::function<void(const UiPrompts::Shown&)> observer;
    {
        TestState& s = state();
        std::lock_guard lock(s.mutex);
        if (!s.on)
            return false;
        switch (shown.kind) {
        case UiPrompts::Kind::Information:
            shown.accepted = true;
            break;
        case UiPrompts::Kind::YesNo:
        case UiPrompts::Kind::OkCancel:
            shown.accepted = !s.answers.empty() && s.answers.front();
            if (!s.answers.empty())
                s.answers.pop_front();
            break;
        case UiPrompts::Kind::OpenFile:
        case UiPrompts::Kind::SaveFile:
            if (!s.fileNames.empty()) {
                shown.fileName = s.fileNames.front();
                s.fileNames.pop_front();
            }
            shown.accepted = !shown.fileName.isEmpty();
            break;
        }
        s.shown.push_back(shown);
        observer = s.observer;
    }
    if (observer)
        onUiThread([observer, shown] { observer(shown); });
    return true;
}

QString captionOr(const QString& caption) {
    return caption.isEmpty() ? UiPrompts::defaultCaption() : caption;
}

bool ask(UiPrompts::Kind kind, QWidget* parent, const QString& text, const QString& caption, bool yesByDefault) {
    UiPrompts::Shown shown{kind, text, captionOr(caption), {}, false, {}, yesByDefault};
    if (answerInTestMode(shown))
        return shown.accepted;
    auto result = std::make_shared<bool>(false);
    onUiThread([=] {
        const bool yesNo = kind == UiPrompts::Kind::YesNo;
        const auto buttons = yesNo ? (QMessageBox::Yes | QMessageBox::No) : (QMessageBox::Ok | QMessageBox::Cancel);
        const auto yes = yesNo ? QMessageBox::Yes : QMessageBox::Ok;
        const auto no = yesNo ? QMessageBox::No : QMessageBox::Cancel;
        *result = QMessageBox::question(parentOr(parent), shown.caption, text, buttons, yesByDefault ? yes : no) == yes;
    });
    return *result;
}

QString fileDialog(UiPrompts::Kind kind, QWidget* parent, const UiPrompts::FileDialogOptions& o) {
    UiPrompts::Shown shown{kind, o.caption, o.defaultFileName, o.filter, false, {}};
    if (answerInTestMode(shown))
        return shown.fileName;
    auto chosen = std::make_shared<QString>();
    onUiThread([=] {
        QFileDialog dialog(parentOr(parent), o.caption, o.directory, o.filter);
        const bool save = kind == UiPrompts::Kind::SaveFile;
        dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
        if (!o.defaultSuffix.isEmpty())
            dialog.setDefaultSuffix(o.defaultSuffix);
        if (!o.defaultFileName.isEmpty())
            dialog.selectFile(o.defaultFileName);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            *chosen = dialog.selectedFiles().constFirst();
    });
    return *chosen;
}

} // namespace

void UiPrompts::information(QWidget* parent, const QString& text, const QString& caption) {
    Shown shown{Kind::Information, text, captionOr(caption), {}, true, {}};
    if (answerInTestMode(shown))
        return;
    onUiThread([=] { QMessageBox::information(parentOr(parent), shown.caption, text, QMessageBox::Ok); });
}

bool UiPrompts::askYesNo(QWidget* parent, const QString& text, const QString& caption, bool yesByDefault) {
    return ask(Kind::YesNo, parent, text, caption, yesByDefault);
}

bool UiPrompts::askOkCancel(QWidget* parent, const QString& text, const QString& caption) {
    return ask(Kind::OkCancel, parent, text, caption, true);
}

QString UiPrompts::getOpenFileName(QWidget* parent, const FileDialogOptions& options) {
    return fileDialog(Kind::OpenFile, parent, options);
}

QString UiPrompts::getSaveFileName(QWidget* parent, const FileDialogOptions& options) {
    return fileDialog(Kind::SaveFile, parent, options);
}

QString UiPrompts::defaultCaption() {
    return QStringLiteral("Velmar终端诊断工具");
}

QString UiPrompts::filterFromClassic(const QString& classic) {
    const QStringList parts = classic.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& desc = parts[i];
        QString patterns = parts[i + 1];
        if (desc.isEmpty() && patterns.isEmpty())
            break;
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // Qt takes the patterns from the parentheses of the name.
        if (desc.contains(QLatin1Char('(') + patterns + QLatin1Char(')')))
            filters << desc;
        else
            filters << (desc.isEmpty() ? QString() : desc + QLatin1Char(' ')) + QLatin1Char('(') + patterns +
                           QLatin1Char(')');
    }
    return filters.join(QStringLiteral(";;"));
}

void UiPrompts::setTestMode(bool on) {
    TestState& s = state();
    std::lock_guard lock(s.mutex);
    s.on = on;
    s.answers.clear();
    s.fileNames.clear();
    s.shown.clear();
    s.observer = {};
}

bool UiPrompts::testMode() {
    TestState& s = state();
    std::lock_guard lock(s.mutex);
    return s.on;
}

void UiPrompts::queueAnswer(bool answer) {
    TestState& s = state();
    std::lock_guard lock(s.mutex);
    s.answers.push_back(answer);
}

void UiPrompts::queueFileName(const QString& fileName) {
    TestState& s = state();
    std::lock_guard lock(s.mutex);
    s.fileNames.push_back(fileName);
}

void UiPrompts::setObserver(std::function<void(const Shown&)> observer) {
    TestState& s = state();
    std::lock_guard lock(s.mutex);
    s.observer = std::move(observer);
}

std::vector<UiPrompts::Shown> UiPrompts::shown() {
    TestState& s = state();
    std::lock_guard lock(s.mutex);
    return s.shown;
}

QStringList UiPrompts::shownTexts() {
    QStringList texts;
    for (const Shown& s : shown())
        texts << s.text;
    return texts;
}

void UiPrompts::clearShown() {
    TestState& s = state();
    std::lock_guard lock(s.mutex);
    s.shown.clear();
}

int UiPrompts::pendingAnswers() {
    TestState& s = state();
    std::lock_guard lock(s.mutex);
    return int(s.answers.size());
}

int UiPrompts::pendingFileNames() {
    TestState& s = state();
    std::lock_guard lock(s.mutex);
    return int(s.fileNames.size());
}

} // namespace orva
