#include "files/Database.h"

#include "platform/Resources.h"

#include <QStandardPaths>
#include <QString>

#include <filesystem>
#include <utility>

namespace fs = std::filesystem;

namespace velquine {

DatabaseError::DatabaseError(Kind kind, std::string message, const std::string& text)
    : std::runtime_error(text), kind_(kind), message_(std::move(message))
{
}

DatabaseError DatabaseError::sqLiteError(const std::string& message)
{
    return DatabaseError(Kind::sqLiteError, message, "General SQLite error: " + message);
}

DatabaseError DatabaseError::databaseNotOpen()
{
    return DatabaseError(Kind::databaseNotOpen, {}, "Database connection is not open.");
}

DatabaseError DatabaseError::canNotOpenSchemaFile()
{
    return DatabaseError(Kind::canNotOpenSchemaFile, {},
                         "Schema file not found or damaged. Please re-install Velquine.");
}

namespace {

fs::path toPath(const std::string& text)
{
    return fs::path(std::u8string(text.begin(), text.end()));
}

bool somethingAt(const fs::path& path)
{
    // A dangling link is something too, and is removed like a file.
    return fs::exists(fs::symlink_status(path));
}

} // namespace

std::string Database::workingPath(const std::string& path)
{
    // The working folder is removed whole after a save: a relative path, or one that climbs with
    // "..", would put it (and that removal) outside the folder made for it.
    const fs::path given = toPath(path);
    if (!given.is_absolute() || given.lexically_normal() != given || given.filename().empty())
        throw std::runtime_error("Not a plain absolute file path: " + path);
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (folder.isEmpty())
        throw std::runtime_error("There is no folder for application data.");
    return folder.toStdString() + bundleIdentifier + path;
}

std::string Database::workingDirectory(const std::string& path)
{
    const std::string working = workingPath(path);
    const std::size_t slash = working.find_last_of('/');
    return slash == std::string::npos ? std::string() : working.substr(0, slash);
}

Database::Database(const std::string& path) : Database(path, resourceData("db_schema", "sql"))
{
}

Database::Database(const std::string& path, const std::optional<std::string>& schemaText)
{
    const fs::path working = toPath(workingPath(path));
    const fs::path directory = toPath(workingDirectory(path));
    if (!directory.empty() && !somethingAt(directory))
        fs::create_directories(directory);
    if (somethingAt(working))
        fs::remove_all(working);

    // Held locally until the schema is in: every failure below closes the file again.
    std::shared_ptr<sql::Connection> opened = sql::Connection::open(working.string(), false);
    if (!schemaText)
        throw DatabaseError::canNotOpenSchemaFile();
    try {
        opened->execute(*schemaText);
    } catch (const sql::Result& error) {
        throw DatabaseError::sqLiteError(error.description());
    }
    connection = std::move(opened);
}

sql::Connection& Database::openConnection() const
{
    if (!connection)
        throw DatabaseError::databaseNotOpen();
    return *connection;
}

void Database::closeAndMove(const std::string& path)
{
    connection.reset();
    const fs::path working = toPath(workingPath(path));
    const fs::path directory = toPath(workingDirectory(path));
    const fs::path target = toPath(path);
    if (somethingAt(target))
        fs::remove_all(target);
    fs::copy_file(working, target);
    if (somethingAt(working))
        fs::remove_all(working);
    if (!directory.empty() && somethingAt(directory))
        fs::remove_all(directory);
}

} // namespace velquine
