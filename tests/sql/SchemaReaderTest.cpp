#include "sql/SchemaChecks.h"
#include "sql/SchemaReader.h"

#include "SchemaTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace velquine::sql;
using A = ColumnDefinition::Affinity;
using PK = ColumnDefinition::PrimaryKey;
using FK = ColumnDefinition::ForeignKey;
using OT = ObjectDefinition::ObjectType;

namespace {

std::vector<std::string> traced(Connection& db, const std::function<void()>& work)
{
    std::vector<std::string> statements;
    db.trace([&](const std::string& sql) { statements.push_back(sql); });
    work();
    db.trace({});
    return statements;
}

bool contains(const std::vector<std::string>& texts, const std::string& text)
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

} // namespace

TEST(SchemaReaderTest, ColumnsOfATable)
{
    auto db = schematest::memoryDatabase();
    db->execute("CREATE TABLE parent (id INTEGER PRIMARY KEY AUTOINCREMENT, b TEXT NOT NULL DEFAULT 'x')");
    db->execute("CREATE TABLE child (k INTEGER, p INTEGER REFERENCES parent (id) ON DELETE CASCADE, "
                "q REFERENCES parent ON UPDATE SET NULL ON DELETE NO ACTION, r VARCHAR(9) DEFAULT (1 + 2), s)");
    SchemaReader reader(db);

    EXPECT_EQ(reader.columnDefinitions("parent"),
              (std::vector<ColumnDefinition>{
                  {"id", PK{true, std::nullopt}, A::INTEGER, true, LiteralValue::NULL_(), std::nullopt},
                  {"b", std::nullopt, A::TEXT, false, LiteralValue::stringLiteral("x"), std::nullopt}}));
    EXPECT_EQ(reader.columnDefinitions("child"),
              (std::vector<ColumnDefinition>{
                  {"k", std::nullopt, A::INTEGER, true, LiteralValue::NULL_(), std::nullopt},
                  {"p", std::nullopt, A::INTEGER, true, LiteralValue::NULL_(), FK{"parent", "p", "id", std::nullopt, "CASCADE"}},
                  {"q", std::nullopt, A::BLOB, true, LiteralValue::NULL_(), FK{"parent", "q", std::nullopt, "SET NULL", std::nullopt}},
                  {"r", std::nullopt, A::TEXT, true, LiteralValue::numericLiteral("1 + 2"), std::nullopt},
                  {"s", std::nullopt, A::BLOB, true, LiteralValue::NULL_(), std::nullopt}}));
    EXPECT_TRUE(reader.columnDefinitions("missing").empty());
}

TEST(SchemaReaderTest, CompositeKeyAndSeveralForeignKeys)
{
    auto db = schematest::memoryDatabase();
    db->execute("CREATE TABLE p (id PRIMARY KEY)");
    db->execute("CREATE TABLE t (a INTEGER REFERENCES p (id) REFERENCES p ON DELETE CASCADE, b TEXT, "
                "PRIMARY KEY (a, b) ON CONFLICT IGNORE)");
    SchemaReader reader(db);
    const auto columns = reader.columnDefinitions("t");
    ASSERT_EQ(columns.size(), 2u);
    // The conflict clause stands after the column list, where the clause reader does not look.
    EXPECT_EQ(columns[0].primaryKey, (PK{false, std::nullopt}));
    EXPECT_EQ(columns[1].primaryKey, columns[0].primaryKey);
    // The engine lists the later foreign key first; the column takes the first one listed.
    const auto keys = reader.foreignKeys("t");
    ASSERT_EQ(keys.size(), 2u);
    EXPECT_EQ(columns[0].references, keys[0]);
}

TEST(SchemaReaderTest, Indexes)
{
    auto db = schematest::memoryDatabase();
    db->execute("CREATE TABLE t (a INTEGER UNIQUE, b TEXT, c REAL)");
    db->execute("CREATE UNIQUE INDEX ub ON t (b)");
    db->execute("CREATE INDEX partial ON t (a, \"c\" DESC) WHERE a > 0");
    db->execute("CREATE INDEX expr ON t (lower(b), c)");
    db->execute("CREATE INDEX multi ON t (b DESC)\n WHERE a > 0\n   AND c < 1");
    SchemaReader reader(db);
    const std::vector<IndexDefinition> indexes = reader.indexDefinitions("t");
    std::map<std::string, IndexDefinition> byName;
    for (const IndexDefinition& index : indexes)
        byName.emplace(index.name, index);
    EXPECT_EQ(indexes.size(), 4u); // the index of the UNIQUE constraint is the engine's own
    EXPECT_EQ(byName.count("sqlite_autoindex_t_1"), 0u);

    using O = IndexDefinition::Order;
    EXPECT_EQ(byName.at("ub"), (IndexDefinition{"t", "ub", true, {"b"}, std::nullopt, std::map<std::string, O>{}}));
    EXPECT_EQ(byName.at("partial"),
              (IndexDefinition{"t", "partial", false, {"a", "c"}, "a > 0", std::map<std::string, O>{{"c", O::DESC}}}));
    EXPECT_EQ(byName.at("expr").columns, std::vector<std::string>{"c"});
    EXPECT_EQ(byName.at("multi").where, "a > 0\n   AND c < 1");
    EXPECT_EQ(byName.at("multi").orders, (std::map<std::string, O>{{"b", O::DESC}}));
}

