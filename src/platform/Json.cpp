#include "platform/Json.h"

#include "platform/NumberText.h"
#include "base/Hex.h"
#include "base/JsonString.h"
#include "base/Utf8.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace velquine {

namespace {

// ---- Writer ----

class Writer {
public:
    std::string write(const KeyedValue& value)
    {
        value_(value, 1);
        return std::move(out_);
    }

private:
    void string_(std::string_view text)
    {
        if (!isValidUtf8(text))
            throw JsonError("JSON: cannot write a string that is not valid UTF-8");
        appendJsonString(out_, text, true);
    }

    void value_(const KeyedValue& value, std::size_t depth)
    {
        using Kind = KeyedValue::Kind;
        switch (value.kind()) {
        case Kind::null: out_ += "null"; return;
        case Kind::boolean: out_ += value.asBool() ? "true" : "false"; return;
        case Kind::int64: out_ += std::to_string(value.asInt64()); return;
        case Kind::uint64: out_ += std::to_string(value.asUInt64()); return;
        case Kind::real: out_ += Json::formatReal(value.asDouble()); return;
        case Kind::string: string_(value.asString()); return;
        case Kind::bytes: string_(Base64::encode(value.asBytes())); return;
        case Kind::array: {
            checkDepth(depth);
            out_ += '[';
            bool first = true;
            for (const auto& item : value.asArray()) {
                if (!first)
                    out_ += ',';
                first = false;
                value_(item, depth + 1);
            }
            out_ += ']';
            return;
        }
        case Kind::object: {
            checkDepth(depth);
            out_ += '{';
            bool first = true;
            for (const auto& entry : value.asObject()) {
                if (!first)
                    out_ += ',';
                first = false;
                string_(entry.key);
                out_ += ':';
                value_(entry.value, depth + 1);
            }
            out_ += '}';
            return;
        }
        }
    }

    static void checkDepth(std::size_t depth)
    {
        if (depth > Json::maxDepth)
            throw JsonError("JSON: cannot write nesting deeper than " + std::to_string(Json::maxDepth) + " levels");
    }

    std::string out_;
};

// ---- Reader ----

class Reader {
public:
    explicit Reader(std::string_view text) : text_(text) { }

    KeyedValue read()
    {
        if (text_.size() >= 3 && text_.substr(0, 3) == "\xEF\xBB\xBF")
            pos_ = 3;
        skipSpace();
        if (pos_ == text_.size())
            fail("the text holds no value");
        KeyedValue value = value_(1);
        skipSpace();
        if (pos_ != text_.size())
            fail("unexpected text after the value");
        return value;
    }

private:
    [[noreturn]] void fail(const std::string& reason) const { failAt(reason, pos_); }

    [[noreturn]] void failAt(const std::string& reason, std::size_t at) const
    {
        throw JsonError("JSON: " + reason + " at byte " + std::to_string(at));
    }

    [[noreturn]] void unexpected() const
    {
        if (pos_ >= text_.size())
            fail("unexpected end of text");
        const auto c = static_cast<unsigned char>(text_[pos_]);
        if (c >= 0x21 && c < 0x7F)
            fail(std::string("unexpected character '") + static_cast<char>(c) + "'");
        std::string message = "unexpected byte 0x";
        appendHexByte(message, c, HexCase::upper);
        fail(message);
    }

    void skipSpace()
    {
        while (pos_ < text_.size()) {
            const char c = text_[pos_];
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
                return;
            ++pos_;
        }
    }

    void expectWord(std::string_view word)
    {
        for (const char c : word) {
            if (pos_ >= text_.size() || text_[pos_] != c)
                unexpected();
            ++pos_;
        }
    }

    KeyedValue value_(std::size_t depth)
    {
        if (pos_ >= text_.size())
            unexpected();
        switch (text_[pos_]) {
        case '{': return object_(depth);
        case '[': return array_(depth);
        case '"': return KeyedValue(string_());
        case 't': expectWord("true"); return KeyedValue(true);
        case 'f': expectWord("false"); return KeyedValue(false);
        case 'n': expectWord("null"); return KeyedValue();
        default:
            if (text_[pos_] == '-' || (text_[pos_] >= '0' && text_[pos_] <= '9'))
                return number_();
            unexpected();
        }
    }

