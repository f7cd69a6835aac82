#include "ChannelFixture.h"

#include <filesystem>

namespace orva::test {

int OpenDescriptorCount() {
    int n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

} // namespace orva::test
