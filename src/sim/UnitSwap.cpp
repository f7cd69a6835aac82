#include "sim/UnitSwap.h"

namespace orva::sim {

int UnitPlaying(const Options& options, std::chrono::milliseconds elapsed) {
    if (options.units.empty())
        return 1;
    const long long period = static_cast<long long>(options.swapAfterMs) + options.swapGapMs;
    const long long at = elapsed.count();
    if (at < 0 || period <= 0)
        return 0;
    const long long index = at / period;
    if (index >= static_cast<long long>(options.units.size()) || at % period >= options.swapAfterMs)
        return 0;
    return static_cast<int>(index) + 1;
}

Options UnitOptions(const Options& options, int k) {
    Options unit = options;
    if (k >= 1 && static_cast<size_t>(k) <= options.units.size())
        unit.sn = options.units[static_cast<size_t>(k) - 1];
    return unit;
}

std::vector<Override> UnitOverrides(const std::vector<Override>& overrides, int k) {
    std::vector<Override> out;
    for (const Override& o : overrides)
        if (o.unit == 0 || o.unit == k)
            out.push_back(o);
    return out;
}

} // namespace orva::sim
