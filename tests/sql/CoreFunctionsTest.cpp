#include "EngineRun.h"

#include "sql/CoreFunctions.h"
#include "sql/Query.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <set>

using namespace velquine::sql;
using namespace enginerun;

namespace {

const Expression<std::string> name("name");
const Expression<std::optional<std::string>> note("note");
const Expression<double> weight("weight");
const Expression<std::optional<double>> rating("rating");
const Expression<std::int64_t> count_("count");

std::vector<OptBinding> values(std::initializer_list<OptBinding> list)
{
    return list;
}

std::int64_t asInteger(const OptBinding& b)
{
    return std::get<std::int64_t>(*b);
}

std::string asText(const OptBinding& b)
{
    return std::get<std::string>(*b);
}

} // namespace

TEST(CoreFunctionTest, RawValuesInDeclarationOrder)
{
    const std::vector<std::string> expected{"abs",    "round", "random", "randomblob", "zeroblob", "length", "lower",
                                            "upper",  "ltrim", "rtrim",  "trim",       "replace",  "substr", "LIKE",
                                            "IN",     "GLOB",  "MATCH",  "REGEXP",     "COLLATE",  "ifnull"};
    for (std::size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ(rawValue(static_cast<CoreFunction>(i)), expected[i]);
    EXPECT_EQ(rawValue(CoreFunction::ifnull), "ifnull");
}

TEST(CoreFunctionTest, WrapFormsOfOneAndManyArguments)
{
    Expression<void> one = wrap(CoreFunction::abs, value(std::int64_t{-3}));
    EXPECT_EQ(one.templ, "abs(?)");
    EXPECT_EQ(one.bindings, values({integer(-3)}));

    Expression<void> many = wrap(CoreFunction::replace, std::vector<Expression<void>>{name, value(std::string("a")), value(std::string("b"))});
    EXPECT_EQ(many.templ, "replace(\"name\", ?, ?)");
    EXPECT_EQ(many.bindings, values({text("a"), text("b")}));

    Expression<void> none = wrap(CoreFunction::random, std::vector<Expression<void>>{});
    EXPECT_EQ(none.templ, "random()");
    EXPECT_TRUE(none.bindings.empty());
}

TEST(CoreFunctionTest, NumberFunctions)
{
    Expression<double> a = abs(weight);
    EXPECT_EQ(a.templ, "abs(\"weight\")");
    Expression<std::optional<std::int64_t>> ai = abs(Expression<std::optional<std::int64_t>>("n"));
    EXPECT_EQ(ai.templ, "abs(\"n\")");

    Expression<double> r = round(weight);
    EXPECT_EQ(r.templ, "round(\"weight\")");
    EXPECT_TRUE(r.bindings.empty());
    Expression<std::optional<double>> r2 = round(rating, 2);
    EXPECT_EQ(r2.templ, "round(\"rating\", ?)");
    EXPECT_EQ(r2.bindings, values({integer(2)}));

    Expression<std::int64_t> rnd = velquine::sql::random();
    EXPECT_EQ(rnd.templ, "random()");
    EXPECT_TRUE(rnd.bindings.empty());
    Expression<double> rndTyped = velquine::sql::random<double>();
    EXPECT_EQ(rndTyped.templ, "random()");

    Expression<Blob> rb = randomblob(16);
    EXPECT_EQ(rb.templ, "randomblob(?)");
    EXPECT_EQ(rb.bindings, values({integer(16)}));
    Expression<Blob> zb = zeroblob(4);
    EXPECT_EQ(zb.templ, "zeroblob(?)");
    EXPECT_EQ(zb.bindings, values({integer(4)}));

    auto db = memoryDatabase();
    EXPECT_EQ(asInteger(evaluate(*db, abs(value(std::int64_t{-7})))), 7);
    EXPECT_DOUBLE_EQ(std::get<double>(*evaluate(*db, round(value(2.71828), 2))), 2.72);
    EXPECT_DOUBLE_EQ(std::get<double>(*evaluate(*db, round(value(2.5)))), 3.0);
    EXPECT_TRUE(std::holds_alternative<std::int64_t>(*evaluate(*db, velquine::sql::random())));
    EXPECT_EQ(std::get<Blob>(*evaluate(*db, randomblob(16))).size(), 16u);
    EXPECT_EQ(std::get<Blob>(*evaluate(*db, zeroblob(3))), (Blob{0, 0, 0}));
}

TEST(CoreFunctionTest, TextFunctions)
{
    Expression<std::int64_t> len = length(name);
    EXPECT_EQ(len.templ, "length(\"name\")");
    Expression<std::optional<std::int64_t>> optLen = length(note);
    EXPECT_EQ(optLen.templ, "length(\"note\")");
    Expression<std::string> lo = lower(name);
    EXPECT_EQ(lo.templ, "lower(\"name\")");
    Expression<std::optional<std::string>> up = upper(note);
    EXPECT_EQ(up.templ, "upper(\"note\")");

    EXPECT_EQ(trim(name).templ, "trim(\"name\")");
    EXPECT_TRUE(trim(name).bindings.empty());
    Expression<std::string> emptySet = trim(name, std::string());
    EXPECT_EQ(emptySet.templ, "trim(\"name\", ?)");
    EXPECT_EQ(emptySet.bindings, values({text("")}));
    EXPECT_EQ(ltrim(name, std::string("xy")).templ, "ltrim(\"name\", ?)");
    EXPECT_EQ(rtrim(note).templ, "rtrim(\"note\")");
    Expression<std::optional<std::string>> optTrim = trim(note, std::string("-"));
    EXPECT_EQ(optTrim.templ, "trim(\"note\", ?)");

    // A receiver with a value keeps it first.
    Expression<std::string> rep = replace(value(std::string("x")), "p", "r");
    EXPECT_EQ(rep.templ, "replace(?, ?, ?)");
    EXPECT_EQ(rep.bindings, values({text("x"), text("p"), text("r")}));

    Expression<std::string> from2 = substr(name, 2);
    EXPECT_EQ(from2.templ, "substr(\"name\", ?)");
    EXPECT_EQ(from2.bindings, values({integer(2)}));
    Expression<std::string> twoThree = substr(name, 2, 3);
    EXPECT_EQ(twoThree.templ, "substr(\"name\", ?, ?)");
    EXPECT_EQ(twoThree.bindings, values({integer(2), integer(3)}));
    Expression<std::string> range = substr(name, HalfOpen{2, 5});
    EXPECT_EQ(range.templ, "substr(\"name\", ?, ?)");
    EXPECT_EQ(range.bindings, values({integer(2), integer(3)}));
    // A length beyond 64 bits is cut to the largest one.
    const std::int64_t lowest = std::numeric_limits<std::int64_t>::min();
    const std::int64_t highest = std::numeric_limits<std::int64_t>::max();
    EXPECT_EQ(substr(name, HalfOpen<std::int64_t>{lowest, highest}).bindings,
              values({integer(lowest), integer(highest)}));

    auto db = memoryDatabase();
    EXPECT_EQ(asInteger(evaluate(*db, length(value(std::string("h\xC3\xA9llo"))))), 5);
    EXPECT_FALSE(evaluate(*db, length(value(std::optional<std::string>()))));
    EXPECT_EQ(asText(evaluate(*db, lower(value(std::string("MiXeD"))))), "mixed");
    EXPECT_EQ(asText(evaluate(*db, upper(value(std::string("MiXeD"))))), "MIXED");
    EXPECT_EQ(asText(evaluate(*db, trim(value(std::string("  pad  "))))), "pad");
    EXPECT_EQ(asText(evaluate(*db, ltrim(value(std::string("xyaxy")), std::string("yx")))), "axy");
    EXPECT_EQ(asText(evaluate(*db, rtrim(value(std::string("xyaxy")), std::string("yx")))), "xya");
    EXPECT_EQ(asText(evaluate(*db, trim(value(std::string("aa")), std::string()))), "aa");
    EXPECT_EQ(asText(evaluate(*db, replace(value(std::string("a-b-c")), "-", "+"))), "a+b+c");
    EXPECT_EQ(asText(evaluate(*db, substr(value(std::string("abcdefg")), 2))), "bcdefg");
    EXPECT_EQ(asText(evaluate(*db, substr(value(std::string("abcdefg")), HalfOpen{2, 5}))), "bcd");
}

TEST(CoreFunctionTest, LikeWithAndWithoutEscape)
{
    Expression<bool> plain = like(lower(name), "a%");
    EXPECT_EQ(plain.templ, "(lower(\"name\") LIKE ?)");
    EXPECT_EQ(plain.bindings, values({text("a%")}));
    Expression<bool> escaped = like(lower(name), "a%", U'!');
    EXPECT_EQ(escaped.templ, "(lower(\"name\") LIKE ? ESCAPE ?)");
    EXPECT_EQ(escaped.bindings, values({text("a%"), text("!")}));
    // A character beyond ASCII is bound as its UTF-8 text.
    EXPECT_EQ(like(name, "x", U'\u00A7').bindings, values({text("x"), text("\xC2\xA7")}));

    Expression<std::optional<bool>> optional = like(note, "%x%");
    EXPECT_EQ(optional.templ, "(\"note\" LIKE ?)");

    const Expression<std::string> pattern("pattern");
    Expression<bool> byExpression = like(value(std::string("t")), pattern);
    EXPECT_EQ(byExpression.templ, "(? LIKE \"pattern\")");
    Expression<std::optional<bool>> byExpressionEscaped = like(note, pattern, U'\\');
    EXPECT_EQ(byExpressionEscaped.templ, "(\"note\" LIKE \"pattern\" ESCAPE ?)");
    EXPECT_EQ(byExpressionEscaped.bindings, values({text("\\")}));

    Expression<bool> onValue = like("abc", pattern);
    EXPECT_EQ(onValue.templ, "(? LIKE \"pattern\")");
    EXPECT_EQ(onValue.bindings, values({text("abc")}));
    Expression<bool> onValueEscaped = like("abc", value(std::string("a%")), U'!');
    EXPECT_EQ(onValueEscaped.templ, "(? LIKE ? ESCAPE ?)");
    EXPECT_EQ(onValueEscaped.bindings, values({text("abc"), text("a%"), text("!")}));

    auto db = memoryDatabase();
    EXPECT_EQ(asInteger(evaluate(*db, like(value(std::string("Apple")), "a%"))), 1);
    EXPECT_EQ(asInteger(evaluate(*db, like(value(std::string("50% off")), "50!%%", U'!'))), 1);
    EXPECT_EQ(asInteger(evaluate(*db, like(value(std::string("500 off")), "50!%%", U'!'))), 0);
    EXPECT_EQ(asInteger(evaluate(*db, like("banana", value(std::string("%nan%"))))), 1);
    EXPECT_FALSE(evaluate(*db, like(value(std::optional<std::string>()), "%")));
}

TEST(CoreFunctionTest, GlobMatchAndRegexp)
{
    Expression<bool> g = glob(name, "a*");
    EXPECT_EQ(g.templ, "(\"name\" GLOB ?)");
    EXPECT_EQ(g.bindings, values({text("a*")}));
    Expression<std::optional<bool>> og = glob(note, "?");
    EXPECT_EQ(og.templ, "(\"note\" GLOB ?)");
    Expression<bool> m = match(name, "word");
    EXPECT_EQ(m.templ, "(\"name\" MATCH ?)");
    EXPECT_EQ(m.bindings, values({text("word")}));
    Expression<bool> r = regexp(name, "^a");
    EXPECT_EQ(r.templ, "(\"name\" REGEXP ?)");
    Expression<std::optional<bool>> orr = regexp(note, "^a");
    EXPECT_EQ(orr.templ, "(\"note\" REGEXP ?)");

    auto db = memoryDatabase();
    EXPECT_EQ(asInteger(evaluate(*db, glob(value(std::string("abc")), "a*"))), 1);
    EXPECT_EQ(asInteger(evaluate(*db, glob(value(std::string("Abc")), "a*"))), 0);
    // MATCH on a full-text table.
    db->execute("CREATE VIRTUAL TABLE docs USING fts4(body);"
                "INSERT INTO docs (body) VALUES ('red apple'), ('green pear'), ('apple pie');");
    std::vector<std::string> found;
    const Expression<std::string> body("body");
    for (const auto& row : rows(*db, Table("docs").select(body).filter(match(body, "apple")).order(body).expression()))
        found.push_back(asText(row[0]));
    EXPECT_EQ(found, (std::vector<std::string>{"apple pie", "red apple"}));
    EXPECT_THROW(evaluate(*db, match(value(std::string("apple")), "apple")), Result);
    // REGEXP needs a function named regexp on the connection.
    EXPECT_THROW(evaluate(*db, regexp(value(std::string("abc")), "b")), Result);
    db->createFunction("regexp", 2u, true, [](const std::vector<OptBinding>& args) -> OptBinding {
        // regexp(pattern, text): a plain substring test is enough here.
        return Binding(std::int64_t(asText(args[1]).find(asText(args[0])) != std::string::npos));
    });
    EXPECT_EQ(asInteger(evaluate(*db, regexp(value(std::string("abc")), "b"))), 1);
    EXPECT_EQ(asInteger(evaluate(*db, regexp(value(std::string("abc")), "d"))), 0);
}

TEST(CoreFunctionTest, ContainsListsEachElement)
{
    const std::vector<std::int64_t> three{3, 1, 2};
    Expression<bool> in = contains(three, count_);
    EXPECT_EQ(in.templ, "(\"count\" IN (?, ?, ?))");
    EXPECT_EQ(in.bindings, values({integer(3), integer(1), integer(2)}));

    Expression<bool> empty = contains(std::vector<std::int64_t>{}, value(std::int64_t{5}));
    EXPECT_EQ(empty.templ, "(? IN ())");
    EXPECT_EQ(empty.bindings, values({integer(5)}));

    Expression<std::optional<bool>> optional = contains(std::vector<std::string>{"a"}, note);
    EXPECT_EQ(optional.templ, "(\"note\" IN (?))");
    EXPECT_EQ(optional.bindings, values({text("a")}));

    // Element values go through their storage form.
    Expression<bool> flags = contains(std::set<bool>{true}, Expression<bool>("flag"));
    EXPECT_EQ(flags.bindings, values({integer(1)}));

    auto db = memoryDatabase();
    EXPECT_EQ(asInteger(evaluate(*db, contains(three, value(std::int64_t{2})))), 1);
    EXPECT_EQ(asInteger(evaluate(*db, contains(three, value(std::int64_t{4})))), 0);
    EXPECT_EQ(asInteger(evaluate(*db, empty)), 0);
}

TEST(CoreFunctionTest, IfnullInThreeForms)
{
    const Expression<std::optional<std::int64_t>> a("a");
    const Expression<std::int64_t> b("b");
    const Expression<std::optional<std::int64_t>> c("c");
    Expression<std::int64_t> withValue = ifnull(a, 7);
    EXPECT_EQ(withValue.templ, "ifnull(\"a\", ?)");
    EXPECT_EQ(withValue.bindings, values({integer(7)}));
    Expression<std::int64_t> withExpression = ifnull(a, b);
    EXPECT_EQ(withExpression.templ, "ifnull(\"a\", \"b\")");
    Expression<std::int64_t> withOptional = ifnull(a, c);
    EXPECT_EQ(withOptional.templ, "ifnull(\"a\", \"c\")");
    Expression<std::string> textFallback = ifnull(value(std::optional<std::string>("x")), "fallback");
    EXPECT_EQ(textFallback.templ, "ifnull(?, ?)");
    EXPECT_EQ(textFallback.bindings, values({text("x"), text("fallback")}));

    auto db = memoryDatabase();
    const Expression<std::optional<std::int64_t>> none = value(std::optional<std::int64_t>());
    EXPECT_EQ(asInteger(evaluate(*db, ifnull(none, 7))), 7);
    EXPECT_EQ(asInteger(evaluate(*db, ifnull(value(std::optional<std::int64_t>(3)), 7))), 3);
    EXPECT_EQ(asInteger(evaluate(*db, ifnull(none, value(std::int64_t{9})))), 9);
    // Both NULL: the result is NULL, and reading it as a plain integer reports the unexpected NULL.
    const Expression<std::int64_t> bothNull = ifnull(none, none);
    EXPECT_FALSE(evaluate(*db, bothNull));
    db->execute("CREATE TABLE t (a INTEGER, c INTEGER); INSERT INTO t VALUES (NULL, NULL);");
    try {
        db->scalar(Table("t").select(ifnull(a, c)));
        FAIL() << "NULL read as a plain integer";
    } catch (const QueryError& error) {
        EXPECT_EQ(error.kind(), QueryError::Kind::unexpectedNullValue);
        EXPECT_EQ(std::string(error.what()), "Unexpected null value for column `ifnull(\"a\", \"c\")`");
    }
}
