#pragma once

// What every loader of a document database shares: the query of a table and the walk over its rows.

#include "files/ProjectLoadingProblem.h"
#include "sql/Connection.h"
#include "sql/Query.h"
#include "sql/Row.h"

#include <cstdint>
#include <exception>
#include <optional>
#include <source_location>
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

// Walks the rows of the table, handing each to `read`. A query that cannot be prepared or a step that fails ends
// the walk with a minor problem; a row whose `read` throws adds one and the walk goes on with the next row. The
// problems name the place of the call. False when the table could not be queried at all.
template <class Read>
bool readRows(sql::Connection& connection, const sql::Table& table, ProjectLoadingProblems& problems, Read read,
              std::source_location place = std::source_location::current())
{
    const auto caught = [&] {
        problems.push_back(ProjectLoadingProblem::minorProblem(
            problemMessage(place.file_name(), long(place.line()), errorText(std::current_exception()))));
    };
    std::optional<sql::RowIterator> rows;
    try {
        rows = selectAll(connection, table);
    } catch (...) {
        caught();
        return false;
    }
    // One row's storage serves every row of the table.
    std::optional<sql::Row> row;
    while (true) {
        try {
            if (!rows->failableAdvance(row))
                return true;
        } catch (...) {
            caught();
            return true;
        }
        try {
            read(*row);
        } catch (...) {
            caught();
        }
    }
}

} // namespace velquine

// A minor problem for the caught error, marked with the place it was caught.
#define VQ_MINOR_PROBLEM(errorText) \
    ::velquine::ProjectLoadingProblem::minorProblem(::velquine::problemMessage(__FILE__, __LINE__, (errorText)))
