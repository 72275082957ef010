#include "sql/Backup.h"
#include "sql/Connection.h"
#include "sql/Statement.h"
#include "TempDir.h"

#include <gtest/gtest.h>

using namespace velquine::sql;

namespace {

std::shared_ptr<Connection> sourceWithPages()
{
    auto db = Connection::open(Connection::Location::inMemory());
    db->execute("PRAGMA page_size = 1024; CREATE TABLE t (v)");
    db->transaction([&] {
        auto insert = db->prepare("INSERT INTO t VALUES (?)");
        for (int i = 0; i < 50; ++i)
            insert->run({Binding(std::string(900, static_cast<char>('a' + i % 26)))});
    });
    return db;
}

std::int64_t rows(const std::shared_ptr<Connection>& db, const std::string& table = "t")
{
    return std::get<std::int64_t>(*db->scalar("SELECT count(*) FROM " + table));
}

} // namespace

TEST(BackupTest, OneStepCopiesEverythingAndFinishes)
{
    auto source = sourceWithPages();
    auto target = Connection::open(Connection::Location::inMemory());
    auto backup = source->backup(Backup::DatabaseName::main(), target, Backup::DatabaseName::main());
    EXPECT_EQ(backup->sourceConnection(), source);
    EXPECT_EQ(backup->targetConnection(), target);
    backup->step(Backup::Pages::all());
    EXPECT_TRUE(backup->isFinished());
    EXPECT_EQ(backup->remainingPages(), 0);
    EXPECT_EQ(backup->pageCount(), 0);
    EXPECT_EQ(rows(target), 50);
    // A step after the finish does nothing.
    EXPECT_NO_THROW(backup->step(Backup::Pages::all()));
    backup->finish();
    backup->finish();
}

TEST(BackupTest, LimitedStepsReportProgress)
{
    auto source = sourceWithPages();
    auto target = Connection::open(Connection::Location::inMemory());
    Backup backup(source, Backup::DatabaseName::main(), target, Backup::DatabaseName::main());
    backup.step(Backup::Pages::limited(1));
    ASSERT_FALSE(backup.isFinished());
    std::int32_t total = backup.pageCount();
    EXPECT_GT(total, 50);
    EXPECT_EQ(backup.remainingPages(), total - 1);
    int steps = 1;
    while (!backup.isFinished()) {
        backup.step(Backup::Pages::limited(10));
        ++steps;
    }
    EXPECT_EQ(steps, 1 + (total - 1 + 9) / 10 + ((total - 1) % 10 == 0 ? 1 : 0));
    EXPECT_EQ(rows(target), 50);
}

TEST(BackupTest, NamedDatabases)
{
    EXPECT_EQ(Backup::DatabaseName::main().name(), "main");
    EXPECT_EQ(Backup::DatabaseName::temp().name(), "temp");
    EXPECT_EQ(Backup::DatabaseName::attached("other").name(), "other");

    auto source = sourceWithPages();
    auto target = Connection::open(Connection::Location::inMemory());
    target->attach(Connection::Location::inMemory(), "copy");
    source->backup(Backup::DatabaseName::main(), target, Backup::DatabaseName::attached("copy"))->step();
    EXPECT_EQ(rows(target, "copy.t"), 50);

    source->execute("CREATE TEMP TABLE scratch (v); INSERT INTO scratch VALUES (1), (2)");
    auto fromTemp = Connection::open(Connection::Location::inMemory());
    source->backup(Backup::DatabaseName::temp(), fromTemp, Backup::DatabaseName::main())->step();
    EXPECT_EQ(rows(fromTemp, "scratch"), 2);
}

TEST(BackupTest, FailingStartThrows)
{
    auto source = sourceWithPages();
    auto target = Connection::open(Connection::Location::inMemory());
    try {
        Backup backup(source, Backup::DatabaseName::attached("nowhere"), target, Backup::DatabaseName::main());
        FAIL() << "started a backup of an unknown schema";
    } catch (const Result& error) {
        EXPECT_EQ(error.description(), "unknown database nowhere (code: 1)");
    }
}

TEST(BackupTest, BusyTargetThrowsAndCanBeRetried)
{
    TempDir dir;
    auto source = sourceWithPages();
    auto target = Connection::open(dir.file("target.db"));
    auto reader = Connection::open(dir.file("target.db"));
    target->execute("CREATE TABLE old (v)");
    auto backup = source->backup(Backup::DatabaseName::main(), target, Backup::DatabaseName::main());
    // Hold a write lock from another connection so that the target is busy.
    reader->execute("BEGIN IMMEDIATE");
    try {
        backup->step();
        FAIL() << "copied into a locked database";
    } catch (const Result& error) {
        EXPECT_EQ(error.code(), 5);
    }
    EXPECT_FALSE(backup->isFinished());
    reader->execute("ROLLBACK");
    backup->step();
    EXPECT_TRUE(backup->isFinished());
    EXPECT_EQ(rows(target), 50);
}
