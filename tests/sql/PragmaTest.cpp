#include "sql/Connection.h"
#include "sql/Statement.h"
#include "TempDir.h"

#include <gtest/gtest.h>

using namespace velquine::sql;

TEST(SQLiteVersionTest, ParsingAndOrder)
{
    EXPECT_EQ(SQLiteVersion::parse("3.43.2"), (SQLiteVersion{3, 43, 2}));
    EXPECT_FALSE(SQLiteVersion::parse("3.43"));
    EXPECT_FALSE(SQLiteVersion::parse("3.43.2.1"));
    EXPECT_FALSE(SQLiteVersion::parse("3.x.2"));
    EXPECT_EQ(SQLiteVersion::parse("3..40.1"), (SQLiteVersion{3, 40, 1})); // empty pieces are dropped
    EXPECT_LT((SQLiteVersion{3, 40, 1}), (SQLiteVersion{3, 40, 2}));
    EXPECT_LT((SQLiteVersion{3, 39, 9}), (SQLiteVersion{3, 40, 0}));
    EXPECT_LT((SQLiteVersion{2, 99, 9}), (SQLiteVersion{3, 0, 0}));
    EXPECT_EQ(SQLiteVersion{}.description(), "SQLite 0.0.0");
    EXPECT_EQ((SQLiteVersion{3, 40, 1}).description(), "SQLite 3.40.1");
}

TEST(PragmaTest, LibraryVersion)
{
    auto db = Connection::open(Connection::Location::inMemory());
    SQLiteVersion version = db->sqliteVersion();
    EXPECT_EQ(version.major, 3);
    std::string text = std::get<std::string>(*db->scalar("SELECT sqlite_version()"));
    EXPECT_EQ(version.description(), "SQLite " + text);
}

TEST(PragmaTest, UserVersion)
{
    auto db = Connection::open(Connection::Location::inMemory());
    EXPECT_EQ(db->userVersion(), 0);
    db->setUserVersion(7);
    EXPECT_EQ(db->userVersion(), 7);
    db->setUserVersion(-5);
    EXPECT_EQ(db->userVersion(), -5);
    db->setUserVersion(std::nullopt);
    EXPECT_EQ(db->userVersion(), 0);
}

TEST(PragmaTest, ForeignKeys)
{
    auto db = Connection::open(Connection::Location::inMemory());
    EXPECT_FALSE(db->foreignKeys());
    db->setForeignKeys(true);
    EXPECT_TRUE(db->foreignKeys());
    EXPECT_TRUE(db->getBoolPragma("foreign_keys"));
    db->setForeignKeys(false);
    EXPECT_FALSE(db->foreignKeys());
    EXPECT_FALSE(db->deferForeignKeys());
    db->setDeferForeignKeys(true);
    EXPECT_TRUE(db->deferForeignKeys());
    // A pragma query that fails reads as false and a failing write is silent.
    EXPECT_FALSE(db->getBoolPragma("no_such_pragma_(("));
    EXPECT_NO_THROW(db->setBoolPragma("no_such_pragma_((", true));
}

TEST(PragmaTest, ReadersOnAReadOnlyDatabase)
{
    TempDir dir;
    std::string path = dir.file("ro.db");
    Connection::open(path)->setUserVersion(3);
    auto db = Connection::open(path, true);
    EXPECT_EQ(db->userVersion(), 3);
    EXPECT_NO_THROW(db->setUserVersion(4)); // the write fails silently
    EXPECT_EQ(db->userVersion(), 3);
}

TEST(AttachTest, AttachAndDetach)
{
    TempDir dir;
    auto other = Connection::open(dir.file("other.db"));
    other->execute("CREATE TABLE o (v); INSERT INTO o VALUES ('there')");

    auto db = Connection::open(Connection::Location::inMemory());
    std::vector<std::string> traced;
    db->trace([&](const std::string& sql) { traced.push_back(sql); });
    db->attach(Connection::Location::uri(dir.file("other.db")), "second");
    EXPECT_EQ(std::get<std::string>(*db->scalar("SELECT v FROM second.o")), "there");
    db->attach(Connection::Location::inMemory(), "scratch");
    EXPECT_EQ(traced.back(), "ATTACH DATABASE ':memory:' AS 'scratch'");
    db->detach("second");
    EXPECT_EQ(traced.back(), "DETACH DATABASE 'second'");
    EXPECT_THROW(db->scalar("SELECT v FROM second.o"), Result);
    try {
        db->detach("never");
        FAIL() << "detached an unknown schema";
    } catch (const Result& error) {
        EXPECT_EQ(error.description(), "no such database: never (code: 1)");
    }
}
