#include "sql/Errors.h"

#include "sql/Connection.h"
#include "sql/Statement.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <mutex>

namespace velquine::sql {

namespace {

std::string resultText(Result::Kind kind, const std::string& message, int code, const Statement* statement)
{
    std::string text = message;
    if (statement) {
        text += " (";
        text += statement->description();
        text += ")";
    }
    text += kind == Result::Kind::error ? " (code: " : " (extended code: ";
    text += std::to_string(code);
    text += ")";
    return text;
}

void appendEscaped(std::string& out, const std::string& name)
{
    static const char* const hex = "0123456789ABCDEF";
    for (unsigned char c : name) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\'': out += "\\'"; break;
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\0': out += "\\0"; break;
        default:
            if (c < 0x20 || c == 0x7f) {
                out += "\\u{";
                if (c >= 0x10)
                    out += hex[c >> 4];
                out += hex[c & 0xf];
                out += "}";
            } else {
                out += static_cast<char>(c);
            }
        }
    }
}

std::mutex& sinkMutex()
{
    static std::mutex mutex;
    return mutex;
}

ErrorLogSink& currentSink()
{
    static ErrorLogSink sink;
    return sink;
}

} // namespace

Result::Result(Kind kind, std::string message, int code, std::shared_ptr<Statement> statement,
               int systemErrorNumber)
    : std::runtime_error(resultText(kind, message, code, statement.get()))
    , kind_(kind)
    , message_(std::move(message))
    , code_(code)
    , statement_(std::move(statement))
    , systemErrorNumber_(systemErrorNumber)
{
}

std::optional<Result> Result::make(int errorCode, const Connection& connection, std::shared_ptr<Statement> statement)
{
    return make(errorCode, connection.handle(), connection.usesExtendedErrorCodes(), std::move(statement));
}

std::optional<Result> Result::make(int errorCode, sqlite3* handle, bool usesExtendedErrorCodes,
                                   std::shared_ptr<Statement> statement)
{
    if (isSuccessCode(errorCode))
        return std::nullopt;
    const char* message = handle ? sqlite3_errmsg(handle) : sqlite3_errstr(errorCode);
    std::string text = message ? message : "";
    // Only a failing read, write or open has a system error behind it. The database file keeps the error
    // of its own failing call; the connection's is the system's error number at the time the engine
    // noticed, which may be a later call's, or none.
    const int primary = errorCode & 0xff;
    int systemErrorNumber = 0;
    if (handle && primary == SQLITE_IOERR)
        sqlite3_file_control(handle, "main", SQLITE_FCNTL_LAST_ERRNO, &systemErrorNumber);
    if (handle && systemErrorNumber == 0 && (primary == SQLITE_IOERR || primary == SQLITE_CANTOPEN))
        systemErrorNumber = sqlite3_system_errno(handle);
    if (usesExtendedErrorCodes && handle)
        return Result(Kind::extendedError, std::move(text), sqlite3_extended_errcode(handle), std::move(statement),
                      systemErrorNumber);
    return Result(Kind::error, std::move(text), errorCode, std::move(statement), systemErrorNumber);
}

QueryError::QueryError(Kind kind, std::string name, std::vector<std::string> columns, const std::string& text)
    : std::runtime_error(text)
    , kind_(kind)
    , name_(std::move(name))
    , columns_(std::move(columns))
{
}

QueryError QueryError::noSuchTable(std::string name)
{
    std::string text = "No such table: " + name;
    return QueryError(Kind::noSuchTable, std::move(name), {}, text);
}

QueryError QueryError::noSuchColumn(std::string name, std::vector<std::string> columns)
{
    std::string text = "No such column `" + name + "` in columns " + quotedNameList(columns);
    return QueryError(Kind::noSuchColumn, std::move(name), std::move(columns), text);
}

QueryError QueryError::ambiguousColumn(std::string name, std::vector<std::string> similar)
{
    std::string text = "Ambiguous column `" + name + "` (please disambiguate: " + quotedNameList(similar) + ")";
    return QueryError(Kind::ambiguousColumn, std::move(name), std::move(similar), text);
}

QueryError QueryError::unexpectedNullValue(std::string name)
{
    std::string text = "Unexpected null value for column `" + name + "`";
    return QueryError(Kind::unexpectedNullValue, std::move(name), {}, text);
}

std::string quotedNameList(const std::vector<std::string>& names)
{
    std::string out = "[";
    bool first = true;
    for (const auto& name : names) {
        if (!first)
            out += ", ";
        first = false;
        out += '"';
        appendEscaped(out, name);
        out += '"';
    }
    out += "]";
    return out;
}

void fatalError(const std::string& message)
{
    std::fprintf(stderr, "Fatal error: %s\n", message.c_str());
    std::fflush(stderr);
    std::abort();
}

ErrorLogSink setErrorLogSink(ErrorLogSink sink)
{
    std::lock_guard lock(sinkMutex());
    ErrorLogSink previous = std::move(currentSink());
    currentSink() = std::move(sink);
    return previous;
}

void logError(const std::string& line)
{
    ErrorLogSink sink;
    {
        std::lock_guard lock(sinkMutex());
        sink = currentSink();
    }
    if (sink)
        sink(line);
    else
        std::cerr << "SQLite: " << line << std::endl;
}

} // namespace velquine::sql
