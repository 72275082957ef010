#include "sql/SchemaChanger.h"
#include "sql/SchemaReader.h"

#include "SchemaTestSupport.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace velquine::sql;
using A = ColumnDefinition::Affinity;
using Kind = SchemaChanger::Error::Kind;
using schematest::rows;

namespace {

const SQLiteVersion beforeRenameColumn{3, 24, 0};
const SQLiteVersion beforeDropColumn{3, 34, 1};

ColumnDefinition column(std::string name, A type = A::TEXT, bool nullable = true,
                        LiteralValue defaultValue = LiteralValue::NULL_())
{
    return ColumnDefinition{std::move(name), std::nullopt, type, nullable, std::move(defaultValue), std::nullopt};
}

std::vector<std::string> traced(Connection& db, const std::function<void()>& work)
{
    std::vector<std::string> statements;
    db.trace([&](const std::string& sql) { statements.push_back(sql); });
    work();
    db.trace({});
    return statements;
}

std::vector<std::string> schema(Connection& db)
{
    return rows(db, "SELECT type, name, tbl_name, sql FROM sqlite_master ORDER BY name");
}

std::vector<std::string> indexNames(Connection& db, const std::string& table)
{
    return rows(db, "SELECT name FROM sqlite_master WHERE type = 'index' AND tbl_name = '" + table + "' ORDER BY name");
}

SchemaChanger::Error alterError(SchemaChanger& changer, const std::string& table,
                                const std::function<void(SchemaChanger::AlterTableDefinition&)>& block)
{
    try {
        changer.alter(table, block);
    } catch (const SchemaChanger::Error& error) {
        return error;
    }
    ADD_FAILURE() << "no error";
    return SchemaChanger::Error::invalidColumnDefinition("none");
}

std::shared_ptr<Connection> sampleDatabase()
{
    auto db = schematest::memoryDatabase();
    db->execute("CREATE TABLE t (id INTEGER PRIMARY KEY, a TEXT NOT NULL DEFAULT 'x', b INTEGER, c)");
    db->execute("CREATE INDEX ia ON t (a)");
    db->execute("CREATE UNIQUE INDEX ibc ON t (b DESC, c)");
    db->execute("INSERT INTO t VALUES (1, 'one', 10, '007'), (2, 'two', 20, x'00ff'), (3, 'three', NULL, 3.5)");
    return db;
}

} // namespace

// ---- statements and validation ------------------------------------------------------------------

TEST(SchemaChangerTest, NativeStatements)
{
    using Op = SchemaChanger::Operation;
    const SQLiteVersion current{3, 40, 1};
    EXPECT_EQ(Op::addColumn(column("n", A::INTEGER, false, LiteralValue::numericLiteral("0"))).sql("t\"x", current),
              "ALTER TABLE \"t\"\"x\" ADD COLUMN \"n\" INTEGER DEFAULT 0 NOT NULL");
    EXPECT_EQ(Op::dropColumn("c\"d").sql("t", SQLiteVersion{3, 35, 0}), "ALTER TABLE \"t\" DROP COLUMN \"c\"\"d\"");
    EXPECT_EQ(Op::dropColumn("c").sql("t", beforeDropColumn), std::nullopt);
    EXPECT_EQ(Op::renameColumn("a", "b").sql("t", SQLiteVersion{3, 25, 0}), "ALTER TABLE \"t\" RENAME COLUMN \"a\" TO \"b\"");
    EXPECT_EQ(Op::renameColumn("a", "b").sql("t", beforeRenameColumn), std::nullopt);
    EXPECT_EQ(Op::renameTable("u").sql("t", current), std::nullopt);
    EXPECT_EQ(Op::addColumn(column("n")).sql("t", SQLiteVersion{}), "ALTER TABLE \"t\" ADD COLUMN \"n\" TEXT");

    auto db = schematest::memoryDatabase();
    db->execute("CREATE TABLE t (a)");
    SchemaChanger changer(db);
    EXPECT_EQ(changer.version(), db->sqliteVersion());
    auto statements = traced(*db, [&] {
        changer.rename("t", "u\"v");
        changer.drop("u\"v");
        changer.drop("u\"v", true);
    });
    EXPECT_EQ(statements, (std::vector<std::string>{"ALTER TABLE \"t\" RENAME TO \"u\"\"v\"", "DROP TABLE  \"u\"\"v\"",
                                                    "DROP TABLE IF EXISTS \"u\"\"v\""}));
    EXPECT_THROW(changer.drop("missing"), Result);
}

