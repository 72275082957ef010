#pragma once

// Small character tests shared by the readers of schema texts.

namespace velquine::sql::schematext {

// The white space of SQL texts.
inline bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// A character of a word: ASCII letters, digits and "_", and every byte of a non-ASCII character.
inline bool isWordByte(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= '0' && u <= '9') || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '_' || u >= 0x80;
}

} // namespace velquine::sql::schematext
