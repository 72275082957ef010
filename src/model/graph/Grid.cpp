#include "model/graph/Grid.h"

#include "model/graph/KeyedFields.h"
#include "platform/Json.h"
#include "platform/Log.h"

#include <QUtf8StringView>

namespace velquine {

namespace {

bool isValidUTF8(std::string_view text)
{
    return QUtf8StringView(text.data(), static_cast<qsizetype>(text.size())).isValidUtf8();
}

} // namespace

GridType gridTypeFromString(std::string_view string)
{
    if (auto type = caseNamed<GridType>(string))
        return *type;
    throw VQ_TEXT_ERROR("init(string:)", "Can not create GridType from " + std::string(string));
}

KeyedValue Grid::encode() const
{
    KeyedValue container = KeyedValue::object();
    container.set("type", encodeOneKey(type));
    container.set("size", keyed::encodeSize(size));
    return container;
}

Grid Grid::decode(const KeyedValue& from)
{
    keyed::expectObject(from, "Grid");
    Grid grid;
    grid.type = decodeOneKey<GridType>(keyed::required(from, "type", "GridType"));
    grid.size = keyed::sizeValue(keyed::required(from, "size", "CGSize"));
    return grid;
}

std::string Grid::jsonValue() const
{
    std::string text = Json::write(encode());
    if (!isValidUTF8(text))
        throw VQ_TEXT_ERROR("jsonValue", "fail");
    return text;
}

Grid Grid::fromJsonString(std::string_view jsonString)
{
    if (!isValidUTF8(jsonString))
        throw VQ_TEXT_ERROR("init(jsonString:)", "cannot make data");
    return decode(Json::read(jsonString));
}

} // namespace velquine
