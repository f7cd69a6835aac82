#pragma once
// A record store over orvalog.db in a temporary program directory, and a second, plain connection to
// look at the file from outside the store.
#include "core/records/RecordStore.h"
#include "core/records/SqliteDb.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace orva::test {

class StoreFileFixture : public ::testing::Test {
protected:
    explicit StoreFileFixture(const char* dirName) : dir{dirName} {}

    std::string dbPath() const { return dir.file("orvalog.db"); }
    SqliteDb& raw() {
        if (!raw_.isOpen())
            raw_.open(dbPath());
        return raw_;
    }
    // The first column of every row `sql` gives, as text.
    std::vector<std::string> column(const std::string& sql, const SqliteParams& params = {}) {
        std::vector<std::string> out;
        for (SqliteQuery q = raw().query(sql, params); !q.atEnd(); q.nextRow())
            out.push_back(q.columnText(0));
        return out;
    }

    TempProgramDir dir;
    RecordingNotifier notes;
    RecordStore store{dbPath()};
    SqliteDb raw_;
};

} // namespace orva::test
