#pragma once

// The default value of a table column as the schema code handles it: read from the text the engine
// reports for a column's default and written back into a column definition.

#include <optional>
#include <string>

namespace velquine::sql {

class LiteralValue {
public:
    enum class Kind {
        numericLiteral,
        stringLiteral,
        blobLiteral,
        NULL_,
        TRUE_,
        FALSE_,
        CURRENT_TIME,
        CURRENT_DATE,
        CURRENT_TIMESTAMP,
    };

    // Any text that is neither a keyword nor a quoted string or blob: numbers, but also expressions
    // and bare words, kept verbatim.
    static LiteralValue numericLiteral(std::string text) { return LiteralValue(Kind::numericLiteral, std::move(text)); }
    // The string's content, without quotes and unescaped.
    static LiteralValue stringLiteral(std::string text) { return LiteralValue(Kind::stringLiteral, std::move(text)); }
    // What stood between the quotes of X'...', unchanged.
    static LiteralValue blobLiteral(std::string text) { return LiteralValue(Kind::blobLiteral, std::move(text)); }
    static LiteralValue NULL_() { return LiteralValue(Kind::NULL_, {}); }
    static LiteralValue TRUE_() { return LiteralValue(Kind::TRUE_, {}); }
    static LiteralValue FALSE_() { return LiteralValue(Kind::FALSE_, {}); }
    static LiteralValue CURRENT_TIME() { return LiteralValue(Kind::CURRENT_TIME, {}); }
    static LiteralValue CURRENT_DATE() { return LiteralValue(Kind::CURRENT_DATE, {}); }
    static LiteralValue CURRENT_TIMESTAMP() { return LiteralValue(Kind::CURRENT_TIMESTAMP, {}); }

    // Reads the default text of a column (absent: no default). Never fails: the keywords (exact
    // case), a quoted string whose inner quotes are all doubled, a blob X'...', else the text as a
    // numeric literal.
    static LiteralValue fromDefaultText(const std::optional<std::string>& text);

    Kind kind() const noexcept { return kind_; }
    // The payload of the three literal kinds; empty for the keywords.
    const std::string& text() const noexcept { return text_; }

    // The SQL form. A numeric literal that is neither a plain signed number nor a single word nor
    // already enclosed in one pair of parentheses is written in parentheses, so an expression
    // default stays an expression when it is written after DEFAULT.
    std::string description() const;
    void appendSQL(std::string& sql) const { sql += description(); }

    friend bool operator==(const LiteralValue&, const LiteralValue&) = default;

private:
    LiteralValue(Kind kind, std::string text) : kind_(kind), text_(std::move(text)) {}

    Kind kind_;
    std::string text_;
};

} // namespace velquine::sql
