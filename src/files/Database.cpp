#include "files/Database.h"

#include "base/FilePaths.h"
#include "base/LockedFolder.h"
#include "files/DocumentTables.h"
#include "platform/LongWork.h"
#include "platform/Resources.h"
#include "sql/Errors.h"
#include "sql/Statement.h"

#include <sqlite3.h>

#include <QCryptographicHash>
#include <QStandardPaths>
#include <QString>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

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

DatabaseError DatabaseError::sqLiteError(const sql::Result& error)
{
    DatabaseError made = sqLiteError(error.description());
    made.resultCode_ = error.code();
    made.systemErrorNumber_ = error.systemErrorNumber();
    return made;
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

DatabaseError DatabaseError::damaged()
{
    return DatabaseError(Kind::damaged, {}, "The document is damaged and can not be opened.");
}

DatabaseError DatabaseError::foreignSchema(const std::string& name)
{
    return DatabaseError(Kind::foreignSchema, name,
                         "The document can not be opened: its database makes \u201c" + name
                             + "\u201d a view, a trigger or a virtual table, which this program does not run.");
}

DatabaseError DatabaseError::tooMuchWork()
{
    return DatabaseError(Kind::tooMuchWork, {},
                         "The document can not be opened: reading it takes far more work than a document of its "
                         "size needs.");
}

namespace {

bool somethingAt(const fs::path& path)
{
    // A dangling link is something too, and is removed like a file.
    return fs::exists(fs::symlink_status(path));
}

[[noreturn]] void throwSystemError(const char* what, const fs::path& from, const fs::path& to, int number)
{
    throw fs::filesystem_error(what, from, to, std::error_code(number, std::generic_category()));
}

// Copies a file to a new file, reporting the system's own error of the call that failed: a copy that
// stops short on a full disk says so instead of giving a general input/output error.
void copyFile(const fs::path& from, const fs::path& to)
{
    const int source = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (source < 0)
        throwSystemError("cannot copy file", from, to, errno);
    struct Closer {
        int descriptor;
        ~Closer()
        {
            if (descriptor >= 0)
                ::close(descriptor);
        }
    } sourceCloser{source};
    struct stat status {};
    if (::fstat(source, &status) != 0)
        throwSystemError("cannot copy file", from, to, errno);
    Closer target{::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, status.st_mode & 0777)};
    if (target.descriptor < 0)
        throwSystemError("cannot copy file", from, to, errno);
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(source, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            throwSystemError("cannot copy file", from, to, errno);
        if (got == 0)
            break;
        for (ssize_t done = 0; done < got;) {
            const ssize_t written = ::write(target.descriptor, buffer.data() + done, std::size_t(got - done));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                throwSystemError("cannot copy file", from, to, written < 0 ? errno : ENOSPC);
            done += written;
        }
    }
    const int descriptor = std::exchange(target.descriptor, -1);
    if (::close(descriptor) != 0)
        throwSystemError("cannot copy file", from, to, errno);
}

} // namespace

std::string Database::workingPath(const std::string& path)
{
    // The working folder is removed whole after a save: a relative path, or one that climbs with
    // "..", would put it (and that removal) outside the folder made for it.
    const fs::path given = toPath(path);
    if (!given.is_absolute() || given.lexically_normal() != given || given.filename().empty())
        throw std::runtime_error("Not a plain absolute file path: " + path);
    const QByteArray folder = QByteArray::fromStdString(fromPath(given.parent_path()));
    const QByteArray digest = QCryptographicHash::hash(folder, QCryptographicHash::Sha256).toHex().toUpper().left(32);
    return workingFolder() + '/' + digest.toStdString() + '/' + fromPath(given.filename());
}

std::string Database::workingFolder()
{
    return programFolder() + "/Working";
}

std::string Database::programFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (folder.isEmpty())
        throw std::runtime_error("There is no folder for application data.");
    // The working copies live in the program's own folder inside the data folder (whose location comes
    // without a closing slash): gluing the identifier straight on would make a sibling of the data folder.
    return folder.toStdString() + '/' + bundleIdentifier;
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
    : Database(path, schemaText, Place::workingCopy)
{
}

Database::Database(const std::string& path, Place place) : Database(path, resourceData("db_schema", "sql"), place)
{
}

