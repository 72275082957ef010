#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace velquine::sql {

// An SQLite BLOB value: an ordered list of bytes.
class Blob {
public:
    std::vector<std::uint8_t> bytes;

    Blob() = default;
    explicit Blob(std::vector<std::uint8_t> bytes) : bytes(std::move(bytes)) {}
    Blob(std::initializer_list<std::uint8_t> list) : bytes(list) {}
    // Copies `length` bytes from `data`; a length of 0 gives an empty blob (data may then be null).
    Blob(const void* data, std::size_t length);

    std::size_t size() const { return bytes.size(); }
    bool empty() const { return bytes.empty(); }

    // Lower-case hexadecimal, two digits per byte, no separator.
    std::string toHex() const;
    // The SQL blob literal: x'<hex>'.
    std::string description() const;

    friend bool operator==(const Blob&, const Blob&) = default;
};

} // namespace velquine::sql
