#include "platform/PropertyList.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

using namespace velquine;

namespace {

Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const auto& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes bigEndian(std::uint64_t value, std::size_t size)
{
    Bytes out;
    for (std::size_t i = size; i-- > 0;)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return out;
}

const Bytes header{'b', 'p', 'l', 'i', 's', 't', '0', '0'};

Bytes trailer(std::size_t offsetSize, std::size_t refSize, std::uint64_t count, std::uint64_t top,
              std::uint64_t tableOffset)
{
    return concat({Bytes(6, 0), Bytes{static_cast<std::uint8_t>(offsetSize), static_cast<std::uint8_t>(refSize)},
                   bigEndian(count, 8), bigEndian(top, 8), bigEndian(tableOffset, 8)});
}

// A property list made of the given object bodies, in that order, with one-byte offsets and references.
Bytes plistOf(const std::vector<Bytes>& objects, std::uint64_t top = 0, std::size_t offsetSize = 1)
{
    Bytes out = header;
    Bytes table;
    for (const auto& object : objects) {
        const auto offset = bigEndian(out.size(), offsetSize);
        table.insert(table.end(), offset.begin(), offset.end());
        out.insert(out.end(), object.begin(), object.end());
    }
    const std::uint64_t tableOffset = out.size();
    return concat({out, table, trailer(offsetSize, 1, objects.size(), top, tableOffset)});
}

// The body of the single object of a plist written for a scalar.
Bytes bodyOf(const Bytes& plist)
{
    std::size_t tableOffset = 0;
    for (std::size_t i = plist.size() - 8; i < plist.size(); ++i)
        tableOffset = (tableOffset << 8) | plist[i];
    return Bytes(plist.begin() + 8, plist.begin() + static_cast<std::ptrdiff_t>(tableOffset));
}

std::string errorOf(const Bytes& data)
{
    try {
        PropertyList::read(data);
    } catch (const PropertyListError& error) {
        return error.what();
    }
    return "no error";
}

} // namespace

TEST(PropertyList, WritesTheBinaryLayoutByteForByte)
{
    // {"a": 1}: the dictionary, then its key, then its value; offsets and references of one byte.
    const Bytes expected = concat({header, Bytes{0xD1, 0x01, 0x02, 0x51, 'a', 0x10, 0x01}, Bytes{0x08, 0x0B, 0x0D},
                                   trailer(1, 1, 3, 0, 0x0F)});
    EXPECT_EQ(PropertyList::write(KeyedValue::object({{"a", 1}})), expected);
    EXPECT_EQ(PropertyList::read(expected), KeyedValue::object({{"a", 1}}));

    // An absent value is the string "$null".
    EXPECT_EQ(PropertyList::write(KeyedValue()),
              concat({header, Bytes{0x55, '$', 'n', 'u', 'l', 'l'}, Bytes{0x08}, trailer(1, 1, 1, 0, 0x0E)}));
}

