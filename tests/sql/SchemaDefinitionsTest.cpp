#include "sql/ColumnDefinition.h"
#include "sql/IndexDefinition.h"
#include "sql/ObjectDefinition.h"

#include "SchemaTestSupport.h"

#include <gtest/gtest.h>

using namespace velquine::sql;
using A = ColumnDefinition::Affinity;
using PK = ColumnDefinition::PrimaryKey;
using FK = ColumnDefinition::ForeignKey;

TEST(SchemaDefinitionsTest, EnumerationTexts)
{
    EXPECT_EQ(rawValue(ObjectDefinition::ObjectType::trigger), "trigger");
    EXPECT_EQ(objectTypeFromRawValue("view"), ObjectDefinition::ObjectType::view);
    EXPECT_EQ(objectTypeFromRawValue("VIEW"), std::nullopt);
    EXPECT_EQ(affinityFromRawValue("NUMERIC"), A::NUMERIC);
    EXPECT_EQ(affinityFromRawValue("numeric"), std::nullopt);
    EXPECT_EQ(columnOnConflictFromRawValue("IGNORE"), ColumnDefinition::OnConflict::IGNORE);
    EXPECT_EQ(columnOnConflictFromRawValue("ignore"), std::nullopt);
    EXPECT_EQ(indexOrderFromRawValue("DESC"), IndexDefinition::Order::DESC);
    EXPECT_EQ(indexOrderFromRawValue("desc"), std::nullopt);
    EXPECT_EQ((ForeignKeyError{"child", 7, "parent"}.description()), "child [7] => parent");
}

TEST(SchemaDefinitionsTest, SystemObjects)
{
    EXPECT_TRUE((ObjectDefinition{ObjectDefinition::ObjectType::table, "sqlite_sequence", "x", 3, "CREATE"}.isSystemObject()));
    EXPECT_TRUE((ObjectDefinition{ObjectDefinition::ObjectType::index, "ix", "t", 3, std::nullopt}.isSystemObject()));
    EXPECT_FALSE((ObjectDefinition{ObjectDefinition::ObjectType::table, "SQLITE_x", "t", 3, "CREATE"}.isSystemObject()));
}

TEST(SchemaDefinitionsTest, AffinityOfDeclaredTypes)
{
    EXPECT_EQ(affinityOfDeclaredType("VARCHAR(40)"), A::TEXT);
    EXPECT_EQ(affinityOfDeclaredType("bigint"), A::INTEGER);
    EXPECT_EQ(affinityOfDeclaredType("DOUBLE PRECISION"), A::REAL);
    EXPECT_EQ(affinityOfDeclaredType("DECIMAL(10,2)"), A::NUMERIC);
    EXPECT_EQ(affinityOfDeclaredType("FLOATING POINT"), A::INTEGER);
    EXPECT_EQ(affinityOfDeclaredType("CHARINT"), A::INTEGER);
    EXPECT_EQ(affinityOfDeclaredType("NONE"), A::NUMERIC);
    EXPECT_EQ(affinityOfDeclaredType("blob"), A::BLOB);
    EXPECT_EQ(affinityOfDeclaredType("Blob"), A::BLOB);
    EXPECT_EQ(affinityOfDeclaredType("clob"), A::TEXT);
    // No declared type: the engine stores values unchanged (BLOB affinity).
    EXPECT_EQ(affinityOfDeclaredType(""), A::BLOB);
}

TEST(SchemaDefinitionsTest, PrimaryKeyReadFromTableText)
{
    EXPECT_EQ(PK::fromTableSQL("CREATE TABLE t (a INTEGER PRIMARY KEY AUTOINCREMENT)"), (PK{true, std::nullopt}));
    EXPECT_EQ(PK::fromTableSQL("CREATE TABLE t (a INTEGER PRIMARY KEY DESC ON CONFLICT REPLACE AUTOINCREMENT)"),
              (PK{true, ColumnDefinition::OnConflict::REPLACE}));
    EXPECT_EQ(PK::fromTableSQL("CREATE TABLE t (a PRIMARY KEY ON CONFLICT replace AUTOINCREMENT)"),
              (PK{true, std::nullopt}));
    EXPECT_EQ(PK::fromTableSQL("CREATE TABLE t (a, b, PRIMARY KEY (a, b))"), (PK{false, std::nullopt}));
    EXPECT_EQ(PK::fromTableSQL("CREATE TABLE t (a integer primary key)"), std::nullopt);
    EXPECT_EQ(PK::fromTableSQL("CREATE TABLE t (a PRIMARY KEY ON CONFLICT FAIL, b PRIMARY KEY AUTOINCREMENT)"),
              (PK{false, ColumnDefinition::OnConflict::FAIL}));
}

