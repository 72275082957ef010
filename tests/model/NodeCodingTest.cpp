#include "model/graph/Node.h"
#include "model/graph/NodeUID.h"
#include "model/style/DecodingError.h"
#include "platform/Base64.h"
#include "platform/Clock.h"
#include "platform/Json.h"
#include "platform/PropertyList.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QImage>

#include <functional>
#include <limits>

using namespace velquine;

namespace {

class NodeCoding : public ::testing::Test {
protected:
    void SetUp() override { resetNodeUIDCounterForTesting(0); }
    void TearDown() override { resetNodeUIDCounterForTesting(0); }
};

const std::vector<std::string> writeOrder{
    "UID",      "parentUID", "title",    "url",           "note",          "center",
    "size",     "style",     "image",    "children",      "shape",         "autoSize",
    "isFolded", "layoutOptions", "createdTimestamp", "modifiedTimestamp", "verticalAffinity", "horizontalAffinity"};

std::vector<std::string> without(std::vector<std::string> keys, const std::string& key)
{
    std::erase(keys, key);
    return keys;
}

Image solidImage(int pixelsWide, int pixelsHigh, Size points, QColor color = QColor(20, 120, 220))
{
    QImage bitmap(pixelsWide, pixelsHigh, QImage::Format_ARGB32);
    bitmap.fill(color);
    return Image(bitmap, points);
}

Node plainNode()
{
    const ScopedClock clock(1500.0);
    Node node(42, std::nullopt, NodeStyle());
    node.title = "Plain";
    node.center = {10, 20};
    node.size = {128, 48};
    return node;
}

Node richNode()
{
    NodeStyle style;
    style.fillColor = Color::calibratedRGB(0.25, 0.5, 0.75);
    style.font = Font::systemFont(14.5);
    style.isStrikeThrough = true;
    Node node(9000000000123, 9000000000001, style);
    node.childrenUIDs = {3, -1, 9000000000999};
    node.center = {-48.5, 0.1};
    node.size = {98.25, 38};
    node.autoSize = false;
    node.isFolded = true;
    node.horizontalAffinity = HorizontalAffinity::left;
    node.verticalAffinity = VerticalAffinity::above;
    node.title = "Title / with \"quotes\" and ünïcode";
    node.url = "https://example.org/x?y=1";
    node.note = "line 1\nline 2";
    node.shape = NodeShape::hexagon;
    node.layoutOptions = LayoutOptions{LayoutOptions::LayoutType::vertical, LayoutOptions::LayoutDirection::ascending,
                                       LayoutOptions::BranchType::angular, true};
    node.createdTimestamp = 1700000000.125;
    node.modifiedTimestamp = 1700000100.75;
    return node;
}

void expectSameFields(const Node& read, const Node& written)
{
    EXPECT_FALSE(read.differs(written));
    EXPECT_EQ(read.modifiedTimestamp, written.modifiedTimestamp);
}

DecodingError decodingError(const KeyedValue& value)
{
    try {
        Node::decode(value);
    } catch (const DecodingError& error) {
        return error;
    }
    ADD_FAILURE() << "read without a decoding error";
    return DecodingError(DecodingError::Kind::dataCorrupted, "");
}

KeyedValue edited(const Node& node, const std::function<void(KeyedValue&)>& edit)
{
    KeyedValue value = node.encode();
    edit(value);
    return value;
}

} // namespace