TEST(PropertyList, IntegersTakeTheSmallestFormAndUnsignedBeyondInt64TakesSixteenBytes)
{
    EXPECT_EQ(bodyOf(PropertyList::write(KeyedValue(0))), (Bytes{0x10, 0x00}));
    EXPECT_EQ(bodyOf(PropertyList::write(KeyedValue(255))), (Bytes{0x10, 0xFF}));
    EXPECT_EQ(bodyOf(PropertyList::write(KeyedValue(256))), (Bytes{0x11, 0x01, 0x00}));
    EXPECT_EQ(bodyOf(PropertyList::write(KeyedValue(65536))), (Bytes{0x12, 0x00, 0x01, 0x00, 0x00}));
    EXPECT_EQ(bodyOf(PropertyList::write(KeyedValue(std::int64_t{1} << 32))),
              concat({Bytes{0x13}, bigEndian(std::uint64_t{1} << 32, 8)}));
    EXPECT_EQ(bodyOf(PropertyList::write(KeyedValue(-1))), concat({Bytes{0x13}, Bytes(8, 0xFF)}));
    EXPECT_EQ(bodyOf(PropertyList::write(KeyedValue(std::uint64_t{7}))), (Bytes{0x10, 0x07}));
    EXPECT_EQ(bodyOf(PropertyList::write(KeyedValue(std::numeric_limits<std::uint64_t>::max()))),
              concat({Bytes{0x14}, Bytes(8, 0x00), Bytes(8, 0xFF)}));

    for (const KeyedValue& v :
         {KeyedValue(0), KeyedValue(255), KeyedValue(256), KeyedValue(70000), KeyedValue(std::int64_t{1} << 40),
          KeyedValue(-1), KeyedValue(std::numeric_limits<std::int64_t>::min()),
          KeyedValue(std::numeric_limits<std::int64_t>::max()),
          KeyedValue(std::numeric_limits<std::uint64_t>::max())}) {
        const auto back = PropertyList::read(PropertyList::write(v));
        EXPECT_EQ(back, v);
        EXPECT_EQ(back.kind(), v.kind());
    }
    // A 16-byte negative number reads as its signed value.
    EXPECT_EQ(PropertyList::read(plistOf({concat({Bytes{0x14}, Bytes(15, 0xFF), Bytes{0xFE}})})), KeyedValue(-2));
}

TEST(PropertyList, RealsStringsDataAndBooleans)
{
    EXPECT_EQ(bodyOf(PropertyList::write(KeyedValue(0.5))), concat({Bytes{0x23, 0x3F, 0xE0}, Bytes(6, 0)}));
    EXPECT_EQ(bodyOf(PropertyList::write(KeyedValue(true))), (Bytes{0x09}));
    EXPECT_EQ(bodyOf(PropertyList::write(KeyedValue(false))), (Bytes{0x08}));
    EXPECT_EQ(bodyOf(PropertyList::write(KeyedValue(Bytes{1, 2, 3}))), (Bytes{0x43, 1, 2, 3}));
    // ASCII text in one byte per character; anything else in UTF-16, big-endian, with surrogate pairs.
    EXPECT_EQ(bodyOf(PropertyList::write(KeyedValue("ab"))), (Bytes{0x52, 'a', 'b'}));
    EXPECT_EQ(bodyOf(PropertyList::write(KeyedValue("\xC3\xA9"))), (Bytes{0x61, 0x00, 0xE9}));
    EXPECT_EQ(bodyOf(PropertyList::write(KeyedValue("\xF0\x9F\x98\x80"))), (Bytes{0x62, 0xD8, 0x3D, 0xDE, 0x00}));
    // Fifteen or more elements: the count follows the marker as an integer object.
    EXPECT_EQ(bodyOf(PropertyList::write(KeyedValue(std::string(15, 'z')))),
              concat({Bytes{0x5F, 0x10, 0x0F}, Bytes(15, 'z')}));
    EXPECT_EQ(bodyOf(PropertyList::write(KeyedValue(std::string(300, 'z')))),
              concat({Bytes{0x5F, 0x11, 0x01, 0x2C}, Bytes(300, 'z')}));

    // A four-byte real reads as its double.
    EXPECT_EQ(PropertyList::read(plistOf({Bytes{0x22, 0x3E, 0x20, 0x00, 0x00}})), KeyedValue(0.15625));
    // The format's own null marker reads as null too.
    EXPECT_EQ(PropertyList::read(plistOf({Bytes{0x00}})), KeyedValue());
    EXPECT_THROW(PropertyList::write(KeyedValue("bad \xC3")), PropertyListError);
}

TEST(PropertyList, EqualScalarsAreStoredOnce)
{
    const auto data = PropertyList::write(KeyedValue::array({"x", "x", 1, 1, 1.0, KeyedValue(), KeyedValue()}));
    // The array, "x", 1, 1.0 and "$null".
    EXPECT_EQ(data[data.size() - 17], 5);
    const auto keyed = PropertyList::write(
        KeyedValue::array({KeyedValue::object({{"k", "k"}}), KeyedValue::object({{"k", 2}})}));
    // The array, two dictionaries, "k" (key and value alike) and 2.
    EXPECT_EQ(keyed[keyed.size() - 17], 5);
}

