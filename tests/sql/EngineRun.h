#pragma once

// Runs built expressions on a real in-memory SQLite database.

#include "sql/Connection.h"
#include "sql/Expression.h"
#include "sql/Row.h"

#include <memory>
#include <string>
#include <vector>

namespace enginerun {

inline std::shared_ptr<velquine::sql::Connection> memoryDatabase()
{
    return velquine::sql::Connection::open(velquine::sql::Connection::Location::inMemory());
}

// The value of "SELECT <expression>" (NULL as an absent value).
inline velquine::sql::OptBinding evaluate(velquine::sql::Connection& db, const velquine::sql::Expression<void>& e)
{
    return db.scalar("SELECT " + e.templ, e.bindings);
}

// Every row of the statement, each as its list of values.
inline std::vector<std::vector<velquine::sql::OptBinding>> rows(velquine::sql::Connection& db,
                                                                const velquine::sql::Expression<void>& statement)
{
    std::vector<std::vector<velquine::sql::OptBinding>> result;
    auto iterator = db.prepareRowIterator(statement.templ, statement.bindings);
    while (auto row = iterator.failableNext())
        result.push_back(row->values);
    return result;
}

inline velquine::sql::OptBinding integer(std::int64_t v)
{
    return velquine::sql::Binding(v);
}
inline velquine::sql::OptBinding real(double v)
{
    return velquine::sql::Binding(v);
}
inline velquine::sql::OptBinding text(std::string v)
{
    return velquine::sql::Binding(std::move(v));
}

} // namespace enginerun
