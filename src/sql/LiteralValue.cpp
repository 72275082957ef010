#include "sql/LiteralValue.h"

#include "sql/Expression.h"

#include <cctype>
#include <string_view>

namespace velquine::sql {

namespace {

bool isLineBreak(char c)
{
    return c == '\n' || c == '\r';
}

// The content of `text` when it is `prefix` + mark + content + mark, where the content holds the mark
// only doubled and no line break; the content is returned with the doubled marks made single.
std::optional<std::string> quotedContent(std::string_view text, std::string_view prefix, char mark)
{
    if (text.size() < prefix.size() + 2 || text.substr(0, prefix.size()) != prefix)
        return std::nullopt;
    std::string_view inner = text.substr(prefix.size());
    if (inner.front() != mark || inner.back() != mark)
        return std::nullopt;
    inner = inner.substr(1, inner.size() - 2);
    std::string content;
    content.reserve(inner.size());
    for (std::size_t i = 0; i < inner.size(); ++i) {
        const char c = inner[i];
        if (isLineBreak(c))
            return std::nullopt;
        if (c == mark) {
            if (i + 1 >= inner.size() || inner[i + 1] != mark)
                return std::nullopt;
            ++i;
        }
        content += c;
    }
    return content;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isWordByte(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

// [+-] followed by a decimal or hexadecimal number literal.
bool isSignedNumber(std::string_view text)
{
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        ++i;
    if (i >= text.size())
        return false;
    if (text.size() - i > 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        for (std::size_t k = i + 2; k < text.size(); ++k)
            if (!std::isxdigit(static_cast<unsigned char>(text[k])))
                return false;
        return true;
    }
    bool digits = false;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        digits = true;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            digits = true;
        }
    }
    if (!digits)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (i >= text.size() || !isDigit(text[i]))
            return false;
        while (i < text.size() && isDigit(text[i]))
            ++i;
    }
    return i == text.size();
}

bool isSingleWord(std::string_view text)
{
    if (text.empty() || isDigit(text.front()))
        return false;
    for (char c : text)
        if (!isWordByte(c))
            return false;
    return true;
}

// True when the text opens with "(" and the parenthesis closing it is the last character. Quoted
// strings and names inside are skipped.
bool isEnclosedInParentheses(std::string_view text)
{
    if (text.size() < 2 || text.front() != '(' || text.back() != ')')
        return false;
    int depth = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\'' || c == '"' || c == '`') {
            const std::size_t close = text.find(c, i + 1);
            if (close == std::string_view::npos)
                return false;
            i = close;
            continue;
        }
        if (c == '[') {
            const std::size_t close = text.find(']', i + 1);
            if (close == std::string_view::npos)
                return false;
            i = close;
            continue;
        }
        if (c == '(')
            ++depth;
        else if (c == ')') {
            --depth;
            if (depth == 0)
                return i == text.size() - 1;
        }
    }
    return false;
}

} // namespace

LiteralValue LiteralValue::fromDefaultText(const std::optional<std::string>& text)
{
    if (!text)
        return NULL_();
    const std::string& t = *text;
    if (t == "NULL")
        return NULL_();
    if (t == "TRUE")
        return TRUE_();
    if (t == "FALSE")
        return FALSE_();
    if (t == "CURRENT_TIME")
        return CURRENT_TIME();
    if (t == "CURRENT_TIMESTAMP")
        return CURRENT_TIMESTAMP();
    if (t == "CURRENT_DATE")
        return CURRENT_DATE();
    if (auto content = quotedContent(t, "", '\''))
        return stringLiteral(std::move(*content));
    if (auto content = quotedContent(t, "", '"'))
        return stringLiteral(std::move(*content));
    if (quotedContent(t, "x", '\'') || quotedContent(t, "X", '\''))
        return blobLiteral(t.substr(2, t.size() - 3));
    return numericLiteral(t);
}

std::string LiteralValue::description() const
{
    switch (kind_) {
    case Kind::numericLiteral:
        if (isSignedNumber(text_) || isSingleWord(text_) || isEnclosedInParentheses(text_))
            return text_;
        return "(" + text_ + ")";
    case Kind::stringLiteral:
        return quote(text_, '\'');
    case Kind::blobLiteral:
        return std::string("X").append(quote(text_, '\''));
    case Kind::NULL_:
        return "NULL";
    case Kind::TRUE_:
        return "TRUE";
    case Kind::FALSE_:
        return "FALSE";
    case Kind::CURRENT_TIME:
        return "CURRENT_TIME";
    case Kind::CURRENT_DATE:
        return "CURRENT_DATE";
    case Kind::CURRENT_TIMESTAMP:
        return "CURRENT_TIMESTAMP";
    }
    return {};
}

} // namespace velquine::sql