TEST_F(NodeCoding, KeysInWritingOrder)
{
    const KeyedValue plain = plainNode().encode();
    EXPECT_EQ(plain.asObject().keys(), without(writeOrder, "image"));
    EXPECT_TRUE(plain.at("parentUID").isNull());
    EXPECT_TRUE(plain.at("layoutOptions").isNull());
    EXPECT_EQ(plain.at("UID"), KeyedValue(42));
    EXPECT_EQ(plain.at("center"), KeyedValue::array({10.0, 20.0}));
    EXPECT_EQ(plain.at("size"), KeyedValue::array({128.0, 48.0}));
    EXPECT_EQ(plain.at("children"), KeyedValue::array());
    EXPECT_EQ(plain.at("shape"), KeyedValue::object({{"underline", KeyedValue::object()}}));
    EXPECT_EQ(plain.at("autoSize"), KeyedValue(true));
    EXPECT_EQ(plain.at("isFolded"), KeyedValue(false));
    EXPECT_EQ(plain.at("createdTimestamp"), KeyedValue(1500.0));
    EXPECT_EQ(plain.at("modifiedTimestamp"), KeyedValue(-1.0));
    EXPECT_EQ(plain.at("verticalAffinity"), KeyedValue::object({{"below", KeyedValue::object()}}));
    EXPECT_EQ(plain.at("horizontalAffinity"), KeyedValue::object({{"right", KeyedValue::object()}}));
    EXPECT_EQ(plain.at("style"), NodeStyle().encode());

    Node withImage = richNode();
    withImage.setImage(solidImage(20, 10, {20, 10}));
    withImage.childrenShouldInheritShape = true;
    const KeyedValue rich = withImage.encode();
    EXPECT_EQ(rich.asObject().keys(), writeOrder);
    EXPECT_TRUE(rich.at("image").isBytes());
    EXPECT_EQ(rich.at("parentUID"), KeyedValue(9000000000001));
    EXPECT_EQ(rich.at("children"), KeyedValue::array({3, -1, 9000000000999}));
    EXPECT_EQ(rich.at("layoutOptions"), withImage.layoutOptions->encode());
    EXPECT_EQ(rich.at("shape"), KeyedValue::object({{"hexagon", KeyedValue::object()}}));
    EXPECT_EQ(rich.at("verticalAffinity"), KeyedValue::object({{"above", KeyedValue::object()}}));
    EXPECT_EQ(rich.at("horizontalAffinity"), KeyedValue::object({{"left", KeyedValue::object()}}));
    EXPECT_FALSE(rich.contains("childrenShouldInheritShape"));
}

TEST_F(NodeCoding, JsonTextOfAPlainNode)
{
    const std::string text = Json::write(plainNode().encode());
    EXPECT_EQ(text.rfind(R"({"UID":42,"parentUID":null,"title":"Plain","url":"","note":"","center":[10,20],"size":[128,48],"style":{)", 0),
              0u)
        << text;
    EXPECT_NE(text.find(R"(,"children":[],"shape":{"underline":{}},"autoSize":true,"isFolded":false,"layoutOptions":null,"createdTimestamp":1500,"modifiedTimestamp":-1,"verticalAffinity":{"below":{}},"horizontalAffinity":{"right":{}}})"),
              std::string::npos)
        << text;
}

TEST_F(NodeCoding, RoundTripsThroughJsonAndPropertyLists)
{
    for (const Node& node : {plainNode(), richNode()}) {
        expectSameFields(Node::decode(node.encode()), node);
        expectSameFields(Node::decode(Json::read(Json::write(node.encode()))), node);
        expectSameFields(Node::decode(PropertyList::read(PropertyList::write(node.encode()))), node);
    }
    const Node read = Node::decode(plainNode().encode());
    EXPECT_FALSE(read.parentUID.has_value());
    EXPECT_FALSE(read.layoutOptions.has_value());
    EXPECT_EQ(read.modifiedTimestamp, -1.0);
}

TEST_F(NodeCoding, PropertyListOfANodeList)
{
    const std::vector<Node> nodes{plainNode(), richNode(), plainNode()};
    const Bytes data = Node::encodePropertyList(nodes);
    ASSERT_GE(data.size(), 8u);
    EXPECT_EQ(std::string(data.begin(), data.begin() + 8), "bplist00");

    // Absent values travel as the "$null" marker.
    const KeyedValue raw = PropertyList::read(data);
    ASSERT_TRUE(raw.isArray());
    ASSERT_EQ(raw.size(), 3u);

    const std::vector<Node> back = Node::decodePropertyList(data);
    ASSERT_EQ(back.size(), 3u);
    for (std::size_t i = 0; i < back.size(); ++i)
        expectSameFields(back[i], nodes[i]);
    EXPECT_FALSE(back[0].parentUID.has_value());
    EXPECT_EQ(back[1].parentUID, std::optional<std::int64_t>(9000000000001));

    EXPECT_TRUE(Node::decodePropertyList(Node::encodePropertyList({})).empty());

    // Not a list, or a list with something that is no node, fails as a whole.
    EXPECT_THROW(Node::decodePropertyList(PropertyList::write(plainNode().encode())), DecodingError);
    EXPECT_THROW(Node::decodePropertyList(PropertyList::write(KeyedValue::array({plainNode().encode(), 5}))),
                 DecodingError);
    EXPECT_THROW(Node::decodePropertyList(Bytes{'n', 'o', 't'}), PropertyListError);
}

TEST_F(NodeCoding, PropertyListNullMarkersReadAsAbsent)
{
    KeyedValue value = richNode().encode();
    value.set("parentUID", PropertyList::nullMarker);
    value.set("layoutOptions", PropertyList::nullMarker);
    const Bytes data = PropertyList::write(KeyedValue::array({value}));
    const std::vector<Node> nodes = Node::decodePropertyList(data);
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_FALSE(nodes[0].parentUID.has_value());
    EXPECT_FALSE(nodes[0].layoutOptions.has_value());
}

