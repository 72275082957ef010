#pragma once

// The SQL text and the bindings a piece of the typed SQL layer renders to, compared in one step.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "sql/Expression.h"

namespace velquine::testing {

// Expects the expression, query or other renderable piece to render to the template text with the bindings.
template <class Q>
void expectSql(const Q& q, const std::string& templ, const std::vector<sql::OptBinding>& bindings = {})
{
    const sql::Expression<void> e = sql::toExpression(q);
    EXPECT_EQ(e.templ, templ);
    EXPECT_EQ(e.bindings, bindings) << "for " << templ;
}

} // namespace velquine::testing
