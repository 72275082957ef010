#include "platform/KeyedValue.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace velquine {

// ---- KeyedObject ----

KeyedObject::KeyedObject(std::initializer_list<std::pair<std::string, KeyedValue>> members)
{
    entries_.reserve(members.size());
    for (const auto& member : members)
        set(member.first, member.second);
}

KeyedObject::KeyedObject(const KeyedObject& other) : entries_(other.entries_)
{
    if (other.index_)
        index_ = std::make_unique<std::unordered_map<std::string, std::size_t>>(*other.index_);
}

KeyedObject& KeyedObject::operator=(const KeyedObject& other)
{
    if (this != &other)
        *this = KeyedObject(other);
    return *this;
}

KeyedObject::~KeyedObject() = default;

std::size_t KeyedObject::indexOf(std::string_view key) const
{
    if (index_) {
        const auto found = index_->find(std::string(key));
        return found == index_->end() ? npos : found->second;
    }
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].key == key)
            return i;
    return npos;
}

void KeyedObject::rebuildIndex()
{
    index_.reset();
    if (entries_.size() <= indexThreshold)
        return;
    index_ = std::make_unique<std::unordered_map<std::string, std::size_t>>();
    index_->reserve(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i)
        index_->emplace(entries_[i].key, i);
}

const KeyedValue* KeyedObject::find(std::string_view key) const
{
    const auto i = indexOf(key);
    return i == npos ? nullptr : &entries_[i].value;
}

KeyedValue* KeyedObject::find(std::string_view key)
{
    const auto i = indexOf(key);
    return i == npos ? nullptr : &entries_[i].value;
}

const KeyedValue& KeyedObject::at(std::string_view key) const
{
    if (const auto* value = find(key))
        return *value;
    throw KeyedValueError(KeyedValueError::Kind::keyNotFound, "no value for the key \"" + std::string(key) + "\"");
}

KeyedValue& KeyedObject::at(std::string_view key)
{
    if (auto* value = find(key))
        return *value;
    throw KeyedValueError(KeyedValueError::Kind::keyNotFound, "no value for the key \"" + std::string(key) + "\"");
}

void KeyedObject::set(std::string key, KeyedValue value)
{
    const auto i = indexOf(key);
    if (i != npos) {
        entries_[i].value = std::move(value);
        return;
    }
    entries_.push_back(Entry{std::move(key), std::move(value)});
    if (index_)
        index_->emplace(entries_.back().key, entries_.size() - 1);
    else if (entries_.size() > indexThreshold)
        rebuildIndex();
}

bool KeyedObject::remove(std::string_view key)
{
    const auto i = indexOf(key);
    if (i == npos)
        return false;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(i));
    rebuildIndex();
    return true;
}

std::vector<std::string> KeyedObject::keys() const
{
    std::vector<std::string> out;
    out.reserve(entries_.size());
    for (const auto& entry : entries_)
        out.push_back(entry.key);
    return out;
}

bool operator==(const KeyedObject& a, const KeyedObject& b)
{
    if (a.size() != b.size())
        return false;
    for (const auto& entry : a.entries_) {
        const auto* other = b.find(entry.key);
        if (!other || !(*other == entry.value))
            return false;
    }
    return true;
}

// ---- KeyedValue ----

const char* KeyedValue::kindName(Kind kind)
{
    switch (kind) {
    case Kind::null: return "null";
    case Kind::boolean: return "boolean";
    case Kind::int64:
    case Kind::uint64: return "integer";
    case Kind::real: return "real";
    case Kind::string: return "string";
    case Kind::bytes: return "data";
    case Kind::array: return "array";
    case Kind::object: return "object";
    }
    return "unknown";
}

void KeyedValue::mismatch(const char* expected) const
{
    throw KeyedValueError(KeyedValueError::Kind::typeMismatch,
                          std::string("expected ") + expected + " but found " + kindName(kind()));
}

bool KeyedValue::asBool() const
{
    if (const auto* v = std::get_if<bool>(&storage_))
        return *v;
    mismatch("boolean");
}

