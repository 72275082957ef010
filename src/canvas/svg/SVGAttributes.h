#pragma once

// The presentation attributes that applied to one SVG element: the element's own and those inherited from its
// groups. Values are texts, except "fill" and "stroke" (colours) and "transform" (an affine transform, which the
// reader records but never applies to the geometry).

#include <QTransform>

#include <map>
#include <optional>
#include <string>
#include <variant>

#include "canvas/svg/SVGColor.h"

namespace velquine {

using SVGAttributeValue = std::variant<std::string, SVGColor, QTransform>;
// Ordered by name, so every walk over the attributes (the writer's among them) is deterministic.
using SVGAttributes = std::map<std::string, SVGAttributeValue>;

// The value under key when it is of type T, else nothing.
template <typename T>
std::optional<T> svgAttribute(const SVGAttributes& attributes, const std::string& key)
{
    const auto it = attributes.find(key);
    if (it == attributes.end())
        return std::nullopt;
    if (const T* value = std::get_if<T>(&it->second))
        return *value;
    return std::nullopt;
}

} // namespace velquine
