#include "sql/Connection.h"
#include "sql/Statement.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace velquine::sql;

TEST(BusyTest, TimeoutIsStoredAndClamped)
{
    auto db = Connection::open(Connection::Location::inMemory());
    EXPECT_EQ(db->busyTimeout(), 0);
    db->setBusyTimeout(1.5);
    EXPECT_EQ(db->busyTimeout(), 1.5);
    db->setBusyTimeout(0.0009);
    EXPECT_EQ(db->busyTimeout(), 0.0009);
    db->setBusyTimeout(std::nan(""));
    EXPECT_EQ(db->busyTimeout(), 0);
    db->setBusyTimeout(-3);
    EXPECT_EQ(db->busyTimeout(), 0);
    db->setBusyTimeout(std::numeric_limits<double>::infinity());
    EXPECT_EQ(db->busyTimeout(), 2147483647 / 1000.0);
    db->setBusyTimeout(1e12);
    EXPECT_EQ(db->busyTimeout(), 2147483647 / 1000.0);
}

namespace {

// Two connections to one file; the first holds a write lock.
struct Locked {
    Locked()
    {
        holder->execute("CREATE TABLE t (a)");
        holder->execute("BEGIN EXCLUSIVE");
    }
    ~Locked() { holder->execute("ROLLBACK"); }

    TempDir dir;
    std::shared_ptr<Connection> holder = Connection::open(dir.file("locked.db"));
    std::shared_ptr<Connection> other = Connection::open(dir.file("locked.db"));
};

} // namespace

TEST(BusyTest, HandlerIsAskedAndCanGiveUp)
{
    Locked locked;
    std::vector<int> attempts;
    locked.other->busyHandler([&](int count) {
        attempts.push_back(count);
        return count < 2;
    });
    try {
        locked.other->execute("INSERT INTO t VALUES (1)");
        FAIL() << "wrote through an exclusive lock";
    } catch (const Result& error) {
        EXPECT_EQ(error.code(), 5);
    }
    EXPECT_EQ(attempts, (std::vector<int>{0, 1, 2}));

    // Without a handler a locked database fails at once.
    locked.other->busyHandler(nullptr);
    attempts.clear();
    EXPECT_THROW(locked.other->execute("INSERT INTO t VALUES (1)"), Result);
    EXPECT_TRUE(attempts.empty());

    // A handler that throws gives up instead of unwinding through the engine.
    locked.other->busyHandler([](int) -> bool { throw std::runtime_error("no"); });
    std::vector<std::string> lines;
    auto previous = setErrorLogSink([&](const std::string& line) { lines.push_back(line); });
    EXPECT_THROW(locked.other->execute("INSERT INTO t VALUES (1)"), Result);
    setErrorLogSink(previous);
    EXPECT_EQ(lines, std::vector<std::string>{"busy handler callback failed: no"});
}

TEST(TraceTest, ReceivesExpandedSql)
{
    auto db = Connection::open(Connection::Location::inMemory());
    std::vector<std::string> traced;
    db->trace([&](const std::string& sql) { traced.push_back(sql); });
    db->scalar("SELECT ?, ?, ?", {Binding(std::int64_t{1}), Binding(std::string("it's")), std::nullopt});
    EXPECT_EQ(traced, std::vector<std::string>{"SELECT 1, 'it''s', NULL"});
    db->trace(nullptr);
    db->scalar("SELECT 2");
    EXPECT_EQ(traced.size(), 1u);
}

TEST(UpdateHookTest, ReportsOperationsWithNames)
{
    auto db = Connection::open(Connection::Location::inMemory());
    db->execute("CREATE TABLE items (a)");
    struct Change {
        Connection::Operation operation;
        std::string database, table;
        std::int64_t rowid;
    };
    std::vector<Change> changes;
    db->updateHook([&](Connection::Operation operation, const std::string& database, const std::string& table,
                       std::int64_t rowid) { changes.push_back({operation, database, table, rowid}); });
    db->execute("INSERT INTO items VALUES (10)");
    db->execute("UPDATE items SET a = 11");
    db->execute("DELETE FROM items WHERE a = 11");
    ASSERT_EQ(changes.size(), 3u);
    EXPECT_EQ(changes[0].operation, Connection::Operation::insert);
    EXPECT_EQ(changes[0].database, "main");
    EXPECT_EQ(changes[0].table, "items");
    EXPECT_EQ(changes[0].rowid, 1);
    EXPECT_EQ(changes[1].operation, Connection::Operation::update);
    EXPECT_EQ(changes[2].operation, Connection::Operation::delete_);
    db->updateHook(nullptr);
    db->execute("INSERT INTO items VALUES (12)");
    EXPECT_EQ(changes.size(), 3u);
}

TEST(CommitHookTest, CommitAndRollbackHooks)
{
    auto db = Connection::open(Connection::Location::inMemory());
    db->execute("CREATE TABLE t (a)");
    int commits = 0, rollbacks = 0;
    db->commitHook([&] { ++commits; });
    db->rollbackHook([&] { ++rollbacks; });
    db->execute("INSERT INTO t VALUES (1)");
    EXPECT_EQ(commits, 1);
    db->commitHook([] { throw std::runtime_error("veto"); });
    try {
        db->execute("INSERT INTO t VALUES (2)");
        FAIL() << "the vetoed commit went through";
    } catch (const Result& error) {
        EXPECT_EQ(error.code(), 19);
    }
    EXPECT_EQ(rollbacks, 1);
    EXPECT_EQ(std::get<std::int64_t>(*db->scalar("SELECT count(*) FROM t")), 1);
    db->commitHook(nullptr);
    db->rollbackHook(nullptr);
    db->execute("INSERT INTO t VALUES (3)");
    EXPECT_EQ(commits, 1);
    EXPECT_EQ(rollbacks, 1);
}
