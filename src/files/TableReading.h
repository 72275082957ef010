#pragma once

// What every loader of a document database shares: the query of a table and the walk over its rows.

#include "files/ProjectLoadingProblem.h"
#include "sql/Connection.h"
#include "sql/Query.h"
#include "sql/Row.h"

#include <cstdint>
#include <exception>
#include <optional>
#include <string>

namespace velquine {

// "Database is not opened"
inline constexpr const char* databaseNotOpenedMessage = "Database is not opened";

// SELECT * FROM the table, LIMIT the length when one is given. Throws when the query cannot be
// prepared (a missing table, a file that is no database).
inline sql::RowIterator selectAll(sql::Connection& connection, const sql::Table& table,
                                  std::optional<std::int64_t> limit = std::nullopt)
{
    return connection.prepare(table.select(sql::star).limit(limit));
}

// The text of a caught exception.
inline std::string errorText(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown error";
    }
}

} // namespace velquine

// A minor problem for the caught error, marked with the place it was caught.
#define VQ_MINOR_PROBLEM(errorText) \
    ::velquine::ProjectLoadingProblem::minorProblem(::velquine::problemMessage(__FILE__, __LINE__, (errorText)))
