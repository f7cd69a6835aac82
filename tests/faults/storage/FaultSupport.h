#pragma once
// What the storage fault suites share: immutable files (read-only even for root), a look into
// orvalog.db that changes nothing, a recognisable record.
#include "core/records/DiagRecord.h"

#include <string>
#include <vector>

namespace orva::test {

// Sets the immutable attribute on a file or directory for the object's life: nobody, root included,
// may write, rename or delete it (or create files in the directory). works() is false where the file
// system or the process's capabilities refuse it.
class Immutable {
public:
    explicit Immutable(std::string path);
    ~Immutable();
    Immutable(const Immutable&) = delete;
    Immutable& operator=(const Immutable&) = delete;
    bool works() const { return set_; }

private:
    std::string path_;
    bool set_ = false;
};

// Clears the attribute again (for clean-up before a directory is removed).
void ClearImmutable(const std::string& path);

// PRAGMA integrity_check of the file, opened as the next start of the tool opens it (read-write, so a
// journal left by a killed process is rolled back first): "ok" for a sound database, else the first
// complaint (or the open error).
std::string IntegrityCheck(const std::string& dbPath);

// The sn column of every row of `table` in id order, read through a connection of its own; empty when
// the file or the table is missing.
std::vector<std::string> SerialsIn(const std::string& dbPath, const std::string& table);

// A record with the given serial and a few non-default results.
DiagRecord SampleRecord(const std::string& sn, const std::string& op = "tech01");

// orva-cli's words: the program directory, a login as tech01, then the command.
std::vector<std::string> CliArgs(const std::string& programDir, const std::vector<std::string>& command);
// A scripted diagnosis (every question answered yes) of the KT540G gateway at `address`, as JSON.
std::vector<std::string> DiagnoseArgs(const std::string& programDir, const std::string& address);
// Copies the device.ini the tool ships with into res/ of the program directory.
void ShipDeviceIni(const std::string& programDir);

// Path of a program built beside the test binaries.
std::string CliPath();
std::string StoreLoopPath();

} // namespace orva::test
