#include "FaultSupport.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <fstream>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace orva::test {
namespace {

bool SetImmutable(const std::string& path, bool on) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

} // namespace

Immutable::Immutable(std::string path) : path_(std::move(path)) {
    set_ = SetImmutable(path_, true);
}

Immutable::~Immutable() {
    if (set_)
        SetImmutable(path_, false);
}

void ClearImmutable(const std::string& path) {
    SetImmutable(path, false);
}

std::string IntegrityCheck(const std::string& dbPath) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        std::string e = db ? sqlite3_errmsg(db) : "cannot open";
        sqlite3_close(db);
        return e;
    }
    std::string result;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK) {
        if (sqlite3_step(st) == SQLITE_ROW)
            result = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
        else
            result = sqlite3_errmsg(db);
    } else {
        result = sqlite3_errmsg(db);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return result;
}

std::vector<std::string> SerialsIn(const std::string& dbPath, const std::string& table) {
    std::vector<std::string> out;
    if (::access(dbPath.c_str(), F_OK) != 0)
        return out;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        const std::string sql = "SELECT sn FROM " + table + " ORDER BY id";
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW) {
                const auto* t = sqlite3_column_text(st, 0);
                out.emplace_back(t ? reinterpret_cast<const char*>(t) : "");
            }
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

DiagRecord SampleRecord(const std::string& sn, const std::string& op) {
    DiagRecord r;
    r.Operator = op;
    r.Mac = "02-00-00-00-00-01";
    r.sn = sn;
    r.DeviceType = "KT540G";
    r.FE1Check = 1;
    r.FE2Check = 0;
    r.SoftWareVersionCheck = "V1.0.3";
    r.PSCheck = "OK";
    r.CPULoadCheck = 12.5f;
    r.MemCheck = 40.0f;
    r.PreConfigCheck = 1;
    r.DiskIntegrityCheck = 1;
    return r;
}

std::vector<std::string> CliArgs(const std::string& programDir, const std::vector<std::string>& command) {
    std::vector<std::string> args = {"--dir", programDir, "--user", "tech01", "--password", "pw"};
    args.insert(args.end(), command.begin(), command.end());
    return args;
}

std::vector<std::string> DiagnoseArgs(const std::string& programDir, const std::string& address) {
    return CliArgs(programDir, {"diagnose", "--address", address, "--model", "KT540G", "--answers", "yes",
                                "--reply-timeout", "1", "--json"});
}

void ShipDeviceIni(const std::string& programDir) {
    std::ifstream in(std::string(ORVA_TEST_SOURCE_DIR) + "/res/device.ini", std::ios::binary);
    std::ofstream out(programDir + "res/device.ini", std::ios::binary | std::ios::trunc);
    out << in.rdbuf();
}

std::string CliPath() {
    return ORVA_CLI_PATH;
}

std::string StoreLoopPath() {
    return ORVA_STORE_LOOP_PATH;
}

} // namespace orva::test
