#pragma once
// Beside the log query page's list: the selected record's checks and the faults kept with it. The text
// is made by RecordDetailsText; the pane only reads the faults and shows it. It reads through a store
// of its own, on the UI thread, so that a search on the page's worker never shares a connection with it.
#include "core/records/RecordStore.h"

#include <QWidget>

#include <string>
#include <vector>

class QPlainTextEdit;

namespace orva {

class RecordDetailsPane : public QWidget {
    Q_OBJECT
public:
    RecordDetailsPane(std::string databasePath, QWidget* parent = nullptr);

    // Shows the row of a search with these columns; its faults are read now, by the row's id.
    void showRow(const std::vector<std::string>& columns, const RowTexts& row);
    // Back to the words that ask for a selection.
    void clearRow();

    QString text() const;
    QPlainTextEdit* textView() const { return view_; }

private:
    RecordStore store_;
    QPlainTextEdit* view_ = nullptr;
};

} // namespace orva
