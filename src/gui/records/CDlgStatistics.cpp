#include "gui/records/CDlgStatistics.h"

#include "core/app/TextTable.h"
#include "core/diagnosis/CheckStats.h"
#include "core/records/RecordStatsText.h"
#include "gui/common/QtText.h"
#include "gui/common/UiDispatcher.h"
#include "gui/common/UiPrompts.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHorizontalBarSeries>
#include <QImage>
#include <QImageWriter>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>

namespace orva {

namespace {

QChart* MakeChart(TextId title) {
    auto* chart = new QChart;
    chart->setTitle(Caption(title));
    chart->legend()->hide();
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setMargins(QMargins(4, 4, 4, 4));
    return chart;
}

QChartView* MakeView(QChart* chart, const char* name, QWidget* parent) {
    auto* view = new QChartView(chart, parent);
    view->setObjectName(QString::fromUtf8(name));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumSize(320, 220);
    return view;
}

// A value axis from 0 to a little above the highest bar, in round steps.
QValueAxis* ValueAxis(double highest, bool whole) {
    auto* axis = new QValueAxis;
    axis->setRange(0, std::max(highest * 1.1, whole ? 5.0 : 1.0));
    axis->applyNiceNumbers();
    axis->setLabelFormat(whole ? QStringLiteral("%d") : QStringLiteral("%.0f"));
    return axis;
}

// The selected language's text, the Chinese one while none is selected (as Caption does).
std::string Said(TextId id) {
    const std::string& selected = Text(id);
    return selected.empty() ? ChineseText(id) : selected;
}

// A rate as the bar shows it: a percentage to one decimal, as the CSV has it.
double Percent(std::optional<double> rate) {
    return rate ? std::round(*rate * 1000.0) / 10.0 : 0.0;
}

// One set of bars with the categories and values given; the values shown on the bars.
template <class Series>
void FillChart(QChart* chart, const QStringList& categories, const QList<qreal>& values, bool whole, bool horizontal) {
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes())
        chart->removeAxis(axis);
    auto* set = new QBarSet(chart->title());
    set->append(values);
    auto* series = new Series;
    series->append(set);
    series->setLabelsVisible(true);
    series->setLabelsFormat(QStringLiteral("@value"));
    // Significant digits: a rate shows as 12.3, a count whole.
    series->setLabelsPrecision(whole ? 12 : 3);
    chart->addSeries(series);
    auto* names = new QBarCategoryAxis;
    names->append(categories);
    const double highest = values.isEmpty() ? 0.0 : *std::max_element(values.begin(), values.end());
    QValueAxis* amounts = ValueAxis(highest, whole);
    chart->addAxis(names, horizontal ? Qt::AlignLeft : Qt::AlignBottom);
    chart->addAxis(amounts, horizontal ? Qt::AlignBottom : Qt::AlignLeft);
    series->attachAxis(names);
    series->attachAxis(amounts);
    if (!horizontal && categories.size() > 6)
        names->setLabelsAngle(-90);
}

// Writes through a temporary file beside `path`, renamed over it once complete. `write` may set
// `error` itself when the file's own error text would not say what went wrong.
template <class Write> bool SaveAtomically(const QString& path, Write write, QString& error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    error.clear();
    if (!write(file, error)) {
        if (error.isEmpty())
            error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}

QString StampedName(const char* suffix) {
    return QStringLiteral("statistics-%1.%2")
        .arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")), QString::fromUtf8(suffix));
}

} // namespace

CDlgStatistics::CDlgStatistics(const std::string& databasePath, const LogFilter& filter, QWidget* parent)
    : QDialog(parent), store_(databasePath) {
    setObjectName(QStringLiteral("statisticsWindow"));
    buildControls();
    const bool open = store_.open("logs");
    // The item names are read here: the worker needs nothing of the text table.
    worker_ = std::jthread([this, open, filter, items = CheckStatsItems()](std::stop_token stop) {
        auto figures = std::make_shared<RecordStats>();
        const bool ok = open && store_.statistics(filter, items, *figures);
        const QString error = Q(store_.lastError());
        if (stop.stop_requested())
            return;
        PostToUi(this, [this, ok, figures, error] { showFigures(ok, *figures, error); });
    });
}

CDlgStatistics::~CDlgStatistics() {
    if (worker_.joinable()) {
        worker_.request_stop();
        worker_.join();
    }
    store_.close();
}

void CDlgStatistics::buildControls() {
    setWindowTitle(Caption(TextId::StatTitle));
    summary_ = new QLabel(Caption(TextId::StatComputing), this);
    summary_->setObjectName(QStringLiteral("summaryLabel"));
    summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    charts_ = new QWidget(this);
    charts_->setObjectName(QStringLiteral("charts"));
    // The white behind the charts belongs to the saved picture too.
    charts_->setAutoFillBackground(true);
    QPalette white = charts_->palette();
    white.setColor(QPalette::Window, Qt::white);
    charts_->setPalette(white);
    itemsChart_ = MakeChart(TextId::StatItemsChart);
    modelsChart_ = MakeChart(TextId::StatModelsChart);
    daysChart_ = MakeChart(TextId::StatDaysChart);
    auto* grid = new QGridLayout(charts_);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(MakeView(itemsChart_, "itemsChart", charts_), 0, 0, 2, 1);
    grid->addWidget(MakeView(modelsChart_, "modelsChart", charts_), 0, 1);
    grid->addWidget(MakeView(daysChart_, "daysChart", charts_), 1, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);

    pngButton_ = new QPushButton(Caption(TextId::StatExportPng), this);
    pngButton_->setObjectName(QStringLiteral("pngButton"));
    csvButton_ = new QPushButton(Caption(TextId::StatExportCsv), this);
    csvButton_->setObjectName(QStringLiteral("csvButton"));
    for (QPushButton* b : {pngButton_, csvButton_}) {
        b->setAutoDefault(false);
        b->setEnabled(false);
    }
    connect(pngButton_, &QPushButton::clicked, this, &CDlgStatistics::exportPng);
    connect(csvButton_, &QPushButton::clicked, this, &CDlgStatistics::exportCsv);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(summary_, 1);
    buttons->addWidget(pngButton_);
    buttons->addWidget(csvButton_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addLayout(buttons);
    layout->addWidget(charts_, 1);
    resize(1180, 760);
}

void CDlgStatistics::showFigures(bool ok, const RecordStats& figures, const QString& error) {
    computing_ = false;
    if (!ok) {
        summary_->setText(Q(FillText(Said(TextId::StatComputeFailed), {error.toStdString()})));
        emit figuresShown(false);
        return;
    }
    figures_ = figures;
    summary_->setText(QStringLiteral("%1: %2    %3: %4")
                          .arg(Caption(TextId::StatUnits))
                          .arg(figures_.units)
                          .arg(Caption(TextId::StatFaultless))
                          .arg(figures_.faultless));

    // Item 1 at the top: a horizontal chart lists its categories from the bottom up.
    QStringList items;
    QList<qreal> itemRates;
    for (auto it = figures_.items.rbegin(); it != figures_.items.rend(); ++it) {
        items << QStringLiteral("%1 %2").arg(it->number, 2, 10, QLatin1Char('0')).arg(Q(it->name));
        itemRates << Percent(it->rate());
    }
    FillChart<QHorizontalBarSeries>(itemsChart_, items, itemRates, false, true);

    QStringList models;
    QList<qreal> modelRates;
    for (const ModelFigure& m : figures_.models) {
        models << (m.model.empty() ? QStringLiteral("-") : Q(m.model));
        modelRates << Percent(m.rate());
    }
    FillChart<QBarSeries>(modelsChart_, models, modelRates, false, false);

    QStringList days;
    QList<qreal> dayUnits;
    for (const DayFigure& d : figures_.days) {
        days << Q(d.day);
        dayUnits << static_cast<qreal>(d.units);
    }
    FillChart<QBarSeries>(daysChart_, days, dayUnits, true, false);

    pngButton_->setEnabled(true);
    csvButton_->setEnabled(true);
    emit figuresShown(true);
}

bool CDlgStatistics::savePng(const QString& path, QString& error) {
    const QImage picture = charts_->grab().toImage();
    return SaveAtomically(
        path,
        [&](QSaveFile& file, QString& why) {
            QImageWriter writer(&file, "png");
            if (writer.write(picture))
                return true;
            why = writer.errorString();
            return false;
        },
        error);
}

bool CDlgStatistics::saveCsv(const QString& path, QString& error) {
    const std::string csv = StatsCsv(figures_);
    return SaveAtomically(
        path,
        [&](QSaveFile& file, QString&) {
            return file.write(csv.data(), static_cast<qint64>(csv.size())) == static_cast<qint64>(csv.size());
        },
        error);
}

void CDlgStatistics::exportPng() {
    if (computing_ || !pngButton_->isEnabled())
        return;
    UiPrompts::FileDialogOptions options;
    options.defaultFileName = StampedName("png");
    options.filter = QStringLiteral("PNG (*.png)");
    options.defaultSuffix = QStringLiteral("png");
    const QString path = UiPrompts::getSaveFileName(this, options);
    if (path.isEmpty())
        return;
    QString error;
    const bool written = savePng(path, error);
    tellExport(written, path, error);
}

void CDlgStatistics::exportCsv() {
    if (computing_ || !csvButton_->isEnabled())
        return;
    UiPrompts::FileDialogOptions options;
    options.defaultFileName = StampedName("csv");
    options.filter = QStringLiteral("CSV (*.csv)");
    options.defaultSuffix = QStringLiteral("csv");
    const QString path = UiPrompts::getSaveFileName(this, options);
    if (path.isEmpty())
        return;
    QString error;
    const bool written = saveCsv(path, error);
    tellExport(written, path, error);
}

void CDlgStatistics::tellExport(bool written, const QString& path, const QString& error) {
    if (written)
        UiPrompts::information(this, Q(FillText(Said(TextId::StatSaved), {path.toStdString()})));
    else
        UiPrompts::information(this, Q(FillText(Said(TextId::StatSaveFailed), {path.toStdString(), error.toStdString()})));
    emit exportFinished(written);
}

} // namespace orva