TEST(SchemaChangerTest, AddedColumnsAreValidated)
{
    auto db = sampleDatabase();
    SchemaChanger changer(db);
    const auto before = schema(*db);

    ColumnDefinition key = column("k", A::INTEGER, true, LiteralValue::CURRENT_TIMESTAMP());
    key.primaryKey = ColumnDefinition::PrimaryKey{};
    auto error = alterError(changer, "t", [&](auto& t) { t.add(key); });
    EXPECT_EQ(error.kind(), Kind::invalidColumnDefinition);
    EXPECT_STREQ(error.what(), "Invalid column definition: can not add primary key column");

    for (const LiteralValue& value : SchemaChanger::disallowedAddColumnDefaults()) {
        error = alterError(changer, "t", [&](auto& t) { t.add(column("d", A::TEXT, true, value)); });
        EXPECT_STREQ(error.what(), "Invalid column definition: Invalid default value");
    }
    error = alterError(changer, "t", [&](auto& t) { t.add(column("d", A::TEXT, false)); });
    EXPECT_EQ(error.reason(), "NOT NULL columns must have a default value other than NULL");
    EXPECT_STREQ(error.what(), "Invalid column definition: NOT NULL columns must have a default value other than NULL");
    EXPECT_EQ(schema(*db), before);
}

// ---- native changes -----------------------------------------------------------------------------

TEST(SchemaChangerTest, NativeChangesKeepTheRows)
{
    auto db = sampleDatabase();
    db->execute("DROP INDEX ibc"); // the engine drops no indexed column
    SchemaChanger changer(db);
    const auto statements = traced(*db, [&] {
        changer.alter("t", [](SchemaChanger::AlterTableDefinition& t) {
            t.add(column("d", A::INTEGER, false, LiteralValue::numericLiteral("-1")));
            t.rename("a", "title");
            t.drop("c");
        });
    });
    EXPECT_EQ(statements, (std::vector<std::string>{"ALTER TABLE \"t\" ADD COLUMN \"d\" INTEGER DEFAULT -1 NOT NULL",
                                                    "ALTER TABLE \"t\" RENAME COLUMN \"a\" TO \"title\"",
                                                    "ALTER TABLE \"t\" DROP COLUMN \"c\""}));
    EXPECT_EQ(rows(*db, "SELECT * FROM t ORDER BY id"),
              (std::vector<std::string>{"1|one|10|-1", "2|two|20|-1", "3|three|NULL|-1"}));
    EXPECT_EQ(indexNames(*db, "t"), (std::vector<std::string>{"ia"}));
    EXPECT_THROW(changer.alter("t", [](auto& t) { t.drop("missing"); }), Result);
}

TEST(SchemaChangerTest, AFailingOperationStopsTheRest)
{
    auto db = sampleDatabase();
    SchemaChanger changer(db);
    EXPECT_THROW(changer.alter("t",
                               [](auto& t) {
                                   t.add(column("first"));
                                   t.rename("missing", "x");
                                   t.add(column("third"));
                               }),
                 Result);
    EXPECT_EQ(rows(*db, "SELECT name FROM pragma_table_info('t')"),
              (std::vector<std::string>{"id", "a", "b", "c", "first"}));
}

// ---- rebuilds -----------------------------------------------------------------------------------

