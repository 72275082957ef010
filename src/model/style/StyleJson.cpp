#include "model/style/StyleJson.h"

#include "platform/Json.h"
#include "platform/Log.h"

#include <QUtf8StringView>

namespace velquine {

bool isValidUTF8(std::string_view text)
{
    return QUtf8StringView(text.data(), static_cast<qsizetype>(text.size())).isValidUtf8();
}

std::string JSONFromDict(const KeyedObject& dictionary)
{
    std::string text = Json::write(KeyedValue(dictionary));
    if (!isValidUTF8(text))
        throw VQ_TEXT_ERROR("JSONFromDict(_:prettyPrint:)", "can not convert jsonData to string");
    return text;
}

KeyedValue parseJsonObject(std::string_view text, std::string_view function)
{
    KeyedValue value = Json::read(text);
    if (!value.isObject())
        throw VQ_TEXT_ERROR(function, std::string("JSON text is not an object but ")
                                          + KeyedValue::kindName(value.kind()));
    return value;
}

std::string getString(std::string_view key, const KeyedValue& object)
{
    const KeyedValue* value = object.find(key);
    if (!value || !value->isString())
        throw VQ_TEXT_ERROR("getString(_:)", "Can not get key '" + std::string(key) + "' from JSON");
    return value->asString();
}

bool getBool(std::string_view key, const KeyedValue& object)
{
    const KeyedValue* value = object.find(key);
    if (!value || !value->isBool())
        throw VQ_TEXT_ERROR("getBool(_:)", "Can not get key '" + std::string(key) + "' from JSON");
    return value->asBool();
}

} // namespace velquine