TEST(SchemaReaderTest, ObjectsAndTableText)
{
    auto db = schematest::memoryDatabase();
    db->execute("CREATE TABLE t (a)");
    db->execute("CREATE INDEX ix ON t (a)");
    db->execute("CREATE VIEW v AS SELECT a FROM t");
    db->execute("CREATE TRIGGER tr AFTER INSERT ON t BEGIN SELECT 1; END");
    db->execute("CREATE TEMP TABLE tt (x)");
    db->execute("CREATE TEMP TABLE t (shadow)");
    SchemaReader reader(db);

    const auto all = reader.objectDefinitions();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].type, OT::table);
    EXPECT_EQ(all[0].name, "t");
    EXPECT_EQ(all[0].tableName, "t");
    EXPECT_GT(all[0].rootpage, 0);
    EXPECT_EQ(all[0].sql, "CREATE TABLE t (a)");
    EXPECT_EQ(all[1].type, OT::index);
    EXPECT_EQ(all[2].type, OT::view);
    EXPECT_EQ(all[2].rootpage, 0);
    EXPECT_EQ(all[3].type, OT::trigger);
    EXPECT_EQ(all[3].tableName, "t");

    EXPECT_EQ(reader.objectDefinitions("ix").size(), 1u);
    EXPECT_EQ(reader.objectDefinitions("t", OT::index).size(), 0u);
    EXPECT_EQ(reader.objectDefinitions(std::nullopt, OT::view).front().name, "v");
    const auto temp = reader.objectDefinitions(std::nullopt, std::nullopt, true);
    ASSERT_EQ(temp.size(), 2u);
    EXPECT_EQ(temp[0].name, "tt");

    EXPECT_EQ(reader.tableSQL("t"), "CREATE TABLE t (a)"); // main before temp
    EXPECT_EQ(reader.tableSQL("tt"), "CREATE TABLE tt (x)");
    EXPECT_EQ(reader.tableSQL("v"), std::nullopt);
    EXPECT_EQ(reader.tableSQL("missing"), std::nullopt);
}

TEST(SchemaReaderTest, SchemaTableFollowsTheLibraryVersion)
{
    auto db = schematest::memoryDatabase();
    db->execute("CREATE TABLE t (a)");
    db->execute("CREATE TEMP TABLE tt (a)");

    SchemaReader old(db, SQLiteVersion{3, 32, 3});
    auto statements = traced(*db, [&] { EXPECT_EQ(old.objectDefinitions("t").size(), 1u); });
    EXPECT_TRUE(contains(statements, "SELECT * FROM \"sqlite_master\" WHERE (\"name\" = 't')")) << statements.front();
    statements = traced(*db, [&] { EXPECT_EQ(old.objectDefinitions(std::nullopt, OT::table, true).size(), 1u); });
    EXPECT_TRUE(contains(statements, "SELECT * FROM \"sqlite_temp_master\" WHERE (\"type\" = 'table')"));

    SchemaReader current(db, SQLiteVersion{3, 33, 0});
    statements = traced(*db, [&] { EXPECT_EQ(current.objectDefinitions("t", OT::table).size(), 1u); });
    EXPECT_TRUE(contains(statements,
                         "SELECT * FROM \"main\".\"sqlite_schema\" WHERE ((\"name\" = 't') AND (\"type\" = 'table'))"));
    statements = traced(*db, [&] { EXPECT_EQ(current.objectDefinitions(std::nullopt, std::nullopt, true).size(), 1u); });
    EXPECT_TRUE(contains(statements, "SELECT * FROM \"temp\".\"sqlite_schema\""));
}

TEST(SchemaReaderTest, NamesWithQuotes)
{
    auto db = schematest::memoryDatabase();
    db->execute("CREATE TABLE \"we\"\"ird\" (\"co\"\"l\" TEXT)");
    db->execute("CREATE INDEX \"i\"\"x\" ON \"we\"\"ird\" (\"co\"\"l\" DESC)");
    SchemaReader reader(db);
    std::vector<std::string> statements = traced(*db, [&] {
        ASSERT_EQ(reader.columnDefinitions("we\"ird").size(), 1u);
        ASSERT_EQ(reader.indexDefinitions("we\"ird").size(), 1u);
    });
    EXPECT_TRUE(contains(statements, "PRAGMA table_info(\"we\"\"ird\")"));
    EXPECT_TRUE(contains(statements, "PRAGMA index_list(\"we\"\"ird\")"));
    EXPECT_TRUE(contains(statements, "PRAGMA index_info(\"i\"\"x\")"));
    EXPECT_TRUE(contains(statements, "PRAGMA foreign_key_list(\"we\"\"ird\")"));
    EXPECT_EQ(reader.columnDefinitions("we\"ird").front().name, "co\"l");
    EXPECT_EQ(reader.indexDefinitions("we\"ird").front().columns, std::vector<std::string>{"co\"l"});
}