TEST_F(NodeCoding, ChildrenShouldInheritShapeIsNotKept)
{
    Node node = richNode();
    node.childrenShouldInheritShape = true;
    const Node back = Node::decode(node.encode());
    EXPECT_FALSE(back.childrenShouldInheritShape);
    EXPECT_TRUE(back.differs(node));
    node.childrenShouldInheritShape = false;
    EXPECT_FALSE(back.differs(node));
}

TEST_F(NodeCoding, OptionalKeysTakeTheirFallbacks)
{
    KeyedValue value = richNode().encode();
    const ScopedClock clock(1234567.5);
    for (const char* key : {"parentUID", "isFolded", "layoutOptions", "createdTimestamp", "modifiedTimestamp", "image"})
        value.asObject().remove(key);
    const Node read = Node::decode(value);
    EXPECT_FALSE(read.parentUID.has_value());
    EXPECT_FALSE(read.isFolded);
    EXPECT_FALSE(read.layoutOptions.has_value());
    EXPECT_EQ(read.createdTimestamp, 1234567.5);
    EXPECT_EQ(read.modifiedTimestamp, 1234567.5);
    EXPECT_FALSE(read.image().has_value());

    // Nulls read like missing keys.
    for (const char* key : {"parentUID", "isFolded", "layoutOptions", "createdTimestamp", "modifiedTimestamp", "image"})
        value.set(key, nullptr);
    const Node nulls = Node::decode(value);
    EXPECT_FALSE(nulls.parentUID.has_value());
    EXPECT_FALSE(nulls.isFolded);
    EXPECT_FALSE(nulls.layoutOptions.has_value());
    EXPECT_EQ(nulls.createdTimestamp, 1234567.5);
    EXPECT_EQ(nulls.modifiedTimestamp, 1234567.5);
}

TEST_F(NodeCoding, EachTimestampIsFilledInWhenItIsRead)
{
    KeyedValue value = plainNode().encode();
    value.asObject().remove("createdTimestamp");
    value.asObject().remove("modifiedTimestamp");
    KeyedValue half = plainNode().encode();
    half.asObject().remove("modifiedTimestamp");

    double now = 100.0;
    const ScopedClock clock([&now] { return now += 1.0; });
    const Node read = Node::decode(value);
    EXPECT_GT(read.modifiedTimestamp, read.createdTimestamp);
    EXPECT_GT(read.createdTimestamp, 100.0);
    EXPECT_LE(read.modifiedTimestamp, now);

    // One present, one missing: the present one is kept.
    const Node partly = Node::decode(half);
    EXPECT_EQ(partly.createdTimestamp, 1500.0);
    EXPECT_GT(partly.modifiedTimestamp, read.modifiedTimestamp);
    EXPECT_LE(partly.modifiedTimestamp, now);
}

TEST_F(NodeCoding, RequiredKeys)
{
    const Node node = richNode();
    for (const char* key : {"UID", "title", "url", "note", "center", "size", "style", "children", "shape", "autoSize",
                            "verticalAffinity", "horizontalAffinity"}) {
        const DecodingError missing = decodingError(edited(node, [&](KeyedValue& v) { v.asObject().remove(key); }));
        EXPECT_EQ(missing.kind(), DecodingError::Kind::keyNotFound) << key;
        EXPECT_NE(std::string(missing.what()).find(std::string("\"") + key + "\""), std::string::npos)
            << missing.what();
        EXPECT_EQ(decodingError(edited(node, [&](KeyedValue& v) { v.set(key, nullptr); })).kind(),
                  DecodingError::Kind::valueNotFound)
            << key;
    }
}

