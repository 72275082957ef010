#include "model/style/PaletteEntry.h"

#include "model/style/ColorOperations.h"
#include "model/style/StyleJson.h"

namespace velquine {

PaletteEntry PaletteEntry::fromRGB(std::uint32_t fillRGB, std::uint32_t strokeRGB)
{
    return {colorFromRGB(fillRGB), colorFromRGB(strokeRGB)};
}

std::vector<PaletteEntry> PaletteEntry::entries(const std::vector<Color>& colors)
{
    std::vector<PaletteEntry> result;
    result.reserve(colors.size());
    for (const Color& color : colors)
        result.push_back({color, color});
    return result;
}

std::string PaletteEntry::jsonValue() const
{
    KeyedObject dictionary;
    dictionary.set("fillColor", jsonString(fillColor));
    dictionary.set("strokeColor", jsonString(strokeColor));
    return JSONFromDict(dictionary);
}

PaletteEntry PaletteEntry::fromJsonString(std::string_view text)
{
    const KeyedValue object = parseJsonObject(text, "init(jsonString:)");
    const std::string fill = getString("fillColor", object);
    const std::string stroke = getString("strokeColor", object);
    Color fillColor = colorFromJsonString(fill);
    Color strokeColor = colorFromJsonString(stroke);
    return {std::move(fillColor), std::move(strokeColor)};
}

} // namespace velquine
