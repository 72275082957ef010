// Transactions and savepoints.

#include "sql/Connection.h"
#include "sql/Statement.h"

#include <sqlite3.h>

#include <exception>

namespace velquine::sql {

std::string rawValue(Connection::TransactionMode mode)
{
    switch (mode) {
    case Connection::TransactionMode::deferred: return "DEFERRED";
    case Connection::TransactionMode::immediate: return "IMMEDIATE";
    case Connection::TransactionMode::exclusive: return "EXCLUSIVE";
    }
    return {};
}

std::optional<Connection::TransactionMode> transactionModeFromRawValue(const std::string& raw)
{
    using Mode = Connection::TransactionMode;
    for (Mode mode : {Mode::deferred, Mode::immediate, Mode::exclusive}) {
        if (rawValue(mode) == raw)
            return mode;
    }
    return std::nullopt;
}

void Connection::transaction(TransactionMode mode, const std::function<void()>& block)
{
    runTransaction("BEGIN " + rawValue(mode) + " TRANSACTION", "COMMIT TRANSACTION", "ROLLBACK TRANSACTION", block);
}

void Connection::savepoint(const std::string& name, const std::function<void()>& block)
{
    // The name as an SQL string literal: apostrophes doubled byte by byte.
    std::string quoted = "'";
    for (char c : name) {
        if (c == '\'')
            quoted += '\'';
        quoted += c;
    }
    quoted += "'";
    std::string begin = "SAVEPOINT " + quoted;
    // Rolling back to a savepoint keeps it open, and with it the transaction it may have begun;
    // releasing it afterwards leaves the connection as it was before the begin.
    runTransaction(begin, "RELEASE " + begin, "ROLLBACK TO " + begin, block, "RELEASE " + begin);
}

void Connection::runTransaction(const std::string& begin, const std::string& commit, const std::string& rollback,
                                const std::function<void()>& block, const std::string& afterRollback)
{
    sync([&] {
        prepare(begin)->run(std::vector<OptBinding>{});
        std::exception_ptr firstError;
        try {
            block();
            prepare(commit)->run(std::vector<OptBinding>{});
            return;
        } catch (...) {
            firstError = std::current_exception();
        }
        // The engine may have ended the transaction itself (a vetoed commit, some I/O errors); a
        // rollback then has nothing to undo and would only hide the first error behind its own.
        if (sqlite3_get_autocommit(handle_))
            std::rethrow_exception(firstError);
        // A failing rollback throws its own error here and the first one is dropped.
        prepare(rollback)->run(std::vector<OptBinding>{});
        if (!afterRollback.empty())
            prepare(afterRollback)->run(std::vector<OptBinding>{});
        std::rethrow_exception(firstError);
    });
}

} // namespace velquine::sql
