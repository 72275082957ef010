#include "platform/AssetColors.h"

#include <array>

namespace velquine {

namespace {

struct AssetColor {
    std::string_view name;
    QRgb light;
    QRgb dark;
};

// Hairlines between panes and around the inspector's tab column: quiet on both backgrounds.
constexpr std::array<AssetColor, 2> table = {{
    {"dividerColor", qRgba(0, 0, 0, 38), qRgba(255, 255, 255, 38)},
    {"tabBarDividerColor", qRgba(0, 0, 0, 46), qRgba(255, 255, 255, 46)},
}};

} // namespace

std::optional<QColor> assetColor(std::string_view name, bool dark)
{
    for (const AssetColor& colour : table)
        if (colour.name == name)
            return QColor::fromRgba(dark ? colour.dark : colour.light);
    return std::nullopt;
}

std::vector<std::string> assetColorNames()
{
    std::vector<std::string> names;
    for (const AssetColor& colour : table)
        names.emplace_back(colour.name);
    return names;
}

} // namespace velquine