Database::Database(const std::string& path, const std::optional<std::string>& schemaText, Place place)
    : place_(place)
{
    const bool atPath = place == Place::atPath;
    const fs::path working = toPath(atPath ? path : workingPath(path));
    const fs::path directory = atPath ? fs::path() : toPath(workingDirectory(path));
    // Held while the copy is written, so that no start of the program takes it for a leftover. Another save that
    // ends meanwhile removes the empty folders above its own working folder, ours too while we are making them:
    // the lock's making makes them again.
    if (!directory.empty())
        workingLock_ = std::make_shared<LockedFolder>(fromPath(directory));
    if (somethingAt(working))
        fs::remove_all(working);

    // Held locally until the schema is in: every failure below closes the file again.
    std::shared_ptr<sql::Connection> opened = sql::Connection::open(working.string(), false);
    if (!schemaText)
        throw DatabaseError::canNotOpenSchemaFile();
    try {
        // A scratch copy, copied whole once written: it needs no flush to disk and no journal file beside it.
        // Neither setting is stored in the file.
        opened->execute("PRAGMA synchronous = OFF; PRAGMA journal_mode = MEMORY");
        opened->execute(*schemaText);
    } catch (const sql::Result& error) {
        throw DatabaseError::sqLiteError(error);
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
    if (place_ == Place::atPath)
        return;
    const fs::path working = toPath(workingPath(path));
    const fs::path directory = toPath(workingDirectory(path));
    const fs::path target = toPath(path);
    if (somethingAt(target))
        fs::remove_all(target);
    copyFile(working, target);
    if (somethingAt(working))
        fs::remove_all(working);
    if (!directory.empty() && somethingAt(directory))
        fs::remove_all(directory);
    workingLock_.reset();
    removeEmptyWorkingFolders(fromPath(directory.parent_path()));
}

void Database::removeWorkingDirectory(const std::string& path) noexcept
{
    try {
        const std::string directory = workingDirectory(path);
        std::error_code ignored;
        fs::remove_all(toPath(directory), ignored);
        removeEmptyWorkingFolders(fromPath(toPath(directory).parent_path()));
    } catch (...) {
        // What cannot be removed stays until the next save.
    }
}

void Database::removeEmptyWorkingFolders(const std::string& folder) noexcept
{
    try {
        const fs::path program = toPath(programFolder());
        fs::path current = toPath(folder);
        // Only folders strictly inside the program's folder; rmdir leaves any folder that holds something.
        while (current.has_parent_path() && current != program) {
            const auto [end, rest] = std::mismatch(program.begin(), program.end(), current.begin(), current.end());
            if (end != program.end() || rest == current.end())
                return;
            if (::rmdir(current.c_str()) != 0)
                return;
            current = current.parent_path();
        }
    } catch (...) {
        // What cannot be removed stays until the next save.
    }
}

} // namespace velquine

// ---- Opening a document's database for reading ----

namespace velquine {

// Engine steps left for one reading; the progress handler stops any statement once they are used up.
struct Database::WorkBudget {
    static constexpr int stepsPerCall = 1000;
    std::uint64_t left = 0;
    bool exceeded = false;