TEST_F(NodeCoding, ValuesOfTheWrongKind)
{
    const Node node = richNode();
    const std::vector<std::pair<const char*, KeyedValue>> wrong{
        {"UID", "42"},
        {"UID", 1.5},
        {"parentUID", "7"},
        {"title", 5},
        {"url", KeyedValue::array()},
        {"note", true},
        {"center", "0,0"},
        {"center", KeyedValue::array({"1", 2})},
        {"size", KeyedValue::object()},
        {"style", KeyedValue::array()},
        {"image", 12},
        {"children", KeyedValue::array({1, "2"})},
        {"children", 3},
        {"shape", "ellipse"},
        {"autoSize", 1},
        {"isFolded", "false"},
        {"layoutOptions", true},
        {"createdTimestamp", "now"},
        {"modifiedTimestamp", KeyedValue::array()},
        {"verticalAffinity", "above"},
        {"horizontalAffinity", KeyedValue::array()},
    };
    for (const auto& [key, bad] : wrong) {
        const DecodingError error = decodingError(edited(node, [&](KeyedValue& v) { v.set(key, bad); }));
        EXPECT_TRUE(error.kind() == DecodingError::Kind::typeMismatch || error.kind() == DecodingError::Kind::dataCorrupted)
            << key << ": " << error.what();
    }
    EXPECT_EQ(decodingError(edited(node, [](KeyedValue& v) { v.set("UID", "42"); })).kind(),
              DecodingError::Kind::typeMismatch);
    EXPECT_EQ(decodingError(edited(node, [](KeyedValue& v) { v.set("center", KeyedValue::array({1.0})); })).kind(),
              DecodingError::Kind::valueNotFound);
    EXPECT_EQ(decodingError(KeyedValue::array()).kind(), DecodingError::Kind::typeMismatch);
    EXPECT_EQ(decodingError(KeyedValue()).kind(), DecodingError::Kind::valueNotFound);
    // A bad layout options object fails the node.
    EXPECT_EQ(decodingError(edited(node, [](KeyedValue& v) { v.at("layoutOptions").asObject().remove("isManual"); }))
                  .kind(),
              DecodingError::Kind::keyNotFound);
}

TEST_F(NodeCoding, UnknownKeysAndOtherOrdersAreAccepted)
{
    const Node node = richNode();
    KeyedValue reordered = KeyedValue::object();
    const KeyedValue original = node.encode();
    const auto& entries = original.asObject().entries();
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        reordered.set(it->key, it->value);
    reordered.set("childrenShouldInheritShape", true);
    reordered.set("somethingElse", KeyedValue::array({1, 2}));
    reordered.set("uid", 5);
    expectSameFields(Node::decode(reordered), node);
}

TEST_F(NodeCoding, AffinityObjects)
{
    const Node node = richNode();
    auto withAffinity = [&](const KeyedValue& horizontal) {
        return edited(node, [&](KeyedValue& v) { v.set("horizontalAffinity", horizontal); });
    };
    EXPECT_EQ(Node::decode(withAffinity(KeyedValue::object({{"left", KeyedValue::object()}}))).horizontalAffinity,
              HorizontalAffinity::left);
    EXPECT_EQ(Node::decode(withAffinity(KeyedValue::object({{"right", KeyedValue::object()}}))).horizontalAffinity,
              HorizontalAffinity::right);
    EXPECT_EQ(Node::decode(withAffinity(KeyedValue::object({{"left", KeyedValue::object({{"x", 1}})},
                                                            {"unrelated", KeyedValue::object()}})))
                  .horizontalAffinity,
              HorizontalAffinity::left);
    for (const KeyedValue& bad :
         {KeyedValue::object({{"left", KeyedValue::object()}, {"right", KeyedValue::object()}}), KeyedValue::object(),
          KeyedValue::object({{"Left", KeyedValue::object()}}), KeyedValue::object({{"above", KeyedValue::object()}})}) {
        const DecodingError error = decodingError(withAffinity(bad));
        EXPECT_EQ(error.kind(), DecodingError::Kind::typeMismatch);
        EXPECT_STREQ(error.what(), "Invalid number of keys found, expected one.");
    }

    for (VerticalAffinity v : {VerticalAffinity::above, VerticalAffinity::below}) {
        EXPECT_EQ(decodeOneKey<VerticalAffinity>(encodeOneKey(v)), v);
        EXPECT_EQ(encodeOneKey(v).asObject().keys(), std::vector<std::string>{std::string(caseName(v))});
    }
    EXPECT_EQ(Json::write(encodeOneKey(VerticalAffinity::above)), R"({"above":{}})");
    EXPECT_EQ(Json::write(encodeOneKey(HorizontalAffinity::right)), R"({"right":{}})");
    try {
        decodeOneKey<VerticalAffinity>(KeyedValue::object({{"above", KeyedValue::object()}, {"below", KeyedValue::object()}}));
        ADD_FAILURE();
    } catch (const DecodingError& error) {
        EXPECT_STREQ(error.what(), "Invalid number of keys found, expected one.");
    }
}

