#pragma once
// The diagnosis page in the middle of a run, for a look: a run against the gateway at the
// MaintenanceAddress setting (on loopback only; a gateway simulator must answer there), every question
// answered yes until some items carry their results, then a picture of the window with the open prompt
// window on it and the item being checked showing its running mark; then the run is stopped.
#include <QString>

namespace orva {

class CDlgMain;

// Writes the picture to `path`. False (with a line on standard error) when the address is not on
// loopback, no gateway answered in time or the file could not be written.
bool RenderDiagnosisMidRun(CDlgMain& main, const QString& path);

} // namespace orva
