#pragma once

// Reading and writing the members of keyed forms shared by the graph values: required and optional members
// of the basic kinds, and points and sizes as lists of two numbers.
//
// A required member that is missing is keyNotFound, one that is null valueNotFound, one of another kind
// typeMismatch. An optional member that is missing or null is nothing; present with another kind it is a
// typeMismatch too.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Base64.h"
#include "platform/Geometry.h"
#include "platform/KeyedValue.h"

namespace velquine::keyed {

// Throws DecodingError unless the value is a keyed object (null: valueNotFound).
void expectObject(const KeyedValue& value, std::string_view typeName);

// The member under key; throws when it is missing or null.
const KeyedValue& required(const KeyedValue& container, std::string_view key, std::string_view typeName);
// The member under key, or null when it is missing or null.
const KeyedValue* optional(const KeyedValue& container, std::string_view key);

std::int64_t int64Value(const KeyedValue& value);
double doubleValue(const KeyedValue& value);
bool boolValue(const KeyedValue& value);
const std::string& stringValue(const KeyedValue& value);
Bytes dataValue(const KeyedValue& value);
std::vector<std::int64_t> int64ListValue(const KeyedValue& value);

KeyedValue encodePoint(Point point);
KeyedValue encodeSize(Size size);
// A list of at least two numbers: x then y, width then height. Further elements are ignored.
Point pointValue(const KeyedValue& value);
Size sizeValue(const KeyedValue& value);

} // namespace velquine::keyed
