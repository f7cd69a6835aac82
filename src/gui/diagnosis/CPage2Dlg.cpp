#include "gui/diagnosis/CPage2Dlg.h"

#include "core/app/LogFile.h"
#include "gui/common/QtText.h"
#include "gui/common/UiPrompts.h"
#include "gui/diagnosis/CorvaDlg.h"
#include "core/records/ExportRecords.h"
#include "core/records/RecordStore.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace orva {

CPage2Dlg::CPage2Dlg(CorvaDlg* page, QWidget* parent)
    : QWidget(parent), page_(page), list_(new DiagLogList(TextId::LogColumns2, this)),
      save_(new QPushButton(Caption(TextId::CapSaveButton), this)) {
    setObjectName(QStringLiteral("allLogsTab"));
    save_->setObjectName(QStringLiteral("saveButton"));
    save_->setAutoDefault(false);
    connect(save_, &QPushButton::clicked, this, &CPage2Dlg::exportSpreadsheet);

    auto* buttons = new QHBoxLayout;
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->addStretch();
    buttons->addWidget(save_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
}

void CPage2Dlg::appendResultRow(const std::string& item, const std::string& result) {
    list_->appendResultRow(item, result);
}

void CPage2Dlg::exportSpreadsheet() {
    const std::string proposed = ProposedExportFileName();
    // Nothing was diagnosed since the tool started: there is nothing to save.
    if (list_->rowCount() == 0)
        return;
    UiPrompts::FileDialogOptions options;
    options.defaultFileName = QString::fromStdString(proposed);
    options.filter = UiPrompts::filterFromClassic(QStringLiteral("(*.xls)|*.xls||"));
    options.defaultSuffix = QStringLiteral("xls");
    const QString path = UiPrompts::getSaveFileName(this, options);
    if (path.isEmpty())
        return;

    // The diagnoses of this run of the tool are the rows stored after the one that was last at start.
    std::vector<DiagRecord> records;
    {
        RecordStore store;
        if (!store.open("logs"))
            return; // the store has shown why
        records = RecordsStoredAfter(store, page_ ? page_->logIdAtStart() : 0);
        store.close();
    }
    const std::string operatorName = page_ ? page_->operatorName() : std::string();
    if (const Result<void> saved = ExportRecords(path.toStdString(), operatorName, records); !saved) {
        LogFile::instance().write("EXPORT", path.toStdString() + ": " + saved.error());
        // The technician chose the file and waits for it: a failure is told as the query page tells it.
        UiPrompts::information(this, QStringLiteral("Excel文件保存失败!\n") + Q(saved.error()));
        return;
    }
    UiPrompts::information(this, QString::fromUtf8(ExportSavedText));
    emit exported(path);
}

} // namespace orva
