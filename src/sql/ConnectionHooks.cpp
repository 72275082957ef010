// Busy handling, tracing and the update, commit and rollback hooks. Every callback the engine calls
// catches what the user's callback throws: an exception must never unwind through the engine.

#include "sql/Connection.h"

#include <sqlite3.h>

#include <cmath>
#include <limits>

namespace velquine::sql {

namespace {

void logCallbackError(const char* callback)
{
    try {
        throw;
    } catch (const std::exception& error) {
        logError(std::string(callback) + " callback failed: " + error.what());
    } catch (...) {
        logError(std::string(callback) + " callback failed");
    }
}

int busyEntry(void* argument, int attempts)
{
    try {
        return (*static_cast<Connection::BusyHandler*>(argument))(attempts) ? 1 : 0;
    } catch (...) {
        logCallbackError("busy handler");
        return 0;
    }
}

int traceEntry(unsigned /*event*/, void* argument, void* statement, void* /*text*/)
{
    if (!statement)
        return 0;
    char* sql = sqlite3_expanded_sql(static_cast<sqlite3_stmt*>(statement));
    if (!sql)
        return 0;
    std::string text(sql);
    sqlite3_free(sql);
    try {
        (*static_cast<Connection::TraceCallback*>(argument))(text);
    } catch (...) {
        logCallbackError("trace");
    }
    return 0;
}

void updateEntry(void* argument, int code, const char* database, const char* table, sqlite3_int64 rowid)
{
    Connection::Operation operation;
    switch (code) {
    case SQLITE_INSERT: operation = Connection::Operation::insert; break;
    case SQLITE_UPDATE: operation = Connection::Operation::update; break;
    case SQLITE_DELETE: operation = Connection::Operation::delete_; break;
    default:
        logError("unhandled operation code: " + std::to_string(code));
        return;
    }
    try {
        (*static_cast<Connection::UpdateHook*>(argument))(operation, database ? database : "", table ? table : "",
                                                         rowid);
    } catch (...) {
        logCallbackError("update hook");
    }
}

int commitEntry(void* argument)
{
    try {
        (*static_cast<Connection::CommitHook*>(argument))();
        return 0;
    } catch (...) {
        return 1; // turns the commit into a rollback
    }
}

void rollbackEntry(void* argument)
{
    try {
        (*static_cast<Connection::RollbackHook*>(argument))();
    } catch (...) {
        logCallbackError("rollback hook");
    }
}

} // namespace

void Connection::setBusyTimeout(double seconds)
{
    constexpr double largest = std::numeric_limits<std::int32_t>::max();
    double milliseconds = seconds * 1000;
    int engineValue;
    if (std::isnan(milliseconds) || milliseconds <= 0) {
        engineValue = 0;
        busyTimeout_ = 0;
    } else if (milliseconds >= largest) {
        engineValue = std::numeric_limits<std::int32_t>::max();
        busyTimeout_ = largest / 1000;
    } else {
        engineValue = static_cast<int>(milliseconds); // truncation toward zero
        busyTimeout_ = seconds;
    }
    sqlite3_busy_timeout(handle_, engineValue);
}

void Connection::busyHandler(BusyHandler handler)
{
    sync([&] {
        if (!handler) {
            sqlite3_busy_handler(handle_, nullptr, nullptr);
            busyHandler_.reset();
            return;
        }
        auto box = std::make_unique<BusyHandler>(std::move(handler));
        sqlite3_busy_handler(handle_, busyEntry, box.get());
        busyHandler_ = std::move(box);
    });
}

void Connection::trace(TraceCallback callback)
{
    sync([&] {
        if (!callback) {
            sqlite3_trace_v2(handle_, 0, nullptr, nullptr);
            trace_.reset();
            return;
        }
        auto box = std::make_unique<TraceCallback>(std::move(callback));
        sqlite3_trace_v2(handle_, SQLITE_TRACE_STMT, traceEntry, box.get());
        trace_ = std::move(box);
    });
}

void Connection::updateHook(UpdateHook callback)
{
    sync([&] {
        if (!callback) {
            sqlite3_update_hook(handle_, nullptr, nullptr);
            updateHook_.reset();
            return;
        }
        auto box = std::make_unique<UpdateHook>(std::move(callback));
        sqlite3_update_hook(handle_, updateEntry, box.get());
        updateHook_ = std::move(box);
    });
}

void Connection::commitHook(CommitHook callback)
{
    sync([&] {
        if (!callback) {
            sqlite3_commit_hook(handle_, nullptr, nullptr);
            commitHook_.reset();
            return;
        }
        auto box = std::make_unique<CommitHook>(std::move(callback));
        sqlite3_commit_hook(handle_, commitEntry, box.get());
        commitHook_ = std::move(box);
    });
}

void Connection::rollbackHook(RollbackHook callback)
{
    sync([&] {
        if (!callback) {
            sqlite3_rollback_hook(handle_, nullptr, nullptr);
            rollbackHook_.reset();
            return;
        }
        auto box = std::make_unique<RollbackHook>(std::move(callback));
        sqlite3_rollback_hook(handle_, rollbackEntry, box.get());
        rollbackHook_ = std::move(box);
    });
}

} // namespace velquine::sql
