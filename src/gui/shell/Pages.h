#pragma once
// How the main window makes each of its pages. Pages still to be written are placeholders; each real
// page takes its place here.
#include "gui/shell/Page.h"
#include "gui/shell/PageId.h"

namespace orva {

Page* CreatePage(PageId id, QWidget* parent);

} // namespace orva
