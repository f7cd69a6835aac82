#include "XlsSupport.h"

#include "TestSupport.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

namespace orva::test {

std::uint16_t Get16(const std::string& b, std::size_t at) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(b[at]) | (static_cast<unsigned char>(b[at + 1]) << 8));
}

std::uint32_t Get32(const std::string& b, std::size_t at) {
    return Get16(b, at) | (static_cast<std::uint32_t>(Get16(b, at + 2)) << 16);
}

namespace {

constexpr std::uint32_t EndOfChain = 0xFFFFFFFE;
constexpr std::uint32_t FreeSect = 0xFFFFFFFF;
constexpr std::uint32_t FatSect = 0xFFFFFFFD;
constexpr std::uint32_t DifSect = 0xFFFFFFFC;

std::string Sector(const std::string& file, std::uint32_t n) {
    const std::size_t at = (std::size_t(n) + 1) * 512;
    if (at + 512 > file.size())
        return {};
    return file.substr(at, 512);
}

// Follows a chain in `table`, noting loops and bad links.
std::vector<std::uint32_t> Chain(const std::vector<std::uint32_t>& table, std::uint32_t first,
                                 std::vector<std::string>& problems, const std::string& what) {
    std::vector<std::uint32_t> chain;
    std::set<std::uint32_t> seen;
    for (std::uint32_t s = first; s != EndOfChain;) {
        if (s >= table.size() || !seen.insert(s).second) {
            problems.push_back(what + ": broken chain at " + std::to_string(s));
            break;
        }
        chain.push_back(s);
        s = table[s];
    }
    return chain;
}

} // namespace

