#include "gui/shell/DetailsScreenshot.h"

#include "core/app/TextTable.h"
#include "core/records/RecordStore.h"
#include "gui/records/CDlgLogQuery.h"
#include "gui/records/LogRowsModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPixmap>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace orva {

namespace {

constexpr int kSearchBoundMs = 10000;

// A diagnosis as a technician meets it: LAN2 down, the flash check failed and the LEDs judged "no".
DiagRecord SampleRecord() {
    DiagRecord r;
    r.Operator = "tech01";
    r.Mac = "00-11-22-33-44-55";
    r.sn = "SHOT00000002";
    r.DeviceType = "KT540G";
    r.FE1Check = CheckPassed;
    r.FE2Check = CheckFailed;
    r.FE3Check = CheckPassed;
    r.FE4Check = CheckPassed;
    r.PONCheck = CheckPassed;
    r.USBCheck = CheckPassed;
    r.WifiCheck = CheckPassed;
    r.SoftWareVersionCheck = "V3.1.0";
    r.PSCheck = "OK";
    r.CPULoadCheck = 12;
    r.MemCheck = 30;
    r.PreConfigCheck = CheckPassed;
    r.faults = {{2, Text(TextId::ErrFe2)}, {13, Text(TextId::ErrFlash)}, {14, Text(TextId::ErrLed)}};
    return r;
}

} // namespace

bool RenderLogQueryDetails(const QString& path) {
    QTemporaryDir folder;
    const std::string database = folder.filePath(QStringLiteral("orvalog.db")).toStdString();
    {
        RecordStore store(database);
        if (!folder.isValid() || !store.open("logs") || store.insert("logs", {SampleRecord()}) != RecordStore::Stored) {
            std::fprintf(stderr, "could not store the record for %s: %s\n", path.toLocal8Bit().constData(),
                         store.lastError().c_str());
            return false;
        }
    }
    CDlgLogQuery page(nullptr, database);
    page.show();
    bool finished = false;
    QObject::connect(&page, &CDlgLogQuery::searchFinished, &page, [&](int) { finished = true; });
    page.search();
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    while (!finished && !clock.hasExpired(kSearchBoundMs)) {
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!finished || page.resultModel()->rowCount() == 0) {
        std::fprintf(stderr, "could not write %s: the search found no record\n", path.toLocal8Bit().constData());
        return false;
    }
    page.resultList()->selectRow(0);
    QCoreApplication::processEvents();
    const bool ok = page.grab().save(path, "PNG");
    std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "wrote" : "could not write", path.toLocal8Bit().constData());
    return ok;
}

} // namespace orva