TEST_F(NodeCoding, HorizontalAffinityIsReadBeforeVertical)
{
    KeyedValue value = richNode().encode();
    value.set("verticalAffinity", KeyedValue::object());
    value.set("horizontalAffinity", "wrong kind");
    const DecodingError error = decodingError(value);
    EXPECT_EQ(error.kind(), DecodingError::Kind::typeMismatch);
    EXPECT_STRNE(error.what(), "Invalid number of keys found, expected one.");
}

TEST_F(NodeCoding, ImagesTravelAsTiffAndComeBackAsTheirBytes)
{
    Node node = plainNode();
    node.setImage(solidImage(64, 32, {64, 32}, QColor(250, 10, 10)));
    const KeyedValue value = node.encode();
    const Bytes& tiff = value.at("image").asBytes();
    ASSERT_GE(tiff.size(), 4u);
    EXPECT_TRUE((tiff[0] == 'I' && tiff[1] == 'I') || (tiff[0] == 'M' && tiff[1] == 'M'));

    // Read back, the picture is its bytes until the picture reader has read them.
    for (const Node& back : {Node::decode(value), Node::decode(Json::read(Json::write(value)))}) {
        ASSERT_TRUE(back.keptPictureBytes());
        EXPECT_EQ(*back.keptPictureBytes(), tiff);
        EXPECT_FALSE(back.image());
        const std::optional<Image> read = Image::fromData(*back.keptPictureBytes());
        ASSERT_TRUE(read);
        EXPECT_EQ(read->size(), (Size{64, 32}));
        EXPECT_EQ(QColor(read->bitmap().pixel(10, 10)), QColor(250, 10, 10));
    }
    // A large image stored without fitting (a foreign writer) is fitted when read.
    EXPECT_EQ(Image::fromData(*solidImage(40, 20, {2048, 1024}).tiffData())->size(), (Size{1024, 512}));

    // Bytes that make no image are no error, and travel on as they came; none at all are no picture.
    for (const Bytes& junk : {Bytes{1, 2, 3, 4, 5}, Base64::decode(Base64::encode(std::string_view("not an image")))}) {
        KeyedValue bad = value;
        bad.set("image", junk);
        const Node read = Node::decode(bad);
        EXPECT_EQ(read.title, "Plain");
        ASSERT_TRUE(read.keptPictureBytes());
        EXPECT_EQ(Node::decode(read.encode()).encode().at("image").asBytes(), junk);
    }
    KeyedValue empty = value;
    empty.set("image", KeyedValue(Bytes{}));
    EXPECT_FALSE(Node::decode(empty).picture());
    // Text that is not Base64 is no data at all.
    KeyedValue notBase64 = value;
    notBase64.set("image", "*** not base64 ***");
    EXPECT_EQ(decodingError(notBase64).kind(), DecodingError::Kind::dataCorrupted);
}

TEST_F(NodeCoding, ReadingLeavesTheCounterAlone)
{
    Node node = richNode();
    resetNodeUIDCounterForTesting(5);
    const Node read = Node::decode(node.encode());
    EXPECT_EQ(read.uid, 9000000000123);
    EXPECT_EQ(read.parentUID, std::optional<std::int64_t>(9000000000001));
    EXPECT_EQ(nodeUIDCounter(), 5);
    Node::decodePropertyList(Node::encodePropertyList({node}));
    EXPECT_EQ(nodeUIDCounter(), 5);
    EXPECT_EQ(nextNodeUID(), 6);

    KeyedValue extreme = node.encode();
    extreme.set("UID", std::numeric_limits<std::int64_t>::max());
    extreme.set("parentUID", std::numeric_limits<std::int64_t>::min());
    const Node far = Node::decode(extreme);
    EXPECT_EQ(far.uid, std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(far.parentUID, std::optional<std::int64_t>(std::numeric_limits<std::int64_t>::min()));
    EXPECT_EQ(nodeUIDCounter(), 6);

    // Not even a counter below every identifier moves.
    resetNodeUIDCounterForTesting(-5);
    extreme.set("UID", -3);
    extreme.set("parentUID", -2);
    EXPECT_EQ(Node::decode(extreme).uid, -3);
    EXPECT_EQ(nodeUIDCounter(), -5);
}

TEST_F(NodeCoding, IdentifiersBeyondTheSignedRangeAreRejected)
{
    KeyedValue value = plainNode().encode();
    value.set("UID", std::numeric_limits<std::uint64_t>::max());
    EXPECT_EQ(decodingError(value).kind(), DecodingError::Kind::dataCorrupted);
    value = plainNode().encode();
    value.set("children", KeyedValue::array({1, std::numeric_limits<std::uint64_t>::max()}));
    EXPECT_EQ(decodingError(value).kind(), DecodingError::Kind::dataCorrupted);
}
