#pragma once
// The statistics window for a look: a sample store of a week's diagnoses of three models, some with
// fault rows, written beside the program directory's own records (which stay untouched), and the
// window's picture once its charts are drawn.
#include <QString>

namespace orva {

// Writes the sample store to `databasePath` (replacing it) and the picture to `picturePath`. False
// (with a line on standard error) when either could not be written or the figures failed.
bool RenderStatistics(const QString& databasePath, const QString& picturePath);

} // namespace orva
