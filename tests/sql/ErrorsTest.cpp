#include "sql/Connection.h"
#include "sql/Errors.h"
#include "sql/Statement.h"

#include <gtest/gtest.h>

using namespace velquine::sql;

TEST(ResultTest, SuccessCodesMakeNoResult)
{
    auto db = Connection::open(Connection::Location::inMemory());
    EXPECT_FALSE(Result::make(0, *db));
    EXPECT_FALSE(Result::make(100, *db));
    EXPECT_FALSE(Result::make(101, *db));
    auto busy = Result::make(5, *db);
    ASSERT_TRUE(busy);
    EXPECT_EQ(busy->code(), 5);
    EXPECT_EQ(busy->kind(), Result::Kind::error);
    EXPECT_FALSE(busy->statement());
}

TEST(ResultTest, TextFormsWithAndWithoutStatement)
{
    Result plain(Result::Kind::error, "no such table: t", 1);
    EXPECT_EQ(plain.description(), "no such table: t (code: 1)");
    EXPECT_STREQ(plain.what(), "no such table: t (code: 1)");

    Result extended(Result::Kind::extendedError, "UNIQUE constraint failed: t.a", 2067);
    EXPECT_EQ(extended.description(), "UNIQUE constraint failed: t.a (extended code: 2067)");

    auto db = Connection::open(Connection::Location::inMemory());
    auto statement = db->prepare("SELECT 1");
    Result withStatement(Result::Kind::error, "boom", 1, statement);
    EXPECT_EQ(withStatement.description(), "boom (SELECT 1) (code: 1)");
}

TEST(ResultTest, FailingStepCarriesNoSql)
{
    auto db = Connection::open(Connection::Location::inMemory());
    db->execute("CREATE TABLE t (a INTEGER UNIQUE)");
    db->execute("INSERT INTO t VALUES (1)");
    auto insert = db->prepare("INSERT INTO t VALUES (1)");
    try {
        insert->run();
        FAIL() << "the duplicate was accepted";
    } catch (const Result& error) {
        EXPECT_EQ(error.description(), "UNIQUE constraint failed: t.a (code: 19)");
        EXPECT_FALSE(error.statement());
    }
}

TEST(ResultTest, ExtendedCodesWhenAsked)
{
    auto db = Connection::open(Connection::Location::inMemory());
    db->execute("CREATE TABLE t (a INTEGER UNIQUE)");
    db->execute("INSERT INTO t VALUES (1)");
    db->setUsesExtendedErrorCodes(true);
    EXPECT_TRUE(db->usesExtendedErrorCodes());
    try {
        db->execute("INSERT INTO t VALUES (1)");
        FAIL() << "the duplicate was accepted";
    } catch (const Result& error) {
        EXPECT_EQ(error.kind(), Result::Kind::extendedError);
        EXPECT_EQ(error.code(), 2067); // SQLITE_CONSTRAINT_UNIQUE
        EXPECT_EQ(error.description(), "UNIQUE constraint failed: t.a (extended code: 2067)");
    }
    db->setUsesExtendedErrorCodes(false);
    try {
        db->execute("INSERT INTO t VALUES (1)");
        FAIL() << "the duplicate was accepted";
    } catch (const Result& error) {
        EXPECT_EQ(error.description(), "UNIQUE constraint failed: t.a (code: 19)");
    }
}

TEST(QueryErrorTest, Texts)
{
    EXPECT_STREQ(QueryError::noSuchTable("\"users\"").what(), "No such table: \"users\"");
    EXPECT_STREQ(QueryError::noSuchColumn("\"id\"", {"\"a\"", "\"b\""}).what(),
                 R"(No such column `"id"` in columns ["\"a\"", "\"b\""])");
    EXPECT_STREQ(QueryError::ambiguousColumn("\"id\"", {"\"u\".\"id\"", "\"v\".\"id\""}).what(),
                 R"(Ambiguous column `"id"` (please disambiguate: ["\"u\".\"id\"", "\"v\".\"id\""]))");
    EXPECT_STREQ(QueryError::unexpectedNullValue("\"name\"").what(), "Unexpected null value for column `\"name\"`");
    EXPECT_STREQ(QueryError::noSuchColumn("x", {}).what(), "No such column `x` in columns []");

    QueryError error = QueryError::ambiguousColumn("c", {"a", "b"});
    EXPECT_EQ(error.kind(), QueryError::Kind::ambiguousColumn);
    EXPECT_EQ(error.name(), "c");
    EXPECT_EQ(error.columns(), (std::vector<std::string>{"a", "b"}));
}

TEST(QueryErrorTest, ListEscapes)
{
    EXPECT_EQ(quotedNameList({"a", "b"}), R"(["a", "b"])");
    EXPECT_EQ(quotedNameList({}), "[]");
    EXPECT_EQ(quotedNameList({"it's", "back\\slash"}), R"(["it\'s", "back\\slash"])");
    EXPECT_EQ(quotedNameList({std::string("t\tl\nr\rz\0", 8)}), R"(["t\tl\nr\rz\0"])");
    EXPECT_EQ(quotedNameList({"\x1b" "x\x7f"}), R"(["\u{1B}x\u{7F}"])");
}

TEST(ErrorLogTest, SinkReceivesLines)
{
    std::vector<std::string> lines;
    auto previous = setErrorLogSink([&](const std::string& line) { lines.push_back(line); });
    logError("one");
    setErrorLogSink(previous);
    EXPECT_EQ(lines, std::vector<std::string>{"one"});
}