TEST(SchemaDefinitionsTest, ClauseTexts)
{
    EXPECT_EQ((PK{true, ColumnDefinition::OnConflict::REPLACE}.constraintSQL()),
              "PRIMARY KEY ON CONFLICT REPLACE AUTOINCREMENT");
    EXPECT_EQ((PK{false, std::nullopt}.constraintSQL()), "PRIMARY KEY");
    EXPECT_EQ((FK{"parent", "pid", "id", std::nullopt, "CASCADE"}.constraintSQL()),
              "REFERENCES \"parent\" (\"id\") ON DELETE CASCADE");
    EXPECT_EQ((FK{"pa\"rent", "pid", std::nullopt, "SET NULL", "RESTRICT"}.constraintSQL()),
              "REFERENCES \"pa\"\"rent\" ON UPDATE SET NULL ON DELETE RESTRICT");

    ColumnDefinition id{"id", PK{true, std::nullopt}, A::INTEGER, false, LiteralValue::NULL_(), std::nullopt};
    EXPECT_EQ(id.definitionSQL(), "\"id\" INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL");
    ColumnDefinition plain{"name", std::nullopt, A::TEXT, true, LiteralValue::NULL_(), std::nullopt};
    EXPECT_EQ(plain.definitionSQL(), "\"name\" TEXT");
    ColumnDefinition all{"a\"b", PK{false, ColumnDefinition::OnConflict::ABORT}, A::REAL, false,
                         LiteralValue::stringLiteral("x'y"), FK{"p", "a\"b", "k", "CASCADE", std::nullopt}};
    EXPECT_EQ(all.definitionSQL(),
              "\"a\"\"b\" REAL DEFAULT 'x''y' PRIMARY KEY ON CONFLICT ABORT NOT NULL REFERENCES \"p\" (\"k\") "
              "ON UPDATE CASCADE");
    ColumnDefinition expression{"e", std::nullopt, A::NUMERIC, true, LiteralValue::numericLiteral("1 + 2"), std::nullopt};
    EXPECT_EQ(expression.definitionSQL(), "\"e\" NUMERIC DEFAULT (1 + 2)");
}

TEST(SchemaDefinitionsTest, ColumnEquality)
{
    ColumnDefinition a{"a", std::nullopt, A::TEXT, true, LiteralValue::NULL_(), std::nullopt};
    ColumnDefinition b = a;
    EXPECT_EQ(a, b);
    b.defaultValue = LiteralValue::stringLiteral("");
    EXPECT_NE(a, b);
    b = a;
    b.references = FK{"p", "a", std::nullopt, std::nullopt, std::nullopt};
    EXPECT_NE(a, b);
    b = a;
    b.nullable = false;
    EXPECT_NE(a, b);
}

TEST(SchemaDefinitionsTest, CreateTableAndCopyRowsTexts)
{
    std::vector<ColumnDefinition> columns{
        {"id", PK{false, std::nullopt}, A::INTEGER, true, LiteralValue::NULL_(), std::nullopt},
        {"na\"me", std::nullopt, A::TEXT, false, LiteralValue::stringLiteral("x"), std::nullopt},
    };
    // The table name is quoted like any other identifier.
    EXPECT_EQ(createTableStatement(false, "tmp_my table", columns),
              "CREATE TABLE \"tmp_my table\" ( \"id\" INTEGER PRIMARY KEY,\n\"na\"\"me\" TEXT DEFAULT 'x' NOT NULL )");
    EXPECT_EQ(createTableStatement(true, "t", {columns[0]}), "CREATE TEMPORARY TABLE \"t\" ( \"id\" INTEGER PRIMARY KEY )");
    EXPECT_THROW(createTableStatement(false, "t", {}), std::invalid_argument);

    std::vector<ColumnDefinition> ab{{"a", std::nullopt, A::TEXT, true, LiteralValue::NULL_(), std::nullopt},
                                     {"b", std::nullopt, A::TEXT, true, LiteralValue::NULL_(), std::nullopt}};
    EXPECT_EQ(copyRowsStatement("tmp_t", ab, "t", ab), "INSERT INTO \"tmp_t\" (\"a\", \"b\") SELECT \"a\", \"b\" FROM \"t\"");
    EXPECT_THROW(copyRowsStatement("tmp_t", ab, "t", {ab[0]}), std::invalid_argument);
    EXPECT_THROW(copyRowsStatement("tmp_t", {}, "t", {}), std::invalid_argument);

    auto db = schematest::memoryDatabase();
    db->execute(createTableStatement(false, "tmp_my table", columns));
    db->execute("INSERT INTO \"tmp_my table\" (id) VALUES (4)");
    EXPECT_EQ(schematest::rows(*db, "SELECT * FROM \"tmp_my table\""), std::vector<std::string>{"4|x"});
    db->execute("CREATE TABLE \"select\" (\"na\"\"me\" TEXT, id INTEGER)");
    db->execute(copyRowsStatement("select", {columns[1], columns[0]}, "tmp_my table", {columns[1], columns[0]}));
    EXPECT_EQ(schematest::rows(*db, "SELECT id, \"na\"\"me\" FROM \"select\""), std::vector<std::string>{"4|x"});
}

