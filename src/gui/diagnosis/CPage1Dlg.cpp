#include "gui/diagnosis/CPage1Dlg.h"

#include <QVBoxLayout>

namespace orva {

CPage1Dlg::CPage1Dlg(QWidget* parent) : QWidget(parent), list_(new DiagLogList(TextId::LogColumns1, this)) {
    setObjectName(QStringLiteral("currentLogTab"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(list_);
}

void CPage1Dlg::appendResultRow(const std::string& item, const std::string& result) {
    list_->appendResultRow(item, result);
}

void CPage1Dlg::clearResultRows() {
    list_->clearResultRows();
}

} // namespace orva
