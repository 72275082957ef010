#include "platform/PropertyList.h"

#include "base/Utf8.h"

#include <cstring>
#include <limits>
#include <unordered_map>
#include <string>
#include <tuple>

namespace velquine {

namespace {

constexpr char magic[] = "bplist00";
constexpr std::size_t headerSize = 8;
constexpr std::size_t trailerSize = 32;

// Markers (high nibble) of the object kinds.
enum Marker : std::uint8_t {
    markerNull = 0x00,
    markerFalse = 0x08,
    markerTrue = 0x09,
    markerInt = 0x10,
    markerReal = 0x20,
    markerDate = 0x30,
    markerData = 0x40,
    markerAscii = 0x50,
    markerUtf16 = 0x60,
    markerUid = 0x80,
    markerArray = 0xA0,
    markerSet = 0xC0,
    markerDict = 0xD0,
};

// Reading stops instead of materialising more than this many values or bytes of strings and data, however
// the input shares its objects.
constexpr std::size_t maxValues = 4'000'000;
constexpr std::size_t minByteBudget = 64u << 20;

[[noreturn]] void fail(const std::string& message) { throw PropertyListError("property list: " + message); }

// ---- UTF-8 / UTF-16 ----

std::u16string toUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const long cp = nextCodePoint(text, pos);
        if (cp < 0)
            fail("cannot write a string that is not valid UTF-8");
        if (cp >= 0x10000) {
            const long v = cp - 0x10000;
            out += static_cast<char16_t>(0xD800 + (v >> 10));
            out += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
    }
    return out;
}

bool isAscii(std::string_view text)
{
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// ---- Writer ----

class Writer {
public:
    Bytes write(const KeyedValue& top)
    {
        flatten(top, 1);
        const std::size_t count = objects_.size();
        refSize_ = bytesFor(count);

        out_.assign(magic, magic + headerSize);
        std::vector<std::uint64_t> offsets;
        offsets.reserve(count);
        for (const auto& object : objects_) {
            offsets.push_back(out_.size());
            encode(object);
        }
        const std::uint64_t tableOffset = out_.size();
        const std::size_t offsetSize = bytesFor(tableOffset);
        for (const auto offset : offsets)
            appendBigEndian(offset, offsetSize);

        for (int i = 0; i < 6; ++i)
            out_.push_back(0);
        out_.push_back(static_cast<std::uint8_t>(offsetSize));
        out_.push_back(static_cast<std::uint8_t>(refSize_));
        appendBigEndian(count, 8);
        appendBigEndian(0, 8); // The top object is flattened first.
        appendBigEndian(tableOffset, 8);
        return std::move(out_);
    }

private:
    struct Object {
        const KeyedValue* value; // Null for the "$null" string and for dictionary keys.
        const std::string* key;
        std::vector<std::size_t> refs;
    };

    static std::size_t bytesFor(std::uint64_t value)
    {
        if (value <= 0xFF)
            return 1;
        if (value <= 0xFFFF)
            return 2;
        if (value <= 0xFFFFFFFFu)
            return 4;
        return 8;
    }

    void appendBigEndian(std::uint64_t value, std::size_t size)
    {
        for (std::size_t i = size; i-- > 0;)
            out_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }

    // A scalar is stored once however often it occurs: the kind tag and its bytes identify it.
    std::size_t unique(int tag, std::string identity, const KeyedValue* value, const std::string* key)
    {
        auto [found, inserted] = scalars_.try_emplace(std::make_pair(tag, std::move(identity)), objects_.size());
        if (inserted)
            objects_.push_back(Object{value, key, {}});
        return found->second;
    }

    std::size_t stringObject(const std::string& text, const KeyedValue* value)
    {
        return unique(0, text, value, &text);
    }

    std::size_t flatten(const KeyedValue& value, std::size_t depth)
    {
        using Kind = KeyedValue::Kind;
        switch (value.kind()) {
        case Kind::null: return unique(0, PropertyList::nullMarker, nullptr, nullptr);
        case Kind::boolean: return unique(1, value.asBool() ? "1" : "0", &value, nullptr);
        case Kind::int64:
        case Kind::uint64: {
            const bool large = value.kind() == Kind::uint64 &&
                               value.asUInt64() > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
            return unique(2, large ? "u" + std::to_string(value.asUInt64()) : std::to_string(value.asInt64()), &value,
                          nullptr);
        }
        case Kind::real: {
            const double v = value.asDouble();
            std::string bits(sizeof v, '\0');
            std::memcpy(bits.data(), &v, sizeof v);
            return unique(3, std::move(bits), &value, nullptr);
        }
        case Kind::string: return stringObject(value.asString(), &value);
        case Kind::bytes: {
            const auto& bytes = value.asBytes();
            return unique(4, std::string(bytes.begin(), bytes.end()), &value, nullptr);
        }
        case Kind::array: {
            if (depth > PropertyList::maxDepth)
                fail("nesting deeper than " + std::to_string(PropertyList::maxDepth) + " levels");
            const std::size_t index = objects_.size();
            objects_.push_back(Object{&value, nullptr, {}});
            std::vector<std::size_t> refs;
            refs.reserve(value.size());
            for (const auto& item : value.asArray())
                refs.push_back(flatten(item, depth + 1));
            objects_[index].refs = std::move(refs);
            return index;
        }
        case Kind::object: {
            if (depth > PropertyList::maxDepth)
                fail("nesting deeper than " + std::to_string(PropertyList::maxDepth) + " levels");
            const std::size_t index = objects_.size();
            objects_.push_back(Object{&value, nullptr, {}});
            const auto& members = value.asObject();
            std::vector<std::size_t> refs;
            refs.reserve(members.size() * 2);
            for (const auto& entry : members)
                refs.push_back(stringObject(entry.key, nullptr));
            for (const auto& entry : members)
                refs.push_back(flatten(entry.value, depth + 1));
            objects_[index].refs = std::move(refs);
            return index;
        }
        }
        fail("unknown value kind");
    }

    void appendMarker(std::uint8_t marker, std::size_t count)
    {
        if (count < 15) {
            out_.push_back(static_cast<std::uint8_t>(marker | count));
            return;
        }
        out_.push_back(static_cast<std::uint8_t>(marker | 0x0F));
        appendInteger(count);
    }

    void appendInteger(std::uint64_t value)
    {
        const std::size_t size = bytesFor(value);
        const std::uint8_t sizeCode = size == 1 ? 0 : size == 2 ? 1 : size == 4 ? 2 : 3;
        out_.push_back(static_cast<std::uint8_t>(markerInt | sizeCode));
        appendBigEndian(value, size);
    }

    void appendString(const std::string& text)
    {
        if (isAscii(text)) {
            appendMarker(markerAscii, text.size());
            out_.insert(out_.end(), text.begin(), text.end());
            return;
        }
        const auto units = toUtf16(text);
        appendMarker(markerUtf16, units.size());
        for (const char16_t unit : units)
            appendBigEndian(unit, 2);
    }

    void encode(const Object& object)
    {
        using Kind = KeyedValue::Kind;
        if (!object.value) {
            appendString(object.key ? *object.key : std::string(PropertyList::nullMarker));
            return;
        }
        const KeyedValue& value = *object.value;
        switch (value.kind()) {
        case Kind::null: appendString(PropertyList::nullMarker); return;
        case Kind::boolean: out_.push_back(value.asBool() ? markerTrue : markerFalse); return;
        case Kind::int64: {
            const auto v = value.asInt64();
            if (v < 0) {
                out_.push_back(markerInt | 3);
                appendBigEndian(static_cast<std::uint64_t>(v), 8);
            } else {
                appendInteger(static_cast<std::uint64_t>(v));
            }
            return;
        }
        case Kind::uint64: {
            const auto v = value.asUInt64();
            if (v > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                // Unsigned values beyond the signed range take the 16-byte form, high half zero.
                out_.push_back(markerInt | 4);
                appendBigEndian(0, 8);
                appendBigEndian(v, 8);
            } else {
                appendInteger(v);
            }
            return;
        }
        case Kind::real: {
            const double v = value.asDouble();
            std::uint64_t bits;
            std::memcpy(&bits, &v, sizeof bits);
            out_.push_back(markerReal | 3);
            appendBigEndian(bits, 8);
            return;
        }
        case Kind::string: appendString(value.asString()); return;
        case Kind::bytes: {
            const auto& bytes = value.asBytes();
            appendMarker(markerData, bytes.size());
            out_.insert(out_.end(), bytes.begin(), bytes.end());
            return;
        }
        case Kind::array:
            appendMarker(markerArray, object.refs.size());
            for (const auto ref : object.refs)
                appendBigEndian(ref, refSize_);
            return;
        case Kind::object:
            appendMarker(markerDict, object.refs.size() / 2);
            for (const auto ref : object.refs)
                appendBigEndian(ref, refSize_);
            return;
        }
    }

    std::vector<Object> objects_;
    struct ScalarHash {
        std::size_t operator()(const std::pair<int, std::string>& key) const
        {
            return std::hash<std::string>()(key.second) * 31 + static_cast<std::size_t>(key.first);
        }
    };
    std::unordered_map<std::pair<int, std::string>, std::size_t, ScalarHash> scalars_;
    std::size_t refSize_ = 1;
    Bytes out_;
};

// ---- Reader ----

class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) { }