TEST(SchemaChangerTest, RebuildRenamesAColumn)
{
    auto db = sampleDatabase();
    db->setForeignKeys(true);
    SchemaChanger changer(db, beforeRenameColumn);
    const auto statements = traced(*db, [&] { changer.alter("t", [](auto& t) { t.rename("b", "bee"); }); });
    const auto at = [&](const std::string& sql) {
        return std::find(statements.begin(), statements.end(), sql) - statements.begin();
    };
    // Foreign keys go off before the transaction and come back after it.
    EXPECT_LT(at("PRAGMA foreign_keys = 0"), at("BEGIN DEFERRED TRANSACTION"));
    EXPECT_LT(at("BEGIN DEFERRED TRANSACTION"), at("PRAGMA defer_foreign_keys = 1"));
    EXPECT_LT(at("PRAGMA defer_foreign_keys = 1"), at("DROP TABLE IF EXISTS \"t\""));
    EXPECT_LT(at("DROP TABLE IF EXISTS \"t\""), at("ALTER TABLE \"tmp_t\" RENAME TO \"t\""));
    EXPECT_LT(at("ALTER TABLE \"tmp_t\" RENAME TO \"t\""), at("PRAGMA foreign_key_check"));
    EXPECT_LT(at("PRAGMA foreign_key_check"), at("PRAGMA defer_foreign_keys = 0"));
    EXPECT_LT(at("PRAGMA defer_foreign_keys = 0"), at("COMMIT TRANSACTION"));
    EXPECT_EQ(statements.back(), "PRAGMA foreign_keys = 1");
    EXPECT_TRUE(db->foreignKeys());
    EXPECT_TRUE(std::find(statements.begin(), statements.end(),
                          "CREATE TABLE \"tmp_t\" ( \"id\" INTEGER PRIMARY KEY,\n\"a\" TEXT DEFAULT 'x' NOT NULL,\n"
                          "\"bee\" INTEGER,\n\"c\" BLOB )")
                != statements.end());
    EXPECT_TRUE(std::find(statements.begin(), statements.end(),
                          "INSERT INTO \"tmp_t\" (\"id\", \"a\", \"bee\", \"c\") SELECT \"id\", \"a\", \"b\", \"c\" FROM \"t\"")
                != statements.end());

    EXPECT_EQ(rows(*db, "SELECT id, a, bee, c, typeof(c) FROM t ORDER BY id"),
              (std::vector<std::string>{"1|one|10|007|text", "2|two|20|x'00ff'|blob", "3|three|NULL|3.5|real"}));
    // The indexes are made again under prefixed names, with their order and uniqueness.
    EXPECT_EQ(indexNames(*db, "t"), (std::vector<std::string>{"tmp_ia", "tmp_ibc"}));
    EXPECT_EQ(rows(*db, "SELECT sql FROM sqlite_master WHERE name = 'tmp_ibc'"),
              (std::vector<std::string>{"CREATE UNIQUE INDEX \"tmp_ibc\" ON \"t\" (\"bee\" DESC, \"c\")"}));
    EXPECT_EQ(rows(*db, "SELECT name FROM sqlite_master WHERE name LIKE 'tmp_t%'"), std::vector<std::string>{});
}

TEST(SchemaChangerTest, RebuildDropsAColumnAndItsIndexes)
{
    auto db = sampleDatabase();
    SchemaChanger changer(db, beforeDropColumn);
    changer.alter("t", [](auto& t) { t.drop("b"); });
    EXPECT_EQ(rows(*db, "SELECT * FROM t ORDER BY id"),
              (std::vector<std::string>{"1|one|007", "2|two|x'00ff'", "3|three|3.5"}));
    EXPECT_EQ(indexNames(*db, "t"), (std::vector<std::string>{"tmp_ia"}));
    // The column without a declared type still keeps what it is given.
    db->execute("INSERT INTO t (id, c) VALUES (4, '008')");
    EXPECT_EQ(rows(*db, "SELECT a, c, typeof(c) FROM t WHERE id = 4"), (std::vector<std::string>{"x|008|text"}));

    // A second rebuild prefixes once more; a column the table lacks leaves the columns as they are.
    changer.alter("t", [](auto& t) { t.drop("missing"); });
    EXPECT_EQ(indexNames(*db, "t"), (std::vector<std::string>{"tmp_tmp_ia"}));
    EXPECT_EQ(rows(*db, "SELECT count(*) FROM t"), std::vector<std::string>{"4"});
}

