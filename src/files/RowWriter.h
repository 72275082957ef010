#pragma once

// Inserts the rows of one table through one INSERT template. The statement is rendered by the query
// builder from the first row's assignments; every later row, made by the same code and so naming the
// same columns in the same order, only supplies its values, and the connection runs it on the
// compiled statement it keeps for that template.

#include "sql/Connection.h"
#include "sql/Query.h"
#include "sql/Setter.h"

#include <vector>

namespace velquine {

class RowWriter {
public:
    RowWriter(sql::Connection& connection, const sql::Table& table) : connection_(connection), table_(table) {}

    // Inserts one row; throws the sql::Result of a failing insert. The values are moved out of the
    // assignments.
    void insert(std::vector<sql::Setter>&& values);

private:
    sql::Connection& connection_;
    const sql::Table& table_;
    bool rendered_ = false;
    sql::Insert statement_;
};

} // namespace velquine
