#include "sql/TableBuilder.h"

#include "SchemaTestSupport.h"

#include <gtest/gtest.h>

using namespace velquine::sql;
using schematest::rows;
using D = TableBuilder::Dependency;

namespace {

const Expression<std::int64_t> id("id");
const Expression<std::string> email("email");
const Expression<std::optional<std::string>> name("name");
const Expression<std::optional<std::int64_t>> parentId("parent_id");
const Expression<double> score("score");
const Expression<bool> flag("flag");
const Expression<Blob> data("data");

} // namespace

TEST(TableBuilderTest, ColumnsAndFlags)
{
    const std::string users = create(Table("users"), [](TableBuilder& t) {
        t.column(id, PrimaryKey::autoincrement);
        t.column(email, true);
        t.column(name);
    });
    EXPECT_EQ(users, "CREATE TABLE \"users\" (\"id\" INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL, "
                     "\"email\" TEXT NOT NULL UNIQUE, \"name\" TEXT)");

    EXPECT_EQ(create(Table("t"), [](TableBuilder&) {}), "CREATE TABLE \"t\" ()");
    EXPECT_EQ(create(Table("t"), {.temporary = true, .ifNotExists = true, .withoutRowid = true},
                     [](TableBuilder& t) { t.column(id, PrimaryKey::default_); }),
              "CREATE TEMPORARY TABLE IF NOT EXISTS \"t\" (\"id\" INTEGER PRIMARY KEY NOT NULL) WITHOUT ROWID");
    EXPECT_EQ(create(Table("we\"ird"), [](TableBuilder& t) { t.column(flag); }),
              "CREATE TABLE \"we\"\"ird\" (\"flag\" INTEGER NOT NULL)");
    EXPECT_EQ(create(Table("t", "db"), [](TableBuilder& t) { t.column(data); }),
              "CREATE TABLE \"db\".\"t\" (\"data\" BLOB NOT NULL)");
    EXPECT_EQ(create(Table("t").alias("x"), [](TableBuilder& t) { t.column(score); }),
              "CREATE TABLE \"x\" (\"score\" REAL NOT NULL)");
    EXPECT_FALSE(dependencyFromRawValue("cascade"));
    EXPECT_FALSE(dependencyFromRawValue("SET  NULL"));
    EXPECT_EQ(dependencyFromRawValue("SET DEFAULT"), D::setDefault);
    EXPECT_EQ(rawValue(D::noAction), "NO ACTION");
}

TEST(TableBuilderTest, ChecksDefaultsAndCollations)
{
    const std::string sql = create(Table("t"), [](TableBuilder& t) {
        t.column(email, false, email != "", "it's");
        t.column(name, false, name != std::optional<std::string>("x"), std::optional<std::string>());
        t.column(name, false, {}, "n");
        t.column(score, false, {}, 1.0);
        t.column(flag, false, {}, true);
        t.column(data, false, {}, Blob(std::vector<std::uint8_t>{0x0a, 0xff}));
        t.column(parentId, false, {}, Expression<std::int64_t>("id"));
        t.column(email, true, {}, "a", Collation::nocase);
        t.column(name, false, {}, {}, Collation::custom("my \"coll\""));
    });
    EXPECT_EQ(sql, "CREATE TABLE \"t\" ("
                   "\"email\" TEXT NOT NULL CHECK (\"email\" != '') DEFAULT ('it''s'), "
                   "\"name\" TEXT CHECK (\"name\" != 'x'), "
                   "\"name\" TEXT DEFAULT ('n'), "
                   "\"score\" REAL NOT NULL DEFAULT (1.0), "
                   "\"flag\" INTEGER NOT NULL DEFAULT (1), "
                   "\"data\" BLOB NOT NULL DEFAULT (x'0aff'), "
                   "\"parent_id\" INTEGER DEFAULT (\"id\"), "
                   "\"email\" TEXT NOT NULL UNIQUE DEFAULT ('a') COLLATE NOCASE, "
                   "\"name\" TEXT COLLATE \"my \"\"coll\"\"\")");
}

TEST(TableBuilderTest, PrimaryKeysAndReferences)
{
    const Table parent("parent", "db");
    const std::string sql = create(Table("child"), [&](TableBuilder& t) {
        t.column(id, PrimaryKeyFlag{true}, id > std::int64_t{0}, Expression<std::int64_t>("7", {}));
        t.column(score, PrimaryKeyFlag{false});
        t.column(parentId, references(parent, id), true);
        t.column(Expression<std::int64_t>("other"), references(parent.alias("p"), id), PrimaryKeyFlag{true});
    });
    EXPECT_EQ(sql, "CREATE TABLE \"child\" ("
                   "\"id\" INTEGER PRIMARY KEY NOT NULL CHECK (\"id\" > 0) DEFAULT (7), "
                   "\"score\" REAL NOT NULL, "
                   "\"parent_id\" INTEGER UNIQUE REFERENCES \"parent\" (\"id\"), "
                   "\"other\" INTEGER PRIMARY KEY NOT NULL REFERENCES \"p\" (\"id\"))");
}

