#pragma once

// The two error families of the SQL layer: Result (a failure reported by the SQLite engine) and
// QueryError (a failed row or column lookup of the layer itself), plus the process stop used for
// plain programming errors and the error log used where no caller can be told.

#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct sqlite3;

namespace velquine::sql {

class Connection;
class Statement;

// A failure of the SQLite engine: its message, its (primary or extended) result code, and
// optionally the statement it belongs to. what() is the text form.
class Result : public std::runtime_error {
public:
    enum class Kind { error, extendedError };

    Result(Kind kind, std::string message, int code, std::shared_ptr<Statement> statement = nullptr,
           int systemErrorNumber = 0);

    // The engine's success codes: SQLITE_OK (0), SQLITE_ROW (100) and SQLITE_DONE (101).
    static bool isSuccessCode(int code) noexcept { return code == 0 || code == 100 || code == 101; }

    // No Result for a success code; otherwise the engine's current message for the connection's
    // handle with the given code, or with the extended code when the connection asks for them. An input or
    // output failure, or a file that cannot be opened, keeps the system's error number of it.
    static std::optional<Result> make(int errorCode, const Connection& connection,
                                      std::shared_ptr<Statement> statement = nullptr);
    // The same for a bare engine handle.
    static std::optional<Result> make(int errorCode, sqlite3* handle, bool usesExtendedErrorCodes,
                                      std::shared_ptr<Statement> statement = nullptr);

    Kind kind() const noexcept { return kind_; }
    const std::string& message() const noexcept { return message_; }
    int code() const noexcept { return code_; }
    const std::shared_ptr<Statement>& statement() const noexcept { return statement_; }
    // The system's error number (errno) behind a failing read, write or open ("File too large"); 0 when the
    // engine reported none.
    int systemErrorNumber() const noexcept { return systemErrorNumber_; }

    // message, then " (" SQL ")" when a statement is attached, then " (code: N)" or " (extended code: N)".
    std::string description() const { return what(); }

private:
    Kind kind_;
    std::string message_;
    int code_;
    std::shared_ptr<Statement> statement_;
    int systemErrorNumber_;
};

// A failed lookup of a table or column in a query's result, or a NULL where a value was required.
class QueryError : public std::runtime_error {
public:
    enum class Kind { noSuchTable, noSuchColumn, ambiguousColumn, unexpectedNullValue };

    static QueryError noSuchTable(std::string name);
    static QueryError noSuchColumn(std::string name, std::vector<std::string> columns);
    static QueryError ambiguousColumn(std::string name, std::vector<std::string> similar);
    static QueryError unexpectedNullValue(std::string name);

    Kind kind() const noexcept { return kind_; }
    const std::string& name() const noexcept { return name_; }
    // The existing columns (noSuchColumn) or the candidates (ambiguousColumn); empty otherwise.
    const std::vector<std::string>& columns() const noexcept { return columns_; }

    std::string description() const { return what(); }

private:
    QueryError(Kind kind, std::string name, std::vector<std::string> columns, const std::string& text);

    Kind kind_;
    std::string name_;
    std::vector<std::string> columns_;
};

// A list of names as the error texts show it: ["a", "b"], each name in double quotes with ", ' and
// \ escaped by a backslash and control characters written as \t, \n, \r, \0 or \u{XX}.
std::string quotedNameList(const std::vector<std::string>& names);

// Stops the process with "Fatal error: " and the message on standard error. Only for programming
// errors of the calling code (a wrong number of parameter values, an unknown parameter name).
[[noreturn]] void fatalError(const std::string& message);

// Where the layer reports a failure that no caller can receive (a failing step while iterating
// without an error channel, an exception thrown by a callback inside the engine). The default sink
// writes the line to standard error; setErrorLogSink replaces it (an empty function restores the
// default) and returns the previous sink.
using ErrorLogSink = std::function<void(const std::string&)>;
ErrorLogSink setErrorLogSink(ErrorLogSink sink);
void logError(const std::string& line);

} // namespace velquine::sql
