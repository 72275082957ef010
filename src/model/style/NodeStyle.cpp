#include "model/style/NodeStyle.h"

#include "model/style/DecodingError.h"
#include "platform/Json.h"
#include "platform/KeyedArchive.h"
#include "platform/Log.h"
#include "platform/PropertyList.h"

#include <QUtf8StringView>

#include <limits>
#include <string>

namespace velquine {

namespace {

bool isValidUTF8(std::string_view text)
{
    return QUtf8StringView(text.data(), static_cast<qsizetype>(text.size())).isValidUtf8();
}

// The member under key; a missing member or a null is an error, as for every required value.
const KeyedValue& required(const KeyedValue& container, std::string_view key, std::string_view typeName)
{
    const KeyedValue* value = container.find(key);
    if (!value)
        throw DecodingError::keyNotFound(key);
    if (value->isNull())
        throw DecodingError::valueNotFound(typeName);
    return *value;
}

std::int64_t decodeInt64(const KeyedValue& container, std::string_view key)
{
    const KeyedValue& value = required(container, key, "Int");
    if (!value.isNumber())
        throw DecodingError::typeMismatch("Int", value);
    try {
        return value.asInt64();
    } catch (const KeyedValueError&) {
        throw DecodingError::dataCorrupted("The number under key \"" + std::string(key) + "\" does not fit in Int.");
    }
}

std::uint64_t decodeUInt64(const KeyedValue& container, std::string_view key)
{
    const KeyedValue& value = required(container, key, "UInt64");
    if (!value.isNumber())
        throw DecodingError::typeMismatch("UInt64", value);
    try {
        return value.asUInt64();
    } catch (const KeyedValueError&) {
        throw DecodingError::dataCorrupted("The number under key \"" + std::string(key)
                                           + "\" does not fit in UInt64.");
    }
}

bool decodeBool(const KeyedValue& container, std::string_view key)
{
    const KeyedValue& value = required(container, key, "Bool");
    if (!value.isBool())
        throw DecodingError::typeMismatch("Bool", value);
    return value.asBool();
}

// Data as each codec carries it: a data item, or Base64 text in JSON.
Bytes decodeData(const KeyedValue& container, std::string_view key)
{
    const KeyedValue& value = required(container, key, "Data");
    if (!value.isBytes() && !value.isString())
        throw DecodingError::typeMismatch("Data", value);
    try {
        return value.dataValue();
    } catch (const KeyedValueError&) {
        throw DecodingError::dataCorrupted("The value under key \"" + std::string(key)
                                           + "\" is not valid Base64.");
    }
}

StrokeThickness decodeStrokeThickness(const KeyedValue& container, std::string_view key)
{
    const std::int64_t raw = decodeInt64(container, key);
    if (auto thickness = strokeThicknessFromRawValue(raw))
        return *thickness;
    throw DecodingError::dataCorrupted("Cannot initialize StrokeThickness from invalid Int value "
                                       + std::to_string(raw));
}

StrokeStyle decodeStrokeStyle(const KeyedValue& container, std::string_view key)
{
    const std::int64_t raw = decodeInt64(container, key);
    if (auto style = strokeStyleFromRawValue(raw))
        return *style;
    throw DecodingError::dataCorrupted("Cannot initialize StrokeStyle from invalid Int value " + std::to_string(raw));
}

// An archive that holds no object at all: a property list whose root is the absent value.
bool holdsNoObject(const Bytes& data)
{
    try {
        return PropertyList::read(data).isNull();
    } catch (const PropertyListError&) {
        return false;
    }
}

Color color(const KeyedValue& container, std::string_view key)
{
    const Bytes data = decodeData(container, key);
    try {
        return KeyedArchive::unarchiveColor(data);
    } catch (const KeyedArchiveError&) {
        if (holdsNoObject(data))
            throw VQ_TEXT_ERROR("color()", "cant unarchive color");
        throw;
    }
}

// The stored font, or the 12-point system font when it cannot be read for any reason.
Font storedFont(const KeyedValue& container)
{
    try {
        const KeyedValue* value = container.find("font");
        if (value && (value->isBytes() || value->isString()))
            return KeyedArchive::unarchiveFont(value->dataValue());
    } catch (const std::exception&) {
    }
    VQ_LOG("init(from:)", "Cant load font. Falling back to default");
    return Font::systemFont(12.0);
}

} // namespace

StrokeStyle strokeStyleFromString(std::string_view string)
{
    for (StrokeStyle style : allStrokeStyles) {
        if (textName(style) == string)
            return style;
    }
    throw VQ_TEXT_ERROR("init(string:)", "Can not create stroke style from: " + std::string(string));
}

const std::array<std::string_view, 14>& NodeStyle::codingKeys()
{
    static constexpr std::array<std::string_view, 14> keys{
        "borderWidth", "borderColor", "fillColor",     "borderStyle",  "branchColor",
        "branchStyle", "branchWidth", "textColor",     "textAlignment", "font",
        "userOverrides", "isUnderlined", "isStrikeThrough", "imagePosition"};
    return keys;
}

const std::array<std::string_view, 14>& NodeStyle::writeOrder()
{
    static constexpr std::array<std::string_view, 14> keys{
        "borderWidth", "borderColor", "borderStyle",  "fillColor",       "branchColor",
        "branchStyle", "branchWidth", "textColor",    "textAlignment",   "font",
        "isUnderlined", "isStrikeThrough", "imagePosition", "userOverrides"};
    return keys;
}

KeyedValue NodeStyle::encode() const
{
    KeyedValue container = KeyedValue::object();
    container.set("borderWidth", rawValue(borderWidth));
    container.set("borderColor", KeyedArchive::archivedData(borderColor));
    container.set("borderStyle", rawValue(borderStyle));
    container.set("fillColor", KeyedArchive::archivedData(fillColor));
    container.set("branchColor", KeyedArchive::archivedData(branchColor));
    container.set("branchStyle", rawValue(branchStyle));
    container.set("branchWidth", rawValue(branchWidth));
    container.set("textColor", KeyedArchive::archivedData(textColor));
    container.set("textAlignment", textAlignment);
    container.set("font", KeyedArchive::archivedData(font));
    container.set("isUnderlined", isUnderlined);
    container.set("isStrikeThrough", isStrikeThrough);
    container.set("imagePosition", encodeOneKey(imagePosition));
    container.set("userOverrides", userOverrides.rawValue());
    return container;
}

NodeStyle NodeStyle::decode(const KeyedValue& from)
{
    if (from.isNull())
        throw DecodingError::valueNotFound("NodeStyle");
    if (!from.isObject())
        throw DecodingError::typeMismatch("a keyed object", from);
    NodeStyle style;
    style.borderWidth = decodeStrokeThickness(from, "borderWidth");
    style.borderColor = color(from, "borderColor");
    style.borderStyle = decodeStrokeStyle(from, "borderStyle");
    style.fillColor = color(from, "fillColor");
    style.branchColor = color(from, "branchColor");
    style.branchStyle = decodeStrokeStyle(from, "branchStyle");
    style.branchWidth = decodeStrokeThickness(from, "branchWidth");
    style.textColor = color(from, "textColor");
    style.textAlignment = decodeInt64(from, "textAlignment");
    style.font = storedFont(from);
    style.isUnderlined = decodeBool(from, "isUnderlined");
    style.isStrikeThrough = decodeBool(from, "isStrikeThrough");
    style.imagePosition = decodeOneKey<ImagePosition>(required(from, "imagePosition", "ImagePosition"));
    style.userOverrides = UserOverride(decodeUInt64(from, "userOverrides"));
    return style;
}

std::string NodeStyle::jsonValue() const
{
    std::string text = Json::write(encode());
    if (!isValidUTF8(text))
        throw VQ_TEXT_ERROR("jsonValue", "fail");
    return text;
}

std::optional<double> NodeStyle::storedFontPointSize(std::string_view jsonString)
{
    try {
        const KeyedValue container = Json::read(jsonString);
        const KeyedValue* value = container.find("font");
        if (!value || !(value->isBytes() || value->isString()))
            return std::nullopt;
        return KeyedArchive::archivedFontSize(value->dataValue());
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

NodeStyle NodeStyle::fromJsonString(std::string_view jsonString)
{
    if (!isValidUTF8(jsonString))
        throw VQ_TEXT_ERROR("init(jsonString:)", "cannot make data");
    return decode(Json::read(jsonString));
}

} // namespace velquine