    // Steps past the opening bracket of an object or array; true when the closing one follows at once.
    bool open(std::size_t depth, char close)
    {
        if (depth > Json::maxDepth)
            fail("nesting deeper than " + std::to_string(Json::maxDepth) + " levels");
        ++pos_;
        skipSpace();
        if (pos_ < text_.size() && text_[pos_] == close) {
            ++pos_;
            return true;
        }
        return false;
    }

    // After a member or element: true past a ',', false past the closing bracket.
    bool next(char close)
    {
        skipSpace();
        if (pos_ < text_.size() && (text_[pos_] == ',' || text_[pos_] == close))
            return text_[pos_++] == ',';
        unexpected();
    }

    KeyedValue object_(std::size_t depth)
    {
        KeyedObject members;
        if (open(depth, '}'))
            return KeyedValue(std::move(members));
        do {
            skipSpace();
            if (pos_ >= text_.size() || text_[pos_] != '"') {
                if (pos_ < text_.size() && text_[pos_] != '"')
                    fail("expected a string key");
                unexpected();
            }
            std::string key = string_();
            skipSpace();
            if (pos_ >= text_.size() || text_[pos_] != ':')
                unexpected();
            ++pos_;
            skipSpace();
            members.set(std::move(key), value_(depth + 1));
        } while (next('}'));
        return KeyedValue(std::move(members));
    }

    KeyedValue array_(std::size_t depth)
    {
        KeyedValue::Array items;
        if (open(depth, ']'))
            return KeyedValue(std::move(items));
        do {
            skipSpace();
            items.push_back(value_(depth + 1));
        } while (next(']'));
        return KeyedValue(std::move(items));
    }

    std::string string_()
    {
        const std::size_t start = pos_;
        ++pos_; // The opening quote.
        std::string out;
        for (;;) {
            // Copy a run of plain ASCII at once.
            std::size_t run = pos_;
            while (run < text_.size()) {
                const auto c = static_cast<unsigned char>(text_[run]);
                if (c == '"' || c == '\\' || c < 0x20 || c >= 0x80)
                    break;
                ++run;
            }
            out.append(text_.substr(pos_, run - pos_));
            pos_ = run;
            if (pos_ >= text_.size())
                failAt("unterminated string", start);
            const auto c = static_cast<unsigned char>(text_[pos_]);
            if (c == '"') {
                ++pos_;
                return out;
            }
            if (c < 0x20)
                fail("unescaped control character in a string");
            if (c >= 0x80) {
                const std::size_t length = utf8SequenceLength(text_, pos_);
                if (length == 0)
                    fail("invalid UTF-8");
                out.append(text_.substr(pos_, length));
                pos_ += length;
                continue;
            }
            // A backslash.
            const std::size_t escape = pos_;
            ++pos_;
            if (pos_ >= text_.size())
                failAt("unterminated string", start);
            switch (readJsonEscape(text_, pos_, out)) {
            case JsonEscapeStatus::ok: break;
            case JsonEscapeStatus::invalidEscape: failAt("invalid escape sequence", escape);
            case JsonEscapeStatus::truncated: failAt("incomplete \\u escape", pos_);
            case JsonEscapeStatus::invalidDigit: fail("invalid hexadecimal digit in a \\u escape");
            case JsonEscapeStatus::unpairedLowSurrogate: failAt("unpaired low surrogate in a \\u escape", escape);
            case JsonEscapeStatus::unpairedHighSurrogate: failAt("unpaired high surrogate in a \\u escape", escape);
            }
        }
    }

    bool digitAt(std::size_t at) const { return at < text_.size() && text_[at] >= '0' && text_[at] <= '9'; }