    static int spend(void* context)
    {
        // A read the user cancelled stops too (the reader then gives up, whatever it read).
        if (LongWork::cancelled())
            return 1;
        auto* budget = static_cast<WorkBudget*>(context);
        if (budget->left < stepsPerCall) {
            budget->exceeded = true;
            return 1;
        }
        budget->left -= stepsPerCall;
        return 0;
    }
};

namespace {

// Every row of our tables is read once by one plain scan: a few dozen steps a row, and no row is smaller
// than a few bytes. The fixed part covers the schema, the check and the empty document.
constexpr std::uint64_t stepsPerByte = 256;
constexpr std::uint64_t fixedSteps = 50'000'000;

// A database in write-ahead-log mode (format bytes 18 and 19 both 2) becomes one with a rollback journal,
// so that a read-only open needs no files beside it. Other values are left for the engine to judge.
void useRollbackJournal(const std::string& path)
{
    std::fstream file(toPath(path), std::ios::in | std::ios::out | std::ios::binary);
    char header[20] = {};
    if (!file.read(header, sizeof header) || header[18] != 2 || header[19] != 2)
        return;
    const char rollback[2] = {1, 1};
    file.seekp(18);
    file.write(rollback, sizeof rollback);
}

void limitEngine(sqlite3* handle, std::uintmax_t fileSize)
{
    sqlite3_db_config(handle, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
    sqlite3_db_config(handle, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    // No value can be longer than the file that holds it.
    const std::uintmax_t longest = std::clamp<std::uintmax_t>(fileSize, 1'000'000, 1'000'000'000);
    sqlite3_limit(handle, SQLITE_LIMIT_LENGTH, static_cast<int>(longest));
    sqlite3_limit(handle, SQLITE_LIMIT_SQL_LENGTH, 100'000);
    sqlite3_limit(handle, SQLITE_LIMIT_COLUMN, 100);
    sqlite3_limit(handle, SQLITE_LIMIT_EXPR_DEPTH, 100);
    sqlite3_limit(handle, SQLITE_LIMIT_COMPOUND_SELECT, 4);
    sqlite3_limit(handle, SQLITE_LIMIT_VDBE_OP, 100'000);
    sqlite3_limit(handle, SQLITE_LIMIT_FUNCTION_ARG, 8);
    sqlite3_limit(handle, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_limit(handle, SQLITE_LIMIT_LIKE_PATTERN_LENGTH, 100);
    sqlite3_limit(handle, SQLITE_LIMIT_VARIABLE_NUMBER, 100);
    sqlite3_limit(handle, SQLITE_LIMIT_TRIGGER_DEPTH, 1);
}

// Our tables must be plain tables: a view, trigger or virtual table under (or on) one of their names
// would run code of the file's author on every read.
void requireOwnTables(sql::Connection& connection)
{
    auto statement = connection.prepare("SELECT type, name, tbl_name, sql FROM sqlite_master");
    while (auto row = statement->failableNext()) {
        const auto text = [&](std::size_t column) {
            const auto& value = (*row)[column];
            const auto* string = value ? std::get_if<std::string>(&*value) : nullptr;
            return string ? *string : std::string();
        };
        const std::string type = text(0);
        const std::string name = text(1);
        const std::string table = text(2);
        std::string sql = text(3).substr(0, 32);
        std::transform(sql.begin(), sql.end(), sql.begin(), [](unsigned char c) { return char(std::toupper(c)); });
        const auto ours = [](const std::string& candidate) {
            std::string lower = candidate;
            std::transform(lower.begin(), lower.end(), lower.begin(),
                           [](unsigned char c) { return char(std::tolower(c)); });
            return std::find(std::begin(documentdb::tableNames), std::end(documentdb::tableNames), lower)
                != std::end(documentdb::tableNames);
        };
        const bool foreign = type == "view" || type == "trigger"
            || (type == "table" && sql.find("VIRTUAL") != std::string::npos);
        if (foreign && (ours(name) || ours(table)))
            throw DatabaseError::foreignSchema(ours(name) ? name : table);
    }
}

// Asks the engine to walk the whole file; a file it calls damaged is refused before anything is loaded.
void requireSoundFile(sql::Connection& connection)
{
    auto statement = connection.prepare("PRAGMA quick_check");
    auto row = statement->failableNext();
    const auto* verdict = row && row->size() == 1 && (*row)[0] ? std::get_if<std::string>(&*(*row)[0]) : nullptr;
    if (!verdict || *verdict != "ok")
        throw DatabaseError::damaged();
}

} // namespace

bool Database::isDamage(int code, const std::string& message)
{
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB
        || message.find("unsupported file format") != std::string::npos
        || message.find("malformed database schema") != std::string::npos;
}

Database Database::openForReading(const std::string& path)
{
    std::error_code sizeError;
    const std::uintmax_t size = fs::file_size(toPath(path), sizeError);
    useRollbackJournal(path);

    Database database;
    database.budget_ = std::make_shared<WorkBudget>();
    database.budget_->left = fixedSteps + stepsPerByte * (sizeError ? 0 : size);
    try {
        database.connection = sql::Connection::open(path, true);
        sqlite3* handle = database.connection->handle();
        limitEngine(handle, sizeError ? 0 : size);
        sqlite3_progress_handler(handle, WorkBudget::stepsPerCall, &WorkBudget::spend, database.budget_.get());
        database.connection->execute("PRAGMA cell_size_check = ON");
        // The whole file fits the engine's cache: the pages the check reads are there again for the loading.
        database.connection->execute("PRAGMA cache_size = -" + std::to_string((sizeError ? 0 : size) / 1024 + 2048));
        requireOwnTables(*database.connection);
        requireSoundFile(*database.connection);
    } catch (const sql::Result& error) {
        if (database.budget_->exceeded)
            throw DatabaseError::tooMuchWork();
        if (isDamage(error.code(), error.description()))
            throw DatabaseError::damaged();
        throw DatabaseError::sqLiteError(error);
    }
    return database;
}

bool Database::workBudgetExceeded() const
{
    return budget_ && budget_->exceeded;
}

Database::~Database()
{
    // A connection kept elsewhere must not call into a budget that is gone.
    if (connection && budget_)
        sqlite3_progress_handler(connection->handle(), 0, nullptr, nullptr);
}

} // namespace velquine
