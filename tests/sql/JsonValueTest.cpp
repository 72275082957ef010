#include "sql/DecodingError.h"
#include "sql/JsonValue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

using namespace velquine::sql;

namespace {

std::string roundTrip(const std::string& text)
{
    return writeJson(parseJson(text));
}

std::string parseError(const std::string& text)
{
    try {
        parseJson(text);
    } catch (const DecodingError& error) {
        EXPECT_EQ(error.kind(), DecodingError::Kind::dataCorrupted);
        return error.what();
    }
    return "parsed";
}

} // namespace

TEST(JsonValueTest, WritesCompactTextInMemberOrder)
{
    JsonValue::Object members;
    members.emplace_back("z", JsonValue::integer(-1));
    members.emplace_back("a", JsonValue(JsonValue::Array{JsonValue(), JsonValue(true), JsonValue(false)}));
    members.emplace_back("s", JsonValue(std::string("q\"b\\s/\n\t\x01\x7f\xc3\xa9")));
    EXPECT_EQ(writeJson(JsonValue(members)), "{\"z\":-1,\"a\":[null,true,false],\"s\":\"q\\\"b\\\\s/\\n\\t\\u0001\x7f\xc3\xa9\"}");
    EXPECT_EQ(writeJson(JsonValue(JsonValue::Object{})), "{}");
    EXPECT_EQ(writeJson(JsonValue(JsonValue::Array{})), "[]");
}

TEST(JsonValueTest, NumbersKeepTheirExactValue)
{
    EXPECT_EQ(writeJson(JsonValue::integer(std::numeric_limits<std::int64_t>::min())), "-9223372036854775808");
    EXPECT_EQ(writeJson(JsonValue::unsignedInteger(std::numeric_limits<std::uint64_t>::max())), "18446744073709551615");
    EXPECT_EQ(writeJson(JsonValue::real(0.1)), "0.1");
    EXPECT_EQ(writeJson(JsonValue::real(1.0)), "1");
    EXPECT_EQ(writeJson(JsonValue::real(0.1f)), "0.1");
    EXPECT_EQ(writeJson(JsonValue::real(5e-324)), "5e-324");
    EXPECT_EQ(roundTrip(" [ 1.50 , -0 , 1E+2 , 12345678901234567890 ] "), "[1.50,-0,1E+2,12345678901234567890]");
}

TEST(JsonValueTest, ReadsEscapesAndUnicode)
{
    const JsonValue value = parseJson(R"("\u00e9\ud83d\ude00\/\b\f\r")");
    EXPECT_EQ(*value.string(), "\xc3\xa9\xf0\x9f\x98\x80/\b\f\r");
    EXPECT_EQ(*parseJson("\"\xe2\x82\xac\"").string(), "\xe2\x82\xac");
}

TEST(JsonValueTest, LastDuplicateMemberWins)
{
    const JsonValue value = parseJson(R"({"a":1,"b":2,"a":3})");
    EXPECT_EQ(value.member("a")->number()->text, "3");
    EXPECT_EQ(value.member("c"), nullptr);
    EXPECT_EQ(parseJson("[]").member("a"), nullptr);
}

TEST(JsonValueTest, RejectsWhatIsNotJson)
{
    EXPECT_EQ(parseError(""), "the given data is not valid JSON: unexpected end of text at offset 0");
    EXPECT_EQ(parseError("[1,]"), "the given data is not valid JSON: unexpected character at offset 3");
    EXPECT_EQ(parseError("{\"a\" 1}"), "the given data is not valid JSON: expected ':' at offset 5");
    EXPECT_EQ(parseError("1 2"), "the given data is not valid JSON: unexpected text after the value at offset 2");
    EXPECT_EQ(parseError("01"), "the given data is not valid JSON: unexpected text after the value at offset 1");
    EXPECT_EQ(parseError("1."), "the given data is not valid JSON: invalid number at offset 2");
    EXPECT_EQ(parseError("-"), "the given data is not valid JSON: unexpected end of text at offset 1");
    EXPECT_EQ(parseError("tru"), "the given data is not valid JSON: unexpected character at offset 0");
    EXPECT_EQ(parseError("\"a\nb\""), "the given data is not valid JSON: control character in a string at offset 2");
    EXPECT_EQ(parseError(R"("\x")"), "the given data is not valid JSON: invalid escape at offset 2");
    EXPECT_EQ(parseError(R"("\ud800")"), "the given data is not valid JSON: unpaired surrogate at offset 7");
    EXPECT_EQ(parseError(R"("\udc00")"), "the given data is not valid JSON: unpaired surrogate at offset 7");
    EXPECT_EQ(parseError("\"\xc0\xaf\""), "the given data is not valid JSON: invalid UTF-8 at offset 1");
    EXPECT_EQ(parseError("\"abc"), "the given data is not valid JSON: unterminated string at offset 4");
    EXPECT_EQ(parseError("NaN"), "the given data is not valid JSON: unexpected character at offset 0");
    EXPECT_EQ(parseError("[1 2]"), "the given data is not valid JSON: expected ',' or ']' at offset 3");
    EXPECT_EQ(parseError("{\"a\":1]"), "the given data is not valid JSON: expected ',' or '}' at offset 6");
    EXPECT_EQ(parseError("[1,"), "the given data is not valid JSON: unexpected end of text at offset 3");
    EXPECT_EQ(parseError("{\"a\":1"), "the given data is not valid JSON: unexpected end of text at offset 6");
    EXPECT_EQ(parseError(R"("\u12g4")"), "the given data is not valid JSON: invalid \\u escape at offset 6");
}

TEST(JsonValueTest, NestingIsBounded)
{
    EXPECT_NO_THROW(parseJson(std::string(512, '[') + std::string(512, ']')));
    EXPECT_EQ(parseError(std::string(100000, '[')),
              "the given data is not valid JSON: values nested too deeply at offset 512");
    EXPECT_EQ(parseError(std::string(600, '{')), "the given data is not valid JSON: expected a member name at offset 1");
}

TEST(JsonValueTest, Base64)
{
    EXPECT_EQ(base64Encode({}), "");
    EXPECT_EQ(base64Encode({'f'}), "Zg==");
    EXPECT_EQ(base64Encode({'f', 'o'}), "Zm8=");
    EXPECT_EQ(base64Encode({'f', 'o', 'o'}), "Zm9v");
    EXPECT_EQ(base64Encode({0xfb, 0xff}), "+/8=");
    EXPECT_EQ(base64Decode("Zm8="), (std::vector<std::uint8_t>{'f', 'o'}));
    EXPECT_EQ(base64Decode("+/8="), (std::vector<std::uint8_t>{0xfb, 0xff}));
    EXPECT_EQ(base64Decode(""), std::vector<std::uint8_t>{});
    EXPECT_FALSE(base64Decode("Zm8"));
    EXPECT_FALSE(base64Decode("Z==="));
    EXPECT_FALSE(base64Decode("Zg==Zg=="));
    EXPECT_FALSE(base64Decode("Zm=v"));
    EXPECT_FALSE(base64Decode("Zm9!"));
}