CfbFile ParseCompoundFile(const std::string& file) {
    CfbFile f;
    auto& p = f.problems;
    if (file.size() < 512 || file.size() % 512 != 0) {
        p.push_back("file size " + std::to_string(file.size()) + " is no multiple of 512");
        if (file.size() < 512)
            return f;
    }
    if (file.compare(0, 8, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1") != 0)
        p.push_back("signature");
    for (int i = 8; i < 24; ++i)
        if (file[i] != 0)
            p.push_back("header class id not zero");
    const auto expect16 = [&](std::size_t at, std::uint16_t v, const char* what) {
        if (Get16(file, at) != v)
            p.push_back(std::string(what) + " = " + std::to_string(Get16(file, at)));
    };
    const auto expect32 = [&](std::size_t at, std::uint32_t v, const char* what) {
        if (Get32(file, at) != v)
            p.push_back(std::string(what) + " = " + std::to_string(Get32(file, at)));
    };
    expect16(24, 0x003B, "minor version");
    expect16(26, 3, "major version");
    expect16(28, 0xFFFE, "byte order");
    expect16(30, 9, "sector shift");
    expect16(32, 6, "mini sector shift");
    expect32(40, 0, "directory sectors");
    expect32(52, 0, "transaction signature");
    expect32(56, 4096, "mini stream cutoff");
    f.fatSectors = Get32(file, 44);
    f.firstDirectory = Get32(file, 48);
    const std::uint32_t firstMiniFat = Get32(file, 60);
    f.miniFatSectors = Get32(file, 64);
    const std::uint32_t firstDifat = Get32(file, 68);
    f.difatSectors = Get32(file, 72);

    for (std::uint32_t i = 0; i < 109; ++i) {
        const std::uint32_t e = Get32(file, 76 + 4 * i);
        if (i < f.fatSectors)
            f.fatSectorList.push_back(e);
        else if (e != FreeSect)
            p.push_back("unused header DIFAT entry " + std::to_string(i) + " not FREESECT");
    }
    std::uint32_t difat = firstDifat;
    for (std::uint32_t d = 0; d < f.difatSectors; ++d) {
        const std::string s = Sector(file, difat);
        if (s.empty()) {
            p.push_back("DIFAT sector outside the file");
            break;
        }
        for (int k = 0; k < 127; ++k) {
            const std::uint32_t e = Get32(s, 4 * k);
            if (f.fatSectorList.size() < f.fatSectors)
                f.fatSectorList.push_back(e);
            else if (e != FreeSect)
                p.push_back("unused DIFAT entry not FREESECT");
        }
        difat = Get32(s, 508);
    }
    if (f.difatSectors && difat != EndOfChain)
        p.push_back("DIFAT chain does not end");
    if (!f.difatSectors && firstDifat != EndOfChain)
        p.push_back("first DIFAT sector without DIFAT");
    if (f.fatSectorList.size() != f.fatSectors)
        p.push_back("FAT sector list incomplete");

    for (const std::uint32_t fs : f.fatSectorList) {
        const std::string s = Sector(file, fs);
        if (s.empty()) {
            p.push_back("FAT sector outside the file");
            return f;
        }
        for (int k = 0; k < 128; ++k)
            f.fat.push_back(Get32(s, 4 * k));
    }
    const std::uint32_t sectors = static_cast<std::uint32_t>(file.size() / 512 - 1);
    if (f.fat.size() < sectors)
        p.push_back("FAT does not cover every sector");
    for (const std::uint32_t fs : f.fatSectorList)
        if (fs < f.fat.size() && f.fat[fs] != FatSect)
            p.push_back("FAT sector not marked FATSECT");
    for (std::size_t i = sectors; i < f.fat.size(); ++i)
        if (f.fat[i] != FreeSect)
            p.push_back("FAT entry beyond the file not FREESECT");
    std::uint32_t difSectMarks = 0;
    for (const std::uint32_t e : f.fat)
        difSectMarks += e == DifSect;
    if (difSectMarks != f.difatSectors)
        p.push_back("DIFSECT marks do not match the DIFAT sector count");

    // Directory.
    std::string dir;
    for (const std::uint32_t s : Chain(f.fat, f.firstDirectory, p, "directory"))
        dir += Sector(file, s);
    for (std::size_t at = 0; at + 128 <= dir.size(); at += 128) {
        CfbEntry e;
        const std::uint16_t nameBytes = Get16(dir, at + 64);
        for (std::size_t i = 0; i + 2 < nameBytes && i < 62; i += 2)
            e.name += static_cast<char>(Get16(dir, at + i));
        e.type = static_cast<std::uint8_t>(dir[at + 66]);
        e.colour = static_cast<std::uint8_t>(dir[at + 67]);
        e.left = Get32(dir, at + 68);
        e.right = Get32(dir, at + 72);
        e.child = Get32(dir, at + 76);
        e.start = Get32(dir, at + 116);
        e.size = Get32(dir, at + 120);
        if (Get32(dir, at + 124) != 0)
            p.push_back("stream size high half not zero");
        f.entries.push_back(e);
    }
    if (f.entries.size() < 2 || f.entries[0].type != 5 || f.entries[0].child != 1) {
        p.push_back("no root storage with a child");
        return f;
    }
    const CfbEntry& root = f.entries[0];
    const CfbEntry& stream = f.entries[1];
    f.streamInMini = stream.size < 4096;
    if (f.streamInMini) {
        std::string miniStream;
        for (const std::uint32_t s : Chain(f.fat, root.start, p, "mini stream"))
            miniStream += Sector(file, s);
        if (miniStream.size() < root.size)
            p.push_back("mini stream shorter than the root's size");
        std::vector<std::uint32_t> miniFat;
        const auto miniFatChain = Chain(f.fat, firstMiniFat, p, "mini FAT");
        if (miniFatChain.size() != f.miniFatSectors)
            p.push_back("mini FAT sector count");
        for (const std::uint32_t s : miniFatChain) {
            const std::string sec = Sector(file, s);
            for (int k = 0; k < 128; ++k)
                miniFat.push_back(Get32(sec, 4 * k));
        }
        f.streamSectors =
            stream.size ? Chain(miniFat, stream.start, p, "stream in mini stream") : std::vector<std::uint32_t>{};
        for (const std::uint32_t m : f.streamSectors)
            if ((m + 1) * 64 <= miniStream.size())
                f.stream += miniStream.substr(m * 64, 64);
    } else {
        f.streamSectors = Chain(f.fat, stream.start, p, "stream");
        for (const std::uint32_t s : f.streamSectors)
            f.stream += Sector(file, s);
    }
    if (f.stream.size() < stream.size)
        p.push_back("stream chain shorter than its size");
    else
        f.stream.resize(stream.size);
    return f;
}

std::vector<BiffRecord> ParseBiff(const std::string& stream) {
    std::vector<BiffRecord> records;
    std::size_t at = 0;
    while (at + 4 <= stream.size()) {
        BiffRecord r;
        r.id = Get16(stream, at);
        r.offset = at;
        const std::uint16_t length = Get16(stream, at + 2);
        if (at + 4 + length > stream.size()) {
            r.id = 0xFFFF;
            records.push_back(r);
            break;
        }
        r.data = stream.substr(at + 4, length);
        records.push_back(std::move(r));
        at += 4 + length;
    }
    return records;
}

namespace {

// The Debian python3 has xlrd; another python3 earlier on PATH may not.
std::string PythonWithXlrd() {
    for (const char* candidate : {"/usr/bin/python3", "python3"}) {
        const std::string command = std::string(candidate) + " -c 'import xlrd' >/dev/null 2>&1";
        if (std::system(command.c_str()) == 0)
            return candidate;
    }
    return {};
}

constexpr const char* XlrdScript = R"PY(
import json, sys, xlrd
book = xlrd.open_workbook(sys.argv[1])
out = []
for sh in book.sheets():
    cells = []
    non_text = 0
    for r in range(sh.nrows):
        row = []
        for c in range(sh.ncols):
            cell = sh.cell(r, c)
            if cell.ctype not in (xlrd.XL_CELL_TEXT, xlrd.XL_CELL_EMPTY):
                non_text += 1
            row.append(cell.value if cell.ctype == xlrd.XL_CELL_TEXT else "")
        cells.append(row)
    out.append({"name": sh.name, "nrows": sh.nrows, "ncols": sh.ncols, "nonText": non_text, "cells": cells})
with open(sys.argv[2], "w", encoding="utf-8") as f:
    json.dump(out, f, ensure_ascii=False)
)PY";

} // namespace

XlrdBook ReadWithXlrd(const std::string& path) {
    XlrdBook book;
    static const std::string python = PythonWithXlrd();
    if (python.empty()) {
        book.error = "no python3 with xlrd (Debian package python3-xlrd)";
        return book;
    }
    const std::string script = path + ".read.py";
    const std::string json = path + ".json";
    const std::string log = path + ".log";
    writeFile(script, XlrdScript);
    const std::string command = python + " '" + script + "' '" + path + "' '" + json + "' >'" + log + "' 2>&1";
    const int status = std::system(command.c_str());
    std::remove(script.c_str());
    if (status != 0) {
        book.error = "xlrd failed: " + readFile(log);
        std::remove(log.c_str());
        return book;
    }
    std::remove(log.c_str());
    const auto parsed = nlohmann::json::parse(readFile(json));
    std::remove(json.c_str());
    for (const auto& s : parsed) {
        XlrdSheet sheet;
        sheet.name = s["name"].get<std::string>();
        sheet.nrows = s["nrows"].get<int>();
        sheet.ncols = s["ncols"].get<int>();
        sheet.nonText = s["nonText"].get<int>();
        sheet.cells = s["cells"].get<std::vector<std::vector<std::string>>>();
        book.sheets.push_back(std::move(sheet));
    }
    book.ok = true;
    return book;
}

} // namespace orva::test

