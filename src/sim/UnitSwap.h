#pragma once
// Units swapped on a test line (--units): who answers at a moment of the simulator's run, and with what.
#include "sim/Options.h"

#include <chrono>
#include <vector>

namespace orva::sim {

// The unit that answers `elapsed` after the start: its number from 1, or 0 while a unit is being
// swapped and after the last one. Without --units the one gateway is unit 1 all the time.
int UnitPlaying(const Options& options, std::chrono::milliseconds elapsed);

// The options unit k (from 1) answers with: its serial number as `sn`, and only the overrides for every
// unit and for unit k.
Options UnitOptions(const Options& options, int k);
std::vector<Override> UnitOverrides(const std::vector<Override>& overrides, int k);

} // namespace orva::sim