TEST(PropertyList, RoundTripsNestedValuesAndTurnsNullIntoTheNullString)
{
    KeyedValue::Array many;
    for (int i = 0; i < 300; ++i)
        many.push_back(KeyedValue("item " + std::to_string(i)));
    const auto node = KeyedValue::object({
        {"UID", std::int64_t{9007199254740993}},
        {"parentUID", nullptr},
        {"title", "Caf\xC3\xA9 \xF0\x9F\x98\x80 / \"quoted\""},
        {"center", KeyedValue::array({120.0, -48.5})},
        {"style", KeyedValue::object({{"userOverrides", std::numeric_limits<std::uint64_t>::max()},
                                      {"font", Bytes{0, 1, 2, 0xFF}}})},
        {"children", KeyedValue::array()},
        {"layoutOptions", nullptr},
        {"isFolded", false},
        {"createdTimestamp", 1700000000.123456},
        {"nan", std::nan("")},
        {"many", KeyedValue(many)},
        {"empty", KeyedValue::object()},
    });
    const auto data = PropertyList::write(KeyedValue::array({node, node}));
    const auto back = PropertyList::read(data);
    EXPECT_EQ(back, KeyedValue::array({node, node}));
    EXPECT_TRUE(back.at(0).at("parentUID").isNull());
    EXPECT_EQ(back.at(1).at("UID").asInt64(), 9007199254740993);
    EXPECT_EQ(back.at(0).asObject().keys(), node.asObject().keys());

    // "$null" is null wherever a value stands, but a key keeps its text.
    EXPECT_EQ(PropertyList::read(PropertyList::write(KeyedValue::object({{"$null", "$null"}}))),
              KeyedValue::object({{"$null", nullptr}}));
}

TEST(PropertyList, NestingIsBoundedOnWriting)
{
    auto nest = [](std::size_t depth) {
        KeyedValue v = KeyedValue::array();
        for (std::size_t i = 1; i < depth; ++i)
            v = KeyedValue::array({v});
        return v;
    };
    const auto deepest = nest(PropertyList::maxDepth);
    EXPECT_EQ(PropertyList::read(PropertyList::write(deepest)), deepest);
    EXPECT_THROW(PropertyList::write(nest(PropertyList::maxDepth + 1)), PropertyListError);
}

