#include "gui/records/LogRowsModel.h"

#include "core/records/LogQuery.h"

namespace orva {

LogRowsModel::LogRowsModel(QObject* parent) : QAbstractTableModel(parent) {}

int LogRowsModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int LogRowsModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QString LogRowsModel::cellText(int row, int column) const {
    if (row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
        return {};
    const RowTexts& cells = rows_[static_cast<std::size_t>(row)];
    if (static_cast<std::size_t>(column) >= cells.size() || !cells[static_cast<std::size_t>(column)])
        return {};
    const std::string& stored = *cells[static_cast<std::size_t>(column)];
    return QString::fromStdString(column == 0 ? stored : LogCellText(stored));
}

QString LogRowsModel::columnTitle(int column) const {
    if (column < 0 || column >= columnCount())
        return {};
    return titles_[static_cast<std::size_t>(column)];
}

QVariant LogRowsModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: // a cell narrower than its text still shows it whole on hover
        return cellText(index.row(), index.column());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    default:
        return {};
    }
}

QVariant LogRowsModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal)
        return {};
    if (role == Qt::DisplayRole)
        return columnTitle(section);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

void LogRowsModel::createColumns(const std::vector<std::string>& names) {
    if (hasColumns() || names.empty())
        return;
    beginInsertColumns({}, 0, static_cast<int>(names.size()) - 1);
    columns_ = names;
    titles_.clear();
    for (const std::string& name : names)
        titles_.push_back(QString::fromStdString(LogColumnTitle(name)));
    endInsertColumns();
}

void LogRowsModel::setRows(std::vector<RowTexts> rows) {
    beginResetModel();
    rows_ = std::move(rows);
    endResetModel();
}

void LogRowsModel::clearRows() {
    if (rows_.empty())
        return;
    beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    endResetModel();
}

} // namespace orva
