// The working store: where the working copy lives, the schema it is made from, its errors, and the
// move of the finished file into place.

#include "DocumentDbTestSupport.h"

#include "support/FileSizeLimit.h"

#include <QStandardPaths>

#include <filesystem>
#include <fstream>

using namespace documentdbtest;
namespace fs = std::filesystem;

namespace {

std::string dataFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation).toStdString();
}

void writeFile(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

} // namespace

TEST(DatabaseErrors, Texts)
{
    EXPECT_STREQ(DatabaseError::sqLiteError("near \"x\": syntax error").what(),
                 "General SQLite error: near \"x\": syntax error");
    EXPECT_EQ(DatabaseError::sqLiteError("boom").message(), "boom");
    EXPECT_EQ(DatabaseError::databaseNotOpen().description(), "Database connection is not open.");
    EXPECT_EQ(DatabaseError::canNotOpenSchemaFile().description(),
              "Schema file not found or damaged. Please re-install Velquine.");
    EXPECT_EQ(DatabaseError::databaseNotOpen().kind(), DatabaseError::Kind::databaseNotOpen);
}

TEST(DatabaseWorkingPath, LiesInTheProgramsFolderInsideTheDataFolder)
{
    Folder folder;
    const std::string target = folder / "database.sqlite";
    // In a folder of its own for the target's folder, which names no other folder's path.
    const std::string working = Database::workingPath(target);
    EXPECT_EQ(working, Database::workingDirectory(target) + "/database.sqlite");
    EXPECT_EQ(fs::path(working).parent_path().parent_path(), dataFolder() + "/io.kelvarn.velquine/Working");
    EXPECT_EQ(working.find(folder.path()), std::string::npos) << working;
    EXPECT_EQ(Database::workingDirectory(folder / "other.sqlite"), Database::workingDirectory(target));
    EXPECT_NE(Database::workingDirectory(folder / "x/database.sqlite"), Database::workingDirectory(target));
    // The working folder is removed whole after a save: paths that could put it elsewhere are refused.
    for (const std::string bad : {"database.sqlite", "", "/tmp/../database.sqlite", "/tmp/./x.sqlite", "/tmp/x/"})
        EXPECT_THROW(Database::workingPath(bad), std::runtime_error) << bad;
}

TEST(DatabaseWorkingCopy, HoldsEveryTableEmpty)
{
    Folder folder;
    Database database = freshDatabase(folder);
    ASSERT_TRUE(database.connection);
    EXPECT_TRUE(fs::exists(Database::workingPath(folder / "database.sqlite")));
    EXPECT_EQ(rows(database, "SELECT name FROM sqlite_master WHERE type = 'table' ORDER BY name"),
              (std::vector<std::string>{"'grid'", "'metainfo'", "'node_children_order'", "'node_folds'",
                                        "'node_images'", "'node_layout_options'", "'node_notes'", "'node_positions'",
                                        "'node_shapes'", "'node_sizes'", "'node_styles'", "'node_titles'",
                                        "'node_urls'", "'nodes'", "'project'", "'project_base_layout_options'",
                                        "'project_style'", "'selected_nodes'"}));
    for (const std::string& table : rows(database, "SELECT name FROM sqlite_master WHERE type = 'table'")) {
        const std::string name = table.substr(1, table.size() - 2);
        EXPECT_EQ(rows(database, "SELECT count(*) FROM " + name), std::vector<std::string>{"0"}) << name;
    }
    // The columns of the per-node tables, with the types that read back as written.
    EXPECT_EQ(rows(database, "SELECT name, type FROM pragma_table_info('node_sizes')"),
              (std::vector<std::string>{"'id'|'INTEGER'", "'nodeID'|'INTEGER'", "'autoSize'|'INTEGER'",
                                        "'width'|'REAL'", "'height'|'REAL'"}));
    EXPECT_EQ(rows(database, "SELECT name, type FROM pragma_table_info('nodes')"),
              (std::vector<std::string>{"'id'|'INTEGER'", "'parentID'|'INTEGER'", "'createdTS'|'REAL'",
                                        "'modifiedTS'|'REAL'"}));
    // No keys: repeated identifiers, NULLs and explicit ids are all accepted.
    exec(database, "INSERT INTO nodes (id) VALUES (1); INSERT INTO nodes (id) VALUES (1);"
                   "INSERT INTO nodes (id) VALUES (NULL); INSERT INTO selected_nodes (nodeID) VALUES (1);"
                   "INSERT INTO selected_nodes (nodeID) VALUES (1);");
    // A whole-number position stays a real.
    exec(database, "INSERT INTO node_positions (id, nodeID, x, y) VALUES (1, 1, 100, 2)");
    EXPECT_EQ(rows(database, "SELECT typeof(x), typeof(y) FROM node_positions"),
              std::vector<std::string>{"'real'|'real'"});
}

