#pragma once
// Workbooks as LibreOffice reads them: one headless soffice run converts a batch of files to CSV (every
// sheet to <file>-<sheet>.csv, UTF-8, text cells quoted), and each sheet is parsed back into its
// non-empty cells. Starting soffice costs about a second, so callers convert all their files at once.
#include "TestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace orva::test {

using CellTexts = std::map<std::pair<int, int>, std::string>;

// One sheet's CSV: every non-empty cell, and the cells that were not quoted (a quoted field is a text
// cell; an unquoted one was read as a number or something else).
struct CsvSheet {
    CellTexts cells;
    std::vector<std::pair<int, int>> unquoted;
};

inline CsvSheet ParseCsv(const std::string& text) {
    CsvSheet sheet;
    int row = 0, col = 0;
    std::string field;
    bool quoted = false, inQuotes = false;
    auto endField = [&] {
        if (!field.empty()) {
            sheet.cells[{row, col}] = field;
            if (!quoted)
                sheet.unquoted.emplace_back(row, col);
        }
        field.clear();
        quoted = false;
        ++col;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char ch = text[i];
        if (inQuotes) {
            if (ch == '"' && i + 1 < text.size() && text[i + 1] == '"') {
                field += '"';
                ++i;
            } else if (ch == '"') {
                inQuotes = false;
            } else {
                field += ch;
            }
        } else if (ch == '"') {
            inQuotes = quoted = true;
        } else if (ch == ',') {
            endField();
        } else if (ch == '\n' || ch == '\r') {
            if (ch == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            endField();
            ++row;
            col = 0;
        } else {
            field += ch;
        }
    }
    if (!field.empty() || quoted || col > 0)
        endField();
    return sheet;
}

// Where soffice is, or empty.
inline std::string FindSoffice() {
    for (const char* candidate : {"/usr/bin/soffice", "/usr/lib/libreoffice/program/soffice", "/usr/local/bin/soffice"})
        if (std::filesystem::exists(candidate))
            return candidate;
    return {};
}

inline const char* const kNoSoffice = "LibreOffice (soffice, Debian package libreoffice-calc-nogui) is not installed";

// Converts `files` with one soffice run into `workDir`/csv, with a profile of its own under `workDir`
// (so runs side by side never share one). False with `error` (soffice's output) when it failed.
inline bool ConvertToCsv(const std::string& soffice, const std::vector<std::string>& files, const std::string& workDir,
                         std::string& error) {
    const std::filesystem::path dir(workDir);
    std::filesystem::create_directories(dir / "csv");
    std::string command = "timeout 600 '" + soffice + "' -env:UserInstallation=file://" + (dir / "profile").string() +
                          " --headless --norestore --convert-to 'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,true,"
                          "true,false,false,false,-1' --outdir '" +
                          (dir / "csv").string() + "'";
    for (const std::string& file : files)
        command += " '" + file + "'";
    const std::string log = (dir / "soffice.log").string();
    command += " >'" + log + "' 2>&1";
    if (std::system(command.c_str()) == 0)
        return true;
    error = "soffice failed: " + readFile(log);
    return false;
}

// The sheets converted from the file named `stem` + ".xls", by sheet name.
inline std::map<std::string, CsvSheet> ConvertedSheets(const std::string& workDir, const std::string& stem) {
    std::map<std::string, CsvSheet> sheets;
    const std::string prefix = stem + "-";
    const std::filesystem::path dir = std::filesystem::path(workDir) / "csv";
    if (!std::filesystem::is_directory(dir))
        return sheets;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0 && entry.path().extension() == ".csv")
            sheets[name.substr(prefix.size(), name.size() - prefix.size() - 4)] =
                ParseCsv(readFile(entry.path().string()));
    }
    return sheets;
}

// Every way the sheet differs from `expected` (cells missing, different, extra, or not read as text),
// at most `limit` of them; empty when it holds exactly the expected texts.
inline std::vector<std::string> CompareCells(const CsvSheet& sheet, const CellTexts& expected, std::size_t limit = 20) {
    std::vector<std::string> problems;
    auto at = [](const std::pair<int, int>& cell) {
        return "row " + std::to_string(cell.first) + ", column " + std::to_string(cell.second);
    };
    for (const auto& cell : sheet.unquoted)
        problems.push_back(at(cell) + " not read as text");
    for (const auto& [cell, text] : expected) {
        const auto found = sheet.cells.find(cell);
        if (found == sheet.cells.end())
            problems.push_back(at(cell) + " missing, expected \"" + text + "\"");
        else if (found->second != text)
            problems.push_back(at(cell) + " is \"" + found->second + "\", expected \"" + text + "\"");
    }
    for (const auto& [cell, text] : sheet.cells)
        if (!expected.count(cell))
            problems.push_back(at(cell) + " unexpected \"" + text + "\"");
    if (problems.size() > limit)
        problems.resize(limit);
    return problems;
}

inline std::string JoinLines(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines)
        out += "\n  " + line;
    return out;
}

} // namespace orva::test
