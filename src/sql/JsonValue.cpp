#include "sql/JsonValue.h"

#include "base/JsonString.h"
#include "sql/DecodingError.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace velquine::sql {

JsonValue JsonValue::integer(std::int64_t value)
{
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return JsonValue(JsonNumber{std::string(buffer, result.ptr)});
}

JsonValue JsonValue::unsignedInteger(std::uint64_t value)
{
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return JsonValue(JsonNumber{std::string(buffer, result.ptr)});
}

JsonValue JsonValue::real(double value)
{
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return JsonValue(JsonNumber{std::string(buffer, result.ptr)});
}

JsonValue JsonValue::real(float value)
{
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return JsonValue(JsonNumber{std::string(buffer, result.ptr)});
}

const JsonValue* JsonValue::member(std::string_view key) const noexcept
{
    const Object* members = object();
    if (!members)
        return nullptr;
    for (auto it = members->rbegin(); it != members->rend(); ++it) {
        if (it->first == key)
            return &it->second;
    }
    return nullptr;
}

std::string describe(JsonValue::Type type)
{
    switch (type) {
    case JsonValue::Type::null: return "null";
    case JsonValue::Type::boolean: return "a boolean";
    case JsonValue::Type::number: return "a number";
    case JsonValue::Type::string: return "a string";
    case JsonValue::Type::array: return "an array";
    case JsonValue::Type::object: return "an object";
    }
    return "an unknown value";
}

// ---- writer -------------------------------------------------------------------------------------

namespace {

void write(std::string& out, const JsonValue& value)
{
    switch (value.type()) {
    case JsonValue::Type::null: out += "null"; break;
    case JsonValue::Type::boolean: out += *value.boolean() ? "true" : "false"; break;
    case JsonValue::Type::number: out += value.number()->text; break;
    case JsonValue::Type::string: appendJsonString(out, *value.string(), false); break;
    case JsonValue::Type::array: {
        out += '[';
        bool first = true;
        for (const JsonValue& element : *value.array()) {
            if (!first)
                out += ',';
            first = false;
            write(out, element);
        }
        out += ']';
        break;
    }
    case JsonValue::Type::object: {
        out += '{';
        bool first = true;
        for (const auto& [key, member] : *value.object()) {
            if (!first)
                out += ',';
            first = false;
            appendJsonString(out, key, false);
            out += ':';
            write(out, member);
        }
        out += '}';
        break;
    }
    }
}

} // namespace

std::string writeJson(const JsonValue& value)
{
    std::string out;
    write(out, value);
    return out;
}

// ---- reader -------------------------------------------------------------------------------------

namespace {

constexpr int maximumDepth = 512;

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) {}

    JsonValue document()
    {
        skipSpace();
        JsonValue value = parseValue(0);
        skipSpace();
        if (pos_ != text_.size())
            fail("unexpected text after the value");
        return value;
    }

