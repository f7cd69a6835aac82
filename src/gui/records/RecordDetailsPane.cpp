#include "gui/records/RecordDetailsPane.h"

#include "core/app/LeadingNumber.h"
#include "core/diagnosis/RecordDetails.h"

#include <QPlainTextEdit>
#include <QVBoxLayout>

#include <algorithm>

namespace orva {

RecordDetailsPane::RecordDetailsPane(std::string databasePath, QWidget* parent)
    : QWidget(parent), store_(std::move(databasePath)) {
    view_ = new QPlainTextEdit(this);
    view_->setObjectName(QStringLiteral("recordDetails"));
    view_->setReadOnly(true);
    view_->setLineWrapMode(QPlainTextEdit::NoWrap);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(view_);
    // A store that cannot be read says so in the pane when a row is shown, not in a box at every click.
    store_.holdMessages(true);
    clearRow();
}

void RecordDetailsPane::clearRow() {
    view_->setPlainText(QString::fromStdString(NoRecordSelectedText()));
}

void RecordDetailsPane::showRow(const std::vector<std::string>& columns, const RowTexts& row) {
    std::optional<std::vector<RecordFault>> faults;
    const auto idColumn = std::find(columns.begin(), columns.end(), "id");
    const auto index = static_cast<std::size_t>(idColumn - columns.begin());
    if (idColumn != columns.end() && index < row.size() && row[index]) {
        // Opened on first use: the page's own store has prepared the file by then.
        if (store_.isOpen() || store_.open("logs"))
            faults = store_.faultsOfLog(LeadingInt(*row[index]));
        store_.takeHeldMessages();
    }
    view_->setPlainText(QString::fromStdString(RecordDetailsText(columns, row, faults, store_.lastError())));
}

QString RecordDetailsPane::text() const {
    return view_->toPlainText();
}

} // namespace orva
