#include "core/records/CompoundFileWriter.h"

#include "core/records/XlsBytes.h"
#include "core/records/XlsText.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace orva {

namespace {

using Cfw = CompoundFileWriter;

constexpr std::uint32_t EntriesPerSector = Cfw::SectorSize / 4;
// A DIFAT sector's last entry chains to the next DIFAT sector.
constexpr std::uint32_t DifatEntriesPerSector = EntriesPerSector - 1;
constexpr std::uint32_t DirectoryEntrySize = 128;

std::uint32_t CeilDiv(std::uint64_t a, std::uint64_t b) {
    return static_cast<std::uint32_t>((a + b - 1) / b);
}

// Where everything goes. Sector 0 is the first FAT sector and sector 1 the directory; then the mini
// FAT and the mini stream (small stream) or the stream itself, then further FAT and DIFAT sectors.
struct Layout {
    bool mini = false;
    std::uint32_t miniSectors = 0;    // mini sectors of the stream
    std::uint32_t miniFatSectors = 0; // 0 or 1..
    std::uint32_t dataSectors = 0;    // regular sectors of the stream or of the mini stream
    std::uint32_t fatSectors = 1;
    std::uint32_t difatSectors = 0;

    std::uint32_t firstMiniFat() const { return 2; }
    std::uint32_t firstData() const { return 2 + miniFatSectors; }
    std::uint32_t firstExtraFat() const { return firstData() + dataSectors; }
    std::uint32_t firstDifat() const { return firstExtraFat() + fatSectors - 1; }
    std::uint32_t total() const { return 2 + miniFatSectors + dataSectors + fatSectors - 1 + difatSectors; }
    std::uint32_t fatSector(std::uint32_t i) const { return i == 0 ? 0 : firstExtraFat() + i - 1; }
};

Layout Plan(std::uint64_t size) {
    Layout l;
    l.mini = size < Cfw::MiniStreamCutoff;
    if (l.mini) {
        l.miniSectors = CeilDiv(size, Cfw::MiniSectorSize);
        l.miniFatSectors = l.miniSectors == 0 ? 0 : CeilDiv(l.miniSectors, EntriesPerSector);
        l.dataSectors = CeilDiv(std::uint64_t(l.miniSectors) * Cfw::MiniSectorSize, Cfw::SectorSize);
    } else {
        l.dataSectors = CeilDiv(size, Cfw::SectorSize);
    }
    // The FAT covers every sector, its own and the DIFAT's included: grow both until they suffice.
    for (;;) {
        const std::uint32_t fat = CeilDiv(l.total(), EntriesPerSector);
        const std::uint32_t difat =
            fat > Cfw::HeaderDifatEntries ? CeilDiv(fat - Cfw::HeaderDifatEntries, DifatEntriesPerSector) : 0;
        if (fat == l.fatSectors && difat == l.difatSectors)
            return l;
        l.fatSectors = std::max(fat, l.fatSectors);
        l.difatSectors = std::max(difat, l.difatSectors);
    }
}

void PutChain(std::vector<std::uint32_t>& table, std::uint32_t first, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i)
        table[first + i] = i + 1 == count ? Cfw::EndOfChain : first + i + 1;
}

void PutDirectoryEntry(XlsBytes& out, const std::string& name, std::uint8_t type, std::uint32_t child,
                       std::uint32_t start, std::uint64_t size) {
    std::u16string units = Utf8ToUtf16(name);
    units.resize(Utf16CutLength(units, 31));
    const std::size_t at = out.size();
    out.putUtf16(units, 0, units.size());
    while (out.size() < at + 64)
        out.put8(0);
    out.put16(static_cast<std::uint16_t>((units.size() + 1) * 2));
    out.put8(type);
    out.put8(1); // black: with a single child, every node of the tree is black
    out.put32(Cfw::NoStream);
    out.put32(Cfw::NoStream);
    out.put32(child);
    for (int i = 0; i < 16 + 4 + 8 + 8; ++i) // class id, state bits, creation and modification times
        out.put8(0);
    out.put32(start);
    out.put32(static_cast<std::uint32_t>(size));
    out.put32(0); // high half of the size: version 3 files keep streams below 4 GiB
}

void PutUnusedDirectoryEntry(XlsBytes& out) {
    for (int i = 0; i < 68; ++i)
        out.put8(0);
    out.put32(Cfw::NoStream);
    out.put32(Cfw::NoStream);
    out.put32(Cfw::NoStream);
    for (std::uint32_t i = 80; i < DirectoryEntrySize; ++i)
        out.put8(0);
}

