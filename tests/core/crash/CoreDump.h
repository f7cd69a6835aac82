#pragma once
// Reads back the parts of an ELF core file the crash tests look at.
#include <cstdint>
#include <elf.h>
#include <optional>
#include <string>
#include <sys/procfs.h>
#include <vector>

namespace orva::test {

struct CoreNote {
    std::string owner;
    std::uint32_t type = 0;
    std::string desc;
};

struct CoreFile {
    Elf64_Ehdr header{};
    std::vector<Elf64_Phdr> segments;
    std::vector<CoreNote> notes;

    const CoreNote* firstNote(std::uint32_t type) const;
    // The segment holding address, if any.
    const Elf64_Phdr* segmentAt(std::uint64_t address) const;
    // The file names of the NT_FILE note.
    std::vector<std::string> mappedFiles() const;
};

// The parsed file, or an explanation of what is wrong with it.
std::optional<CoreFile> ReadCoreFile(const std::string& bytes, std::string& problem);

} // namespace orva::test
