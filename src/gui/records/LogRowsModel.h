#pragma once
// The rows of a log search as the result list shows them. The stored texts are kept as they came from
// the database and mapped only when a cell is drawn, so a search with a hundred thousand rows costs one
// hand-over, not a hundred thousand widget items.
#include "core/records/DiagRecord.h"

#include <QAbstractTableModel>

#include <string>
#include <vector>

namespace orva {

class LogRowsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit LogRowsModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The columns are created once, from the column names of the first search that found rows; later
    // calls change nothing. Until then the list has no columns.
    bool hasColumns() const { return !columns_.empty(); }
    void createColumns(const std::vector<std::string>& names);
    const std::vector<std::string>& columnNames() const { return columns_; }

    // Replaces the rows (already in the order shown: newest first). The columns stay.
    void setRows(std::vector<RowTexts> rows);
    void clearRows();
    const std::vector<RowTexts>& rows() const { return rows_; }

    // What a cell shows: the first cell of a row as stored, every other one mapped ("0" → "失败",
    // "1" → "成功", "9" → "未检测"); a NULL or missing cell shows nothing.
    QString cellText(int row, int column) const;
    // The title of a column ("ID", "序列号", ...), empty for a name without one.
    QString columnTitle(int column) const;

private:
    std::vector<std::string> columns_;
    std::vector<QString> titles_;
    std::vector<RowTexts> rows_;
};

} // namespace orva