void PadToSector(XlsBytes& out) {
    while (out.size() % Cfw::SectorSize != 0)
        out.put8(0);
}

} // namespace

std::string CompoundFileWriter::build(const std::string& streamName, const std::string& data) {
    const Layout l = Plan(data.size());

    std::vector<std::uint32_t> fat(std::size_t(l.fatSectors) * EntriesPerSector, FreeSect);
    for (std::uint32_t i = 0; i < l.fatSectors; ++i)
        fat[l.fatSector(i)] = FatSect;
    for (std::uint32_t i = 0; i < l.difatSectors; ++i)
        fat[l.firstDifat() + i] = DifSect;
    PutChain(fat, 1, 1);
    PutChain(fat, l.firstMiniFat(), l.miniFatSectors);
    PutChain(fat, l.firstData(), l.dataSectors);

    XlsBytes out;
    out.reserve((std::size_t(l.total()) + 1) * SectorSize);

    // Header.
    static const unsigned char signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    for (const unsigned char b : signature)
        out.put8(b);
    for (int i = 0; i < 16; ++i) // class id
        out.put8(0);
    out.put16(0x003B); // minor version
    out.put16(0x0003); // major version
    out.put16(0xFFFE); // byte order: little-endian
    out.put16(9);      // sector shift: 512
    out.put16(6);      // mini sector shift: 64
    for (int i = 0; i < 6; ++i)
        out.put8(0);
    out.put32(0); // directory sectors: always 0 in version 3
    out.put32(l.fatSectors);
    out.put32(1); // first directory sector
    out.put32(0); // transaction signature
    out.put32(MiniStreamCutoff);
    out.put32(l.miniFatSectors ? l.firstMiniFat() : EndOfChain);
    out.put32(l.miniFatSectors);
    out.put32(l.difatSectors ? l.firstDifat() : EndOfChain);
    out.put32(l.difatSectors);
    for (std::uint32_t i = 0; i < HeaderDifatEntries; ++i)
        out.put32(i < l.fatSectors ? l.fatSector(i) : FreeSect);

    // Sector 0: the first FAT sector.
    for (std::uint32_t i = 0; i < EntriesPerSector; ++i)
        out.put32(fat[i]);

    // Sector 1: the directory.
    const std::uint32_t streamStart = l.mini ? (l.miniSectors ? 0 : EndOfChain) : l.firstData();
    const std::uint32_t rootStart = l.mini && l.dataSectors ? l.firstData() : EndOfChain;
    const std::uint64_t miniStreamSize = std::uint64_t(l.miniSectors) * MiniSectorSize;
    PutDirectoryEntry(out, "Root Entry", 5, 1, rootStart, miniStreamSize);
    PutDirectoryEntry(out, streamName, 2, NoStream, streamStart, data.size());
    PutUnusedDirectoryEntry(out);
    PutUnusedDirectoryEntry(out);

    // Mini FAT, then the stream's bytes (as the mini stream or in regular sectors).
    if (l.miniFatSectors) {
        std::vector<std::uint32_t> miniFat(std::size_t(l.miniFatSectors) * EntriesPerSector, FreeSect);
        PutChain(miniFat, 0, l.miniSectors);
        for (const std::uint32_t entry : miniFat)
            out.put32(entry);
    }
    out.append(data);
    PadToSector(out);

    // The rest of the FAT, then the DIFAT sectors with the FAT sectors beyond the header's 109.
    for (std::size_t i = EntriesPerSector; i < fat.size(); ++i)
        out.put32(fat[i]);
    for (std::uint32_t d = 0; d < l.difatSectors; ++d) {
        for (std::uint32_t k = 0; k < DifatEntriesPerSector; ++k) {
            const std::uint32_t index = HeaderDifatEntries + d * DifatEntriesPerSector + k;
            out.put32(index < l.fatSectors ? l.fatSector(index) : FreeSect);
        }
        out.put32(d + 1 < l.difatSectors ? l.firstDifat() + d + 1 : EndOfChain);
    }
    return out.take();
}

Result<void> CompoundFileWriter::write(const std::string& path, const std::string& streamName,
                                       const std::string& data) {
    const std::string image = build(streamName, data);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return Failure{"cannot create " + path + ": " + std::strerror(errno)};
    const bool written = std::fwrite(image.data(), 1, image.size(), file) == image.size();
    const int writeErrno = errno;
    const bool closed = std::fclose(file) == 0;
    if (written && closed)
        return {};
    Failure failure{"cannot write " + path + ": " + std::strerror(written ? errno : writeErrno)};
    std::remove(path.c_str());
    return failure;
}

} // namespace orva
