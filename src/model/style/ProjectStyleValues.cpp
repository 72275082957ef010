#include "model/style/ProjectStyleValues.h"

#include "model/style/ColorOperations.h"
#include "model/style/StyleJson.h"
#include "platform/Json.h"
#include "platform/Log.h"

#include <utility>

namespace velquine {

std::optional<PaletteEntry> ProjectStyleValues::paletteEntry(std::size_t rank) const
{
    if (palette.empty())
        return std::nullopt;
    return palette[rank % palette.size()];
}

std::string ProjectStyleValues::jsonValue() const
{
    KeyedValue::Array entryTexts;
    entryTexts.reserve(palette.size());
    for (const PaletteEntry& entry : palette)
        entryTexts.emplace_back(entry.jsonValue());
    std::string paletteText = Json::write(KeyedValue(std::move(entryTexts)));
    if (!isValidUTF8(paletteText))
        throw VQ_TEXT_ERROR("jsonValue", "can not convert jsonData to string");

    std::string background = jsonString(backgroundColor);
    std::string root = rootNodeStyle.jsonValue();
    std::string main = mainNodeStyle.jsonValue();
    std::string sub = subNodeStyle.jsonValue();

    KeyedObject dictionary;
    dictionary.set("backgroundColor", std::move(background));
    dictionary.set("rootNodeStyle", std::move(root));
    dictionary.set("mainNodeStyle", std::move(main));
    dictionary.set("subNodeStyle", std::move(sub));
    dictionary.set("rootNodeShape", stringValue(rootNodeShape));
    dictionary.set("mainNodeShape", stringValue(mainNodeShape));
    dictionary.set("subNodeShape", stringValue(subNodeShape));
    dictionary.set("palette", std::move(paletteText));
    dictionary.set("dynamicMainNodeColors", dynamicMainNodeColors);
    return JSONFromDict(dictionary);
}

ProjectStyleValues ProjectStyleValues::fromJsonString(std::string_view text)
{
    const KeyedValue object = parseJsonObject(text, "init(jsonString:)");
    ProjectStyleValues values;
    values.backgroundColor = colorFromJsonString(getString("backgroundColor", object));
    values.rootNodeStyle = NodeStyle::fromJsonString(getString("rootNodeStyle", object));
    values.mainNodeStyle = NodeStyle::fromJsonString(getString("mainNodeStyle", object));
    values.subNodeStyle = NodeStyle::fromJsonString(getString("subNodeStyle", object));
    values.rootNodeShape = nodeShapeFromString(getString("rootNodeShape", object));
    values.mainNodeShape = nodeShapeFromString(getString("mainNodeShape", object));
    values.subNodeShape = nodeShapeFromString(getString("subNodeShape", object));
    try {
        values.dynamicMainNodeColors = getBool("dynamicMainNodeColors", object);
    } catch (const TextError&) {
        values.dynamicMainNodeColors = false;
    }

    const KeyedValue entryTexts = Json::read(getString("palette", object));
    if (!entryTexts.isArray())
        throw VQ_TEXT_ERROR("init(jsonString:)", "The palette is not an array of strings");
    for (const KeyedValue& entryText : entryTexts.asArray()) {
        if (!entryText.isString())
            throw VQ_TEXT_ERROR("init(jsonString:)", "The palette is not an array of strings");
    }
    values.palette.reserve(entryTexts.size());
    for (const KeyedValue& entryText : entryTexts.asArray())
        values.palette.push_back(PaletteEntry::fromJsonString(entryText.asString()));
    return values;
}

} // namespace velquine
