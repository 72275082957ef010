#include "sql/Blob.h"

#include <cstring>

namespace velquine::sql {

Blob::Blob(const void* data, std::size_t length)
{
    if (length > 0 && data != nullptr) {
        bytes.resize(length);
        std::memcpy(bytes.data(), data, length);
    }
}

std::string Blob::toHex() const
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0x0f]);
    }
    return out;
}

std::string Blob::description() const
{
    return "x'" + toHex() + "'";
}

} // namespace velquine::sql
