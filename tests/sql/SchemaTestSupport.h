#pragma once

// Shared by the schema tests: a fresh in-memory database and its rows as texts.

#include "sql/Connection.h"
#include "sql/Statement.h"

#include <cstdint>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace schematest {

using namespace velquine::sql;

inline std::shared_ptr<Connection> memoryDatabase()
{
    return Connection::open(Connection::Location::inMemory());
}

// Each value as text: NULL, numbers in decimal, texts unchanged, blobs as x'..'.
inline std::string text(const OptBinding& value)
{
    if (!value)
        return "NULL";
    if (const auto* i = std::get_if<std::int64_t>(&*value))
        return std::to_string(*i);
    if (const auto* s = std::get_if<std::string>(&*value))
        return *s;
    return inlineLiteral(value);
}

// The rows of a query, each row's values as texts joined with "|".
inline std::vector<std::string> rows(Connection& db, const std::string& sql)
{
    std::vector<std::string> result;
    auto statement = db.prepare(sql);
    while (auto row = statement->failableNext()) {
        std::string line;
        for (std::size_t i = 0; i < row->size(); ++i) {
            if (i > 0)
                line += "|";
            line += text((*row)[i]);
        }
        result.push_back(line);
    }
    return result;
}

} // namespace schematest
