#include "gui/shell/QtTranslations.h"

#include "core/app/TextTable.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace orva {

bool InstallQtTranslations() {
    if (IsEnglish())
        return true;
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace orva
