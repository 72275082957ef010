#include "model/graph/LayoutOptions.h"

#include "model/graph/KeyedFields.h"

namespace velquine {

namespace {

template <class E>
E fromStringOrFirst(std::string_view string)
{
    return caseNamed<E>(string).value_or(static_cast<E>(0));
}

template <class E>
E decodeMember(const KeyedValue& from, std::string_view key)
{
    return decodeOneKey<E>(keyed::required(from, key, CaseNames<E>::typeName));
}

} // namespace

KeyedValue LayoutOptions::encode() const
{
    KeyedValue container = KeyedValue::object();
    container.set("layoutType", encodeOneKey(layoutType));
    container.set("layoutDirection", encodeOneKey(layoutDirection));
    container.set("branchType", encodeOneKey(branchType));
    container.set("isManual", isManual);
    return container;
}

LayoutOptions LayoutOptions::decode(const KeyedValue& from)
{
    keyed::expectObject(from, "LayoutOptions");
    LayoutOptions options;
    options.layoutType = decodeMember<LayoutType>(from, "layoutType");
    options.layoutDirection = decodeMember<LayoutDirection>(from, "layoutDirection");
    options.branchType = decodeMember<BranchType>(from, "branchType");
    options.isManual = keyed::boolValue(keyed::required(from, "isManual", "Bool"));
    return options;
}

std::string stringValue(LayoutOptions::LayoutType type) { return std::string(caseName(type)); }
std::string stringValue(LayoutOptions::LayoutDirection direction) { return std::string(caseName(direction)); }
std::string stringValue(LayoutOptions::BranchType type) { return std::string(caseName(type)); }

LayoutOptions::LayoutType layoutTypeFromString(std::string_view string)
{
    return fromStringOrFirst<LayoutOptions::LayoutType>(string);
}

LayoutOptions::LayoutDirection layoutDirectionFromString(std::string_view string)
{
    return fromStringOrFirst<LayoutOptions::LayoutDirection>(string);
}

LayoutOptions::BranchType branchTypeFromString(std::string_view string)
{
    return fromStringOrFirst<LayoutOptions::BranchType>(string);
}

} // namespace velquine
