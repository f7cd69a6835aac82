#pragma once
// The log query page with a record selected and its details shown beside the list, for a look. The
// record (with faults of three items, in the selected language) is stored in a file of a throw-away
// folder, never in the program directory's orvalog.db.
#include <QString>

namespace orva {

// Writes the picture to `path`. False (with a line on standard error) when the record could not be
// stored, the search did not finish in time or the file could not be written.
bool RenderLogQueryDetails(const QString& path);

} // namespace orva
