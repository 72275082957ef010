#pragma once

// Keyed form of the enumerations without raw values: an object with one member whose key is the case name
// and whose value is an empty object, {"ellipse":{}}.
//
// An enumeration takes part by specialising CaseNames with its case names in declaration order (the cases
// must be numbered 0, 1, 2, ... in that order):
//
//     template <> struct CaseNames<NodeShape> {
//         static constexpr std::string_view typeName = "NodeShape";
//         static constexpr std::array<std::string_view, 11> names{"underline", ...};
//     };
//
// Reading counts only the keys that name a case, compared exactly; others are ignored, and so are the members
// of the inner object. Anything but exactly one case key is a type mismatch, "Invalid number of keys found,
// expected one.".

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "model/style/DecodingError.h"
#include "platform/KeyedValue.h"

namespace velquine {

template <class E>
struct CaseNames;

inline constexpr std::string_view invalidNumberOfKeysMessage = "Invalid number of keys found, expected one.";

// The case name of a value.
template <class E>
std::string_view caseName(E value)
{
    return CaseNames<E>::names[static_cast<std::size_t>(value)];
}

// The case whose name is exactly the text, or nothing.
template <class E>
std::optional<E> caseNamed(std::string_view name)
{
    const auto& names = CaseNames<E>::names;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name)
            return static_cast<E>(i);
    }
    return std::nullopt;
}

template <class E>
KeyedValue encodeOneKey(E value)
{
    return KeyedValue::object({{std::string(caseName(value)), KeyedValue::object()}});
}

template <class E>
E decodeOneKey(const KeyedValue& from)
{
    if (from.isNull())
        throw DecodingError::valueNotFound(CaseNames<E>::typeName);
    if (!from.isObject())
        throw DecodingError::typeMismatch("a keyed object", from);
    std::optional<E> found;
    const KeyedValue* inner = nullptr;
    std::size_t count = 0;
    for (const auto& entry : from.asObject()) {
        if (auto value = caseNamed<E>(entry.key)) {
            ++count;
            found = value;
            inner = &entry.value;
        }
    }
    if (count != 1)
        throw DecodingError(DecodingError::Kind::typeMismatch, std::string(invalidNumberOfKeysMessage));
    if (!inner->isObject())
        throw DecodingError::typeMismatch("a keyed object", *inner);
    return *found;
}

} // namespace velquine
