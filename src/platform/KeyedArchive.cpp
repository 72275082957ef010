#include "platform/KeyedArchive.h"

#include "platform/PropertyList.h"

#include <cmath>

namespace velquine {

namespace {

constexpr const char* classKey = "$class";

[[noreturn]] void damaged(const std::string& detail)
{
    throw KeyedArchiveError(KeyedArchiveError::Kind::damaged, "The archive could not be read: " + detail);
}

// The archive's dictionary, once its class is the expected one.
KeyedValue openArchive(const Bytes& data, const char* expectedClass)
{
    KeyedValue root;
    try {
        root = PropertyList::read(data);
    } catch (const PropertyListError& error) {
        damaged(error.what());
    }
    if (!root.isObject())
        damaged("it is not a dictionary");
    const KeyedValue* className = root.find(classKey);
    if (!className || !className->isString())
        damaged("it names no class");
    if (className->asString() != expectedClass)
        throw KeyedArchiveError(KeyedArchiveError::Kind::wrongClass,
                                "The archive holds an object of class '" + className->asString()
                                    + "', not of class '" + expectedClass + "'");
    return root;
}

const KeyedValue& member(const KeyedValue& archive, const char* key, KeyedValue::Kind kind)
{
    const KeyedValue* value = archive.find(key);
    if (!value)
        damaged(std::string("'") + key + "' is missing");
    const bool fits = kind == KeyedValue::Kind::real ? value->isNumber() : value->kind() == kind;
    if (!fits)
        damaged(std::string("'") + key + "' is not of kind " + KeyedValue::kindName(kind));
    return *value;
}

} // namespace

Bytes KeyedArchive::archivedData(const Color& color)
{
    KeyedValue::Array components;
    for (double c : color.components())
        components.emplace_back(c);
    return PropertyList::write(KeyedValue::object({
        {classKey, colorClassName},
        {"colorSpaceName", color.colorSpaceName()},
        {"components", KeyedValue(std::move(components))},
    }));
}

Bytes KeyedArchive::archivedData(const Font& font)
{
    return PropertyList::write(KeyedValue::object({
        {classKey, fontClassName},
        {"name", font.fontName()},
        {"size", font.pointSize()},
    }));
}

namespace {

// The colour of an archive, read.
Color readColor(const Bytes& data)
{
    const KeyedValue archive = openArchive(data, KeyedArchive::colorClassName);
    const std::string& space = member(archive, "colorSpaceName", KeyedValue::Kind::string).asString();
    std::vector<double> components;
    for (const KeyedValue& c : member(archive, "components", KeyedValue::Kind::array).asArray()) {
        if (!c.isNumber())
            damaged("a colour component is not a number");
        components.push_back(c.asDouble());
    }
    const ColorSpace* info = colorSpaceNamed(space);
    if (!info)
        damaged("unknown colour space '" + space + "'");
    if (components.size() != std::size_t(info->componentCount) + 1)
        damaged("colour space '" + space + "' takes " + std::to_string(info->componentCount + 1)
                + " components, the archive holds " + std::to_string(components.size()));
    auto color = Color::make(space, std::move(components));
    if (!color)
        damaged("a colour component is not finite");
    return *color;
}

} // namespace

Color KeyedArchive::unarchiveColor(const Bytes& data) { return readColor(data); }


std::optional<double> KeyedArchive::archivedFontSize(const Bytes& data)
{
    try {
        return member(openArchive(data, fontClassName), "size", KeyedValue::Kind::real).asDouble();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

Font KeyedArchive::unarchiveFont(const Bytes& data)
{
    const KeyedValue archive = openArchive(data, fontClassName);
    const std::string& name = member(archive, "name", KeyedValue::Kind::string).asString();
    const double size = member(archive, "size", KeyedValue::Kind::real).asDouble();
    if (name.empty())
        damaged("the font has no name");
    if (!std::isfinite(size) || size <= 0)
        damaged("the font size is not a positive number");
    return Font(name, size);
}

} // namespace velquine
