#include "core/crash/CoreFileWriter.h"

#include <cerrno>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/procfs.h>
#include <sys/syscall.h>
#include <sys/user.h>
#include <unistd.h>
#if defined(__x86_64__)
#include <asm/prctl.h>
#endif

namespace orva::crash {

void CaptureThreadContext(ThreadContext& out, const void* ucontext) {
    out.tid = static_cast<pid_t>(syscall(SYS_gettid));
    if (ucontext) {
        std::memcpy(&out.context, ucontext, sizeof out.context);
#if defined(__x86_64__)
        const auto* uc = static_cast<const ucontext_t*>(ucontext);
        out.haveFpstate = uc->uc_mcontext.fpregs != nullptr;
        if (out.haveFpstate)
            std::memcpy(&out.fpstate, uc->uc_mcontext.fpregs, sizeof out.fpstate);
#endif
    }
#if defined(__x86_64__)
    unsigned long base = 0;
    if (syscall(SYS_arch_prctl, ARCH_GET_FS, &base) == 0)
        out.fsBase = base;
    base = 0;
    if (syscall(SYS_arch_prctl, ARCH_GET_GS, &base) == 0)
        out.gsBase = base;
#endif
}

void CaptureCrashContext(CrashContext& out, int signal, const siginfo_t* info, const void* ucontext) {
    out.signal = signal;
    if (info)
        std::memcpy(&out.info, info, sizeof out.info);
    CaptureThreadContext(out.thread, ucontext);
    out.pid = getpid();
    out.ppid = getppid();
    out.pgrp = getpgrp();
    out.sid = getsid(0);
}

#if !defined(__x86_64__)

int WriteCoreFile(int, const CrashContext&) {
    return ENOSYS; // the register layout of other machines is not filled in yet
}

#else

namespace {

// Generous limits: a large Qt program has about a thousand mappings.
constexpr std::size_t kMaxMappings = 16000;
constexpr std::size_t kMapsTextSize = 8u << 20;
constexpr std::size_t kMaxThreadNotes = 1024;
constexpr std::size_t kNotesSize = kMapsTextSize + kMaxMappings * 3 * 8 + kMaxThreadNotes * 1024 + (64u << 10);
constexpr std::size_t kAuxvSize = 16u << 10;
constexpr std::size_t kCopySize = 256u << 10;

struct Mapping {
    std::uint64_t start;
    std::uint64_t end;
    std::uint64_t offset;
    std::uint64_t inode;
    std::uint32_t flags; // PF_R | PF_W | PF_X
    const char* name;    // "" for anonymous memory
};

struct Load {
    std::uint64_t start;
    std::uint64_t end;
    std::uint64_t contentSize; // bytes of memory stored in the file, from start
    std::uint64_t fileOffset;
    std::uint32_t flags;
};

// Working memory, taken with mmap at crash time so nothing depends on the heap. It is left out of
// the dump.
struct Scratch {
    char* base = nullptr;
    std::size_t size = 0;
    char* mapsText = nullptr;
    Mapping* maps = nullptr;
    Load* loads = nullptr;
    Elf64_Phdr* phdrs = nullptr;
    char* notes = nullptr;
    char* auxv = nullptr;
    char* copy = nullptr;
};

std::size_t RoundUp(std::size_t n, std::size_t to) {
    return (n + to - 1) / to * to;
}

bool TakeScratch(Scratch& s) {
    const std::size_t parts[] = {kMapsTextSize,
                                 RoundUp(kMaxMappings * sizeof(Mapping), 4096),
                                 RoundUp(2 * kMaxMappings * sizeof(Load), 4096),
                                 RoundUp((2 * kMaxMappings + 1) * sizeof(Elf64_Phdr), 4096),
                                 RoundUp(kNotesSize, 4096),
                                 kAuxvSize,
                                 kCopySize};
    std::size_t total = 0;
    for (std::size_t p : parts)
        total += p;
    void* mem = mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (mem == MAP_FAILED)
        return false;
    s.base = static_cast<char*>(mem);
    s.size = total;
    char* p = s.base;
    s.mapsText = p, p += parts[0];
    s.maps = reinterpret_cast<Mapping*>(p), p += parts[1];
    s.loads = reinterpret_cast<Load*>(p), p += parts[2];
    s.phdrs = reinterpret_cast<Elf64_Phdr*>(p), p += parts[3];
    s.notes = p, p += parts[4];
    s.auxv = p, p += parts[5];
    s.copy = p;
    return true;
}

// Reads a whole (small, /proc) file; -1 with errno when it cannot be opened or read.
long ReadWholeFile(const char* path, char* buffer, std::size_t capacity) {
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    std::size_t total = 0;
    while (total < capacity) {
        const ssize_t n = read(fd, buffer + total, capacity - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int err = errno;
            close(fd);
            errno = err;
            return -1;
        }
        if (n == 0)
            break;
        total += static_cast<std::size_t>(n);
    }
    close(fd);
    return static_cast<long>(total);
}

std::uint64_t ParseNumber(char*& p, int base) {
    std::uint64_t v = 0;
    for (;; ++p) {
        int digit;
        if (*p >= '0' && *p <= '9')
            digit = *p - '0';
        else if (base == 16 && *p >= 'a' && *p <= 'f')
            digit = *p - 'a' + 10;
        else if (base == 16 && *p >= 'A' && *p <= 'F')
            digit = *p - 'A' + 10;
        else
            break;
        v = v * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    }
    return v;
}

// One line of /proc/self/maps: "start-end perms offset major:minor inode    name".
bool ParseMapsLine(char* line, Mapping& m) {
    char* p = line;
    m.start = ParseNumber(p, 16);
    if (*p++ != '-')
        return false;
    m.end = ParseNumber(p, 16);
    if (*p++ != ' ' || m.end <= m.start)
        return false;
    m.flags = 0;
    if (p[0] == 'r')
        m.flags |= PF_R;
    if (p[0] && p[1] == 'w')
        m.flags |= PF_W;
    if (p[0] && p[1] && p[2] == 'x')
        m.flags |= PF_X;
    while (*p && *p != ' ')
        ++p;
    while (*p == ' ')
        ++p;
    m.offset = ParseNumber(p, 16);
    while (*p == ' ')
        ++p;
    while (*p && *p != ' ') // device
        ++p;
    while (*p == ' ')
        ++p;
    m.inode = ParseNumber(p, 10);
    while (*p == ' ')
        ++p;
    m.name = p;
    return true;
}

std::size_t ReadMappings(const Scratch& s) {
    const long length = ReadWholeFile("/proc/self/maps", s.mapsText, kMapsTextSize - 1);
    if (length <= 0)
        return 0;
    s.mapsText[length] = '\0';
    std::size_t count = 0;
    char* line = s.mapsText;
    while (*line && count < kMaxMappings) {
        char* end = line;
        while (*end && *end != '\n')
            ++end;
        const bool more = *end == '\n';
        *end = '\0';
        if (ParseMapsLine(line, s.maps[count]))
            ++count;
        if (!more)
            break;
        line = end + 1;
    }
    return count;
}

bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

bool EndsWith(const char* text, const char* suffix) {
    const std::size_t n = std::strlen(text), k = std::strlen(suffix);
    return n >= k && std::strcmp(text + n - k, suffix) == 0;
}

bool IsFileBacked(const Mapping& m) {
    return m.name[0] == '/' && m.inode != 0;
}

// How much of a mapping the dump keeps. Program code that still matches its file is left to the
// debugger to read from there (only the ELF header page, which identifies the file, is kept);
// everything else readable is kept, read-only data included, since the loader patches some of it.
std::uint64_t ContentSize(const Mapping& m, std::uint64_t pageSize) {
    const std::uint64_t size = m.end - m.start;
    if (!(m.flags & PF_R) || StartsWith(m.name, "[vvar"))
        return 0;
    if (IsFileBacked(m) && !(m.flags & PF_W) && (m.flags & PF_X) && !EndsWith(m.name, " (deleted)"))
        return m.offset == 0 ? (size < pageSize ? size : pageSize) : 0;
    return size;
}

// The mappings as loadable segments, leaving out the scratch memory of this writer.
std::size_t BuildLoads(const Scratch& s, std::size_t mapCount, std::uint64_t pageSize) {
    const auto scratchStart = reinterpret_cast<std::uint64_t>(s.base);
    const std::uint64_t scratchEnd = scratchStart + s.size;
    std::size_t n = 0;
    for (std::size_t i = 0; i < mapCount; ++i) {
        const Mapping& m = s.maps[i];
        const std::uint64_t content = ContentSize(m, pageSize);
        auto add = [&](std::uint64_t start, std::uint64_t end) {
            if (start >= end)
                return;
            const std::uint64_t contentEnd = m.start + content;
            s.loads[n++] = {start, end, contentEnd > start ? (contentEnd < end ? contentEnd : end) - start : 0, 0,
                            m.flags};
        };
        if (m.end <= scratchStart || m.start >= scratchEnd) {
            add(m.start, m.end);
        } else {
            add(m.start, scratchStart);
            add(scratchEnd, m.end);
        }
    }
    return n;
}

class NoteWriter {
public:
    explicit NoteWriter(char* buffer) : buffer_(buffer) {}
    // Starts a note owned by "CORE" and returns where its descriptor goes.
    char* begin(std::uint32_t type) {
        header_ = reinterpret_cast<Elf64_Nhdr*>(buffer_ + size_);
        header_->n_namesz = 5;
        header_->n_descsz = 0;
        header_->n_type = type;
        size_ += sizeof(Elf64_Nhdr);
        std::memcpy(buffer_ + size_, "CORE\0\0\0", 8);
        size_ += 8;
        return buffer_ + size_;
    }
    void end(std::size_t descSize) {
        header_->n_descsz = static_cast<Elf64_Word>(descSize);
        const std::size_t padded = RoundUp(descSize, 4);
        std::memset(buffer_ + size_ + descSize, 0, padded - descSize);
        size_ += padded;
    }
    void add(std::uint32_t type, const void* desc, std::size_t size) {
        std::memcpy(begin(type), desc, size);
        end(size);
    }
    std::size_t size() const { return size_; }

private:
    char* buffer_;
    std::size_t size_ = 0;
    Elf64_Nhdr* header_ = nullptr;
};

unsigned short SegmentRegister(int which) {
    unsigned short v = 0;
    switch (which) {
    case 0:
        asm volatile("mov %%ss, %0" : "=r"(v));
        break;
    case 1:
        asm volatile("mov %%ds, %0" : "=r"(v));
        break;
    case 2:
        asm volatile("mov %%es, %0" : "=r"(v));
        break;
    case 3:
        asm volatile("mov %%fs, %0" : "=r"(v));
        break;
    default:
        asm volatile("mov %%gs, %0" : "=r"(v));
        break;
    }
    return v;
}

void FillRegisters(const ThreadContext& c, elf_gregset_t& out) {
    const greg_t* g = c.context.uc_mcontext.gregs;
    user_regs_struct r{};
    r.r15 = g[REG_R15];
    r.r14 = g[REG_R14];
    r.r13 = g[REG_R13];
    r.r12 = g[REG_R12];
    r.rbp = g[REG_RBP];
    r.rbx = g[REG_RBX];
    r.r11 = g[REG_R11];
    r.r10 = g[REG_R10];
    r.r9 = g[REG_R9];
    r.r8 = g[REG_R8];
    r.rax = g[REG_RAX];
    r.rcx = g[REG_RCX];
    r.rdx = g[REG_RDX];
    r.rsi = g[REG_RSI];
    r.rdi = g[REG_RDI];
    r.orig_rax = ~0ull; // not stopped inside a system call that could be restarted
    r.rip = g[REG_RIP];
    r.cs = static_cast<unsigned long long>(g[REG_CSGSFS]) & 0xffff;
    r.eflags = g[REG_EFL];
    r.rsp = g[REG_RSP];
    r.ss = SegmentRegister(0);
    r.fs_base = c.fsBase;
    r.gs_base = c.gsBase;
    r.ds = SegmentRegister(1);
    r.es = SegmentRegister(2);
    r.fs = SegmentRegister(3);
    r.gs = SegmentRegister(4);
    static_assert(sizeof r == sizeof out);
    std::memcpy(&out, &r, sizeof out);
}

// The first part of a /proc text with NULs turned into blanks, as ps shows command lines.
void CopyProcText(const char* path, char* out, std::size_t capacity) {
    char buffer[256];
    const long n = ReadWholeFile(path, buffer, sizeof buffer);
    std::size_t k = 0;
    for (long i = 0; i < n && k + 1 < capacity; ++i) {
        const char c = buffer[i];
        if (c == '\n')
            break;
        out[k++] = c == '\0' ? ' ' : c;
    }
    while (k > 0 && out[k - 1] == ' ')
        --k;
    out[k] = '\0';
}

std::size_t BuildNotes(const Scratch& s, const CrashContext& c, std::size_t mapCount, const char* auxv,
                       std::size_t auxvSize, std::uint64_t pageSize) {
    NoteWriter notes(s.notes);

    // The crashing thread comes first: debuggers take the first thread as the current one. Each
    // thread's floating-point registers follow its status, which is how they are matched.
    // Every thread carries the crash's signal: debuggers report the signal of whichever status they
    // read last.
    auto addThread = [&](const ThreadContext& t) {
        elf_prstatus status{};
        status.pr_info.si_signo = c.signal;
        status.pr_info.si_code = c.info.si_code;
        status.pr_info.si_errno = c.info.si_errno;
        status.pr_cursig = static_cast<short>(c.signal);
        std::memcpy(&status.pr_sighold, &t.context.uc_sigmask, sizeof status.pr_sighold);
        status.pr_pid = t.tid;
        status.pr_ppid = c.ppid;
        status.pr_pgrp = c.pgrp;
        status.pr_sid = c.sid;
        FillRegisters(t, status.pr_reg);
        status.pr_fpvalid = t.haveFpstate ? 1 : 0;
        notes.add(NT_PRSTATUS, &status, sizeof status);
        if (t.haveFpstate)
            notes.add(NT_FPREGSET, &t.fpstate, sizeof t.fpstate);
    };
    addThread(c.thread);

    elf_prpsinfo info{};
    info.pr_sname = 'R';
    info.pr_uid = getuid();
    info.pr_gid = getgid();
    info.pr_pid = c.pid;
    info.pr_ppid = c.ppid;
    info.pr_pgrp = c.pgrp;
    info.pr_sid = c.sid;
    CopyProcText("/proc/self/comm", info.pr_fname, sizeof info.pr_fname);
    CopyProcText("/proc/self/cmdline", info.pr_psargs, sizeof info.pr_psargs);
    notes.add(NT_PRPSINFO, &info, sizeof info);

    notes.add(NT_SIGINFO, &c.info, sizeof c.info);
    if (auxvSize > 0)
        notes.add(NT_AUXV, auxv, auxvSize);

    // The mapped files: count, page size, (start, end, offset in pages) per file, then the names.
    std::uint64_t files = 0;
    for (std::size_t i = 0; i < mapCount; ++i)
        files += IsFileBacked(s.maps[i]) ? 1 : 0;
    char* desc = notes.begin(NT_FILE);
    auto* words = reinterpret_cast<std::uint64_t*>(desc);
    words[0] = files;
    words[1] = pageSize;
    std::size_t w = 2;
    for (std::size_t i = 0; i < mapCount; ++i) {
        const Mapping& m = s.maps[i];
        if (!IsFileBacked(m))
            continue;
        words[w++] = m.start;
        words[w++] = m.end;
        words[w++] = m.offset / pageSize;
    }
    char* names = desc + w * 8;
    for (std::size_t i = 0; i < mapCount; ++i) {
        if (!IsFileBacked(s.maps[i]))
            continue;
        const std::size_t n = std::strlen(s.maps[i].name) + 1;
        std::memcpy(names, s.maps[i].name, n);
        names += n;
    }
    notes.end(static_cast<std::size_t>(names - desc));

    for (std::size_t i = 0; i < c.otherCount && i < kMaxThreadNotes; ++i)
        addThread(c.others[i]);
    return notes.size();
}

int WriteAll(int fd, const void* data, std::size_t size, std::uint64_t offset) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t n = pwrite(fd, p, size, static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return EIO;
        p += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
    return 0;
}

bool IsZeroPage(const char* page, std::size_t size) {
    const auto* words = reinterpret_cast<const std::uint64_t*>(page);
    for (std::size_t i = 0; i < size / 8; ++i)
        if (words[i] != 0)
            return false;
    for (std::size_t i = size / 8 * 8; i < size; ++i)
        if (page[i] != 0)
            return false;
    return true;
}

// Copies one segment's memory into the file. Pages that cannot be read, and pages of zeros, stay
// holes in the file (which read back as zeros), so untouched stack and heap reserve cost no disk.
int CopySegment(int memFd, int fd, const Load& load, char* copy, std::uint64_t pageSize) {
    for (std::uint64_t done = 0; done < load.contentSize;) {
        const std::uint64_t left = load.contentSize - done;
        const std::size_t chunk = static_cast<std::size_t>(left < kCopySize ? left : kCopySize);
        const std::uint64_t address = load.start + done;
        const ssize_t got = pread(memFd, copy, chunk, static_cast<off_t>(address));
        if (got != static_cast<ssize_t>(chunk)) {
            for (std::size_t at = 0; at < chunk; at += pageSize) {
                const std::size_t n = chunk - at < pageSize ? chunk - at : pageSize;
                if (pread(memFd, copy + at, n, static_cast<off_t>(address + at)) != static_cast<ssize_t>(n))
                    std::memset(copy + at, 0, n);
            }
        }
        for (std::size_t at = 0; at < chunk;) {
            std::size_t n = chunk - at < pageSize ? chunk - at : pageSize;
            if (IsZeroPage(copy + at, n)) {
                at += n;
                continue;
            }
            std::size_t run = at;
            while (run < chunk) {
                n = chunk - run < pageSize ? chunk - run : pageSize;
                if (IsZeroPage(copy + run, n))
                    break;
                run += n;
            }
            if (const int err = WriteAll(fd, copy + at, run - at, load.fileOffset + done + at))
                return err;
            at = run;
        }
        done += chunk;
    }
    return 0;
}

std::uint64_t PageSizeFromAuxv(const char* auxv, std::size_t size) {
    const auto* entries = reinterpret_cast<const Elf64_auxv_t*>(auxv);
    for (std::size_t i = 0; i < size / sizeof(Elf64_auxv_t); ++i)
        if (entries[i].a_type == AT_PAGESZ && entries[i].a_un.a_val != 0)
            return entries[i].a_un.a_val;
    return 4096;
}

int WriteWithScratch(int fd, const CrashContext& crash, const Scratch& s) {
    const long auxvRead = ReadWholeFile("/proc/self/auxv", s.auxv, kAuxvSize);
    const std::size_t auxvSize = auxvRead > 0 ? static_cast<std::size_t>(auxvRead) : 0;
    const std::uint64_t pageSize = PageSizeFromAuxv(s.auxv, auxvSize);

    const std::size_t mapCount = ReadMappings(s);
    if (mapCount == 0)
        return errno ? errno : EIO;
    const std::size_t loadCount = BuildLoads(s, mapCount, pageSize);
    const std::size_t notesSize = BuildNotes(s, crash, mapCount, s.auxv, auxvSize, pageSize);

    const std::size_t phnum = 1 + loadCount;
    const std::uint64_t notesOffset = sizeof(Elf64_Ehdr) + phnum * sizeof(Elf64_Phdr);
    std::uint64_t offset = RoundUp(notesOffset + notesSize, pageSize);

    Elf64_Phdr& note = s.phdrs[0];
    note = {};
    note.p_type = PT_NOTE;
    note.p_offset = notesOffset;
    note.p_filesz = notesSize;
    note.p_align = 4;
    for (std::size_t i = 0; i < loadCount; ++i) {
        Load& load = s.loads[i];
        load.fileOffset = offset;
        Elf64_Phdr& ph = s.phdrs[1 + i];
        ph = {};
        ph.p_type = PT_LOAD;
        ph.p_flags = load.flags;
        ph.p_offset = offset;
        ph.p_vaddr = load.start;
        ph.p_filesz = load.contentSize;
        ph.p_memsz = load.end - load.start;
        ph.p_align = pageSize;
        offset += RoundUp(load.contentSize, pageSize);
    }

    Elf64_Ehdr header{};
    std::memcpy(header.e_ident, ELFMAG, SELFMAG);
    header.e_ident[EI_CLASS] = ELFCLASS64;
    header.e_ident[EI_DATA] = ELFDATA2LSB;
    header.e_ident[EI_VERSION] = EV_CURRENT;
    header.e_ident[EI_OSABI] = ELFOSABI_NONE;
    header.e_type = ET_CORE;
    header.e_machine = EM_X86_64;
    header.e_version = EV_CURRENT;
    header.e_phoff = sizeof(Elf64_Ehdr);
    header.e_ehsize = sizeof(Elf64_Ehdr);
    header.e_phentsize = sizeof(Elf64_Phdr);
    header.e_phnum = static_cast<Elf64_Half>(phnum);

    if (int err = WriteAll(fd, &header, sizeof header, 0))
        return err;
    if (int err = WriteAll(fd, s.phdrs, phnum * sizeof(Elf64_Phdr), sizeof header))
        return err;
    if (int err = WriteAll(fd, s.notes, notesSize, notesOffset))
        return err;

    const int memFd = open("/proc/self/mem", O_RDONLY | O_CLOEXEC);
    if (memFd < 0)
        return errno;
    for (std::size_t i = 0; i < loadCount; ++i) {
        if (const int err = CopySegment(memFd, fd, s.loads[i], s.copy, pageSize)) {
            close(memFd);
            return err;
        }
    }
    close(memFd);
    // Trailing holes only count once the file has its full length.
    while (ftruncate(fd, static_cast<off_t>(offset)) != 0) {
        if (errno != EINTR)
            return errno;
    }
    return 0;
}

} // namespace

int WriteCoreFile(int fd, const CrashContext& crash) {
    Scratch scratch;
    if (!TakeScratch(scratch))
        return errno;
    errno = 0;
    const int result = WriteWithScratch(fd, crash, scratch);
    munmap(scratch.base, scratch.size);
    return result;
}

#endif

} // namespace orva::crash