    KeyedValue number_()
    {
        const std::size_t start = pos_;
        bool negative = false;
        if (text_[pos_] == '-') {
            negative = true;
            ++pos_;
        }
        if (!digitAt(pos_))
            fail("a number needs a digit");
        if (text_[pos_] == '0') {
            ++pos_;
            if (digitAt(pos_))
                failAt("a number with a leading zero", start);
        } else {
            while (digitAt(pos_))
                ++pos_;
        }
        bool integral = true;
        if (pos_ < text_.size() && text_[pos_] == '.') {
            integral = false;
            ++pos_;
            if (!digitAt(pos_))
                fail("a number needs a digit after the decimal point");
            while (digitAt(pos_))
                ++pos_;
        }
        if (pos_ < text_.size() && (text_[pos_] == 'e' || text_[pos_] == 'E')) {
            integral = false;
            ++pos_;
            if (pos_ < text_.size() && (text_[pos_] == '+' || text_[pos_] == '-'))
                ++pos_;
            if (!digitAt(pos_))
                fail("a number needs a digit in its exponent");
            while (digitAt(pos_))
                ++pos_;
        }
        const std::string_view literal = text_.substr(start, pos_ - start);
        const char* first = literal.data();
        const char* last = literal.data() + literal.size();

        if (integral) {
            // "-0" keeps its sign as a real.
            if (literal == "-0")
                return KeyedValue(-0.0);
            std::int64_t i = 0;
            if (auto [end, ec] = std::from_chars(first, last, i); ec == std::errc() && end == last)
                return KeyedValue(i);
            std::uint64_t u = 0;
            if (!negative)
                if (auto [end, ec] = std::from_chars(first, last, u); ec == std::errc() && end == last)
                    return KeyedValue(u);
            // Beyond 64 bits: the nearest double.
        }
        double d = 0;
        const auto [end, ec] = std::from_chars(first, last, d);
        if (ec == std::errc() && end == last)
            return KeyedValue(d);
        if (ec == std::errc::result_out_of_range && end == last) {
            if (tinyMagnitude(literal))
                return KeyedValue(negative ? -0.0 : 0.0);
            failAt("the number " + std::string(literal) + " is too large", start);
        }
        failAt("invalid number", start);
    }

    // Whether an out-of-range literal is too small (rather than too large) for a double: its decimal exponent,
    // counted from the first significant digit, is negative.
    static bool tinyMagnitude(std::string_view literal)
    {
        long exponent = 0;
        const auto e = literal.find_first_of("eE");
        if (e != std::string_view::npos) {
            std::string_view digits = literal.substr(e + 1);
            bool minus = false;
            if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) {
                minus = digits[0] == '-';
                digits.remove_prefix(1);
            }
            for (const char c : digits) {
                exponent = exponent * 10 + (c - '0');
                if (exponent > 1'000'000'000)
                    break;
            }
            if (minus)
                exponent = -exponent;
        }
        const std::string_view mantissa = literal.substr(0, e);
        const auto point = mantissa.find('.');
        const std::string_view whole = mantissa.substr(0, point);
        long position = 0; // Decimal exponent of the first significant digit.
        bool found = false;
        long place = static_cast<long>(std::count_if(whole.begin(), whole.end(), [](char c) { return c >= '0' && c <= '9'; }));
        for (const char c : whole) {
            if (c < '0' || c > '9')
                continue;
            --place;
            if (c != '0' && !found) {
                found = true;
                position = place;
            }
        }
        if (!found && point != std::string_view::npos) {
            long fractionPlace = 0;
            for (const char c : mantissa.substr(point + 1)) {
                --fractionPlace;
                if (c != '0') {
                    found = true;
                    position = fractionPlace;
                    break;
                }
            }
        }
        return position + exponent < 0;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

} // namespace

std::string Json::formatReal(double value)
{
    if (!std::isfinite(value))
        throw JsonError("JSON: cannot write the number " + formatDouble(value));
    std::string text = formatDouble(value);
    if (text.size() > 2 && text.compare(text.size() - 2, 2, ".0") == 0)
        text.resize(text.size() - 2);
    return text;
}

std::string Json::write(const KeyedValue& value) { return Writer().write(value); }

KeyedValue Json::read(std::string_view text) { return Reader(text).read(); }

} // namespace velquine