private:
    [[noreturn]] void fail(const std::string& reason) const
    {
        throw DecodingError::dataCorrupted("the given data is not valid JSON: " + reason + " at offset "
                                           + std::to_string(pos_));
    }

    bool atEnd() const { return pos_ >= text_.size(); }
    char peek() const { return text_[pos_]; }

    void skipSpace()
    {
        while (!atEnd() && (peek() == ' ' || peek() == '\t' || peek() == '\n' || peek() == '\r'))
            ++pos_;
    }

    void expectWord(std::string_view word)
    {
        if (text_.substr(pos_, word.size()) != word)
            fail("unexpected character");
        pos_ += word.size();
    }

    JsonValue parseValue(int depth)
    {
        if (atEnd())
            fail("unexpected end of text");
        switch (peek()) {
        case 'n': expectWord("null"); return JsonValue();
        case 't': expectWord("true"); return JsonValue(true);
        case 'f': expectWord("false"); return JsonValue(false);
        case '"': return JsonValue(parseString());
        case '[': return parseArray(depth + 1);
        case '{': return parseObject(depth + 1);
        default:
            if (peek() == '-' || (peek() >= '0' && peek() <= '9'))
                return JsonValue(parseNumber());
            fail("unexpected character");
        }
    }

    // Steps past the opening bracket of an array or object; true when the closing one follows at once.
    bool openContainer(int depth, char close)
    {
        if (depth > maximumDepth)
            fail("values nested too deeply");
        ++pos_;
        skipSpace();
        if (!atEnd() && peek() == close) {
            ++pos_;
            return true;
        }
        return false;
    }

    // After an element of an array or object: true past a ',', false past the closing bracket.
    bool nextElement(char close)
    {
        skipSpace();
        if (atEnd())
            fail("unexpected end of text");
        if (peek() == ',') {
            ++pos_;
            return true;
        }
        if (peek() == close) {
            ++pos_;
            return false;
        }
        fail(std::string("expected ',' or '") + close + "'");
    }

    JsonValue parseArray(int depth)
    {
        JsonValue::Array elements;
        if (openContainer(depth, ']'))
            return JsonValue(std::move(elements));
        do {
            skipSpace();
            elements.push_back(parseValue(depth));
        } while (nextElement(']'));
        return JsonValue(std::move(elements));
    }

    JsonValue parseObject(int depth)
    {
        JsonValue::Object members;
        if (openContainer(depth, '}'))
            return JsonValue(std::move(members));
        do {
            skipSpace();
            if (atEnd() || peek() != '"')
                fail("expected a member name");
            std::string key = parseString();
            skipSpace();
            if (atEnd() || peek() != ':')
                fail("expected ':'");
            ++pos_;
            skipSpace();
            JsonValue value = parseValue(depth);
            members.emplace_back(std::move(key), std::move(value));
        } while (nextElement('}'));
        return JsonValue(std::move(members));
    }

    std::string parseString()
    {
        ++pos_; // "
        std::string out;
        for (;;) {
            if (atEnd())
                fail("unterminated string");
            const unsigned char c = static_cast<unsigned char>(peek());
            if (c == '"') {
                ++pos_;
                return out;
            }
            if (c < 0x20)
                fail("control character in a string");
            if (c == '\\') {
                ++pos_;
                if (atEnd())
                    fail("unterminated string");
                switch (readJsonEscape(text_, pos_, out)) {
                case JsonEscapeStatus::ok: break;
                case JsonEscapeStatus::invalidEscape: fail("invalid escape");
                case JsonEscapeStatus::truncated: fail("unexpected end of text");
                case JsonEscapeStatus::invalidDigit: ++pos_; fail("invalid \\u escape");
                default: fail("unpaired surrogate");
                }
                continue;
            }
            const std::size_t length = utf8SequenceLength(text_, pos_);
            if (length == 0)
                fail("invalid UTF-8");
            out.append(text_.substr(pos_, length));
            pos_ += length;
        }
    }

    JsonNumber parseNumber()
    {
        const std::size_t start = pos_;
        const auto digits = [&] {
            const std::size_t from = pos_;
            while (!atEnd() && peek() >= '0' && peek() <= '9')
                ++pos_;
            return pos_ - from;
        };
        if (peek() == '-')
            ++pos_;
        if (atEnd())
            fail("unexpected end of text");
        if (peek() == '0') {
            ++pos_;
        } else if (digits() == 0) {
            fail("invalid number");
        }
        if (!atEnd() && peek() == '.') {
            ++pos_;
            if (digits() == 0)
                fail("invalid number");
        }
        if (!atEnd() && (peek() == 'e' || peek() == 'E')) {
            ++pos_;
            if (!atEnd() && (peek() == '+' || peek() == '-'))
                ++pos_;
            if (digits() == 0)
                fail("invalid number");
        }
        return JsonNumber{std::string(text_.substr(start, pos_ - start))};
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

} // namespace

JsonValue parseJson(std::string_view text)
{
    return Reader(text).document();
}

// ---- Base64 -------------------------------------------------------------------------------------

namespace {
const char* const base64Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int base64Digit(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}
} // namespace

std::string base64Encode(const std::vector<std::uint8_t>& bytes)
{
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const std::uint32_t n = (std::uint32_t(bytes[i]) << 16) | (std::uint32_t(bytes[i + 1]) << 8) | bytes[i + 2];
        out += base64Alphabet[(n >> 18) & 63];
        out += base64Alphabet[(n >> 12) & 63];
        out += base64Alphabet[(n >> 6) & 63];
        out += base64Alphabet[n & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        std::uint32_t n = std::uint32_t(bytes[i]) << 16;
        if (rest == 2)
            n |= std::uint32_t(bytes[i + 1]) << 8;
        out += base64Alphabet[(n >> 18) & 63];
        out += base64Alphabet[(n >> 12) & 63];
        out += rest == 2 ? base64Alphabet[(n >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

std::optional<std::vector<std::uint8_t>> base64Decode(std::string_view text)
{
    if (text.size() % 4 != 0)
        return std::nullopt;
    std::vector<std::uint8_t> out;
    out.reserve(text.size() / 4 * 3);
    for (std::size_t i = 0; i < text.size(); i += 4) {
        const bool last = i + 4 == text.size();
        int padding = 0;
        std::uint32_t n = 0;
        for (std::size_t j = 0; j < 4; ++j) {
            const char c = text[i + j];
            if (c == '=' && last && j >= 2) {
                ++padding;
                n <<= 6;
                continue;
            }
            const int digit = base64Digit(c);
            if (digit < 0 || padding > 0)
                return std::nullopt;
            n = (n << 6) | static_cast<std::uint32_t>(digit);
        }
        out.push_back(static_cast<std::uint8_t>(n >> 16));
        if (padding < 2)
            out.push_back(static_cast<std::uint8_t>(n >> 8));
        if (padding < 1)
            out.push_back(static_cast<std::uint8_t>(n));
    }
    return out;
}

} // namespace velquine::sql
