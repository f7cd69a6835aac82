#pragma once
// A workbook as python3-xlrd reads it: each sheet's name and its cells as texts (empty for a cell that
// is absent or not text), so a test sees the file the way another program does.
#include "TestSupport.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace orva::test {

struct XlrdSheet {
    std::string name;
    std::vector<std::vector<std::string>> cells;
};

struct XlrdBook {
    bool ok = false;
    std::string error;
    std::vector<XlrdSheet> sheets;
};

inline XlrdBook ReadWorkbook(const std::string& path) {
    static constexpr const char* script = R"PY(
import json, sys, xlrd
book = xlrd.open_workbook(sys.argv[1])
out = []
for sh in book.sheets():
    rows = [[sh.cell(r, c).value if sh.cell(r, c).ctype == xlrd.XL_CELL_TEXT else "" for c in range(sh.ncols)]
            for r in range(sh.nrows)]
    out.append({"name": sh.name, "cells": rows})
with open(sys.argv[2], "w", encoding="utf-8") as f:
    json.dump(out, f, ensure_ascii=False)
)PY";
    XlrdBook book;
    const std::string py = path + ".read.py", json = path + ".json", log = path + ".log";
    writeFile(py, script);
    // The Debian interpreter, which has python3-xlrd, whatever else is on PATH.
    const std::string command = "/usr/bin/python3 '" + py + "' '" + path + "' '" + json + "' >'" + log + "' 2>&1";
    const int status = std::system(command.c_str());
    std::remove(py.c_str());
    if (status != 0) {
        book.error = "xlrd failed: " + readFile(log);
        std::remove(log.c_str());
        return book;
    }
    std::remove(log.c_str());
    for (const auto& s : nlohmann::json::parse(readFile(json)))
        book.sheets.push_back({s["name"].get<std::string>(), s["cells"].get<std::vector<std::vector<std::string>>>()});
    std::remove(json.c_str());
    book.ok = true;
    return book;
}

} // namespace orva::test
