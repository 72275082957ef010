#include "sql/Connection.h"
#include "sql/Statement.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

using namespace velquine::sql;

namespace {
std::int64_t integer(const OptBinding& value)
{
    return std::get<std::int64_t>(value.value());
}
} // namespace

TEST(ConnectionTest, OpensInMemoryAndTemporary)
{
    auto memory = Connection::open(Connection::Location::inMemory());
    EXPECT_EQ(memory->description(), "");
    EXPECT_FALSE(memory->readonly());
    auto temporary = Connection::open(Connection::Location::temporary());
    EXPECT_EQ(temporary->description(), "");
    temporary->execute("CREATE TABLE t (a); INSERT INTO t VALUES (1)");
    EXPECT_EQ(integer(temporary->scalar("SELECT count(*) FROM t")), 1);
    EXPECT_EQ(memory->queue().label(), "SQLite.Database");
}

TEST(ConnectionTest, ReadOnlyOpenOfMissingFileFails)
{
    TempDir dir;
    std::string path = dir.file("missing.db");
    try {
        Connection::open(path, true);
        FAIL() << "a missing file opened";
    } catch (const Result& error) {
        EXPECT_EQ(error.description(), "unable to open database file (code: 14)");
    }
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(ConnectionTest, ReadWriteCreatesAndReadOnlyReads)
{
    TempDir dir;
    std::string path = dir.file("work.db");
    {
        auto db = Connection::open(path);
        EXPECT_EQ(db->description(), path);
        db->execute("CREATE TABLE t (a); INSERT INTO t VALUES (7)");
    }
    auto db = Connection::open(path, true);
    EXPECT_TRUE(db->readonly());
    EXPECT_EQ(integer(db->scalar("SELECT a FROM t")), 7);
    try {
        db->execute("INSERT INTO t VALUES (8)");
        FAIL() << "a read-only database was written";
    } catch (const Result& error) {
        EXPECT_EQ(error.description(), "attempt to write a readonly database (code: 8)");
    }
}

TEST(ConnectionTest, ScriptStopsAtFirstFailingStatement)
{
    auto db = Connection::open(Connection::Location::inMemory());
    try {
        db->execute("CREATE TABLE t (a); INSERT INTO t VALUES (1); INSERT INTO nowhere VALUES (2); "
                    "INSERT INTO t VALUES (3)");
        FAIL() << "the script ran through";
    } catch (const Result& error) {
        EXPECT_EQ(error.description(), "no such table: nowhere (code: 1)");
    }
    EXPECT_EQ(integer(db->scalar("SELECT count(*) FROM t")), 1);
    EXPECT_EQ(integer(db->scalar("SELECT a FROM t")), 1);
}

TEST(ConnectionTest, Counters)
{
    auto db = Connection::open(Connection::Location::inMemory());
    db->execute("CREATE TABLE t (a)");
    db->execute("INSERT INTO t VALUES (1), (2), (3)");
    EXPECT_EQ(db->lastInsertRowid(), 3);
    EXPECT_EQ(db->changes(), 3);
    db->execute("UPDATE t SET a = a + 1 WHERE a > 1");
    EXPECT_EQ(db->changes(), 2);
    EXPECT_EQ(db->totalChanges(), 5);
}

TEST(ConnectionTest, QueueRunsInlineWhenAlreadyOnIt)
{
    auto db = Connection::open(Connection::Location::inMemory());
    EXPECT_FALSE(db->queue().isCurrent());
    int depth = db->sync([&] {
        EXPECT_TRUE(db->queue().isCurrent());
        return db->sync([&] { return db->sync([] { return 3; }); });
    });
    EXPECT_EQ(depth, 3);
    EXPECT_FALSE(db->queue().isCurrent());

    // Another connection's queue is not this one's.
    auto other = Connection::open(Connection::Location::inMemory());
    other->sync([&] {
        EXPECT_TRUE(other->queue().isCurrent());
        EXPECT_FALSE(db->queue().isCurrent());
        db->sync([&] { EXPECT_TRUE(db->queue().isCurrent()); });
    });

    // Errors come back through the queue and leave it.
    EXPECT_THROW(db->sync([]() -> int { throw std::runtime_error("x"); }), std::runtime_error);
    EXPECT_FALSE(db->queue().isCurrent());
}

TEST(ConnectionTest, ExecuteInsideTransactionDoesNotDeadlock)
{
    auto db = Connection::open(Connection::Location::inMemory());
    db->execute("CREATE TABLE t (a)");
    db->transaction([&] {
        db->execute("INSERT INTO t VALUES (1)");
        db->run("INSERT INTO t VALUES (?)", {Binding(std::int64_t{2})});
    });
    EXPECT_EQ(integer(db->scalar("SELECT sum(a) FROM t")), 3);
}

TEST(ConnectionTest, QueueSerialisesThreads)
{
    auto db = Connection::open(Connection::Location::inMemory());
    std::atomic<bool> inside{false};
    std::atomic<int> overlaps{0};
    auto work = [&] {
        for (int i = 0; i < 200; ++i) {
            db->sync([&] {
                if (inside.exchange(true))
                    ++overlaps;
                std::this_thread::yield();
                inside = false;
            });
        }
    };
    std::thread a(work), b(work), c(work);
    a.join();
    b.join();
    c.join();
    EXPECT_EQ(overlaps.load(), 0);
}

TEST(ConnectionTest, InsertsFromTwoThreadsKeepTheirRowIds)
{
    TempDir dir;
    auto db = Connection::open(dir.file("threads.db"));
    db->execute("CREATE TABLE t (id INTEGER PRIMARY KEY, who INTEGER)");
    std::atomic<int> mismatches{0};
    auto work = [&](std::int64_t who) {
        for (int i = 0; i < 100; ++i) {
            std::int64_t id = db->sync([&] {
                db->run("INSERT INTO t (who) VALUES (?)", {Binding(who)});
                return db->lastInsertRowid();
            });
            if (integer(db->scalar("SELECT who FROM t WHERE id = ?", {Binding(id)})) != who)
                ++mismatches;
        }
    };
    std::thread a(work, 1), b(work, 2);
    a.join();
    b.join();
    EXPECT_EQ(mismatches.load(), 0);
    EXPECT_EQ(integer(db->scalar("SELECT count(*) FROM t")), 200);
}

TEST(ConnectionTest, InterruptStopsARunningStatement)
{
    auto db = Connection::open(Connection::Location::inMemory());
    std::atomic<bool> stop{false};
    std::thread interrupter([&] {
        while (!stop) {
            db->interrupt();
            // A poll: interrupts keep coming until the statement has ended.
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    try {
        db->execute("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c) SELECT count(*) FROM c");
        stop = true;
        interrupter.join();
        FAIL() << "the endless query ended by itself";
    } catch (const Result& error) {
        stop = true;
        interrupter.join();
        EXPECT_EQ(error.code(), 9); // SQLITE_INTERRUPT
    }
}

TEST(ConnectionTest, StatementKeepsConnectionAlive)
{
    std::shared_ptr<Statement> statement;
    {
        auto db = Connection::open(Connection::Location::inMemory());
        db->execute("CREATE TABLE t (a); INSERT INTO t VALUES (42)");
        statement = db->prepare("SELECT a FROM t");
    }
    EXPECT_EQ(integer(statement->scalar()), 42);
}
