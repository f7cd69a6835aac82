#include "shell/Pages.h"

#include "shell/CAboutDlg.h"
#include "shell/PlaceholderPage.h"

namespace orva {

Page* CreatePage(PageId id, QWidget* parent) {
    switch (id) {
    case PageId::About:
        return new CAboutDlg(parent);
    case PageId::Diagnosis:
    case PageId::Reset:
    case PageId::ImgUpdate:
    case PageId::Template:
    case PageId::LogQuery:
        break;
    }
    return new PlaceholderPage(parent);
}

} // namespace orva
