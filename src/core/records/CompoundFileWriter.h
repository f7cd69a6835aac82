#pragma once
// Writes a compound file (version 3, 512-byte sectors) holding one stream under the root storage.
// Streams shorter than the mini stream cutoff go into the mini stream (64-byte mini sectors), longer
// ones into regular sectors; the FAT grows into DIFAT sectors when it needs more than the header's
// 109 entries.
#include "core/app/Result.h"

#include <cstdint>
#include <string>

namespace orva {

class CompoundFileWriter {
public:
    static constexpr std::uint32_t SectorSize = 512;
    static constexpr std::uint32_t MiniSectorSize = 64;
    static constexpr std::uint32_t MiniStreamCutoff = 4096;
    static constexpr std::uint32_t HeaderDifatEntries = 109;

    static constexpr std::uint32_t DifSect = 0xFFFFFFFC;
    static constexpr std::uint32_t FatSect = 0xFFFFFFFD;
    static constexpr std::uint32_t EndOfChain = 0xFFFFFFFE;
    static constexpr std::uint32_t FreeSect = 0xFFFFFFFF;
    static constexpr std::uint32_t NoStream = 0xFFFFFFFF;

    // The whole file image. `streamName` has at most 31 UTF-16 units; `data` below 4 GiB.
    static std::string build(const std::string& streamName, const std::string& data);

    // build() written to `path` (created or truncated). A failure says why and leaves no partial file
    // behind.
    static Result<void> write(const std::string& path, const std::string& streamName, const std::string& data);
};

} // namespace orva
