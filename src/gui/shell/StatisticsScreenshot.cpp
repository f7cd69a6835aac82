#include "gui/shell/StatisticsScreenshot.h"

#include "core/records/RecordSchema.h"
#include "core/records/RecordStore.h"
#include "core/records/SqliteError.h"
#include "gui/records/CDlgStatistics.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <cstdio>
#include <string>

namespace orva {

namespace {

constexpr int kDays = 7;
constexpr int kPerDay = 40;

// A week of units whose failures differ by model, with a few items never tested.
bool WriteSample(const std::string& path) {
    {
        RecordStore store(path);
        if (!store.open("logs"))
            return false;
    }
    try {
        SqliteDb db;
        db.open(path);
        db.execute("BEGIN TRANSACTION;");
        db.execute("CREATE TABLE IF NOT EXISTS [faults] ([id] INTEGER PRIMARY KEY AUTOINCREMENT, [LogId] INTEGER NOT "
                   "NULL, [Item] INTEGER NOT NULL, [Fault] TEXT NOT NULL);");
        db.execute("CREATE INDEX IF NOT EXISTS [faults_LogId] ON [faults] ([LogId]);");
        db.execute("CREATE INDEX IF NOT EXISTS [faults_Item] ON [faults] ([Item]);");
        const char* models[] = {"KT540G", "KT593G", "KT310"};
        std::int64_t id = 0;
        for (int day = 1; day <= kDays; ++day) {
            for (int n = 0; n < kPerDay - (day % 3) * 9; ++n) {
                const int model = (n + day) % 3;
                DiagRecord r;
                r.sn = "SHOT" + std::to_string(day * 100 + n);
                r.DeviceType = models[model];
                r.Operator = "demo";
                r.FE1Check = r.FE2Check = r.FE3Check = r.FE4Check = CheckPassed;
                r.POS1Check = r.POS2Check = model == 2 ? CheckNotTested : CheckPassed;
                r.PONCheck = r.FlashCheck = r.LEDCheck = r.USBCheck = CheckPassed;
                r.WifiCheck = model == 0 ? CheckPassed : CheckNotTested;
                r.SoftWareVersionCheck = "V3.2.1";
                r.PSCheck = "OK";
                r.CPULoadCheck = 12.5f;
                r.MemCheck = 40.0f;
                r.PreConfigCheck = r.DiskIntegrityCheck = CheckPassed;
                std::vector<int> faults;
                if ((n * 7 + day) % 11 == 0)
                    faults.push_back(2); // LAN2
                if (model == 1 && n % 5 == 0)
                    faults.push_back(12); // uplink
                if (model == 0 && (n + day) % 9 == 0)
                    faults.push_back(16); // wifi
                if (n % 13 == 0)
                    faults.push_back(14); // LED
                for (int item : faults) {
                    if (item == 2)
                        r.FE2Check = CheckFailed;
                    if (item == 12)
                        r.PONCheck = CheckFailed;
                    if (item == 16)
                        r.WifiCheck = CheckFailed;
                    if (item == 14)
                        r.LEDCheck = CheckFailed;
                }
                char at[32];
                std::snprintf(at, sizeof at, "2026-03-%02d %02d:%02d:00", day, 8 + n / 6, n % 60);
                db.execute(InsertSql("logs"), InsertParams(r, at));
                ++id;
                for (int item : faults)
                    db.execute("INSERT INTO faults (LogId, Item, Fault) VALUES (?, ?, ?)",
                               {id, static_cast<std::int64_t>(item), std::string("sample")});
            }
        }
        db.execute("COMMIT TRANSACTION;");
    } catch (const SqliteError& e) {
        std::fprintf(stderr, "statistics sample: %s\n", e.message().c_str());
        return false;
    }
    return true;
}

} // namespace

bool RenderStatistics(const QString& databasePath, const QString& picturePath) {
    QFile::remove(databasePath);
    if (!WriteSample(databasePath.toStdString()))
        return false;
    LogFilter week;
    week.from = {2026, 3, 1};
    week.to = {2026, 3, kDays};
    CDlgStatistics window(databasePath.toStdString(), week);
    window.show();
    QElapsedTimer clock;
    clock.start();
    while (window.computing() && !clock.hasExpired(30000)) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    QCoreApplication::processEvents();
    if (window.computing() || window.figures().units == 0) {
        std::fprintf(stderr, "statistics sample: no figures\n");
        return false;
    }
    const bool ok = window.grab().save(picturePath, "PNG");
    std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "wrote" : "could not write", picturePath.toLocal8Bit().constData());
    return ok;
}

} // namespace orva
