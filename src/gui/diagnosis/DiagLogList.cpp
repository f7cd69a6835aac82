#include "gui/diagnosis/DiagLogList.h"

#include "gui/common/QtText.h"

#include <QHeaderView>
#include <QStringList>

namespace orva {

namespace {

constexpr int kColumnWidths[] = {60, 220, 220};

} // namespace

DiagLogList::DiagLogList(TextId headings, QWidget* parent) : QTableWidget(0, 3, parent) {
    setObjectName(QStringLiteral("logList"));
    QStringList titles = Captions(headings);
    while (titles.size() < 3)
        titles << QString();
    setHorizontalHeaderLabels(titles);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalHeader()->setStretchLastSection(false);
    for (int c = 0; c < 3; ++c)
        setColumnWidth(c, kColumnWidths[c]);
    verticalHeader()->hide();
    // Rows as close as a report list's: a line of text and a little air, so the short log area shows
    // a run's checks rather than a handful of them.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    setShowGrid(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
}

void DiagLogList::appendResultRow(const std::string& item, const std::string& result) {
    ++counter_;
    const int row = rowCount();
    insertRow(row);
    const QString texts[] = {QString::number(counter_), QString::fromStdString(item), QString::fromStdString(result)};
    for (int c = 0; c < 3; ++c) {
        auto* cell = new QTableWidgetItem(texts[c]);
        // The columns are narrow for the heading rows; the whole text shows on hovering.
        cell->setToolTip(texts[c]);
        setItem(row, c, cell);
    }
    scrollToItem(this->item(row, 0), QAbstractItemView::EnsureVisible);
}

void DiagLogList::clearResultRows() {
    setRowCount(0);
    counter_ = 0;
}

QString DiagLogList::cellText(int row, int column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell ? cell->text() : QString();
}

} // namespace orva
