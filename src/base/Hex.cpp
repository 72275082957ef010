#include "base/Hex.h"

namespace velquine {

int hexDigitValue(char c) noexcept
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void appendHexByte(std::string& out, std::uint8_t byte, HexCase letters)
{
    const char* const digits = letters == HexCase::upper ? "0123456789ABCDEF" : "0123456789abcdef";
    out += digits[byte >> 4];
    out += digits[byte & 0x0F];
}

std::string hexString(const std::vector<std::uint8_t>& bytes, HexCase letters)
{
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes)
        appendHexByte(out, b, letters);
    return out;
}

} // namespace velquine
