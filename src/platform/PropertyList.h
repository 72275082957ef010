#pragma once

// Binary property lists ("bplist00"): the byte format of pasteboard payloads and keyed archives.
//
// Writing maps a KeyedValue onto the format's objects: objects become dictionaries, arrays arrays, strings ASCII
// or UTF-16 strings, integers 1-, 2-, 4- or 8-byte integers (16 bytes for unsigned values above the signed range),
// reals 8-byte reals, data data, Booleans Booleans. An absent value (null) is written as the string "$null", and
// reading turns that string back into null. Equal strings, numbers and data are stored once.
//
// Reading treats its input as hostile: every offset, size, count and reference is checked, references that lead
// back into an object being read (cycles) and nesting deeper than maxDepth are refused, and so is an expansion
// (one object referenced many times) beyond fixed limits. Every failure is a PropertyListError.

#include <cstddef>
#include <stdexcept>

#include "platform/KeyedValue.h"

namespace velquine {

class PropertyListError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class PropertyList {
public:
    // Deepest nesting of arrays and dictionaries written or read; the top level is depth 1.
    static constexpr std::size_t maxDepth = 512;
    // The string that stands for an absent value.
    static constexpr const char* nullMarker = "$null";

    // Throws PropertyListError for nesting beyond maxDepth or a string that is not valid UTF-8.
    static Bytes write(const KeyedValue& value);
    static KeyedValue read(const Bytes& data);
    static KeyedValue read(const std::uint8_t* data, std::size_t size);
};

} // namespace velquine