TEST(SchemaChangerTest, RebuildKeepsDefaultsPartialIndexesAndQuotedNames)
{
    auto db = schematest::memoryDatabase();
    db->execute("CREATE TABLE \"my \"\"t\" (id INTEGER PRIMARY KEY, s TEXT DEFAULT ('a' || 'b'), "
                "n REAL DEFAULT (1 + 2), q TEXT DEFAULT 'it''s', drop_me)");
    db->execute("CREATE UNIQUE INDEX \"u ix\" ON \"my \"\"t\" (s)\n  WHERE n > 2\n    AND id > 1");
    db->execute("INSERT INTO \"my \"\"t\" (id, s, n) VALUES (1, 'same', 1), (2, 'same', 1)");
    SchemaChanger changer(db, beforeDropColumn);
    changer.alter("my \"t", [](auto& t) { t.drop("drop_me"); });

    db->execute("INSERT INTO \"my \"\"t\" (id) VALUES (3)");
    EXPECT_EQ(rows(*db, "SELECT * FROM \"my \"\"t\" ORDER BY id"),
              (std::vector<std::string>{"1|same|1.0|it's", "2|same|1.0|it's", "3|ab|3.0|it's"}));
    EXPECT_EQ(rows(*db, "SELECT sql FROM sqlite_master WHERE type = 'index'"),
              (std::vector<std::string>{"CREATE UNIQUE INDEX \"tmp_u ix\" ON \"my \"\"t\" (\"s\") WHERE n > 2\n    AND id > 1"}));
    // Still partial: rows outside the condition may repeat the value, rows inside may not.
    db->execute("INSERT INTO \"my \"\"t\" (id, s, n) VALUES (4, 'same', 0)");
    db->execute("INSERT INTO \"my \"\"t\" (id, s, n) VALUES (5, 'other', 5)");
    EXPECT_THROW(db->execute("INSERT INTO \"my \"\"t\" (id, s, n) VALUES (6, 'other', 5)"), Result);
}

// Dropping the referenced table inside the rebuild must not touch the rows that refer to it.
TEST(SchemaChangerTest, RebuildLeavesReferringRowsAlone)
{
    auto db = schematest::memoryDatabase();
    db->setForeignKeys(true);
    db->execute("CREATE TABLE parent (id INTEGER PRIMARY KEY, name TEXT, extra)");
    db->execute("CREATE TABLE child (id INTEGER PRIMARY KEY, p INTEGER REFERENCES parent (id) ON DELETE CASCADE, "
                "q INTEGER REFERENCES parent (id) ON DELETE SET NULL)");
    db->execute("INSERT INTO parent VALUES (1, 'a', 0), (2, 'b', 0)");
    db->execute("INSERT INTO child VALUES (10, 1, 1), (11, 2, 2)");
    db->setDeferForeignKeys(false);

    SchemaChanger changer(db, beforeDropColumn);
    changer.alter("parent", [](auto& t) { t.drop("extra"); });
    EXPECT_EQ(rows(*db, "SELECT * FROM child ORDER BY id"), (std::vector<std::string>{"10|1|1", "11|2|2"}));
    EXPECT_EQ(rows(*db, "SELECT * FROM parent ORDER BY id"), (std::vector<std::string>{"1|a", "2|b"}));
    EXPECT_TRUE(db->foreignKeys());
    EXPECT_FALSE(db->deferForeignKeys());
    // The constraint still works afterwards.
    db->execute("DELETE FROM parent WHERE id = 1");
    EXPECT_EQ(rows(*db, "SELECT * FROM child ORDER BY id"), (std::vector<std::string>{"11|2|2"}));
}

TEST(SchemaChangerTest, RebuildWithViolatedForeignKeysRollsBack)
{
    auto db = schematest::memoryDatabase();
    db->execute("CREATE TABLE parent (id INTEGER PRIMARY KEY)");
    db->execute("CREATE TABLE child (id INTEGER PRIMARY KEY, p INTEGER REFERENCES parent (id), extra)");
    db->execute("INSERT INTO child VALUES (7, 99, 1), (8, 98, 1)");
    db->setForeignKeys(true);
    db->setDeferForeignKeys(false);
    const auto before = schema(*db);

    SchemaChanger changer(db, beforeDropColumn);
    auto error = alterError(changer, "child", [](auto& t) { t.drop("extra"); });
    EXPECT_EQ(error.kind(), Kind::foreignKeyError);
    EXPECT_STREQ(error.what(), "Foreign key errors: [child [7] => parent, child [8] => parent]");
    ASSERT_EQ(error.foreignKeyErrors().size(), 2u);
    EXPECT_EQ(error.foreignKeyErrors()[1].rowId, 8);
    EXPECT_EQ(schema(*db), before);
    EXPECT_EQ(rows(*db, "SELECT * FROM child ORDER BY id"), (std::vector<std::string>{"7|99|1", "8|98|1"}));
    EXPECT_TRUE(db->foreignKeys());
    EXPECT_FALSE(db->deferForeignKeys());
}

