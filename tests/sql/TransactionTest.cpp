#include "sql/Connection.h"
#include "sql/Statement.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace velquine::sql;

namespace {

struct Fixture {
    Fixture()
    {
        db->execute("CREATE TABLE t (a)");
        db->trace([this](const std::string& sql) { traced.push_back(sql); });
    }
    std::int64_t count() { return std::get<std::int64_t>(*db->scalar("SELECT count(*) FROM t")); }

    std::shared_ptr<Connection> db = Connection::open(Connection::Location::inMemory());
    std::vector<std::string> traced;
};

} // namespace

TEST(TransactionTest, CommitsAndUsesModeTexts)
{
    Fixture f;
    f.db->transaction(Connection::TransactionMode::immediate, [&] { f.db->execute("INSERT INTO t VALUES (1)"); });
    f.db->transaction([&] { f.db->execute("INSERT INTO t VALUES (2)"); });
    f.db->transaction(Connection::TransactionMode::exclusive, [] {});
    std::vector<std::string> traced = f.traced;
    EXPECT_EQ(f.count(), 2);
    EXPECT_EQ(traced, (std::vector<std::string>{"BEGIN IMMEDIATE TRANSACTION", "INSERT INTO t VALUES (1)",
                                                   "COMMIT TRANSACTION", "BEGIN DEFERRED TRANSACTION",
                                                   "INSERT INTO t VALUES (2)", "COMMIT TRANSACTION",
                                                   "BEGIN EXCLUSIVE TRANSACTION", "COMMIT TRANSACTION"}));
}

TEST(TransactionTest, ModeRawValues)
{
    EXPECT_EQ(rawValue(Connection::TransactionMode::deferred), "DEFERRED");
    EXPECT_EQ(transactionModeFromRawValue("IMMEDIATE"), Connection::TransactionMode::immediate);
    EXPECT_FALSE(transactionModeFromRawValue("immediate"));
}

TEST(TransactionTest, ThrowingBlockRollsBackAndPassesItsError)
{
    Fixture f;
    struct Custom {
        int value;
    };
    try {
        f.db->transaction([&] {
            f.db->execute("INSERT INTO t VALUES (1)");
            throw Custom{42};
        });
        FAIL() << "the block's error was lost";
    } catch (const Custom& error) {
        EXPECT_EQ(error.value, 42);
    }
    EXPECT_EQ(f.traced.back(), "ROLLBACK TRANSACTION");
    EXPECT_EQ(f.count(), 0);
    EXPECT_EQ(sqlite3_get_autocommit(f.db->handle()), 1);
}

TEST(TransactionTest, NestedBeginFailsAndOuterRollsBack)
{
    Fixture f;
    try {
        f.db->transaction([&] {
            f.db->execute("INSERT INTO t VALUES (1)");
            f.db->transaction([&] { ADD_FAILURE() << "the inner block ran"; });
        });
        FAIL() << "the nested begin succeeded";
    } catch (const Result& error) {
        EXPECT_EQ(error.description(), "cannot start a transaction within a transaction (code: 1)");
    }
    EXPECT_EQ(f.count(), 0);
}

TEST(TransactionTest, FailedCommitRollsBackAndThrowsCommitError)
{
    Fixture f;
    f.db->commitHook([] { throw std::runtime_error("veto"); });
    try {
        f.db->transaction([&] { f.db->execute("INSERT INTO t VALUES (1)"); });
        FAIL() << "the vetoed commit succeeded";
    } catch (const Result& error) {
        // The commit's own error, not that of a rollback of a transaction the engine already ended.
        EXPECT_EQ(error.code(), 19); // SQLITE_CONSTRAINT, the engine's answer to a vetoed commit
    }
    f.db->commitHook(nullptr);
    EXPECT_EQ(f.count(), 0);
    EXPECT_EQ(sqlite3_get_autocommit(f.db->handle()), 1);
}

TEST(TransactionTest, FailingRollbackReplacesTheBlockError)
{
    Fixture f;
    try {
        f.db->transaction([&] {
            f.db->savepoint("s", [&] {
                f.db->execute("INSERT INTO t VALUES (1)");
                f.db->execute("RELEASE SAVEPOINT s"); // the savepoint is gone behind the runner's back
                throw std::runtime_error("block failed");
            });
        });
        FAIL() << "no error";
    } catch (const Result& error) {
        EXPECT_EQ(error.description(), "no such savepoint: s (code: 1)");
    } catch (const std::runtime_error&) {
        FAIL() << "the block's error came through although the rollback failed";
    }
    // The outer transaction saw the rollback's error and rolled back as well.
    EXPECT_EQ(f.count(), 0);
}

TEST(SavepointTest, TextsAndNesting)
{
    Fixture f;
    f.db->savepoint("a'b", [&] {
        f.db->execute("INSERT INTO t VALUES (1)");
        EXPECT_THROW(f.db->savepoint("inner", [&] {
            f.db->execute("INSERT INTO t VALUES (2)");
            throw std::runtime_error("inner failed");
        }),
                     std::runtime_error);
    });
    std::vector<std::string> traced = f.traced;
    EXPECT_EQ(f.count(), 1);
    EXPECT_EQ(traced, (std::vector<std::string>{"SAVEPOINT 'a''b'", "INSERT INTO t VALUES (1)", "SAVEPOINT 'inner'",
                                                   "INSERT INTO t VALUES (2)", "ROLLBACK TO SAVEPOINT 'inner'",
                                                   "RELEASE SAVEPOINT 'inner'", "RELEASE SAVEPOINT 'a''b'"}));
}

TEST(SavepointTest, FailedOutermostSavepointLeavesNoTransactionOpen)
{
    Fixture f;
    EXPECT_THROW(f.db->savepoint("s", [&] {
        f.db->execute("INSERT INTO t VALUES (1)");
        throw std::runtime_error("failed");
    }),
                 std::runtime_error);
    EXPECT_EQ(f.count(), 0);
    // Without the release the savepoint's transaction would stay open and swallow later changes.
    EXPECT_EQ(sqlite3_get_autocommit(f.db->handle()), 1);
}

TEST(SavepointTest, QuoteInNameCannotEndTheLiteral)
{
    Fixture f;
    f.db->savepoint("x'; DROP TABLE t; --", [&] { f.db->execute("INSERT INTO t VALUES (1)"); });
    EXPECT_EQ(f.count(), 1);
}
