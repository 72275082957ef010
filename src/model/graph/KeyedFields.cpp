#include "model/graph/KeyedFields.h"

#include "model/style/DecodingError.h"

namespace velquine::keyed {

namespace {

void expectPresent(const KeyedValue& value, std::string_view typeName)
{
    if (value.isNull())
        throw DecodingError::valueNotFound(typeName);
}

// The first two numbers of a list.
std::pair<double, double> numberPair(const KeyedValue& value, std::string_view typeName)
{
    expectPresent(value, typeName);
    if (!value.isArray())
        throw DecodingError::typeMismatch("an unkeyed container", value);
    if (value.size() < 2)
        throw DecodingError(DecodingError::Kind::valueNotFound, "Unkeyed container is at end.");
    return {doubleValue(value.element(0)), doubleValue(value.element(1))};
}

} // namespace

void expectObject(const KeyedValue& value, std::string_view typeName)
{
    expectPresent(value, typeName);
    if (!value.isObject())
        throw DecodingError::typeMismatch("a keyed object", value);
}

const KeyedValue& required(const KeyedValue& container, std::string_view key, std::string_view typeName)
{
    const KeyedValue* value = container.find(key);
    if (!value)
        throw DecodingError::keyNotFound(key);
    expectPresent(*value, typeName);
    return *value;
}

const KeyedValue* optional(const KeyedValue& container, std::string_view key)
{
    const KeyedValue* value = container.find(key);
    if (!value || value->isNull())
        return nullptr;
    return value;
}

std::int64_t int64Value(const KeyedValue& value)
{
    expectPresent(value, "Int64");
    if (!value.isNumber())
        throw DecodingError::typeMismatch("Int64", value);
    try {
        return value.asInt64();
    } catch (const KeyedValueError&) {
        throw DecodingError::dataCorrupted("The number does not fit in Int64.");
    }
}

double doubleValue(const KeyedValue& value)
{
    expectPresent(value, "Double");
    if (!value.isNumber())
        throw DecodingError::typeMismatch("Double", value);
    return value.asDouble();
}

bool boolValue(const KeyedValue& value)
{
    expectPresent(value, "Bool");
    if (!value.isBool())
        throw DecodingError::typeMismatch("Bool", value);
    return value.asBool();
}

const std::string& stringValue(const KeyedValue& value)
{
    expectPresent(value, "String");
    if (!value.isString())
        throw DecodingError::typeMismatch("String", value);
    return value.asString();
}

Bytes dataValue(const KeyedValue& value)
{
    expectPresent(value, "Data");
    if (!value.isBytes() && !value.isString())
        throw DecodingError::typeMismatch("Data", value);
    try {
        return value.dataValue();
    } catch (const KeyedValueError&) {
        throw DecodingError::dataCorrupted("Encountered Data is not valid Base64.");
    }
}

std::vector<std::int64_t> int64ListValue(const KeyedValue& value)
{
    expectPresent(value, "Array<Int64>");
    if (!value.isArray())
        throw DecodingError::typeMismatch("an unkeyed container", value);
    std::vector<std::int64_t> list;
    list.reserve(value.size());
    for (const KeyedValue& element : value.asArray())
        list.push_back(int64Value(element));
    return list;
}

KeyedValue encodePoint(Point point) { return KeyedValue::array({point.x, point.y}); }

KeyedValue encodeSize(Size size) { return KeyedValue::array({size.width, size.height}); }

Point pointValue(const KeyedValue& value)
{
    const auto [x, y] = numberPair(value, "CGPoint");
    return {x, y};
}

Size sizeValue(const KeyedValue& value)
{
    const auto [width, height] = numberPair(value, "CGSize");
    return {width, height};
}

} // namespace velquine::keyed
