#pragma once

// The stored form of a node's children list: a JSON array of the child identifiers, in order, with
// nothing but digits, signs and commas between the brackets ("[4,7]", "[]" for a leaf).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velquine {

std::string childrenOrderJson(const std::vector<std::int64_t>& childrenUIDs);

// The identifiers of a stored list. Throws JsonError for text that is not JSON and a TextError when
// the text is not an array of whole numbers that fit into 64 bits.
std::vector<std::int64_t> childrenOrderFromJson(std::string_view json);

} // namespace velquine