TEST(PropertyList, RefusesMalformedStructureWithAClearError)
{
    const auto ok = plistOf({Bytes{0xA1, 0x01}, Bytes{0x10, 0x05}});
    ASSERT_EQ(PropertyList::read(ok), KeyedValue::array({5}));

    EXPECT_EQ(errorOf(Bytes{}), "property list: the data is too short (0 bytes)");
    auto badMagic = ok;
    badMagic[7] = '1';
    EXPECT_EQ(errorOf(badMagic), "property list: the data does not start with \"bplist00\"");

    // Offsets, references, top object and table position outside the data.
    EXPECT_EQ(errorOf(plistOf({Bytes{0xA1, 0x07}, Bytes{0x10, 0x05}})),
              "property list: an object reference 7 is not among the 2 objects");
    EXPECT_EQ(errorOf(plistOf({Bytes{0x10, 0x05}}, 3)), "property list: the top object 3 is not among the 1 objects");
    auto badOffset = ok;
    badOffset[ok.size() - 32 - 1] = 0xF0;
    EXPECT_EQ(errorOf(badOffset), "property list: object 1 has an offset outside the object area");
    auto badTable = ok;
    badTable[ok.size() - 1] = 0xFF;
    EXPECT_EQ(errorOf(badTable), "property list: the offset table starts outside the data");
    auto badCount = ok;
    badCount[ok.size() - 17] = 0x40;
    EXPECT_EQ(errorOf(badCount), "property list: the offset table of 64 entries does not fit the data");
    auto zeroSizes = ok;
    zeroSizes[ok.size() - 26] = 0;
    EXPECT_EQ(errorOf(zeroSizes), "property list: invalid offset size 0");

    // Bodies that run past the object area.
    EXPECT_EQ(errorOf(plistOf({Bytes{0x4F, 0x13, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}})),
              "property list: a data object runs past the object area");
    EXPECT_EQ(errorOf(plistOf({Bytes{0x55, 'a', 'b'}})), "property list: a string runs past the object area");
    EXPECT_EQ(errorOf(plistOf({Bytes{0x6F, 0x13, 0x40, 0, 0, 0, 0, 0, 0, 0}})),
              "property list: a string runs past the object area");
    EXPECT_EQ(errorOf(plistOf({Bytes{0xAF, 0x13, 0x7F, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}})),
              "property list: an array runs past the object area");
    EXPECT_EQ(errorOf(plistOf({Bytes{0x13, 0x01}})), "property list: an integer runs past the object area");

    // Kinds that cannot stand where they do.
    EXPECT_EQ(errorOf(plistOf({Bytes{0xD1, 0x01, 0x01}, Bytes{0x10, 0x05}})),
              "property list: a dictionary key (object 1) is not a string");
    EXPECT_EQ(errorOf(plistOf({Bytes{0x15, 0, 0}})), "property list: object 0 is an integer of unsupported size");
    EXPECT_EQ(errorOf(plistOf({Bytes{0x21, 0, 0}})), "property list: object 0 is a real of unsupported size");
    EXPECT_EQ(errorOf(plistOf({concat({Bytes{0x14}, bigEndian(1, 8), bigEndian(0, 8)})})),
              "property list: object 0 is an integer beyond 64 bits");
    EXPECT_EQ(errorOf(plistOf({concat({Bytes{0x33}, Bytes(8, 0)})})),
              "property list: object 0 is a date, which is not supported");
    EXPECT_EQ(errorOf(plistOf({Bytes{0x51, 0xE9}})),
              "property list: object 0 is an ASCII string with a byte above 0x7F");
    EXPECT_EQ(errorOf(plistOf({Bytes{0x61, 0xD8, 0x3D}})),
              "property list: object 0 is a string with an unpaired surrogate");
    EXPECT_EQ(errorOf(plistOf({Bytes{0x62, 0xDE, 0x00, 0xD8, 0x3D}})),
              "property list: object 0 is a string with an unpaired surrogate");
    EXPECT_EQ(errorOf(plistOf({Bytes{0x0C}})), "property list: object 0 has the unknown marker 12");
    EXPECT_EQ(errorOf(plistOf({Bytes{0xA1, 0x01}, Bytes{0x5F, 0x23, 0, 0, 0, 0, 0, 0, 0, 0}})),
              "property list: a count is not a 1-, 2-, 4- or 8-byte integer");
}

