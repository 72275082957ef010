#pragma once

// The database of one save or one open, and the working copy a save writes into.
//
// A save makes a Database for the file it will finally produce: the constructor builds a fresh, empty
// database with the document schema at a working path derived from that file's path, the table
// writers fill it, and closeAndMove() closes it and copies the finished file into place. An open makes
// an empty Database and puts its own read-only connection into it.

#include "sql/Connection.h"

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace velquine {

class LockedFolder;

// The failures of the working store, with their fixed texts.
class DatabaseError : public std::runtime_error {
public:
    enum class Kind { sqLiteError, databaseNotOpen, canNotOpenSchemaFile, damaged, foreignSchema, tooMuchWork };

    // "General SQLite error: " followed by the message.
    static DatabaseError sqLiteError(const std::string& message);
    // The same with the engine error's text, keeping its result code and system error number.
    static DatabaseError sqLiteError(const sql::Result& error);
    // "Database connection is not open."
    static DatabaseError databaseNotOpen();
    // "Schema file not found or damaged. Please re-install Velquine."
    static DatabaseError canNotOpenSchemaFile();

    // "The document is damaged and can not be opened."
    static DatabaseError damaged();
    // A table of ours that is no plain table: "The document can not be opened: its database makes “name” a
    // view, a trigger or a virtual table, which this program does not run."
    static DatabaseError foreignSchema(const std::string& name);
    // "The document can not be opened: reading it takes far more work than a document of its size needs."
    static DatabaseError tooMuchWork();

    Kind kind() const noexcept { return kind_; }
    // The payload of sqLiteError; empty for the other kinds.
    const std::string& message() const noexcept { return message_; }
    std::string description() const { return what(); }
    // The engine's result code and system error number behind a sqLiteError made from an engine error; 0
    // otherwise.
    int resultCode() const noexcept { return resultCode_; }
    int systemErrorNumber() const noexcept { return systemErrorNumber_; }

private:
    DatabaseError(Kind kind, std::string message, const std::string& text);

    Kind kind_;
    std::string message_;
    int resultCode_ = 0;
    int systemErrorNumber_ = 0;
};

class Database {
public:
    // The program's folder inside the data folder, where working paths lie.
    static constexpr const char* bundleIdentifier = "io.kelvarn.velquine";

    // Where a save builds its database: at the working path for the path, in the program's folder in the data
    // folder, copied into place by closeAndMove; or at the path itself, for a save whose data folder can take
    // nothing (closeAndMove then only closes it).
    enum class Place { workingCopy, atPath };

    // Not open: the opener fills in its connection.
    Database() = default;
    // A fresh read-write database at the working path for `path`, holding the tables of the schema
    // resource "db_schema" of type "sql" and no rows. A stale file at the working path is deleted
    // first. Throws std::filesystem::filesystem_error for folders and files, the sql::Result of a
    // connection that cannot be opened, DatabaseError::canNotOpenSchemaFile without the resource and
    // DatabaseError::sqLiteError for a failing schema statement. After a failure the connection is
    // closed and the working file stays.
    explicit Database(const std::string& path);
    // The same with the schema text given (none: the resource is missing).
    Database(const std::string& path, const std::optional<std::string>& schemaText);
    // The same built at the place given, with the schema resource.
    Database(const std::string& path, Place place);

    // Opens the database of a document for loading, read-only and as input that cannot be trusted: the
    // engine's defensive mode, no functions of the file's schema, no views or triggers, limits on value
    // sizes and statement shapes that our rows never reach, and a budget of engine steps in proportion to
    // the file's size for everything read through it (see workBudgetExceeded). The file must be a private
    // copy: a database in write-ahead-log mode is switched to a rollback journal in place, so nothing is
    // ever made beside it. Tables of ours that are views, triggers or virtual tables are refused
    // (foreignSchema), and so is a file the engine finds damaged, that is no database, or whose format it
    // does not know (damaged).
    static Database openForReading(const std::string& path);
    // True once a statement was stopped because the reading had used up its budget: what was read is
    // incomplete, and the document must not be opened.
    bool workBudgetExceeded() const;

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    Database(Database&&) = default;
    Database& operator=(Database&&) = default;

    // Empty means not open. Releasing the last reference closes the file.
    std::shared_ptr<sql::Connection> connection;

    // The open connection; throws DatabaseError::databaseNotOpen when there is none.
    sql::Connection& openConnection() const;

    // Closes the connection, replaces whatever is at `path` by a copy of the working file, then
    // removes the working file and its folder (removeWorkingDirectory). A database built at its path is
    // only closed. Throws
    // std::filesystem::filesystem_error, with the system's error number of the failing call (a full disk:
    // ENOSPC); the steps before a failing one keep their effect.
    void closeAndMove(const std::string& path);

    // Removes the working folder for a path with whatever is in it, then the folders above it that are left
    // empty, up to the program's folder (which stays). Failures are ignored.
    static void removeWorkingDirectory(const std::string& path) noexcept;
    // Removes the folders between the program's folder and the folder given (which lies inside the program's
    // folder), deepest first, as long as they are empty. Failures are ignored.
    static void removeEmptyWorkingFolders(const std::string& folder) noexcept;

    // True for the engine's result codes (primary or extended) and messages that mean a damaged file.
    static bool isDamage(int code, const std::string& message);

    // The working path for a path: the file's name in a folder of the working folder named by a digest of the
    // path's folder ("<data>/io.kelvarn.velquine/Working/3FA2…/database.sqlite"), so that no other folder's path
    // shows in it. Throws a std::runtime_error when there is no data folder.
    static std::string workingPath(const std::string& path);
    // The folder the working copies lie in, each in a folder of its own that the save writing it holds
    // (LockedFolder) while it does ("<data>/io.kelvarn.velquine/Working").
    static std::string workingFolder();
    // The program's folder in the user's data folder ("<data>/io.kelvarn.velquine"). Throws a std::runtime_error
    // when there is no data folder.
    static std::string programFolder();
    // The folder the working file lives in: the working path without its last component.
    static std::string workingDirectory(const std::string& path);

private:
    Database(const std::string& path, const std::optional<std::string>& schemaText, Place place);

    struct WorkBudget;
    std::shared_ptr<WorkBudget> budget_;
    // The lock on the working copy's folder, held until the copy is moved into place or the database goes.
    std::shared_ptr<LockedFolder> workingLock_;
    Place place_ = Place::workingCopy;
};

} // namespace velquine
