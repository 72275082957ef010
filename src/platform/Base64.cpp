#include "platform/Base64.h"

#include <array>

namespace velquine {

namespace {

constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::int8_t, 256> makeDecodeTable()
{
    std::array<std::int8_t, 256> table{};
    for (auto& entry : table)
        entry = -1;
    for (int i = 0; i < 64; ++i)
        table[static_cast<unsigned char>(alphabet[i])] = static_cast<std::int8_t>(i);
    return table;
}

constexpr auto decodeTable = makeDecodeTable();

std::string encodeBytes(const std::uint8_t* data, std::size_t size)
{
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 3 <= size; i += 3) {
        const std::uint32_t v = (std::uint32_t{data[i]} << 16) | (std::uint32_t{data[i + 1]} << 8) | data[i + 2];
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
    }
    const std::size_t rest = size - i;
    if (rest == 1) {
        const std::uint32_t v = std::uint32_t{data[i]} << 16;
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += "==";
    } else if (rest == 2) {
        const std::uint32_t v = (std::uint32_t{data[i]} << 16) | (std::uint32_t{data[i + 1]} << 8);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

} // namespace

std::string Base64::encode(const Bytes& data) { return encodeBytes(data.data(), data.size()); }

std::string Base64::encode(std::string_view data)
{
    return encodeBytes(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
}

Bytes Base64::decode(std::string_view text)
{
    if (text.size() % 4 != 0)
        throw Base64Error("Base64 text has a length of " + std::to_string(text.size()) +
                          ", which is not a multiple of 4");
    std::size_t padding = 0;
    if (!text.empty() && text.back() == '=') {
        padding = 1;
        if (text[text.size() - 2] == '=')
            padding = 2;
    }
    Bytes out;
    out.reserve(text.size() / 4 * 3);
    const std::size_t dataChars = text.size() - padding;
    std::uint32_t buffer = 0;
    int bits = 0;
    for (std::size_t i = 0; i < dataChars; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        const int v = decodeTable[c];
        if (v < 0)
            throw Base64Error("Base64 text has an invalid character at position " + std::to_string(i));
        buffer = (buffer << 6) | static_cast<std::uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out.push_back(static_cast<std::uint8_t>((buffer >> bits) & 0xFF));
        }
    }
    return out;
}

} // namespace velquine
