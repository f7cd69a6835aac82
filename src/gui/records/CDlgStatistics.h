#pragma once
// The statistics window of a log search: how many units, how many without a fault, and bar charts of
// the failure rate per check item, the fault rate per model and the units per day. The figures come
// from the store (one statement each) on the window's worker thread; the charts can be saved as one
// PNG picture, the figures as CSV.
#include "core/records/LogQuery.h"
#include "core/records/RecordStats.h"
#include "core/records/RecordStore.h"

#include <QDialog>

#include <string>
#include <thread>

class QChart;
class QLabel;
class QPushButton;

namespace orva {

class CDlgStatistics : public QDialog {
    Q_OBJECT
public:
    // Opens its own connection to the file and starts figuring the rows `filter` selects.
    CDlgStatistics(const std::string& databasePath, const LogFilter& filter, QWidget* parent = nullptr);
    ~CDlgStatistics() override;

    // True until the figures (or their failure) are on the window.
    bool computing() const { return computing_; }
    const RecordStats& figures() const { return figures_; }

    // Asks for a file and saves the charts as PNG / the figures as CSV; a failure is told with the file
    // and the reason. Nothing while the figures are not there.
    void exportPng();
    void exportCsv();
    // The same to a given file; false with `error` set when it was not written. The file appears whole or
    // not at all: it is written beside its place and then renamed.
    bool savePng(const QString& path, QString& error);
    bool saveCsv(const QString& path, QString& error);

    QLabel* summaryLabel() const { return summary_; }
    QChart* itemsChart() const { return itemsChart_; }
    QChart* modelsChart() const { return modelsChart_; }
    QChart* daysChart() const { return daysChart_; }
    QWidget* chartsArea() const { return charts_; }
    QPushButton* pngButton() const { return pngButton_; }
    QPushButton* csvButton() const { return csvButton_; }

signals:
    // The figures are in the charts (ok), or the store failed and said why in the summary line.
    void figuresShown(bool ok);
    void exportFinished(bool written);

private:
    void buildControls();
    void showFigures(bool ok, const RecordStats& figures, const QString& error);
    void tellExport(bool written, const QString& path, const QString& error);

    RecordStore store_;
    RecordStats figures_;
    bool computing_ = true;

    QLabel* summary_ = nullptr;
    QWidget* charts_ = nullptr;
    QChart* itemsChart_ = nullptr;
    QChart* modelsChart_ = nullptr;
    QChart* daysChart_ = nullptr;
    QPushButton* pngButton_ = nullptr;
    QPushButton* csvButton_ = nullptr;

    // Declared last: joined first, while the store it reads still exists. It only posts to the window.
    std::jthread worker_;
};

} // namespace orva
