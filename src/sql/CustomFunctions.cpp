#include "sql/CustomFunctions.h"

namespace velquine::sql {

namespace detail {

std::string storageClassName(const Binding& value)
{
    switch (value.index()) {
    case 0:
        return "INTEGER";
    case 1:
        return "REAL";
    case 2:
        return "TEXT";
    default:
        return "BLOB";
    }
}

void registerFunction(Connection& db, const std::string& name, unsigned argumentCount, bool deterministic,
                      Connection::Function function)
{
    try {
        db.createFunction(name, argumentCount, deterministic, std::move(function));
    } catch (const Result& error) {
        throw Result(error.kind(), "Error creating function: " + error.message(), error.code(), error.statement());
    }
}

} // namespace detail

} // namespace velquine::sql
