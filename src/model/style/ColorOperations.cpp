#include "model/style/ColorOperations.h"

#include "model/style/StyleJson.h"
#include "platform/Json.h"
#include "platform/Log.h"

#include <optional>
#include <vector>

namespace velquine {

std::string jsonString(const Color& color)
{
    KeyedValue::Array comps;
    comps.reserve(color.numberOfComponents());
    for (double component : color.components())
        comps.emplace_back(component);
    KeyedObject dictionary;
    dictionary.set("colorSpaceName", color.colorSpaceName());
    dictionary.set("comps", KeyedValue(std::move(comps)));
    return JSONFromDict(dictionary);
}

Color colorFromJsonString(std::string_view text)
{
    const KeyedValue object = parseJsonObject(text, "init(jsonString:)");
    const std::string spaceName = getString("colorSpaceName", object);
    const ColorSpace* space = colorSpaceNamed(spaceName);
    if (!space)
        throw VQ_TEXT_ERROR("init(jsonString:)", "Can not create CGColorSpace with name " + spaceName);

    const KeyedValue* comps = object.find("comps");
    if (!comps || !comps->isArray())
        throw VQ_TEXT_ERROR("init(jsonString:)", "Can not get 'comps' from json object!");
    std::vector<double> components;
    components.reserve(comps->size());
    for (const KeyedValue& number : comps->asArray()) {
        if (!number.isNumber())
            throw VQ_TEXT_ERROR("init(jsonString:)", "Can not get 'comps' from json object!");
        components.push_back(number.asDouble());
    }

    // The count must be exactly the space's components and alpha: fewer would leave the colour undefined.
    const std::size_t expected = static_cast<std::size_t>(space->componentCount) + 1;
    if (components.size() != expected)
        throw VQ_TEXT_ERROR("init(jsonString:)", "Can not create color with " + std::to_string(components.size())
                                                     + " 'comps' in color space " + spaceName + ", expected "
                                                     + std::to_string(expected));
    std::optional<Color> color = Color::make(spaceName, std::move(components));
    if (!color)
        throw VQ_TEXT_ERROR("init(jsonString:)", "Can not create color from 'comps' in color space " + spaceName);
    return *color;
}

Color colorFromBraceString(std::string_view braceString)
{
    std::string text(braceString);
    for (char& c : text) {
        if (c == '{')
            c = '[';
        else if (c == '}')
            c = ']';
    }
    try {
        const KeyedValue list = Json::read(text);
        if (list.isArray() && list.size() >= 4) {
            std::vector<double> rgba;
            for (std::size_t i = 0; i < list.size(); ++i) {
                const KeyedValue& number = list.element(i);
                if (!number.isNumber()) {
                    rgba.clear();
                    break;
                }
                if (i < 4)
                    rgba.push_back(number.asDouble());
            }
            if (rgba.size() == 4) {
                if (auto color = Color::make(colorspace::sRGB, std::move(rgba)))
                    return *color;
            }
        }
    } catch (const JsonError&) {
    }
    return Color::calibratedRGB(1.0, 0.0, 1.0, 1.0);
}

Color colorFromRGB(std::uint32_t rgb)
{
    return Color::calibratedRGB(((rgb >> 16) & 0xFFu) / 255.0, ((rgb >> 8) & 0xFFu) / 255.0, (rgb & 0xFFu) / 255.0,
                                1.0);
}

} // namespace velquine
