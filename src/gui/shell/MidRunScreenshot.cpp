#include "gui/shell/MidRunScreenshot.h"

#include "core/app/AppSettings.h"
#include "core/app/LoopbackGuard.h"
#include "gui/common/QtText.h"
#include "gui/common/UiPrompts.h"
#include "gui/diagnosis/CDlgJudge.h"
#include "gui/diagnosis/CorvaDlg.h"
#include "gui/shell/CDlgMain.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImage>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <cstdio>
#include <functional>

namespace orva {

namespace {

// Items that show their result before the picture is taken.
constexpr int kMarkedItems = 2;
// A gateway answers within a second; a run that shows nothing for this long has no gateway.
constexpr int kBoundMs = 30000;
// The window frame the offscreen platform does not draw: a title bar and a border around the prompt.
constexpr int kTitleBarHeight = 22;

// Runs the event loop until `done` holds (true) or the bound has passed (false).
bool WaitFor(const std::function<bool()>& done, int boundMs) {
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    while (!done()) {
        if (clock.hasExpired(boundMs))
            return false;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

struct Marks {
    int results = 0;
    bool running = false;
};

Marks CountMarks(const QTreeWidget* items) {
    const QString runningMark = Caption(TextId::ItemRunning);
    Marks m;
    for (int r = 0; r < items->topLevelItemCount(); ++r) {
        const QString status = items->topLevelItem(r)->text(1);
        if (status == runningMark)
            m.running = true;
        else if (!status.isEmpty())
            ++m.results;
    }
    return m;
}

// The window with the prompt window drawn where it stands, in a frame like the one a desktop gives it.
QImage Compose(CDlgMain& main, CDlgJudge& judge) {
    QCoreApplication::processEvents();
    QImage shot = main.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    const QPixmap prompt = judge.grab();
    const QPoint at = judge.geometry().topLeft() - main.mapToGlobal(QPoint(0, 0));
    QPainter p(&shot);
    const QRect frame(at.x() - 1, at.y() - kTitleBarHeight, prompt.width() + 2, prompt.height() + kTitleBarHeight + 1);
    p.fillRect(frame, QColor(45, 90, 150));
    p.setPen(Qt::white);
    p.drawText(QRect(frame.left() + 8, frame.top(), frame.width() - 16, kTitleBarHeight),
               Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, judge.windowTitle());
    p.drawPixmap(at, prompt);
    return shot;
}

} // namespace

bool RenderDiagnosisMidRun(CDlgMain& main, const QString& path) {
    const std::string address = Settings().MaintenanceAddress;
    if (!IsLoopbackAddress(address)) {
        std::fprintf(stderr, "mid-run picture left out: the maintenance address %s is not on loopback\n",
                     address.c_str());
        return false;
    }
    if (!main.selectPage(PageId::Diagnosis))
        return false;
    auto* page = static_cast<CorvaDlg*>(main.page(PageId::Diagnosis));
    CDlgJudge* judge = page->judge();
    // Whatever box the run would show is recorded instead, so nothing waits for a person.
    UiPrompts::setTestMode(true);
    page->confirmModel();
    page->startDiagnosis();
    if (!page->running()) {
        std::fprintf(stderr, "mid-run picture left out: the run did not start\n");
        for (const QString& text : UiPrompts::shownTexts())
            std::fprintf(stderr, "  (it said: %s)\n", text.toLocal8Bit().constData());
        UiPrompts::setTestMode(false);
        return false;
    }

    // The technician: yes to every question until enough items carry their results.
    bool ready = false;
    const bool reached = WaitFor(
        [&] {
            if (!page->running() && page->session().lastRun().ended)
                return true; // over before the moment came
            if (!judge->isVisible())
                return false;
            const Marks marks = CountMarks(page->itemList());
            if (marks.running && marks.results >= kMarkedItems) {
                ready = true;
                return true;
            }
            judge->okButton()->click();
            return false;
        },
        kBoundMs);

    bool ok = false;
    if (ready) {
        const QImage shot = Compose(main, *judge);
        ok = shot.save(path, "PNG");
        std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "wrote" : "could not write", path.toLocal8Bit().constData());
    } else {
        const RunOutcome outcome = page->session().lastRun().outcome;
        const bool silent = outcome == RunOutcome::ConnectTimeout || outcome == RunOutcome::ConnectError;
        const std::string why = !reached ? "no question came in time from the gateway at " + address
                                : silent ? "no gateway answered at " + address
                                         : "the run ended before a question was open beside marked items";
        std::fprintf(stderr, "mid-run picture left out: %s\n", why.c_str());
    }
    if (page->running()) {
        page->stopDiagnosis();
        if (!WaitFor([&] { return page->session().lastRun().ended; }, kBoundMs))
            std::fprintf(stderr, "the stopped run did not end\n");
    }
    for (const QString& text : UiPrompts::shownTexts())
        std::printf("  (the run showed: %s)\n", text.toLocal8Bit().constData());
    UiPrompts::setTestMode(false);
    return ok;
}

} // namespace orva
