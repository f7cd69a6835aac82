#include "CoreDump.h"

#include <cstring>

namespace orva::test {

const CoreNote* CoreFile::firstNote(std::uint32_t type) const {
    for (const auto& n : notes)
        if (n.type == type)
            return &n;
    return nullptr;
}

const Elf64_Phdr* CoreFile::segmentAt(std::uint64_t address) const {
    for (const auto& s : segments)
        if (s.p_type == PT_LOAD && address >= s.p_vaddr && address < s.p_vaddr + s.p_memsz)
            return &s;
    return nullptr;
}

std::vector<std::string> CoreFile::mappedFiles() const {
    std::vector<std::string> names;
    const CoreNote* note = firstNote(NT_FILE);
    if (!note || note->desc.size() < 16)
        return names;
    std::uint64_t count = 0;
    std::memcpy(&count, note->desc.data(), 8);
    std::size_t at = 16 + count * 24;
    while (at < note->desc.size()) {
        const std::size_t end = note->desc.find('\0', at);
        if (end == std::string::npos)
            break;
        names.push_back(note->desc.substr(at, end - at));
        at = end + 1;
    }
    return names;
}

std::optional<CoreFile> ReadCoreFile(const std::string& bytes, std::string& problem) {
    CoreFile core;
    if (bytes.size() < sizeof core.header) {
        problem = "shorter than an ELF header";
        return std::nullopt;
    }
    std::memcpy(&core.header, bytes.data(), sizeof core.header);
    const std::uint64_t tableEnd = core.header.e_phoff + std::uint64_t{core.header.e_phnum} * sizeof(Elf64_Phdr);
    if (core.header.e_phentsize != sizeof(Elf64_Phdr) || tableEnd > bytes.size()) {
        problem = "program header table does not fit";
        return std::nullopt;
    }
    core.segments.resize(core.header.e_phnum);
    std::memcpy(core.segments.data(), bytes.data() + core.header.e_phoff, core.segments.size() * sizeof(Elf64_Phdr));
    for (const auto& s : core.segments) {
        if (s.p_offset + s.p_filesz > bytes.size()) {
            problem = "a segment reaches past the end of the file";
            return std::nullopt;
        }
        if (s.p_type != PT_NOTE)
            continue;
        std::size_t at = s.p_offset;
        const std::size_t end = s.p_offset + s.p_filesz;
        while (at + sizeof(Elf64_Nhdr) <= end) {
            Elf64_Nhdr h;
            std::memcpy(&h, bytes.data() + at, sizeof h);
            at += sizeof h;
            const std::size_t nameSize = (h.n_namesz + 3) / 4 * 4, descSize = (h.n_descsz + 3) / 4 * 4;
            if (at + nameSize + descSize > end) {
                problem = "a note reaches past its segment";
                return std::nullopt;
            }
            CoreNote note;
            note.owner = std::string(bytes.data() + at, h.n_namesz ? h.n_namesz - 1 : 0);
            note.type = h.n_type;
            note.desc = bytes.substr(at + nameSize, h.n_descsz);
            core.notes.push_back(std::move(note));
            at += nameSize + descSize;
        }
    }
    return core;
}

} // namespace orva::test