TEST(SchemaChangerTest, RebuildWithTooLongIndexNameRollsBack)
{
    auto db = sampleDatabase();
    db->execute("CREATE INDEX \"" + std::string(61, 'i') + "\" ON t (c)");
    const auto before = schema(*db);
    SchemaChanger changer(db, beforeRenameColumn);
    try {
        changer.alter("t", [](auto& t) { t.rename("a", "z"); });
        FAIL() << "no error";
    } catch (const IndexDefinition::IndexError& error) {
        EXPECT_EQ(error.indexName(), "tmp_" + std::string(61, 'i'));
        EXPECT_EQ(error.tableName(), "tmp_t");
    }
    EXPECT_EQ(schema(*db), before);
    EXPECT_EQ(rows(*db, "SELECT count(*) FROM t"), std::vector<std::string>{"3"});
}

TEST(SchemaChangerTest, RebuildKeepsTheAutoincrementCounter)
{
    auto db = schematest::memoryDatabase();
    db->execute("CREATE TABLE t (id INTEGER PRIMARY KEY AUTOINCREMENT, a, b)");
    db->execute("INSERT INTO t (a) VALUES (1), (2), (3)");
    db->execute("DELETE FROM t WHERE id = 3");
    SchemaChanger changer(db, beforeDropColumn);
    changer.alter("t", [](auto& t) { t.drop("b"); });
    EXPECT_EQ(rows(*db, "SELECT sql FROM sqlite_master WHERE name = 't'"),
              std::vector<std::string>{"CREATE TABLE \"t\" ( \"id\" INTEGER PRIMARY KEY AUTOINCREMENT,\n\"a\" BLOB )"});
    db->execute("INSERT INTO t (a) VALUES (4)");
    EXPECT_EQ(rows(*db, "SELECT id, a FROM t ORDER BY id"), (std::vector<std::string>{"1|1", "2|2", "4|4"}));
}

