#include "sql/Blob.h"

#include "base/Hex.h"
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
    return hexString(bytes, HexCase::lower);
}

std::string Blob::description() const
{
    return "x'" + toHex() + "'";
}

} // namespace velquine::sql
