#pragma once

// Hexadecimal digits, read and written.

#include <cstdint>
#include <string>
#include <vector>

namespace velquine {

enum class HexCase { lower, upper };

// The value of a hexadecimal digit (either case), or -1 for any other character.
int hexDigitValue(char c) noexcept;

// Appends the two digits of a byte.
void appendHexByte(std::string& out, std::uint8_t byte, HexCase letters);

// Two digits per byte, in order.
std::string hexString(const std::vector<std::uint8_t>& bytes, HexCase letters);

} // namespace velquine
