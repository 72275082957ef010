#pragma once

// A keyed value tree: what the JSON and property-list codecs read and write, and what keyed encodings of the
// model's values are built from. Objects keep their keys in insertion order and are looked up by key.

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include "platform/Base64.h"

namespace velquine {

class KeyedValue;

// Raised by the accessors of KeyedValue: a value of another kind than asked for, or a missing key or index.
class KeyedValueError : public std::runtime_error {
public:
    enum class Kind { typeMismatch, keyNotFound, indexOutOfRange };
    KeyedValueError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) { }
    Kind kind() const { return kind_; }

private:
    Kind kind_;
};

// An ordered object: members in insertion order, found by key. Setting a key that is already present replaces
// its value in place.
class KeyedObject {
public:
    struct Entry;

    KeyedObject() = default;
    KeyedObject(const KeyedObject& other);
    KeyedObject(KeyedObject&&) noexcept = default;
    KeyedObject& operator=(const KeyedObject& other);
    KeyedObject& operator=(KeyedObject&&) noexcept = default;
    ~KeyedObject();
    KeyedObject(std::initializer_list<std::pair<std::string, KeyedValue>> members);

    std::size_t size() const { return entries_.size(); }
    bool empty() const { return entries_.empty(); }
    bool contains(std::string_view key) const { return indexOf(key) != npos; }

    // Null when the key is absent.
    const KeyedValue* find(std::string_view key) const;
    KeyedValue* find(std::string_view key);
    // Throws KeyedValueError (keyNotFound) when the key is absent.
    const KeyedValue& at(std::string_view key) const;
    KeyedValue& at(std::string_view key);

    void set(std::string key, KeyedValue value);
    bool remove(std::string_view key);

    std::vector<std::string> keys() const;
    const std::vector<Entry>& entries() const { return entries_; }

    std::vector<Entry>::const_iterator begin() const;
    std::vector<Entry>::const_iterator end() const;

    // Same members with equal values; the order of the members does not count.
    friend bool operator==(const KeyedObject& a, const KeyedObject& b);

private:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);
    // Objects up to this size are searched in order: a node (19 members) or a node style is looked through
    // faster than a table of its keys is built and asked.
    static constexpr std::size_t indexThreshold = 32;
    std::size_t indexOf(std::string_view key) const;
    void rebuildIndex();

    std::vector<Entry> entries_;
    // Built once the object grows beyond a handful of members, so that large hostile inputs stay linear.
    // Kept behind a pointer so that a small object (and so every KeyedValue) stays small.
    std::unique_ptr<std::unordered_map<std::string, std::size_t>> index_;
};

class KeyedValue {
public:
    enum class Kind { null, boolean, int64, uint64, real, string, bytes, array, object };
    using Array = std::vector<KeyedValue>;
    using Object = KeyedObject;

    KeyedValue() = default;
    KeyedValue(std::nullptr_t) { }
    KeyedValue(bool value) : storage_(value) { }
    template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool> && std::is_signed_v<T>, int> = 0>
    KeyedValue(T value) : storage_(static_cast<std::int64_t>(value)) { }
    template <class T, std::enable_if_t<std::is_integral_v<T> && !std::is_same_v<T, bool> && std::is_unsigned_v<T>, int> = 0>
    KeyedValue(T value) : storage_(static_cast<std::uint64_t>(value)) { }
    KeyedValue(double value) : storage_(value) { }
    KeyedValue(float value) : storage_(static_cast<double>(value)) { }
    KeyedValue(const char* value) : storage_(std::string(value)) { }
    KeyedValue(std::string_view value) : storage_(std::string(value)) { }
    KeyedValue(std::string value) : storage_(std::move(value)) { }
    KeyedValue(Bytes value) : storage_(std::move(value)) { }
    KeyedValue(Array value) : storage_(std::move(value)) { }
    KeyedValue(Object value) : storage_(std::move(value)) { }