TEST(SchemaDefinitionsTest, IndexReadFromCreateText)
{
    auto index = IndexDefinition::fromCreateSQL("t", "ix", false, {"a", "b"},
                                                "CREATE INDEX ix ON t (\"b\" DESC, a DESC) WHERE a > 0");
    EXPECT_EQ(index.where, "a > 0");
    ASSERT_TRUE(index.orders);
    EXPECT_EQ(*index.orders, (std::map<std::string, IndexDefinition::Order>{{"a", IndexDefinition::Order::DESC},
                                                                           {"b", IndexDefinition::Order::DESC}}));

    auto plain = IndexDefinition::fromCreateSQL("t", "ix", true, {"a"}, "CREATE UNIQUE INDEX ix ON t (a)");
    EXPECT_EQ(plain.where, std::nullopt);
    ASSERT_TRUE(plain.orders);
    EXPECT_TRUE(plain.orders->empty());
    EXPECT_EQ(plain.createStatement(), "CREATE UNIQUE INDEX \"ix\" ON \"t\" (\"a\")");

    auto none = IndexDefinition::fromCreateSQL("t", "ix", true, {"a"}, std::nullopt);
    EXPECT_EQ(none.orders, std::nullopt);
    EXPECT_NE(none, plain); // absent and empty orders differ

    // A condition over several lines is kept whole.
    auto partial = IndexDefinition::fromCreateSQL("t", "ix", false, {"a"},
                                                  "CREATE INDEX ix ON t (a)\n  WHERE a > 0\n    AND a < 9");
    EXPECT_EQ(partial.where, "a > 0\n    AND a < 9");
}

TEST(SchemaDefinitionsTest, CreateIndexTexts)
{
    IndexDefinition index{"t", "ix", true, {"a", "b"}, "a > 0", std::map<std::string, IndexDefinition::Order>{
                                                                 {"b", IndexDefinition::Order::DESC}}};
    EXPECT_EQ(index.createStatement(), "CREATE UNIQUE INDEX \"ix\" ON \"t\" (\"a\", \"b\" DESC) WHERE a > 0");
    EXPECT_EQ(index.createStatement(true),
              "CREATE UNIQUE INDEX IF NOT EXISTS \"ix\" ON \"t\" (\"a\", \"b\" DESC) WHERE a > 0");
    index.orders = std::map<std::string, IndexDefinition::Order>{{"a", IndexDefinition::Order::ASC}};
    index.unique = false;
    index.where.reset();
    EXPECT_EQ(index.createStatement(), "CREATE INDEX \"ix\" ON \"t\" (\"a\" ASC, \"b\")");

    IndexDefinition reordered = index;
    std::swap(reordered.columns[0], reordered.columns[1]);
    EXPECT_NE(index, reordered);

    auto db = schematest::memoryDatabase();
    db->execute("CREATE TABLE t (a, b)");
    db->execute(index.createStatement());
    EXPECT_EQ(schematest::rows(*db, "SELECT name FROM sqlite_master WHERE type = 'index'"),
              std::vector<std::string>{"ix"});
}

TEST(SchemaDefinitionsTest, IndexNameLimit)
{
    IndexDefinition index{"table", std::string(64, 'i'), false, {"a"}, std::nullopt, std::nullopt};
    EXPECT_NO_THROW(index.checkNameLength());
    index.name = std::string(62, 'i') + "\xC3\xA9\xC3\xA9"; // 64 characters, 66 bytes
    EXPECT_NO_THROW(index.checkNameLength());
    index.name = std::string(65, 'i');
    try {
        index.checkNameLength();
        FAIL() << "no error";
    } catch (const IndexDefinition::IndexError& error) {
        EXPECT_EQ(error.errorDescription(),
                  "Index name '" + std::string(65, 'i') + "' on table 'table' is too long; the limit is 64 characters");
        EXPECT_EQ(error.indexName(), std::string(65, 'i'));
        EXPECT_EQ(error.tableName(), "table");
    }
}
