#include "platform/Json.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

using namespace velquine;

namespace {

std::string errorOf(std::string_view text)
{
    try {
        Json::read(text);
    } catch (const JsonError& error) {
        return error.what();
    }
    return "no error";
}

std::uint64_t bitsOf(double d)
{
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

std::string nested(std::size_t depth)
{
    return std::string(depth, '[') + std::string(depth, ']');
}

} // namespace

TEST(Json, WritesCompactTextInMemberOrder)
{
    const auto grid = KeyedValue::object(
        {{"type", KeyedValue::object({{"noGrid", KeyedValue::object()}})}, {"size", KeyedValue::array({24.0, 24.0})}});
    EXPECT_EQ(Json::write(grid), R"({"type":{"noGrid":{}},"size":[24,24]})");
    EXPECT_EQ(Json::write(KeyedValue::object({{"ellipse", KeyedValue::object()}})), R"({"ellipse":{}})");
    EXPECT_EQ(Json::write(KeyedValue::object({{"b", true}, {"a", false}, {"n", nullptr}, {"e", KeyedValue::array()}})),
              R"({"b":true,"a":false,"n":null,"e":[]})");
    EXPECT_EQ(Json::write(KeyedValue::object(
                  {{"colorSpaceName", "kCGColorSpaceSRGB"}, {"comps", KeyedValue::array({0.5, 0.25, 1.0, 1.0})}})),
              R"({"colorSpaceName":"kCGColorSpaceSRGB","comps":[0.5,0.25,1,1]})");
    EXPECT_EQ(Json::write(KeyedValue("top")), R"("top")");
    EXPECT_EQ(Json::write(KeyedValue(5)), "5");
}

TEST(Json, EscapesSlashesQuotesAndControlCharactersAndKeepsOtherTextAsUtf8)
{
    EXPECT_EQ(Json::write(KeyedValue("a/b")), R"("a\/b")");
    EXPECT_EQ(Json::write(KeyedValue("say \"hi\" \\ there")), R"("say \"hi\" \\ there")");
    EXPECT_EQ(Json::write(KeyedValue("\b\f\n\r\t")), R"("\b\f\n\r\t")");
    EXPECT_EQ(Json::write(KeyedValue(std::string("\x01\x1f\x7f", 3))), "\"\\u0001\\u001f\x7f\"");
    EXPECT_EQ(Json::write(KeyedValue(std::string("nul\0in", 6))), R"("nul\u0000in")");
    EXPECT_EQ(Json::write(KeyedValue("Caf\xC3\xA9 \xE2\x80\xA8 \xF0\x9F\x98\x80")),
              "\"Caf\xC3\xA9 \xE2\x80\xA8 \xF0\x9F\x98\x80\"");
    EXPECT_EQ(Json::write(KeyedValue::object({{"k/ey", 1}})), R"({"k\/ey":1})");

    for (const char* bad : {"\xC3", "\xC0\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xFF", "a\x80"}) {
        EXPECT_THROW(Json::write(KeyedValue(bad)), JsonError) << bad;
    }
}

TEST(Json, DataIsBase64TextWithItsSlashesEscaped)
{
    // 0xFF 0xFF 0xFF is "////" in Base64.
    EXPECT_EQ(Json::write(KeyedValue::object({{"font", Bytes{0xFF, 0xFF, 0xFF, 0x01}}})), R"({"font":"\/\/\/\/AQ=="})");
    const auto back = Json::read(R"({"font":"\/\/\/\/AQ=="})");
    EXPECT_EQ(back.at("font").asString(), "////AQ==");
    EXPECT_EQ(back.at("font").dataValue(), (Bytes{0xFF, 0xFF, 0xFF, 0x01}));
    EXPECT_EQ(Json::read(R"("////AQ==")").dataValue(), (Bytes{0xFF, 0xFF, 0xFF, 0x01}));
}

TEST(Json, EachLevelOfNestedTextEscapesTheLevelBelowOnceMore)
{
    const auto colour = Json::write(
        KeyedValue::object({{"colorSpaceName", "kCGColorSpaceSRGB"}, {"comps", KeyedValue::array({1.0, 0.5, 0.0, 1.0})}}));
    const auto entry = Json::write(KeyedValue::object({{"fillColor", colour}, {"strokeColor", colour}}));
    const auto palette = Json::write(KeyedValue::array({entry}));
    const auto values = Json::write(KeyedValue::object({{"palette", palette}, {"backgroundColor", colour}}));
    const auto style = Json::write(KeyedValue::object({{"name", "Omaha"}, {"current", values}}));

    // The quote that opens "colorSpaceName" is preceded by 1, 3, 7 and 15 backslashes.
    auto quoteEscapes = [&](const std::string& text) {
        const auto at = text.find("colorSpaceName");
        std::size_t n = 0;
        for (std::size_t i = at - 2; text[i] == '\\'; --i)
            ++n;
        return n;
    };
    EXPECT_EQ(quoteEscapes(colour), 0u);
    EXPECT_EQ(quoteEscapes(entry), 1u);
    EXPECT_EQ(quoteEscapes(palette), 3u);
    EXPECT_EQ(quoteEscapes(values), 7u);
    EXPECT_EQ(quoteEscapes(style), 15u);
    EXPECT_EQ(entry.substr(0, 34), R"({"fillColor":"{\"colorSpaceName\":)");

    // And every level reads back to the text below it.
    EXPECT_EQ(Json::read(style).at("current").asString(), values);
    EXPECT_EQ(Json::read(Json::read(values).at("palette").asString()).at(0).asString(), entry);
    EXPECT_EQ(Json::read(Json::read(entry).at("strokeColor").asString()),
              KeyedValue::object({{"colorSpaceName", "kCGColorSpaceSRGB"}, {"comps", KeyedValue::array({1, 0.5, 0, 1})}}));
}

TEST(Json, NumbersAreExactIntegersAndShortestReals)
{
    EXPECT_EQ(Json::write(KeyedValue(std::numeric_limits<std::int64_t>::min())), "-9223372036854775808");
    EXPECT_EQ(Json::write(KeyedValue(std::numeric_limits<std::int64_t>::max())), "9223372036854775807");
    EXPECT_EQ(Json::write(KeyedValue(std::numeric_limits<std::uint64_t>::max())), "18446744073709551615");
    EXPECT_EQ(Json::formatReal(24.0), "24");
    EXPECT_EQ(Json::formatReal(-48.5), "-48.5");
    EXPECT_EQ(Json::formatReal(0.1), "0.1");
    EXPECT_EQ(Json::formatReal(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(Json::formatReal(0.0), "0");
    EXPECT_EQ(Json::formatReal(-0.0), "-0");
    EXPECT_EQ(Json::formatReal(0.0001), "0.0001");
    EXPECT_EQ(Json::formatReal(0.00001), "1e-05");
    EXPECT_EQ(Json::formatReal(9007199254740992.0), "9007199254740992");
    EXPECT_EQ(Json::formatReal(1e100), "1e+100");
    EXPECT_EQ(Json::formatReal(1700000000.123456), "1700000000.123456");
    EXPECT_EQ(Json::formatReal(0.31400001049041748), "0.3140000104904175");
    EXPECT_THROW(Json::formatReal(std::nan("")), JsonError);
    EXPECT_THROW(Json::write(KeyedValue::array({std::numeric_limits<double>::infinity()})), JsonError);

    // Every finite double reads back bit for bit, whatever text it takes.
    std::mt19937_64 random(42);
    for (int i = 0; i < 20000; ++i) {
        double d;
        const std::uint64_t bits = random();
        std::memcpy(&d, &bits, sizeof d);
        if (!std::isfinite(d))
            continue;
        const auto text = Json::formatReal(d);
        ASSERT_EQ(bitsOf(Json::read(text).asDouble()), bits) << text;
    }
    for (double d : {1.0, 24.0, -3.0, 1e15, 1e16, 123456789.0, 5e-324, 2.2250738585072014e-308,
                     std::numeric_limits<double>::max(), -0.0}) {
        EXPECT_EQ(bitsOf(Json::read(Json::formatReal(d)).asDouble()), bitsOf(d)) << d;
    }
}

TEST(Json, ReadsIntegersExactlyAndEverythingElseAsReals)
{
    using Kind = KeyedValue::Kind;
    EXPECT_EQ(Json::read("9007199254740993").asInt64(), 9007199254740993);
    EXPECT_EQ(Json::read("-9223372036854775808").asInt64(), std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(Json::read("9223372036854775808").kind(), Kind::uint64);
    EXPECT_EQ(Json::read("18446744073709551615").asUInt64(), std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(Json::read("18446744073709551616"), KeyedValue(18446744073709551616.0));
    EXPECT_EQ(Json::read("-9223372036854775809"), KeyedValue(-9223372036854775808.0));
    EXPECT_EQ(Json::read("24").kind(), Kind::int64);
    EXPECT_EQ(Json::read("24.0"), KeyedValue(24.0));
    EXPECT_EQ(Json::read("1E2"), KeyedValue(100.0));
    EXPECT_EQ(Json::read("-2.5e-3"), KeyedValue(-0.0025));
    EXPECT_EQ(Json::read("0"), KeyedValue(0));
    EXPECT_EQ(Json::read("-0"), KeyedValue(-0.0));
    EXPECT_EQ(Json::read("1e-400"), KeyedValue(0.0));
    EXPECT_EQ(Json::read("-123.5e-400"), KeyedValue(-0.0));
    EXPECT_EQ(Json::read("0.00001e-320").asDouble(), 0.0);
    EXPECT_EQ(errorOf("1e400"), "JSON: the number 1e400 is too large at byte 0");
    EXPECT_EQ(errorOf("[-12345678901234567890123e300]"),
              "JSON: the number -12345678901234567890123e300 is too large at byte 1");
}

TEST(Json, ReadsStringsWithEveryEscape)
{
    EXPECT_EQ(Json::read(R"("a\/b/c")").asString(), "a/b/c");
    EXPECT_EQ(Json::read(R"("\"\\\b\f\n\r\t")").asString(), "\"\\\b\f\n\r\t");
    EXPECT_EQ(Json::read(R"("\u0041\u00e9\u20AC\u0000!")").asString(), std::string("A\xC3\xA9\xE2\x82\xAC\0!", 8));
    EXPECT_EQ(Json::read(R"("\ud83d\ude00")").asString(), "\xF0\x9F\x98\x80");
    EXPECT_EQ(Json::read("\"Caf\xC3\xA9 \xF0\x9F\x98\x80\"").asString(), "Caf\xC3\xA9 \xF0\x9F\x98\x80");

    EXPECT_EQ(errorOf(R"("\ud83d")"), "JSON: unpaired high surrogate in a \\u escape at byte 1");
    EXPECT_EQ(errorOf(R"("\ud83d\u0041")"), "JSON: unpaired high surrogate in a \\u escape at byte 1");
    EXPECT_EQ(errorOf(R"("x\ude00")"), "JSON: unpaired low surrogate in a \\u escape at byte 2");
    EXPECT_EQ(errorOf(R"("\u12G4")"), "JSON: invalid hexadecimal digit in a \\u escape at byte 5");
    EXPECT_EQ(errorOf(R"("\u12)"), "JSON: incomplete \\u escape at byte 3");
    EXPECT_EQ(errorOf(R"("\x")"), "JSON: invalid escape sequence at byte 1");
    EXPECT_EQ(errorOf("\"tab\tinside\""), "JSON: unescaped control character in a string at byte 4");
    EXPECT_EQ(errorOf("\"abc"), "JSON: unterminated string at byte 0");
    EXPECT_EQ(errorOf("\"abc\\"), "JSON: unterminated string at byte 0");
    for (const char* bad : {"\"\xC3\"", "\"\xC0\x80\"", "\"\xE0\x80\x80\"", "\"\xED\xA0\x80\"", "\"\xF4\x90\x80\x80\"",
                            "\"\xF8\x88\x80\x80\x80\"", "\"\x80\"", "\"\xE2\x82\""}) {
        EXPECT_EQ(errorOf(bad), "JSON: invalid UTF-8 at byte 1") << bad;
    }
}

TEST(Json, ReadsStructureWithAnySpacingAndTheLastOfRepeatedKeys)
{
    const auto value = Json::read(" \t\r\n{ \"b\" : [ 1 , 2.5 , \"x\" , null , true , false ] ,\n \"a\" : { } }\n");
    EXPECT_EQ(value, KeyedValue::object({{"b", KeyedValue::array({1, 2.5, "x", nullptr, true, false})},
                                         {"a", KeyedValue::object()}}));
    EXPECT_EQ(value.asObject().keys(), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(Json::read(R"({"k":1,"j":2,"k":3})"), KeyedValue::object({{"k", 3}, {"j", 2}}));
    EXPECT_EQ(Json::read("\xEF\xBB\xBF[1]"), KeyedValue::array({1}));
}

TEST(Json, RefusesMalformedTextWithTheOffset)
{
    EXPECT_EQ(errorOf(""), "JSON: the text holds no value at byte 0");
    EXPECT_EQ(errorOf("  \n"), "JSON: the text holds no value at byte 3");
    EXPECT_EQ(errorOf("[1,]"), "JSON: unexpected character ']' at byte 3");
    EXPECT_EQ(errorOf(R"({"a":1,})"), "JSON: expected a string key at byte 7");
    EXPECT_EQ(errorOf("{'a':1}"), "JSON: expected a string key at byte 1");
    EXPECT_EQ(errorOf("[1 2]"), "JSON: unexpected character '2' at byte 3");
    EXPECT_EQ(errorOf("1 2"), "JSON: unexpected text after the value at byte 2");
    EXPECT_EQ(errorOf("[1"), "JSON: unexpected end of text at byte 2");
    EXPECT_EQ(errorOf(R"({"a":1])"), "JSON: unexpected character ']' at byte 6");
    EXPECT_EQ(errorOf(R"([1})"), "JSON: unexpected character '}' at byte 2");
    EXPECT_EQ(errorOf(R"({"a":1)"), "JSON: unexpected end of text at byte 6");
    EXPECT_EQ(errorOf(R"({"a" 1})"), "JSON: unexpected character '1' at byte 5");
    EXPECT_EQ(errorOf("tru"), "JSON: unexpected end of text at byte 3");
    EXPECT_EQ(errorOf("nul1"), "JSON: unexpected character '1' at byte 3");
    EXPECT_EQ(errorOf("01"), "JSON: a number with a leading zero at byte 0");
    EXPECT_EQ(errorOf("-"), "JSON: a number needs a digit at byte 1");
    EXPECT_EQ(errorOf("1."), "JSON: a number needs a digit after the decimal point at byte 2");
    EXPECT_EQ(errorOf("1e+"), "JSON: a number needs a digit in its exponent at byte 3");
    EXPECT_EQ(errorOf("\x01"), "JSON: unexpected byte 0x01 at byte 0");
    for (const char* bad : {"+1", ".5", "NaN", "Infinity", "-Infinity", "[01]", "0x10", "{\"a\":}", "[,1]", "{,}",
                            "\"a\" \"b\"", "[1]]", "{\"a\":1}}", "/* c */1", "[1,\n]", "True", "\xC2\xA0" "1"}) {
        EXPECT_THROW(Json::read(bad), JsonError) << bad;
    }
}

TEST(Json, NestingIsBoundedOnReadingAndWriting)
{
    EXPECT_NO_THROW(Json::read(nested(Json::maxDepth)));
    EXPECT_EQ(errorOf(nested(Json::maxDepth + 1)), "JSON: nesting deeper than 512 levels at byte 512");
    EXPECT_EQ(errorOf(std::string(100000, '[')), "JSON: nesting deeper than 512 levels at byte 512");
    std::string objects;
    for (std::size_t i = 0; i < 1000; ++i)
        objects += "{\"a\":";
    EXPECT_THROW(Json::read(objects), JsonError);

    KeyedValue deep = KeyedValue::array();
    for (std::size_t i = 1; i < Json::maxDepth; ++i)
        deep = KeyedValue::array({deep});
    EXPECT_EQ(Json::write(deep), nested(Json::maxDepth));
    EXPECT_THROW(Json::write(KeyedValue::array({deep})), JsonError);
}

TEST(Json, RoundTripsTreesAndLargeObjects)
{
    KeyedObject big;
    for (int i = 0; i < 2000; ++i)
        big.set("key " + std::to_string(i), i % 3 == 0 ? KeyedValue(i) : KeyedValue("v/" + std::to_string(i)));
    const auto tree = KeyedValue::object({
        {"UID", std::int64_t{-7}},
        {"userOverrides", std::numeric_limits<std::uint64_t>::max()},
        {"title", "Line\nbreak \"quoted\" / slash \xF0\x9F\x98\x80"},
        {"center", KeyedValue::array({120.5, -48.25})},
        {"big", KeyedValue(big)},
        {"none", nullptr},
    });
    const auto text = Json::write(tree);
    EXPECT_EQ(Json::read(text), tree);
    EXPECT_EQ(Json::write(Json::read(text)), text);
}

TEST(Json, EveryTruncationAndSeededMutationFailsCleanly)
{
    const std::string valid =
        R"({"borderWidth":2,"borderColor":"YnBsaXN0MDDUAQIDBAUGBwpYJHZlcnNpb25ZJGFyY2hpdmVy\/\/8=",)"
        R"("title":"Sp\u00e4t \ud83d\ude00 \"q\" \\ \/","sizes":[24,24.5,-1e-05,1.5E+300,0],)"
        R"("big":18446744073709551615,"neg":-9223372036854775808,"flags":[true,false,null],)"
        "\"raw\":\"Caf\xC3\xA9\",\"nested\":{\"a\":{\"b\":[[],{}]}}}";
    const auto value = Json::read(valid);
    ASSERT_EQ(value.at("big").asUInt64(), std::numeric_limits<std::uint64_t>::max());

    for (std::size_t n = 0; n < valid.size(); ++n)
        EXPECT_THROW(Json::read(valid.substr(0, n)), JsonError) << n;

    static const char alphabet[] = "{}[]\",:\\/0123456789.eE+-tfnu ulx\xC3\xA9\xF0\x80\xFF";
    std::mt19937 random(20261207);
    int readBack = 0;
    for (int round = 0; round < 5000; ++round) {
        std::string mutated = valid;
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = random() % mutated.size();
            const char c = alphabet[random() % (sizeof alphabet - 1)];
            switch (random() % 3) {
            case 0: mutated[at] = c; break;
            case 1: mutated.erase(at, 1 + random() % 3); break;
            default: mutated.insert(at, 1, c);
            }
            if (mutated.empty())
                mutated = "x";
        }
        try {
            const auto read = Json::read(mutated);
            // What reads writes out as text that reads back to the same text.
            const auto text = Json::write(read);
            EXPECT_EQ(Json::write(Json::read(text)), text) << mutated;
            ++readBack;
        } catch (const JsonError&) {
        }
    }
    EXPECT_GT(readBack, 0);
}
