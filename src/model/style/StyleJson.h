#pragma once

// The JSON plumbing of project style texts. Every level of a style text is a complete JSON text of its own,
// held one level up as a string, so each level is serialised and parsed on its own with these helpers.
// Failures are TextErrors carrying a debug log line; errors of the JSON reader and writer pass unchanged.

#include <string>
#include <string_view>

#include "platform/KeyedValue.h"

namespace velquine {

// The compact JSON text of a dictionary (the writer's form: no white space, "/" written as "\/"). Throws
// what the writer throws, and a TextError ("can not convert jsonData to string") should the bytes not be
// UTF-8.
std::string JSONFromDict(const KeyedObject& dictionary);

// The parsed text, which must be a JSON object. A parse error passes unchanged; any other top level is a
// TextError naming the function given.
KeyedValue parseJsonObject(std::string_view text, std::string_view function);

// The member's value when the object has it with that JSON type; otherwise a TextError
// "Can not get key '<key>' from JSON".
std::string getString(std::string_view key, const KeyedValue& object);
bool getBool(std::string_view key, const KeyedValue& object);

// Whether the bytes are well-formed UTF-8.
bool isValidUTF8(std::string_view text);

} // namespace velquine
