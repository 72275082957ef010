// The reader and the changer on a database file shaped like a document store: a node table, tables
// of node attributes that refer to it, indexes and a view, read after the file is opened again.

#include "sql/SchemaChanger.h"
#include "sql/SchemaChecks.h"
#include "sql/SchemaReader.h"

#include "SchemaTestSupport.h"
#include "TempDir.h"

#include <gtest/gtest.h>

using namespace velquine::sql;
using schematest::rows;
using A = ColumnDefinition::Affinity;
using OT = ObjectDefinition::ObjectType;

namespace {

void createStore(const std::string& path)
{
    auto db = Connection::open(path);
    db->execute(R"(
        CREATE TABLE metainfo (key TEXT PRIMARY KEY NOT NULL, value TEXT);
        CREATE TABLE nodes (id INTEGER PRIMARY KEY, parent_id INTEGER REFERENCES nodes (id) ON DELETE CASCADE,
                            title TEXT NOT NULL DEFAULT '', created REAL DEFAULT (julianday('now')), extra);
        CREATE TABLE node_notes (node_id INTEGER NOT NULL REFERENCES nodes (id) ON DELETE CASCADE, note TEXT);
        CREATE INDEX node_parent ON nodes (parent_id);
        CREATE UNIQUE INDEX node_note ON node_notes (node_id DESC);
        CREATE VIEW roots AS SELECT id, title FROM nodes WHERE parent_id IS NULL;
        INSERT INTO metainfo VALUES ('version', '2');
        INSERT INTO nodes (id, parent_id, title, extra) VALUES (1, NULL, 'Root', x'01'), (2, 1, 'Child', '007'), (3, 2, 'Leaf', 7);
        INSERT INTO node_notes VALUES (1, 'root note'), (3, 'leaf note');
    )");
}

} // namespace

TEST(SchemaRoundTripTest, ReaderReportsAStoreFile)
{
    TempDir dir;
    const std::string path = dir.file("store.sqlite");
    createStore(path);
    auto db = Connection::open(path, true);
    auto reader = makeSchemaReader(db);

    std::vector<std::string> objects;
    for (const ObjectDefinition& object : reader->objectDefinitions())
        objects.push_back(rawValue(object.type) + " " + object.name + " on " + object.tableName
                          + (object.isSystemObject() ? " (system)" : ""));
    EXPECT_EQ(objects, (std::vector<std::string>{"table metainfo on metainfo",
                                                 "index sqlite_autoindex_metainfo_1 on metainfo (system)",
                                                 "table nodes on nodes", "table node_notes on node_notes",
                                                 "index node_parent on nodes", "index node_note on node_notes",
                                                 "view roots on roots"}));

    const auto nodes = reader->columnDefinitions("nodes");
    ASSERT_EQ(nodes.size(), 5u);
    EXPECT_EQ(nodes[0], (ColumnDefinition{"id", ColumnDefinition::PrimaryKey{}, A::INTEGER, true, LiteralValue::NULL_(), std::nullopt}));
    EXPECT_EQ(nodes[1].references, (ColumnDefinition::ForeignKey{"nodes", "parent_id", "id", std::nullopt, "CASCADE"}));
    EXPECT_EQ(nodes[2].defaultValue, LiteralValue::stringLiteral(""));
    EXPECT_FALSE(nodes[2].nullable);
    EXPECT_EQ(nodes[3].type, A::REAL);
    EXPECT_EQ(nodes[3].defaultValue.description(), "(julianday('now'))");
    EXPECT_EQ(nodes[4].type, A::BLOB);

    EXPECT_EQ(reader->columnDefinitions("metainfo")[0].primaryKey, ColumnDefinition::PrimaryKey{});
    EXPECT_TRUE(reader->indexDefinitions("metainfo").empty());
    const auto noteIndexes = reader->indexDefinitions("node_notes");
    ASSERT_EQ(noteIndexes.size(), 1u);
    EXPECT_TRUE(noteIndexes[0].unique);
    EXPECT_EQ(noteIndexes[0].createStatement(), "CREATE UNIQUE INDEX \"node_note\" ON \"node_notes\" (\"node_id\" DESC)");
    EXPECT_EQ(reader->foreignKeys("node_notes"),
              (std::vector<ColumnDefinition::ForeignKey>{{"nodes", "node_id", "id", std::nullopt, "CASCADE"}}));
    EXPECT_TRUE(checkForeignKeys(*db).empty());
    EXPECT_TRUE(checkIntegrity(*db).empty());
}

// The same changes made natively and through the rebuild leave the same rows and answers.
TEST(SchemaRoundTripTest, NativeAndRebuiltChangesAgree)
{
    TempDir dir;
    std::vector<std::vector<std::string>> results;
    for (SQLiteVersion version : {SQLiteVersion{3, 40, 1}, SQLiteVersion{3, 24, 0}}) {
        const std::string path = dir.file("store-" + version.description() + ".sqlite");
        createStore(path);
        auto db = Connection::open(path);
        db->setForeignKeys(true);
        db->execute("DROP VIEW roots"); // a view over the table blocks the rebuild's rename
        SchemaChanger changer(db, version);
        changer.alter("nodes", [](SchemaChanger::AlterTableDefinition& t) {
            t.add(ColumnDefinition{"folded", std::nullopt, A::INTEGER, false, LiteralValue::numericLiteral("0"), std::nullopt});
            t.rename("title", "name");
            t.drop("extra");
        });
        changer.rename("node_notes", "notes");
        db = Connection::open(path);
        db->setForeignKeys(true);
        std::vector<std::string> result = rows(*db, "SELECT id, parent_id, name, folded FROM nodes ORDER BY id");
        for (const std::string& line : rows(*db, "SELECT node_id, note FROM notes ORDER BY node_id"))
            result.push_back(line);
        db->execute("DELETE FROM nodes WHERE id = 2"); // the cascade still reaches the leaf and its note
        for (const std::string& line : rows(*db, "SELECT (SELECT count(*) FROM nodes), (SELECT count(*) FROM notes)"))
            result.push_back(line);
        result.push_back(std::to_string(SchemaReader(db).columnDefinitions("nodes").size()));
        EXPECT_TRUE(checkIntegrity(*db).empty());
        results.push_back(result);
    }
    EXPECT_EQ(results[0], (std::vector<std::string>{"1|NULL|Root|0", "2|1|Child|0", "3|2|Leaf|0", "1|root note",
                                                    "3|leaf note", "1|1", "5"}));
    EXPECT_EQ(results[1], results[0]);
}
