#pragma once

// The program's named colours, each with a light and a dark value ("dividerColor", "tabBarDividerColor").

#include <QColor>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velquine {

// The named colour for the appearance, or nothing when the program has no colour of that name.
std::optional<QColor> assetColor(std::string_view name, bool dark);

// Every name the table holds.
std::vector<std::string> assetColorNames();

} // namespace velquine
