#pragma once
// Qt's own texts (the standard buttons of message boxes, file dialogs) in the selected language.

namespace orva {

// With Chinese selected, installs Qt's Chinese translation (qtbase_zh_CN) on the application; with
// English nothing is needed. True when the texts are in the selected language. Call once, after
// SelectLanguage and after the application object exists.
bool InstallQtTranslations();

} // namespace orva
