#pragma once
// The all-logs tab of the diagnosis page: every check of every diagnosis since the tool started, each
// diagnosis framed by a separator, a heading and a closing row. Its "保存" button writes the records of
// those diagnoses to an Excel 97-2003 workbook.
#include "gui/diagnosis/DiagLogList.h"

#include <QWidget>

#include <string>

class QPushButton;

namespace orva {

class CorvaDlg;

class CPage2Dlg : public QWidget {
    Q_OBJECT
public:
    // `page` gives the operator's name and where the records of this run of the tool begin.
    explicit CPage2Dlg(CorvaDlg* page, QWidget* parent = nullptr);

    void appendResultRow(const std::string& item, const std::string& result);
    DiagLogList* list() const { return list_; }
    QPushButton* saveButton() const { return save_; }

    // The save button: asks for a file and writes the records there.
    void exportSpreadsheet();

signals:
    // The workbook was written to `path`.
    void exported(const QString& path);

private:
    CorvaDlg* page_;
    DiagLogList* list_;
    QPushButton* save_;
};

} // namespace orva
