#pragma once
// The list of a diagnosis log tab: three left-aligned columns (running number, check item, result)
// with grid lines and whole-row selection, and the tab's own row counter.
#include "core/app/TextTable.h"

#include <QTableWidget>

#include <string>

namespace orva {

class DiagLogList : public QTableWidget {
    Q_OBJECT
public:
    // `headings`: the text row with the three column titles (LogColumns1 or LogColumns2).
    DiagLogList(TextId headings, QWidget* parent);

    // Adds a row at the end numbered with the next count, and scrolls to it.
    void appendResultRow(const std::string& item, const std::string& result);
    // Removes every row and starts the count again.
    void clearResultRows();
    int counter() const { return counter_; }

    // A cell's text (for readers of the tab, tests among them).
    QString cellText(int row, int column) const;

private:
    int counter_ = 0;
};

} // namespace orva
