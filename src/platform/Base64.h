#pragma once

// Standard Base64 (RFC 4648 alphabet "A-Z a-z 0-9 + /") with "=" padding and no line breaks: the form data
// takes inside JSON texts.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velquine {

// A run of raw bytes (images, archives, property lists).
using Bytes = std::vector<std::uint8_t>;

class Base64Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Base64 {
public:
    static std::string encode(const Bytes& data);
    static std::string encode(std::string_view data);

    // Strict: the length must be a multiple of four, "=" may only end the text (at most two), and every other
    // character must be of the alphabet. White space is not skipped. Throws Base64Error otherwise.
    static Bytes decode(std::string_view text);
};

} // namespace velquine