TEST(SchemaChecksTest, ForeignKeyCheck)
{
    auto db = schematest::memoryDatabase();
    db->execute("CREATE TABLE parent (id INTEGER PRIMARY KEY)");
    db->execute("CREATE TABLE child (id INTEGER PRIMARY KEY, p REFERENCES parent (id))");
    db->execute("CREATE TABLE \"o\"\"ther\" (id INTEGER PRIMARY KEY, p REFERENCES parent (id))");
    db->execute("CREATE TABLE norowid (id PRIMARY KEY, p REFERENCES parent (id)) WITHOUT ROWID");
    db->execute("INSERT INTO parent VALUES (1)");
    db->execute("INSERT INTO child VALUES (5, 1)");
    EXPECT_TRUE(checkForeignKeys(*db).empty());

    db->execute("INSERT INTO child VALUES (7, 2), (8, 3)");
    db->execute("INSERT INTO \"o\"\"ther\" VALUES (9, 4)");
    db->execute("INSERT INTO norowid VALUES (1, 4)");
    const auto all = checkForeignKeys(*db);
    ASSERT_EQ(all.size(), 3u); // the row without a rowid is left out
    // In the engine's order.
    std::vector<std::string> texts;
    for (const ForeignKeyError& error : all)
        texts.push_back(error.from + "|" + std::to_string(error.rowId) + "|" + error.to);
    auto engine = schematest::rows(*db, "SELECT \"table\", rowid, parent FROM pragma_foreign_key_check WHERE rowid IS NOT NULL");
    EXPECT_EQ(texts, engine);
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts, (std::vector<std::string>{"child|7|parent", "child|8|parent", "o\"ther|9|parent"}));

    const auto statements = traced(*db, [&] {
        const auto one = checkForeignKeys(*db, "o\"ther");
        ASSERT_EQ(one.size(), 1u);
        EXPECT_EQ(one[0].rowId, 9);
    });
    EXPECT_TRUE(contains(statements, "PRAGMA foreign_key_check(\"o\"\"ther\")"));
    EXPECT_THROW(checkForeignKeys(*db, "missing"), Result);
}

TEST(SchemaChecksTest, IntegrityCheck)
{
    auto db = schematest::memoryDatabase();
    db->execute("CREATE TABLE t (a NOT NULL, b)");
    db->execute("INSERT INTO t VALUES (1, 2)");
    EXPECT_TRUE(checkIntegrity(*db).empty());
    EXPECT_TRUE(checkIntegrity(*db, "t").empty());

    // Two rows that break a NOT NULL constraint added behind the engine's back.
    db->execute("INSERT INTO t VALUES (2, NULL), (3, NULL)");
    db->execute("PRAGMA writable_schema = ON");
    db->execute("UPDATE sqlite_master SET sql = 'CREATE TABLE t (a NOT NULL, b NOT NULL)' WHERE name = 't'");
    db->execute("PRAGMA writable_schema = OFF");
    db->execute("PRAGMA writable_schema = RESET"); // parse the changed schema
    const auto statements = traced(*db, [&] {
        EXPECT_EQ(checkIntegrity(*db, "t"),
                  (std::vector<std::string>{"NULL value in t.b", "NULL value in t.b"}));
    });
    EXPECT_TRUE(contains(statements, "PRAGMA integrity_check(\"t\")"));
    EXPECT_EQ(checkIntegrity(*db).size(), 2u);

    try {
        checkIntegrity(*db, "t", SQLiteVersion{3, 32, 0});
        FAIL() << "no error";
    } catch (const UnsupportedCheckError& error) {
        EXPECT_STREQ(error.what(), "The integrity check of one table needs SQLite 3.33.0 or later; the library in use "
                                   "is SQLite 3.32.0");
    }
    EXPECT_EQ(checkIntegrity(*db, std::nullopt, SQLiteVersion{3, 32, 0}).size(), 2u);
}

TEST(SchemaChecksTest, EveryReaderIsNew)
{
    auto db = schematest::memoryDatabase();
    auto first = makeSchemaReader(db);
    auto second = makeSchemaReader(db);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->connection(), db);
    EXPECT_EQ(second->connection(), db);
}