TEST(PropertyList, RefusesCyclesDeepNestingAndExplosiveSharing)
{
    // An array that holds itself, directly and through another array.
    EXPECT_EQ(errorOf(plistOf({Bytes{0xA1, 0x00}})), "property list: object 0 contains itself");
    EXPECT_EQ(errorOf(plistOf({Bytes{0xA1, 0x01}, Bytes{0xD1, 0x02, 0x00}, Bytes{0x51, 'k'}})),
              "property list: object 0 contains itself");

    // A chain of arrays deeper than the limit (two-byte offsets and references).
    {
        const std::size_t depth = PropertyList::maxDepth + 1;
        Bytes out = header;
        Bytes table;
        for (std::size_t i = 0; i < depth; ++i) {
            const auto offset = bigEndian(out.size(), 2);
            table.insert(table.end(), offset.begin(), offset.end());
            if (i + 1 < depth) {
                const auto ref = bigEndian(i + 1, 2);
                out.insert(out.end(), {0xA1, ref[0], ref[1]});
            } else {
                out.push_back(0xA0);
            }
        }
        const std::uint64_t tableOffset = out.size();
        Bytes deep = concat({out, table, Bytes(6, 0), Bytes{2, 2}, bigEndian(depth, 8), bigEndian(0, 8),
                             bigEndian(tableOffset, 8)});
        EXPECT_EQ(errorOf(deep), "property list: nesting deeper than 512 levels");
        // One level less reads.
        auto shallower = deep;
        shallower[shallower.size() - 9] = 1;
        EXPECT_NO_THROW(PropertyList::read(shallower));
    }

    // Twelve levels of arrays, each holding the next one fourteen times: few bytes, 14^12 values.
    {
        std::vector<Bytes> objects;
        for (std::uint8_t i = 0; i < 12; ++i) {
            Bytes body{0xAE};
            body.insert(body.end(), 14, static_cast<std::uint8_t>(i + 1));
            objects.push_back(body);
        }
        objects.push_back(Bytes{0x10, 0x01});
        EXPECT_EQ(errorOf(plistOf(objects)), "property list: more than 4000000 values");
    }

    // A data object of 1 MiB referenced by a 15-wide, 4-deep tree of arrays: 50625 MiB.
    {
        std::vector<Bytes> objects;
        for (std::uint8_t i = 0; i < 4; ++i) {
            Bytes body{0xAE};
            body.insert(body.end(), 14, static_cast<std::uint8_t>(i + 1));
            objects.push_back(body);
        }
        objects.push_back(concat({Bytes{0x4F, 0x12}, bigEndian(1u << 20, 4), Bytes(1u << 20, 7)}));
        EXPECT_EQ(errorOf(plistOf(objects, 0, 4)), "property list: strings and data expand beyond 64 MiB");
    }
}

TEST(PropertyList, EveryTruncationAndSeededMutationFailsCleanly)
{
    const auto sample = KeyedValue::array({KeyedValue::object({
        {"UID", 7},
        {"parentUID", nullptr},
        {"title", "Sp\xC3\xA4t \xF0\x9F\x98\x80"},
        {"size", KeyedValue::array({98.0, 38.5})},
        {"image", Bytes{0x49, 0x49, 0x2A, 0x00, 0x10, 0x20}},
        {"children", KeyedValue::array({8, 9, std::int64_t{1} << 40, -3})},
        {"shape", KeyedValue::object({{"ellipse", KeyedValue::object()}})},
        {"userOverrides", std::numeric_limits<std::uint64_t>::max()},
        {"long", std::string(40, 'q')},
        {"autoSize", true},
    })});
    const auto valid = PropertyList::write(sample);
    ASSERT_EQ(PropertyList::read(valid), sample);

    for (std::size_t n = 0; n < valid.size(); ++n)
        EXPECT_THROW(PropertyList::read(Bytes(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(n))),
                     PropertyListError)
            << n;

    std::mt19937 random(20261207);
    int readBack = 0;
    for (int round = 0; round < 4000; ++round) {
        Bytes mutated = valid;
        const int edits = 1 + static_cast<int>(random() % 4);
        for (int e = 0; e < edits; ++e) {
            const std::size_t at = random() % mutated.size();
            switch (random() % 4) {
            case 0: mutated[at] = static_cast<std::uint8_t>(random()); break;
            case 1: mutated[at] ^= static_cast<std::uint8_t>(1u << (random() % 8)); break;
            case 2: mutated.erase(mutated.begin() + static_cast<std::ptrdiff_t>(at)); break;
            default: mutated.insert(mutated.begin() + static_cast<std::ptrdiff_t>(at), static_cast<std::uint8_t>(random()));
            }
            if (mutated.empty())
                mutated.push_back(0);
        }
        try {
            const auto value = PropertyList::read(mutated);
            // Whatever reads must write and read back the same.
            EXPECT_EQ(PropertyList::read(PropertyList::write(value)), value) << round;
            ++readBack;
        } catch (const PropertyListError&) {
        }
    }
    // Some mutations leave a readable list (a changed number or letter), so both paths ran.
    EXPECT_GT(readBack, 0);
}
