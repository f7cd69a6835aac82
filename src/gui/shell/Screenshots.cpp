#include "gui/shell/Screenshots.h"

#include "core/app/AppSettings.h"
#include "core/app/ProgramDirectory.h"
#include "core/app/TextTable.h"
#include "gui/shell/CDlgMain.h"
#include "gui/shell/DetailsScreenshot.h"
#include "gui/shell/MidRunScreenshot.h"
#include "gui/shell/StatisticsScreenshot.h"
#include "gui/web/CDlgLogin.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>

#include <cstdio>

namespace orva {

namespace {

const char* PageName(PageId id) {
    switch (id) {
    case PageId::Diagnosis:
        return "diagnosis";
    case PageId::Reset:
        return "reset";
    case PageId::ImgUpdate:
        return "image-update";
    case PageId::Template:
        return "template";
    case PageId::LogQuery:
        return "log-query";
    case PageId::About:
        return "about";
    }
    return "page";
}

bool Save(QWidget& w, const QString& path) {
    QApplication::processEvents();
    const bool ok = w.grab().save(path, "PNG");
    std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "wrote" : "could not write", path.toLocal8Bit().constData());
    return ok;
}

} // namespace

bool RenderScreenshots(const std::string& outDir) {
    const QString dir = QString::fromStdString(outDir);
    QDir().mkpath(dir);
    const QString lang = IsEnglish() ? QStringLiteral("en") : QStringLiteral("zh");
    const AppSettings& s = Settings();
    bool ok = true;

    CDlgMain main(s.Version, s.LoginURL, s.ReportURL);
    main.initialise();
    main.show();
    for (PageId id : kAllPages) {
        main.selectPage(id);
        ok = Save(main, dir + "/" + lang + "-main-" + PageName(id) + ".png") && ok;
    }
    // The mid-run picture needs a gateway answering on loopback; without one it is left out (and said
    // why), and the pictures of the pages themselves still count.
    RenderDiagnosisMidRun(main, dir + "/" + lang + "-main-diagnosis-midrun.png");
    ok = RenderLogQueryDetails(dir + "/" + lang + "-log-query-details.png") && ok;

    // The statistics window reads a sample store of its own in the program directory, beside orvalog.db,
    // which stays as the log query page showed it.
    ok = RenderStatistics(QString::fromStdString(JoinPath(ProgramDirectory(), "statistics-sample.db")),
                          dir + "/" + lang + "-statistics.png") &&
         ok;

    CDlgLogin login(nullptr, s.Version, s.LoginURL);
    login.show();
    ok = Save(login, dir + "/" + lang + "-login.png") && ok;
    login.hide();
    return ok;
}

} // namespace orva
