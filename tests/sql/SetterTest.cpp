#include "sql/Setter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>

using namespace velquine::sql;

namespace {

OptBinding i64(std::int64_t v) { return Binding(v); }
OptBinding text(const std::string& v) { return Binding(v); }
using Bindings = std::vector<OptBinding>;

void expectSetter(const Setter& s, const std::string& templ, const Bindings& bindings)
{
    const Expression<void> e = toExpression(s);
    EXPECT_EQ(e.templ, templ);
    EXPECT_EQ(e.bindings, bindings) << "for " << templ;
}

const Expression<std::int64_t> count("count");
const Expression<std::optional<std::int64_t>> parent("parent");
const Expression<std::string> title("title");
const Expression<std::optional<std::string>> note("note");
const Expression<double> width("width");

} // namespace

TEST(SqlSetter, AssignmentForms)
{
    expectSetter(set(title, "x"), "\"title\" = ?", {text("x")});
    expectSetter(set(count, 3), "\"count\" = ?", {i64(3)});
    expectSetter(set(count, Expression<std::int64_t>("other")), "\"count\" = \"other\"", {});
    expectSetter(set(parent, count), "\"parent\" = \"count\"", {});
    expectSetter(set(parent, Expression<std::optional<std::int64_t>>("p2")), "\"parent\" = \"p2\"", {});
    expectSetter(set(parent, std::optional<std::int64_t>{}), "\"parent\" = ?", {std::nullopt});
    expectSetter(set(parent, std::nullopt), "\"parent\" = ?", {std::nullopt});
    expectSetter(set(parent, 8), "\"parent\" = ?", {i64(8)});
    expectSetter(set(note, "n"), "\"note\" = ?", {text("n")});
    expectSetter(set(Expression<bool>("folded"), true), "\"folded\" = ?", {i64(1)});
    expectSetter(set(Expression<std::optional<Blob>>("image"), Blob{1, 2}), "\"image\" = ?", {Binding(Blob{1, 2})});
    // An expression value keeps its own bindings after the column's.
    Expression<std::int64_t> computed("(? * ?)", {i64(2), i64(3)});
    expectSetter(set(count, computed), "\"count\" = (? * ?)", {i64(2), i64(3)});
    Setter s = set(count, 1);
    EXPECT_EQ(s.column.templ, "\"count\"");
    EXPECT_EQ(s.value.templ, "?");
}

TEST(SqlSetter, CompoundAssignments)
{
    expectSetter(addAssign(count, 2), "\"count\" = (\"count\" + ?)", {i64(2)});
    expectSetter(subAssign(count, Expression<std::int64_t>("d")), "\"count\" = (\"count\" - \"d\")", {});
    expectSetter(mulAssign(width, 1.5), "\"width\" = (\"width\" * ?)", {Binding(1.5)});
    expectSetter(divAssign(parent, 2), "\"parent\" = (\"parent\" / ?)", {i64(2)});
    expectSetter(modAssign(count, 3), "\"count\" = (\"count\" % ?)", {i64(3)});
    expectSetter(shlAssign(count, 1), "\"count\" = (\"count\" << ?)", {i64(1)});
    expectSetter(shrAssign(parent, count), "\"parent\" = (\"parent\" >> \"count\")", {});
    expectSetter(andAssign(parent, Expression<std::optional<std::int64_t>>("m")), "\"parent\" = (\"parent\" & \"m\")", {});
    expectSetter(orAssign(count, 4), "\"count\" = (\"count\" | ?)", {i64(4)});
    expectSetter(xorAssign(count, 6), "\"count\" = (~((\"count\" & ?)) & (\"count\" | ?))", {i64(6), i64(6)});
    expectSetter(concatAssign(title, "!"), "\"title\" = (\"title\" || ?)", {text("!")});
    expectSetter(concatAssign(note, title), "\"note\" = (\"note\" || \"title\")", {});
}

TEST(SqlSetter, IncrementAndDecrement)
{
    expectSetter(increment(count), "\"count\" = (\"count\" + ?)", {i64(1)});
    expectSetter(decrement(count), "\"count\" = (\"count\" - ?)", {i64(1)});
    expectSetter(increment(parent), "\"parent\" = (\"parent\" + ?)", {i64(1)});
    Expression<std::int64_t> bound("\"x\" + ?", {i64(5)});
    expectSetter(increment(bound), "\"x\" + ? = (\"x\" + ? + ?)", {i64(5), i64(5), i64(1)});
}