std::int64_t KeyedValue::asInt64() const
{
    switch (kind()) {
    case Kind::int64: return std::get<std::int64_t>(storage_);
    case Kind::uint64: {
        const auto v = std::get<std::uint64_t>(storage_);
        if (v <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return static_cast<std::int64_t>(v);
        throw KeyedValueError(KeyedValueError::Kind::typeMismatch,
                              "the number " + std::to_string(v) + " does not fit a signed 64-bit integer");
    }
    case Kind::real: {
        const double v = std::get<double>(storage_);
        // -2^63 <= v < 2^63, integral.
        if (std::isfinite(v) && v == std::trunc(v) && v >= -0x1.0p63 && v < 0x1.0p63)
            return static_cast<std::int64_t>(v);
        throw KeyedValueError(KeyedValueError::Kind::typeMismatch,
                              "the number does not fit a signed 64-bit integer");
    }
    default: mismatch("integer");
    }
}

std::uint64_t KeyedValue::asUInt64() const
{
    switch (kind()) {
    case Kind::uint64: return std::get<std::uint64_t>(storage_);
    case Kind::int64: {
        const auto v = std::get<std::int64_t>(storage_);
        if (v >= 0)
            return static_cast<std::uint64_t>(v);
        throw KeyedValueError(KeyedValueError::Kind::typeMismatch,
                              "the number " + std::to_string(v) + " does not fit an unsigned 64-bit integer");
    }
    case Kind::real: {
        const double v = std::get<double>(storage_);
        if (std::isfinite(v) && v == std::trunc(v) && v >= 0 && v < 0x1.0p64)
            return static_cast<std::uint64_t>(v);
        throw KeyedValueError(KeyedValueError::Kind::typeMismatch,
                              "the number does not fit an unsigned 64-bit integer");
    }
    default: mismatch("integer");
    }
}

double KeyedValue::asDouble() const
{
    switch (kind()) {
    case Kind::real: return std::get<double>(storage_);
    case Kind::int64: return static_cast<double>(std::get<std::int64_t>(storage_));
    case Kind::uint64: return static_cast<double>(std::get<std::uint64_t>(storage_));
    default: mismatch("number");
    }
}

const std::string& KeyedValue::asString() const
{
    if (const auto* v = std::get_if<std::string>(&storage_))
        return *v;
    mismatch("string");
}

const Bytes& KeyedValue::asBytes() const
{
    if (const auto* v = std::get_if<Bytes>(&storage_))
        return *v;
    mismatch("data");
}

Bytes KeyedValue::dataValue() const
{
    if (const auto* v = std::get_if<Bytes>(&storage_))
        return *v;
    if (const auto* text = std::get_if<std::string>(&storage_)) {
        try {
            return Base64::decode(*text);
        } catch (const Base64Error& error) {
            throw KeyedValueError(KeyedValueError::Kind::typeMismatch,
                                  std::string("expected data but found a string that is not Base64: ") +
                                      error.what());
        }
    }
    mismatch("data");
}

const KeyedValue::Array& KeyedValue::asArray() const
{
    if (const auto* v = std::get_if<Array>(&storage_))
        return *v;
    mismatch("array");
}

KeyedValue::Array& KeyedValue::asArray()
{
    if (auto* v = std::get_if<Array>(&storage_))
        return *v;
    mismatch("array");
}

const KeyedValue::Object& KeyedValue::asObject() const
{
    if (const auto* v = std::get_if<Object>(&storage_))
        return *v;
    mismatch("object");
}

KeyedValue::Object& KeyedValue::asObject()
{
    if (auto* v = std::get_if<Object>(&storage_))
        return *v;
    mismatch("object");
}

const KeyedValue& KeyedValue::at(std::string_view key) const { return asObject().at(key); }

KeyedValue& KeyedValue::at(std::string_view key) { return asObject().at(key); }

const KeyedValue* KeyedValue::find(std::string_view key) const
{
    const auto* object = std::get_if<Object>(&storage_);
    return object ? object->find(key) : nullptr;
}

void KeyedValue::set(std::string key, KeyedValue value) { asObject().set(std::move(key), std::move(value)); }

const KeyedValue& KeyedValue::element(std::size_t index) const
{
    const auto& items = asArray();
    if (index >= items.size())
        throw KeyedValueError(KeyedValueError::Kind::indexOutOfRange,
                              "index " + std::to_string(index) + " is past the end of an array of " +
                                  std::to_string(items.size()));
    return items[index];
}

void KeyedValue::append(KeyedValue value) { asArray().push_back(std::move(value)); }

std::size_t KeyedValue::size() const
{
    if (const auto* items = std::get_if<Array>(&storage_))
        return items->size();
    if (const auto* object = std::get_if<Object>(&storage_))
        return object->size();
    return 0;
}

bool operator==(const KeyedValue& a, const KeyedValue& b)
{
    using Kind = KeyedValue::Kind;
    const Kind ka = a.kind();
    const Kind kb = b.kind();
    if (a.isInteger() && b.isInteger()) {
        if (ka == kb)
            return a.storage_ == b.storage_;
        const auto i = ka == Kind::int64 ? std::get<std::int64_t>(a.storage_) : std::get<std::int64_t>(b.storage_);
        const auto u = ka == Kind::uint64 ? std::get<std::uint64_t>(a.storage_) : std::get<std::uint64_t>(b.storage_);
        return i >= 0 && static_cast<std::uint64_t>(i) == u;
    }
    if (ka != kb)
        return false;
    if (ka == Kind::real) {
        const double x = std::get<double>(a.storage_);
        const double y = std::get<double>(b.storage_);
        if (std::isnan(x) || std::isnan(y))
            return std::isnan(x) && std::isnan(y);
        return x == y && std::signbit(x) == std::signbit(y);
    }
    return a.storage_ == b.storage_;
}

} // namespace velquine