    static KeyedValue array(std::initializer_list<KeyedValue> items = {}) { return KeyedValue(Array(items)); }
    static KeyedValue object(std::initializer_list<std::pair<std::string, KeyedValue>> members = {})
    {
        return KeyedValue(Object(members));
    }

    Kind kind() const { return static_cast<Kind>(storage_.index()); }
    bool isNull() const { return kind() == Kind::null; }
    bool isBool() const { return kind() == Kind::boolean; }
    // An int64 or a uint64.
    bool isInteger() const { return kind() == Kind::int64 || kind() == Kind::uint64; }
    bool isReal() const { return kind() == Kind::real; }
    // An integer or a real.
    bool isNumber() const { return isInteger() || isReal(); }
    bool isString() const { return kind() == Kind::string; }
    bool isBytes() const { return kind() == Kind::bytes; }
    bool isArray() const { return kind() == Kind::array; }
    bool isObject() const { return kind() == Kind::object; }

    // The accessors throw KeyedValueError (typeMismatch) for a value of another kind.
    bool asBool() const;
    // Any integer that fits, or a real with an integral value that fits.
    std::int64_t asInt64() const;
    std::uint64_t asUInt64() const;
    // Any number; integers convert to the nearest double.
    double asDouble() const;
    const std::string& asString() const;
    const Bytes& asBytes() const;
    // Data the way each codec carries it: bytes as they are, or a string read as Base64 (JSON's form). Throws
    // KeyedValueError (typeMismatch) for any other kind or for a string that is not valid Base64.
    Bytes dataValue() const;
    const Array& asArray() const;
    Array& asArray();
    const Object& asObject() const;
    Object& asObject();

    // Object members; throw typeMismatch on a non-object and keyNotFound for a missing key.
    const KeyedValue& at(std::string_view key) const;
    KeyedValue& at(std::string_view key);
    // Null when this is not an object or the key is absent.
    const KeyedValue* find(std::string_view key) const;
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    // Throws typeMismatch on a non-object.
    void set(std::string key, KeyedValue value);

    // Array elements; throw typeMismatch on a non-array and indexOutOfRange past the end (or below 0).
    template <class I, std::enable_if_t<std::is_integral_v<I> && !std::is_same_v<I, bool>, int> = 0>
    const KeyedValue& at(I index) const
    {
        if constexpr (std::is_signed_v<I>)
            if (index < 0)
                return element(static_cast<std::size_t>(-1));
        return element(static_cast<std::size_t>(index));
    }
    template <class I, std::enable_if_t<std::is_integral_v<I> && !std::is_same_v<I, bool>, int> = 0>
    KeyedValue& at(I index)
    {
        return const_cast<KeyedValue&>(static_cast<const KeyedValue&>(*this).at(index));
    }
    const KeyedValue& element(std::size_t index) const;
    void append(KeyedValue value);
    // Elements of an array or members of an object; 0 for every other kind.
    std::size_t size() const;

    // Same kind and value. An int64 and a uint64 with the same value are equal; reals are compared exactly (a
    // NaN equals a NaN, 0.0 differs from -0.0) and never equal an integer. Objects compare as in KeyedObject.
    friend bool operator==(const KeyedValue& a, const KeyedValue& b);
    friend bool operator!=(const KeyedValue& a, const KeyedValue& b) { return !(a == b); }

    // "null", "boolean", "integer", "real", "string", "data", "array", "object".
    static const char* kindName(Kind kind);

private:
    [[noreturn]] void mismatch(const char* expected) const;

    std::variant<std::monostate, bool, std::int64_t, std::uint64_t, double, std::string, Bytes, Array, Object>
        storage_;
};

struct KeyedObject::Entry {
    std::string key;
    KeyedValue value;
};

inline std::vector<KeyedObject::Entry>::const_iterator KeyedObject::begin() const { return entries_.begin(); }
inline std::vector<KeyedObject::Entry>::const_iterator KeyedObject::end() const { return entries_.end(); }

} // namespace velquine