TEST(TableBuilderTest, TableConstraintsInCallOrder)
{
    const Expression<std::int64_t> a("a");
    const Expression<std::string> b("b");
    const Table parent("parent");
    const std::string sql = create(Table("t"), [&](TableBuilder& t) {
        t.column(a);
        t.primaryKey(a, b);
        t.column(b);
        t.unique(a);
        t.check(a > std::int64_t{1});
        t.foreignKey(a, parent, id, std::nullopt, D::cascade);
        t.foreignKey(parentId, parent, id, D::setNull, D::restrict);
        t.foreignKey(std::tuple{a, b}, parent, std::tuple{id, email});
        t.foreignKey(std::tuple{a, b, parentId}, parent, std::tuple{id, email, parentId}, D::noAction);
        t.primaryKey(a, b, a, b);
    });
    EXPECT_EQ(sql, "CREATE TABLE \"t\" (\"a\" INTEGER NOT NULL, PRIMARY KEY (\"a\", \"b\"), \"b\" TEXT NOT NULL, "
                   "UNIQUE (\"a\"), CHECK ((\"a\" > 1)), "
                   "FOREIGN KEY (\"a\") REFERENCES \"parent\" (\"id\") ON DELETE CASCADE, "
                   "FOREIGN KEY (\"parent_id\") REFERENCES \"parent\" (\"id\") ON UPDATE SET NULL ON DELETE RESTRICT, "
                   "FOREIGN KEY (\"a\", \"b\") REFERENCES \"parent\" (\"id\", \"email\"), "
                   "FOREIGN KEY (\"a\", \"b\", \"parent_id\") REFERENCES \"parent\" (\"id\", \"email\", \"parent_id\") "
                   "ON UPDATE NO ACTION, "
                   "PRIMARY KEY (\"a\", \"b\", \"a\", \"b\"))");
}

// The statements run on a real database and do what they say.
TEST(TableBuilderTest, StatementsRunOnTheEngine)
{
    auto db = schematest::memoryDatabase();
    db->setForeignKeys(true);
    db->execute(create(Table("parent"), [](TableBuilder& t) {
        t.column(id, PrimaryKey::autoincrement);
        t.column(email, true, {}, "none", Collation::nocase);
    }));
    db->execute(create(Table("child"), {.ifNotExists = true}, [](TableBuilder& t) {
        t.column(id, PrimaryKey::default_);
        t.column(parentId, references(Table("parent"), id));
        t.column(score, false, score >= 0.0, 0.5);
        t.column(name, false, {}, "it's");
        t.foreignKey(parentId, Table("parent"), id, std::nullopt, D::cascade);
        t.check(score < 10.0);
    }));
    db->execute(create(Table("pair"), {.withoutRowid = true}, [](TableBuilder& t) {
        t.column(id);
        t.column(email);
        t.primaryKey(id, email);
    }));
    db->execute("INSERT INTO parent (email) VALUES ('A')");
    db->execute("INSERT INTO parent DEFAULT VALUES");
    EXPECT_THROW(db->execute("INSERT INTO parent (email) VALUES ('a')"), Result); // NOCASE uniqueness
    db->execute("INSERT INTO child (id, parent_id) VALUES (1, 1), (2, 2)");
    EXPECT_EQ(rows(*db, "SELECT * FROM parent ORDER BY id"), (std::vector<std::string>{"1|A", "2|none"}));
    EXPECT_EQ(rows(*db, "SELECT * FROM child ORDER BY id"), (std::vector<std::string>{"1|1|0.5|it's", "2|2|0.5|it's"}));
    EXPECT_THROW(db->execute("INSERT INTO child (id, score) VALUES (3, -1)"), Result);
    EXPECT_THROW(db->execute("INSERT INTO child (id, score) VALUES (3, 11)"), Result);
    EXPECT_THROW(db->execute("INSERT INTO child (id, parent_id) VALUES (3, 99)"), Result);
    db->execute("DELETE FROM parent WHERE id = 1");
    EXPECT_EQ(rows(*db, "SELECT id FROM child"), std::vector<std::string>{"2"});
    db->execute("INSERT INTO pair VALUES (1, 'a'), (1, 'b')");
    EXPECT_THROW(db->execute("INSERT INTO pair VALUES (1, 'a')"), Result);
}
