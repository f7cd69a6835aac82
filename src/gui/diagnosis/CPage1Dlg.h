#pragma once
// The current-log tab of the diagnosis page: one row per finished check of the diagnosis under way (or
// the last one), numbered from 1; emptied when the next diagnosis starts.
#include "gui/diagnosis/DiagLogList.h"

#include <QWidget>

#include <string>

namespace orva {

class CPage1Dlg : public QWidget {
    Q_OBJECT
public:
    explicit CPage1Dlg(QWidget* parent = nullptr);

    void appendResultRow(const std::string& item, const std::string& result);
    void clearResultRows();
    DiagLogList* list() const { return list_; }

private:
    DiagLogList* list_;
};

} // namespace orva
