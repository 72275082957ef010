#pragma once

// JSON text for KeyedValue trees (RFC 8259).
//
// Writing gives the compact form the program stores and exchanges: no white space; members in the object's
// order; every "/" written as "\/"; quotation marks, backslashes and control characters escaped (\b \f \n \r \t,
// else \u00XX), all other characters kept as UTF-8; integers exactly; reals as the shortest text that reads back
// to the same double, a whole value without a fraction ("24", "0.1", "1e-05", "1e+16"); data as standard Base64
// text with "=" padding; null as null.
//
// Reading is strict and treats its input as hostile: UTF-8 is validated, \u escapes (surrogate pairs included)
// are decoded, a number without fraction or exponent stays an exact int64 (or uint64 above the signed range), any
// other number is a double, nesting is limited to maxDepth, and every fault is a JsonError naming the byte offset.
// A leading UTF-8 byte order mark is skipped. When a key occurs twice in one object, the last value counts.

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/KeyedValue.h"

namespace velquine {

class JsonError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class Json {
public:
    // Deepest nesting of arrays and objects written or read; the top level is depth 1.
    static constexpr std::size_t maxDepth = 512;

    // Throws JsonError for a real that is not finite, a string that is not valid UTF-8 or nesting beyond maxDepth.
    static std::string write(const KeyedValue& value);
    static KeyedValue read(std::string_view text);

    // The text write() gives for one double ("24", "-48.5", "0.1", "1e-05"); throws JsonError when not finite.
    static std::string formatReal(double value);
};

} // namespace velquine
