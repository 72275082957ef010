#include "sql/UUID.h"

#include "base/Hex.h"

namespace velquine::sql {

namespace {

constexpr bool hyphenBefore(std::size_t byteIndex)
{
    return byteIndex == 4 || byteIndex == 6 || byteIndex == 8 || byteIndex == 10;
}

} // namespace

std::string UUID::uuidString() const
{
    std::string out;
    out.reserve(36);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (hyphenBefore(i))
            out.push_back('-');
        appendHexByte(out, bytes[i], HexCase::upper);
    }
    return out;
}

std::optional<UUID> UUID::fromString(std::string_view text)
{
    if (text.size() != 36)
        return std::nullopt;
    UUID uuid;
    std::size_t pos = 0;
    for (std::size_t i = 0; i < uuid.bytes.size(); ++i) {
        if (hyphenBefore(i)) {
            if (text[pos] != '-')
                return std::nullopt;
            ++pos;
        }
        const int high = hexDigitValue(text[pos]);
        const int low = hexDigitValue(text[pos + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        uuid.bytes[i] = static_cast<std::uint8_t>(high * 16 + low);
        pos += 2;
    }
    return uuid;
}

} // namespace velquine::sql