TEST(DatabaseWorkingCopy, AStaleWorkingFileIsReplaced)
{
    Folder folder;
    const std::string target = folder / "database.sqlite";
    fs::create_directories(Database::workingDirectory(target));
    writeFile(Database::workingPath(target), "left over from a failed save");
    Database database(target);
    EXPECT_EQ(rows(database, "SELECT count(*) FROM metainfo"), std::vector<std::string>{"0"});
}

TEST(DatabaseWorkingCopy, SchemaFailures)
{
    Folder folder;
    const std::string target = folder / "database.sqlite";
    try {
        Database database(target, std::nullopt);
        FAIL() << "no error";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.kind(), DatabaseError::Kind::canNotOpenSchemaFile);
        EXPECT_STREQ(error.what(), "Schema file not found or damaged. Please re-install Velquine.");
    }
    // The working file made before the failure stays.
    EXPECT_TRUE(fs::exists(Database::workingPath(target)));

    try {
        Database database(target, std::string("CREATE TABLE a (x); CREATE TABLE oops ("));
        FAIL() << "no error";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.kind(), DatabaseError::Kind::sqLiteError);
        EXPECT_EQ(std::string(error.what()).rfind("General SQLite error: ", 0), 0u) << error.what();
        EXPECT_NE(std::string(error.what()).find("(code: 1)"), std::string::npos) << error.what();
    }
}

TEST(DatabaseWorkingCopy, CloseAndMovePutsTheFileInPlaceAndCleansUp)
{
    Folder folder;
    fs::create_directories(folder / "a/b");
    const std::string target = folder / "a/b/database.sqlite";
    writeFile(target, "an older file");
    Database database(target);
    exec(database, "INSERT INTO project (title, author, notes) VALUES ('t', 'a', 'n')");
    database.closeAndMove(target);

    EXPECT_FALSE(database.connection);
    EXPECT_FALSE(fs::exists(Database::workingPath(target)));
    EXPECT_FALSE(fs::exists(Database::workingDirectory(target)));
    // The folders made above the working folder go too, as they are empty; the program's folder stays.
    EXPECT_FALSE(fs::exists(Database::programFolder() + folder.path()));
    EXPECT_TRUE(fs::exists(Database::programFolder()));
    try {
        database.openConnection();
        FAIL() << "no error";
    } catch (const DatabaseError& error) {
        EXPECT_STREQ(error.what(), "Database connection is not open.");
    }

    Database reopened;
    reopened.connection = sql::Connection::open(target, true);
    EXPECT_EQ(rows(reopened, "SELECT title, author, notes FROM project"), std::vector<std::string>{"'t'|'a'|'n'"});
}

TEST(DatabaseWorkingCopy, ACopyThatDoesNotFitSaysWhy)
{
    Folder folder;
    const std::string target = folder / "database.sqlite";
    Database database(target);
    exec(database, "INSERT INTO project (title, author, notes) VALUES (hex(zeroblob(200000)), 'a', 'n')");
    const auto size = fs::file_size(Database::workingPath(target));
    try {
        velquine::testing::FileSizeLimit limit(size / 2);
        ASSERT_TRUE(limit.applied());
        database.closeAndMove(target);
        FAIL() << "no error";
    } catch (const fs::filesystem_error& error) {
        EXPECT_EQ(error.code(), std::make_error_code(std::errc::file_too_large)) << error.what();
    }
    Database::removeWorkingDirectory(target);
    EXPECT_FALSE(fs::exists(Database::workingDirectory(target)));
}