namespace orva::test {

std::string Utf16LeToUtf8(const std::string& bytes) {
    std::string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        std::uint32_t cp = Get16(bytes, i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < bytes.size()) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (Get16(bytes, i + 2) - 0xDC00);
            i += 2;
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

namespace {

constexpr std::uint16_t kBof = 0x0809, kEof = 0x000A, kBoundSheet = 0x0085, kSst = 0x00FC, kContinue = 0x003C,
                        kIndex = 0x020B, kDimensions = 0x0200, kRow = 0x0208, kLabelSst = 0x00FD, kDbCell = 0x00D7,
                        kWindow2 = 0x023E;

// Reads the SST and its CONTINUE records by the BIFF8 rules: a string's header lies in one record with
// at least its first character, and a string cut by a record boundary goes on after an option byte.
void DecodeSst(const std::vector<BiffRecord>& parts, BiffBook& book) {
    auto& p = book.problems;
    if (parts.empty() || parts[0].data.size() < 8) {
        p.push_back("SST too short");
        return;
    }
    book.sstTotal = Get32(parts[0].data, 0);
    book.sstUnique = Get32(parts[0].data, 4);
    std::size_t part = 0;
    std::size_t at = 8;
    for (std::uint32_t i = 0; i < book.sstUnique; ++i) {
        if (at == parts[part].data.size()) {
            ++part;
            at = 0;
        }
        if (part >= parts.size() || at + 3 > parts[part].data.size()) {
            p.push_back("string header of text " + std::to_string(i) + " cut by a record boundary");
            return;
        }
        const std::string& d0 = parts[part].data;
        std::size_t units = Get16(d0, at);
        std::uint8_t flags = static_cast<std::uint8_t>(d0[at + 2]);
        at += 3;
        if (flags & 0x0C)
            p.push_back("rich text or phonetic flags set");
        if (units > 0 && at >= d0.size())
            p.push_back("text " + std::to_string(i) + " has no character in its header's record");
        std::string raw;
        for (;;) {
            const std::string& d = parts[part].data;
            const std::size_t width = (flags & 1) ? 2 : 1;
            const std::size_t avail = (d.size() - at) / width;
            const std::size_t take = std::min(avail, units);
            for (std::size_t k = 0; k < take; ++k) {
                if (width == 2)
                    raw += d.substr(at + 2 * k, 2);
                else {
                    raw += d[at + k];
                    raw += '\0';
                }
            }
            at += take * width;
            units -= take;
            if (units == 0)
                break;
            if (at != d.size())
                p.push_back("odd bytes left at the end of a record");
            ++part;
            if (part >= parts.size()) {
                p.push_back("SST ends inside text " + std::to_string(i));
                return;
            }
            flags = static_cast<std::uint8_t>(parts[part].data[0]);
            at = 1;
            // A surrogate pair must not be split between records.
            if (raw.size() >= 2) {
                const std::uint16_t last = Get16(raw, raw.size() - 2);
                if (last >= 0xD800 && last <= 0xDBFF)
                    p.push_back("surrogate pair split between records in text " + std::to_string(i));
            }
        }
        book.sst.push_back(Utf16LeToUtf8(raw));
    }
    if (part + 1 != parts.size() || at != parts[part].data.size())
        p.push_back("bytes after the last SST text");
}

std::string ShortString(const std::string& d, std::size_t at) {
    const std::size_t count = static_cast<unsigned char>(d[at]);
    const bool wide = d[at + 1] & 1;
    if (wide)
        return Utf16LeToUtf8(d.substr(at + 2, count * 2));
    std::string raw;
    for (std::size_t k = 0; k < count; ++k) {
        raw += d[at + 2 + k];
        raw += '\0';
    }
    return Utf16LeToUtf8(raw);
}

void AnalyseSheet(const std::vector<BiffRecord>& all, std::size_t first, BiffSheetInfo& s, BiffBook& book) {
    auto& p = book.problems;
    const auto where = [&](const std::string& what) { return "sheet " + s.name + ": " + what; };
    std::size_t end = first;
    for (; end < all.size(); ++end) {
        s.ids.push_back(all[end].id);
        if (all[end].id == kEof)
            break;
    }
    std::size_t i = first + 1;
    if (all[i].id != kIndex) {
        p.push_back(where("INDEX does not follow BOF"));
        return;
    }
    const std::string& index = all[i].data;
    s.indexFirstRow = Get32(index, 4);
    s.indexRowEnd = Get32(index, 8);
    for (std::size_t at = 16; at + 4 <= index.size(); at += 4)
        s.dbCellOffsets.push_back(Get32(index, at));
    ++i;
    if (all[i].id != kDimensions) {
        p.push_back(where("DIMENSIONS does not follow INDEX"));
        return;
    }
    s.dimFirstRow = Get32(all[i].data, 0);
    s.dimRowEnd = Get32(all[i].data, 4);
    s.dimFirstCol = Get16(all[i].data, 8);
    s.dimColEnd = Get16(all[i].data, 10);
    ++i;

    int lastRow = -1;
    while (i < end && all[i].id == kRow) {
        // One block: ROW records, the cells, a DBCELL.
        const std::size_t firstRow = i;
        std::vector<int> rows;
        for (; i < end && all[i].id == kRow; ++i) {
            const std::string& d = all[i].data;
            const int row = Get16(d, 0);
            if (row <= lastRow)
                p.push_back(where("rows out of order"));
            if (!rows.empty() && row / 32 != rows.front() / 32)
                p.push_back(where("block crosses a 32-row boundary"));
            lastRow = row;
            rows.push_back(row);
            if (Get16(d, 2) != 0 || Get16(d, 4) != s.dimColEnd || Get16(d, 6) != 255 || Get32(d, 12) != 0)
                p.push_back(where("ROW fields"));
        }
        std::vector<std::size_t> firstCells;
        int cellRow = -1;
        int cellCol = -1;
        for (; i < end && all[i].id == kLabelSst; ++i) {
            const std::string& d = all[i].data;
            const int row = Get16(d, 0);
            const int col = Get16(d, 2);
            if (row != cellRow) {
                firstCells.push_back(all[i].offset);
                if (row < cellRow)
                    p.push_back(where("cells out of row order"));
                cellRow = row;
                cellCol = -1;
            }
            if (col <= cellCol)
                p.push_back(where("cells out of column order"));
            cellCol = col;
            if (Get16(d, 4) != 0)
                p.push_back(where("XF index not 0"));
            const std::uint32_t sst = Get32(d, 6);
            if (sst >= book.sst.size())
                p.push_back(where("SST index out of range"));
            else
                s.cells.emplace_back(row, col, book.sst[sst]);
        }
        if (firstCells.size() != rows.size())
            p.push_back(where("a ROW without cells or cells without a ROW"));
        if (i >= end || all[i].id != kDbCell) {
            p.push_back(where("row block without DBCELL"));
            return;
        }
        const BiffRecord& db = all[i];
        ++s.dbCells;
        if (static_cast<int>(s.dbCellOffsets.size()) < s.dbCells || s.dbCellOffsets[s.dbCells - 1] != db.offset)
            p.push_back(where("INDEX does not point at DBCELL " + std::to_string(s.dbCells)));
        if (db.offset - Get32(db.data, 0) != all[firstRow].offset)
            p.push_back(where("DBCELL does not point back at its first ROW"));
        std::size_t from = all[firstRow].offset + 20;
        for (std::size_t k = 0; k < firstCells.size(); ++k) {
            if (4 + 2 * k + 2 > db.data.size()) {
                p.push_back(where("DBCELL offsets missing"));
                break;
            }
            const std::size_t target = from + Get16(db.data, 4 + 2 * k);
            if (target != firstCells[k])
                p.push_back(where("DBCELL cell offset " + std::to_string(k) + " wrong"));
            from = target;
        }
        if (db.data.size() != 4 + 2 * firstCells.size())
            p.push_back(where("DBCELL size"));
        ++i;
    }
    if (static_cast<int>(s.dbCellOffsets.size()) != s.dbCells)
        p.push_back(where("INDEX lists " + std::to_string(s.dbCellOffsets.size()) + " DBCELLs, found " +
                          std::to_string(s.dbCells)));
    if (i >= end || all[i].id != kWindow2) {
        p.push_back(where("WINDOW2 does not follow the cells"));
        return;
    }
    s.window2Options = Get16(all[i].data, 0);
    if (all[i].data.size() != 18 || Get16(all[i].data, 6) != 64)
        p.push_back(where("WINDOW2 fields"));
    if (i + 1 != end)
        p.push_back(where("records between WINDOW2 and EOF"));
}

} // namespace

BiffBook AnalyseWorkbook(const std::string& stream) {
    BiffBook book;
    const std::vector<BiffRecord> all = ParseBiff(stream);
    auto& p = book.problems;
    std::size_t i = 0;
    std::vector<BiffRecord> sst;
    for (; i < all.size(); ++i) {
        book.globalIds.push_back(all[i].id);
        book.globals.push_back(all[i]);
        if (all[i].id == kBoundSheet) {
            BiffSheetInfo s;
            s.bofOffset = Get32(all[i].data, 0);
            s.name = ShortString(all[i].data, 6);
            book.sheets.push_back(s);
        } else if (all[i].id == kSst) {
            sst.push_back(all[i]);
        } else if (all[i].id == kContinue) {
            if (sst.empty())
                p.push_back("CONTINUE without SST");
            sst.push_back(all[i]);
            ++book.sstContinues;
        }
        if (all[i].data.size() > 8224)
            p.push_back("record longer than 8224 bytes");
        if (all[i].id == kEof) {
            ++i;
            break;
        }
    }
    DecodeSst(sst, book);
    for (BiffSheetInfo& s : book.sheets) {
        if (i >= all.size() || all[i].id != kBof || all[i].offset != s.bofOffset) {
            p.push_back("BOUNDSHEET of " + s.name + " does not point at its BOF");
            return book;
        }
        AnalyseSheet(all, i, s, book);
        while (i < all.size() && all[i].id != kEof)
            ++i;
        ++i;
    }
    if (i != all.size())
        p.push_back("records after the last sheet");
    return book;
}

} // namespace orva::test

namespace orva::test {

DiagRecord ExportRecord(const std::string& sn, const std::string& type, const std::string& ps,
                        const std::string& version) {
    DiagRecord r;
    r.Operator = "tech";
    r.Mac = "00-11-22-33-44-55";
    r.sn = sn;
    r.DeviceType = type;
    r.FE1Check = CheckPassed;
    r.FE2Check = CheckFailed;
    r.SoftWareVersionCheck = version;
    r.PSCheck = ps;
    r.CPULoadCheck = 12.5f;
    r.MemCheck = 40.25f;
    r.PreConfigCheck = CheckPassed;
    r.DiskIntegrityCheck = CheckPassed;
    return r;
}

std::string Repeat(const std::string& unit, int count) {
    std::string s;
    for (int i = 0; i < count; ++i)
        s += unit;
    return s;
}

} // namespace orva::test