// Tables whose CREATE text says more than the rebuild can write again are refused untouched.
TEST(SchemaChangerTest, RebuildRefusesTablesItCannotReproduce)
{
    struct Case {
        std::string create;
        std::string reason;
    };
    const std::vector<Case> cases{
        {"CREATE TABLE t (a, b CHECK (b > 0), c)", "it has a CHECK constraint"},
        {"CREATE TABLE t (a, b, c, CONSTRAINT positive CHECK (b > 0))", "it has a CHECK constraint"},
        {"CREATE TABLE t (a, b UNIQUE, c)", "it has a UNIQUE constraint"},
        {"CREATE TABLE t (a, b, c, UNIQUE (a, b))", "it has a UNIQUE constraint"},
        {"CREATE TABLE t (a, b TEXT COLLATE NOCASE, c)", "it has a COLLATE clause"},
        {"CREATE TABLE t (a, b, c, PRIMARY KEY (a, b))", "it has a primary key over several columns"},
        {"CREATE TABLE t (a, b, c, FOREIGN KEY (a) REFERENCES p (id))", "it has a table-level foreign key"},
        {"CREATE TABLE t (a REFERENCES p (id) REFERENCES q (id), b, c)", "it has several foreign keys on one column"},
        {"CREATE TABLE t (a INTEGER PRIMARY KEY, b, c) WITHOUT ROWID", "it is a WITHOUT ROWID table"},
        {"CREATE TABLE t (a INTEGER, b TEXT, c ANY) STRICT", "it is a STRICT table"},
        {"CREATE TABLE t (a, b, c AS (a + b))", "it has a generated column"},
        {"CREATE TABLE t (a REFERENCES p (id) DEFERRABLE INITIALLY DEFERRED, b, c)", "it has a deferrable foreign key"},
        {"CREATE VIRTUAL TABLE t USING fts4 (a, b, c)", "it is a virtual table"},
    };
    for (const Case& c : cases) {
        auto db = schematest::memoryDatabase();
        db->execute("CREATE TABLE p (id PRIMARY KEY)");
        db->execute("CREATE TABLE q (id PRIMARY KEY)");
        db->execute(c.create);
        db->execute("INSERT INTO t (a, b) VALUES (1, 2)");
        const auto before = schema(*db);
        SchemaChanger changer(db, beforeRenameColumn);
        auto error = alterError(changer, "t", [](auto& t) { t.rename("a", "z"); });
        EXPECT_EQ(error.kind(), Kind::cannotRebuild) << c.create;
        EXPECT_EQ(error.errorDescription(), "Cannot rebuild table 't': " + c.reason) << c.create;
        EXPECT_EQ(schema(*db), before) << c.create;
        EXPECT_EQ(rows(*db, "SELECT a, b FROM t"), std::vector<std::string>{"1|2"}) << c.create;
    }

    auto db = schematest::memoryDatabase();
    db->execute("CREATE TABLE t (a, b)");
    db->execute("CREATE TABLE log (x)");
    db->execute("CREATE TRIGGER tr AFTER INSERT ON t BEGIN INSERT INTO log VALUES (new.a); END");
    SchemaChanger changer(db, beforeDropColumn);
    EXPECT_EQ(alterError(changer, "t", [](auto& t) { t.drop("b"); }).reason(), "it has triggers");
    EXPECT_EQ(alterError(changer, "log", [](auto& t) { t.drop("x"); }).reason(), "it would be left without columns");
    EXPECT_EQ(alterError(changer, "missing", [](auto& t) { t.drop("x"); }).reason(), "no such table");
    db->execute("CREATE TEMP TABLE temporary (a, b)");
    EXPECT_EQ(alterError(changer, "temporary", [](auto& t) { t.drop("b"); }).reason(),
              "it is a temporary table or shares its name with one");
    EXPECT_EQ(rows(*db, "SELECT name FROM pragma_table_info('temporary')"), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(rows(*db, "SELECT name FROM sqlite_master WHERE name LIKE '%temporary'").empty());
    EXPECT_EQ(rows(*db, "SELECT name FROM pragma_table_info('log')"), std::vector<std::string>{"x"});

    // Words inside names, strings and a single-column table key are no obstacle.
    db->execute("CREATE TABLE ok (\"check\" TEXT DEFAULT 'UNIQUE', [collate] INTEGER, id INTEGER, PRIMARY KEY (id))");
    db->execute("INSERT INTO ok (id) VALUES (5)");
    changer.alter("ok", [](auto& t) { t.drop("collate"); });
    EXPECT_EQ(rows(*db, "SELECT * FROM ok"), std::vector<std::string>{"UNIQUE|5"});
}

// A view over the table makes the engine refuse to put the copy in the table's place; the whole
// rebuild is undone.
TEST(SchemaChangerTest, RebuildUnderAViewIsUndone)
{
    auto db = sampleDatabase();
    db->execute("CREATE VIEW v AS SELECT a FROM t");
    const auto before = schema(*db);
    SchemaChanger changer(db, beforeDropColumn);
    EXPECT_THROW(changer.alter("t", [](auto& t) { t.drop("b"); }), Result);
    EXPECT_EQ(schema(*db), before);
    EXPECT_EQ(rows(*db, "SELECT * FROM v ORDER BY a"), (std::vector<std::string>{"one", "three", "two"}));
}

TEST(SchemaChangerTest, RenameOperationOfADefinition)
{
    using Op = SchemaChanger::Operation;
    TableDefinition definition{"t", {column("a"), column("b")},
                               {IndexDefinition{"t", "ia", false, {"a"}, std::nullopt, std::nullopt},
                                IndexDefinition{"t", "tmp_ib", false, {"b"}, "b > 0", std::nullopt}}};
    const TableDefinition copy = Op::renameTable("tmp_t").apply(definition);
    EXPECT_EQ(copy.name, "tmp_t");
    EXPECT_EQ(copy.indexes[0].name, "tmp_ia");
    EXPECT_EQ(copy.indexes[1].name, "tmp_tmp_ib");
    EXPECT_EQ(copy.indexes[1].table, "tmp_t");
    const TableDefinition back = Op::renameTable("t").apply(copy);
    EXPECT_EQ(back.indexes[0].name, "ia");
    EXPECT_EQ(back.indexes[1].name, "ib"); // every occurrence of the prefix goes
    const TableDefinition renamed = Op::renameColumn("b", "c").apply(definition);
    EXPECT_EQ(renamed.columns[1].name, "c");
    EXPECT_EQ(renamed.indexes[1].columns, std::vector<std::string>{"c"});
    EXPECT_EQ(renamed.indexes[1].where, "b > 0");
}

TEST(SchemaChangerTest, Description)
{
    TempDir dir;
    auto db = Connection::open(dir.file("changer.sqlite"));
    EXPECT_EQ(SchemaChanger(db).description(), "SQLiteSchemaChanger: " + dir.file("changer.sqlite"));
}
