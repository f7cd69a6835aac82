#include "gui/shell/Pages.h"

#include "gui/diagnosis/CDlgTemplate.h"
#include "gui/diagnosis/CorvaDlg.h"
#include "gui/maintenance/CDlgImgUpdate.h"
#include "gui/maintenance/CDlgReset.h"
#include "gui/records/CDlgLogQuery.h"
#include "gui/shell/CAboutDlg.h"

namespace orva {

Page* CreatePage(PageId id, QWidget* parent) {
    switch (id) {
    case PageId::About:
        return new CAboutDlg(parent);
    case PageId::Diagnosis:
        return new CorvaDlg(parent);
    case PageId::Reset:
        return new CDlgReset(parent);
    case PageId::ImgUpdate:
        return new CDlgImgUpdate(parent);
    case PageId::Template:
        return new CDlgTemplate(parent);
    case PageId::LogQuery:
        return new CDlgLogQuery(parent);
    }
    return new Page(parent); // not reached: every page is named above
}

} // namespace orva
