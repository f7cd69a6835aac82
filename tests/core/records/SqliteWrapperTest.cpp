#include "core/records/SqliteDb.h"
#include "core/records/SqliteError.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace orva {
namespace {

struct CodeNameCase {
    int code;
    const char* name;
};

TEST(SqliteError, NamesEveryCodeRange) {
    const std::vector<CodeNameCase> cases = {
        {0, "SQLITE_OK"},
        {1, "SQLITE_ERROR"},
        {5, "SQLITE_BUSY"},
        {14, "SQLITE_CANTOPEN"},
        {17, "SQLITE_SCHEMA"},
        {19, "SQLITE_CONSTRAINT"},
        {25, "SQLITE_RANGE"},
        {26, "UNKNOWN_ERROR"},
        {99, "UNKNOWN_ERROR"},
        {100, "SQLITE_ROW"},
        {101, "SQLITE_DONE"},
        {102, "UNKNOWN_ERROR"},
        {1000, "SQLITE_WRAPPER_ERROR"},
        {-1, "UNKNOWN_ERROR"},
    };
    for (const auto& c : cases)
        EXPECT_STREQ(SqliteError::codeName(c.code), c.name) << c.code;
}

TEST(SqliteError, MessageIsNameCodeDetailAndCopiesKeepIt) {
    const SqliteError e(14, "unable to open database file");
    EXPECT_EQ(e.code(), 14);
    EXPECT_EQ(e.message(), "SQLITE_CANTOPEN[14]: unable to open database file");
    EXPECT_STREQ(e.what(), e.message().c_str());
    const SqliteError copy = e;
    EXPECT_EQ(copy.code(), 14);
    EXPECT_EQ(copy.message(), e.message());
    EXPECT_EQ(SqliteError(26).message(), "UNKNOWN_ERROR[26]: ");
}

// Runs `f` and returns the message of the SqliteError it throws ("" when it does not throw).
template <class F> std::string ThrownMessage(F&& f) {
    try {
        f();
    } catch (const SqliteError& e) {
        return e.message();
    }
    return {};
}

class SqliteDbTest : public ::testing::Test {
protected:
    void SetUp() override {
        db.open(dir.file("t.db"));
        ASSERT_NO_THROW(db.execute("CREATE TABLE t (a TEXT UNIQUE, b INTEGER)"));
    }
    test::TempProgramDir dir{"sqlite"};
    SqliteDb db;
};

TEST_F(SqliteDbTest, ClosedConnectionRefusesWork) {
    SqliteDb closed;
    EXPECT_FALSE(closed.isOpen());
    EXPECT_EQ(closed.busyWait(), 60000);
    EXPECT_EQ(ThrownMessage([&] { closed.execute("SELECT 1"); }), "SQLITE_WRAPPER_ERROR[1000]: Database not open");
    EXPECT_EQ(ThrownMessage([&] { closed.query("SELECT 1"); }), "SQLITE_WRAPPER_ERROR[1000]: Database not open");
    closed.close(); // closing twice is harmless
}

TEST_F(SqliteDbTest, EveryFailureIsThrown) {
    // A syntax error fails the prepare: thrown with SQLite's text.
    EXPECT_EQ(ThrownMessage([&] { db.execute("INSERT INTO nowhere VALUES(1)"); }),
              "SQLITE_ERROR[1]: no such table: nowhere");
    // A constraint ends the statement with its own code, thrown like any other failure.
    ASSERT_NO_THROW(db.execute("INSERT INTO t VALUES(?, ?)", {std::string("x"), std::int64_t{1}}));
    EXPECT_EQ(ThrownMessage([&] {
                  db.execute("INSERT INTO t VALUES(?, ?)", {std::string("x"), std::int64_t{2}});
              }),
              "SQLITE_CONSTRAINT[19]: UNIQUE constraint failed: t.a");
    // So does a lock that outlasts the busy wait.
    SqliteDb other;
    other.open(dir.file("t.db"));
    other.setBusyWait(0);
    ASSERT_NO_THROW(db.execute("BEGIN IMMEDIATE TRANSACTION;"));
    EXPECT_TRUE(db.inTransaction());
    EXPECT_FALSE(other.inTransaction());
    EXPECT_EQ(ThrownMessage([&] { other.execute("INSERT INTO t VALUES('y', 3)"); }),
              "SQLITE_BUSY[5]: database is locked");
    ASSERT_NO_THROW(db.execute("ROLLBACK TRANSACTION;"));
    EXPECT_FALSE(db.inTransaction());
    EXPECT_EQ(ThrownMessage([&] { db.execute("INSERT INTO t VALUES(?, ?)", {std::string("only one")}); }),
              "SQLITE_WRAPPER_ERROR[1000]: Wrong number of bound values");
    EXPECT_EQ(ThrownMessage([&] { db.queryInt("SELECT a FROM t WHERE 0"); }),
              "SQLITE_WRAPPER_ERROR[1000]: Invalid scalar query");
}

TEST_F(SqliteDbTest, BoundValuesTravelUnchanged) {
    const std::string quoted = "O'Neil'); DROP TABLE t; --";
    ASSERT_NO_THROW(db.execute("INSERT INTO t VALUES(?, ?)", {quoted, std::int64_t{42}}));
    EXPECT_EQ(db.lastInsertId(), 1);
    ASSERT_NO_THROW(db.execute("INSERT INTO t VALUES(?, ?)", {nullptr, 3.5}));
    EXPECT_EQ(db.lastInsertId(), 2);
    EXPECT_TRUE(db.hasTable("t"));
    EXPECT_FALSE(db.hasTable("t' OR '1'='1"));
    EXPECT_EQ(db.queryInt("SELECT b FROM t WHERE a = ?", {quoted}), 42);

    SqliteQuery q = db.query("SELECT a, b FROM t ORDER BY rowid");
    ASSERT_EQ(q.columnCount(), 2);
    EXPECT_EQ(q.columnName(0), "a");
    EXPECT_EQ(q.columnText(0), quoted);
    EXPECT_EQ(q.columnText(1), "42");
    q.nextRow();
    ASSERT_FALSE(q.atEnd());
    EXPECT_FALSE(q.columnValue(0).has_value());
    EXPECT_EQ(q.columnText(0), "");
    EXPECT_EQ(q.columnText(1), "3.5");
    q.nextRow();
    EXPECT_TRUE(q.atEnd());
}

TEST_F(SqliteDbTest, QueryGuardsIndexAndFinalizedStatement) {
    SqliteQuery q = db.query("SELECT 1, 2");
    EXPECT_EQ(ThrownMessage([&] { q.columnText(2); }), "SQLITE_WRAPPER_ERROR[1000]: Invalid field index requested");
    EXPECT_EQ(ThrownMessage([&] { q.columnText(-1); }), "SQLITE_WRAPPER_ERROR[1000]: Invalid field index requested");
    q.finalize();
    const std::string finalized = "SQLITE_WRAPPER_ERROR[1000]: Null Virtual Machine pointer";
    EXPECT_EQ(ThrownMessage([&] { q.columnCount(); }), finalized);
    EXPECT_EQ(ThrownMessage([&] { q.atEnd(); }), finalized);
    EXPECT_EQ(ThrownMessage([&] { q.columnText(0); }), finalized);
}

TEST_F(SqliteDbTest, QueryOutlivingCloseStaysUsable) {
    SqliteQuery q = db.query("SELECT 7");
    db.close();
    EXPECT_FALSE(db.isOpen());
    EXPECT_EQ(q.columnText(0), "7");
}

TEST(LeadingInt, ReadsLikeAtoiWithoutOverflow) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"12", 12},
        {" 7x", 7},
        {"-3", -3},
        {"+4", 4},
        {"", 0},
        {"abc", 0},
        {"1.9", 1},
        {"--1", 0},
        {"99999999999", 2147483647},
        {"-99999999999", -2147483647 - 1},
    };
    for (const auto& [text, value] : cases)
        EXPECT_EQ(LeadingInt(text), value) << text;
}

} // namespace
} // namespace orva