    KeyedValue read()
    {
        if (size_ < headerSize + trailerSize)
            fail("the data is too short (" + std::to_string(size_) + " bytes)");
        if (std::memcmp(data_, magic, headerSize) != 0)
            fail("the data does not start with \"bplist00\"");

        const std::uint8_t* trailer = data_ + size_ - trailerSize;
        offsetSize_ = trailer[6];
        refSize_ = trailer[7];
        const std::uint64_t count = bigEndian(trailer + 8, 8);
        const std::uint64_t top = bigEndian(trailer + 16, 8);
        const std::uint64_t tableOffset = bigEndian(trailer + 24, 8);

        if (offsetSize_ < 1 || offsetSize_ > 8)
            fail("invalid offset size " + std::to_string(offsetSize_));
        if (refSize_ < 1 || refSize_ > 8)
            fail("invalid object reference size " + std::to_string(refSize_));
        if (count == 0)
            fail("the object count is 0");
        if (top >= count)
            fail("the top object " + std::to_string(top) + " is not among the " + std::to_string(count) + " objects");
        const std::uint64_t tableEnd = size_ - trailerSize;
        if (tableOffset < headerSize || tableOffset > tableEnd)
            fail("the offset table starts outside the data");
        if (count > (tableEnd - tableOffset) / offsetSize_)
            fail("the offset table of " + std::to_string(count) + " entries does not fit the data");
        if (refSize_ < 8 && count > (std::uint64_t{1} << (8 * refSize_)))
            fail("the object count does not fit the object reference size");

        count_ = static_cast<std::size_t>(count);
        table_ = data_ + tableOffset;
        objectsEnd_ = static_cast<std::size_t>(tableOffset);
        onPath_.assign(count_, false);
        byteLimit_ = std::max<std::size_t>(minByteBudget, size_ * 16);
        byteBudget_ = byteLimit_;
        return readObject(static_cast<std::size_t>(top), 1);
    }

private:
    static std::uint64_t bigEndian(const std::uint8_t* p, std::size_t size)
    {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < size; ++i)
            v = (v << 8) | p[i];
        return v;
    }

    std::size_t offsetOf(std::size_t index) const
    {
        const std::uint64_t offset = bigEndian(table_ + index * offsetSize_, offsetSize_);
        if (offset < headerSize || offset >= objectsEnd_)
            fail("object " + std::to_string(index) + " has an offset outside the object area");
        return static_cast<std::size_t>(offset);
    }

    // Makes sure `size` bytes follow at `pos` inside the object area.
    void need(std::size_t pos, std::uint64_t size, const char* what) const
    {
        if (pos > objectsEnd_ || size > objectsEnd_ - pos)
            fail(std::string(what) + " runs past the object area");
    }

    // Count of a marker's low nibble, or of the integer that follows when the nibble is 0xF. Moves pos past it.
    std::uint64_t readCount(std::uint8_t marker, std::size_t& pos) const
    {
        const std::uint8_t nibble = marker & 0x0F;
        if (nibble != 0x0F)
            return nibble;
        need(pos, 1, "a count");
        const std::uint8_t intMarker = data_[pos++];
        if ((intMarker & 0xF0) != markerInt || (intMarker & 0x0F) > 3)
            fail("a count is not a 1-, 2-, 4- or 8-byte integer");
        const std::size_t size = std::size_t{1} << (intMarker & 0x0F);
        need(pos, size, "a count");
        const std::uint64_t count = bigEndian(data_ + pos, size);
        pos += size;
        return count;
    }

    void spend(std::size_t bytes)
    {
        if (++values_ > maxValues)
            fail("more than " + std::to_string(maxValues) + " values");
        if (bytes > byteBudget_)
            fail("strings and data expand beyond " + std::to_string(byteLimit_ >> 20) + " MiB");
        byteBudget_ -= bytes;
    }

    std::size_t readRef(std::size_t pos) const
    {
        const std::uint64_t ref = bigEndian(data_ + pos, refSize_);
        if (ref >= count_)
            fail("an object reference " + std::to_string(ref) + " is not among the " + std::to_string(count_) +
                 " objects");
        return static_cast<std::size_t>(ref);
    }

    std::string readString(std::size_t index, std::uint8_t marker, std::size_t pos)
    {
        const std::uint64_t count = readCount(marker, pos);
        if ((marker & 0xF0) == markerAscii) {
            need(pos, count, "a string");
            spend(static_cast<std::size_t>(count));
            std::string text(reinterpret_cast<const char*>(data_ + pos), static_cast<std::size_t>(count));
            if (!isAscii(text))
                fail("object " + std::to_string(index) + " is an ASCII string with a byte above 0x7F");
            return text;
        }
        if (count > (objectsEnd_ - std::min(pos, objectsEnd_)) / 2)
            fail("a string runs past the object area");
        spend(static_cast<std::size_t>(count) * 3);
        std::string text;
        text.reserve(static_cast<std::size_t>(count));
        for (std::uint64_t i = 0; i < count; ++i) {
            const auto unit = static_cast<unsigned long>(bigEndian(data_ + pos + 2 * i, 2));
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                if (i + 1 < count) {
                    const auto low = static_cast<unsigned long>(bigEndian(data_ + pos + 2 * (i + 1), 2));
                    if (low >= 0xDC00 && low <= 0xDFFF) {
                        appendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                        ++i;
                        continue;
                    }
                }
                fail("object " + std::to_string(index) + " is a string with an unpaired surrogate");
            }
            if (unit >= 0xDC00 && unit <= 0xDFFF)
                fail("object " + std::to_string(index) + " is a string with an unpaired surrogate");
            appendUtf8(text, unit);
        }
        return text;
    }

    std::string readKey(std::size_t index)
    {
        std::size_t pos = offsetOf(index);
        const std::uint8_t marker = data_[pos++];
        const std::uint8_t high = marker & 0xF0;
        if (high != markerAscii && high != markerUtf16)
            fail("a dictionary key (object " + std::to_string(index) + ") is not a string");
        return readString(index, marker, pos);
    }

    KeyedValue readObject(std::size_t index, std::size_t depth)
    {
        std::size_t pos = offsetOf(index);
        const std::uint8_t marker = data_[pos++];
        switch (marker & 0xF0) {
        case 0x00:
            if (marker == markerNull) {
                spend(0);
                return KeyedValue();
            }
            if (marker == markerFalse || marker == markerTrue) {
                spend(0);
                return KeyedValue(marker == markerTrue);
            }
            fail("object " + std::to_string(index) + " has the unknown marker " + std::to_string(marker));
        case markerInt: return readInteger(index, marker, pos);
        case markerReal: return readReal(index, marker, pos);
        case markerData: {
            const std::uint64_t count = readCount(marker, pos);
            need(pos, count, "a data object");
            spend(static_cast<std::size_t>(count));
            return KeyedValue(Bytes(data_ + pos, data_ + pos + count));
        }
        case markerAscii:
        case markerUtf16: {
            std::string text = readString(index, marker, pos);
            if (text == PropertyList::nullMarker)
                return KeyedValue();
            return KeyedValue(std::move(text));
        }
        case markerArray:
        case markerDict: return readContainer(index, marker, pos, depth);
        case markerDate: fail("object " + std::to_string(index) + " is a date, which is not supported");
        case markerUid: fail("object " + std::to_string(index) + " is a UID, which is not supported");
        case markerSet: fail("object " + std::to_string(index) + " is a set, which is not supported");
        default:
            fail("object " + std::to_string(index) + " has the unknown marker " + std::to_string(marker));
        }
    }

    KeyedValue readInteger(std::size_t index, std::uint8_t marker, std::size_t pos)
    {
        const std::uint8_t low = marker & 0x0F;
        if (low > 4)
            fail("object " + std::to_string(index) + " is an integer of unsupported size");
        const std::size_t size = std::size_t{1} << low;
        need(pos, size, "an integer");
        spend(0);
        if (size < 8)
            return KeyedValue(static_cast<std::int64_t>(bigEndian(data_ + pos, size)));
        if (size == 8)
            return KeyedValue(static_cast<std::int64_t>(bigEndian(data_ + pos, 8)));
        const std::uint64_t high = bigEndian(data_ + pos, 8);
        const std::uint64_t value = bigEndian(data_ + pos + 8, 8);
        if (high == 0) {
            if (value <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
                return KeyedValue(static_cast<std::int64_t>(value));
            return KeyedValue(value);
        }
        if (high == ~std::uint64_t{0} && (value >> 63) == 1)
            return KeyedValue(static_cast<std::int64_t>(value));
        fail("object " + std::to_string(index) + " is an integer beyond 64 bits");
    }

    KeyedValue readReal(std::size_t index, std::uint8_t marker, std::size_t pos)
    {
        const std::uint8_t low = marker & 0x0F;
        spend(0);
        if (low == 2) {
            need(pos, 4, "a real");
            const auto bits = static_cast<std::uint32_t>(bigEndian(data_ + pos, 4));
            float v;
            std::memcpy(&v, &bits, sizeof v);
            return KeyedValue(static_cast<double>(v));
        }
        if (low == 3) {
            need(pos, 8, "a real");
            const std::uint64_t bits = bigEndian(data_ + pos, 8);
            double v;
            std::memcpy(&v, &bits, sizeof v);
            return KeyedValue(v);
        }
        fail("object " + std::to_string(index) + " is a real of unsupported size");
    }

    // An array or a dictionary, its items read at the next depth.
    KeyedValue readContainer(std::size_t index, std::uint8_t marker, std::size_t pos, std::size_t depth)
    {
        const bool isDict = (marker & 0xF0) == markerDict;
        if (depth > PropertyList::maxDepth)
            fail("nesting deeper than " + std::to_string(PropertyList::maxDepth) + " levels");
        if (onPath_[index])
            fail("object " + std::to_string(index) + " contains itself");
        const std::uint64_t count = readCount(marker, pos);
        const std::uint64_t perItem = isDict ? 2 * refSize_ : refSize_;
        if (pos > objectsEnd_ || count > (objectsEnd_ - pos) / perItem)
            fail(std::string(isDict ? "a dictionary" : "an array") + " runs past the object area");
        if (count > maxValues - std::min(values_, maxValues))
            fail("more than " + std::to_string(maxValues) + " values");
        spend(0);
        onPath_[index] = true;
        KeyedValue result;
        if (isDict) {
            KeyedObject members;
            for (std::uint64_t i = 0; i < count; ++i) {
                const std::size_t keyRef = readRef(pos + static_cast<std::size_t>(i) * refSize_);
                const std::size_t valueRef = readRef(pos + static_cast<std::size_t>(count + i) * refSize_);
                std::string key = readKey(keyRef);
                members.set(std::move(key), readObject(valueRef, depth + 1));
            }
            result = KeyedValue(std::move(members));
        } else {
            KeyedValue::Array items;
            items.reserve(static_cast<std::size_t>(count));
            for (std::uint64_t i = 0; i < count; ++i)
                items.push_back(readObject(readRef(pos + static_cast<std::size_t>(i) * refSize_), depth + 1));
            result = KeyedValue(std::move(items));
        }
        onPath_[index] = false;
        return result;
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t offsetSize_ = 0;
    std::size_t refSize_ = 0;
    std::size_t count_ = 0;
    const std::uint8_t* table_ = nullptr;
    std::size_t objectsEnd_ = 0;
    std::vector<bool> onPath_;
    std::size_t values_ = 0;
    std::size_t byteLimit_ = 0;
    std::size_t byteBudget_ = 0;
};

} // namespace

Bytes PropertyList::write(const KeyedValue& value) { return Writer().write(value); }

KeyedValue PropertyList::read(const Bytes& data) { return read(data.data(), data.size()); }

KeyedValue PropertyList::read(const std::uint8_t* data, std::size_t size)
{
    if (!data && size != 0)
        fail("no data");
    return Reader(data, size).read();
}

} // namespace velquine
