#include "model/style/ImagePosition.h"
#include "model/style/NodeShape.h"
#include "model/style/NodeStyle.h"
#include "model/style/StrokeStyle.h"
#include "model/style/StrokeThickness.h"
#include "platform/Log.h"

#include <gtest/gtest.h>

#include <string>
#include <unordered_set>
#include <vector>

using namespace velquine;

namespace {

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// An object whose members all hold empty objects.
KeyedValue keys(std::initializer_list<const char*> names)
{
    KeyedValue value = KeyedValue::object();
    for (const char* name : names)
        value.set(name, KeyedValue::object());
    return value;
}

template <class E>
void expectInvalidNumberOfKeys(const KeyedValue& value)
{
    try {
        decodeOneKey<E>(value);
        ADD_FAILURE() << "decoded " << value.size() << " keys";
    } catch (const DecodingError& error) {
        EXPECT_EQ(error.kind(), DecodingError::Kind::typeMismatch);
        EXPECT_STREQ(error.what(), "Invalid number of keys found, expected one.");
    }
}

} // namespace

TEST(StrokeThickness, SevenStepsFromZeroToSix)
{
    const std::vector<StrokeThickness> steps{StrokeThickness::invisible, StrokeThickness::thinnest,
                                             StrokeThickness::thin,      StrokeThickness::medium,
                                             StrokeThickness::thick,     StrokeThickness::thicker,
                                             StrokeThickness::thickest};
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(rawValue(steps[i]), static_cast<std::int64_t>(i));
        EXPECT_EQ(strokeThicknessFromRawValue(static_cast<std::int64_t>(i)), steps[i]);
    }
    EXPECT_EQ(strokeThicknessFromRawValue(0), StrokeThickness::invisible);
    EXPECT_EQ(strokeThicknessFromRawValue(7), std::nullopt);
    EXPECT_EQ(strokeThicknessFromRawValue(-1), std::nullopt);
    EXPECT_EQ(strokeThicknessFromRawValue(INT64_MIN), std::nullopt);
    EXPECT_EQ(strokeThicknessFromRawValue(INT64_MAX), std::nullopt);
}

TEST(StrokeStyle, RawValuesAreNotPositions)
{
    EXPECT_EQ(rawValue(StrokeStyle::solid), 0);
    EXPECT_EQ(rawValue(StrokeStyle::dashed), 10);
    EXPECT_EQ(rawValue(StrokeStyle::dashed2), 8);
    EXPECT_EQ(rawValue(StrokeStyle::dashed3), 6);
    EXPECT_EQ(rawValue(StrokeStyle::dotted), 2);

    EXPECT_EQ(strokeStyleFromRawValue(0), StrokeStyle::solid);
    EXPECT_EQ(strokeStyleFromRawValue(10), StrokeStyle::dashed);
    EXPECT_EQ(strokeStyleFromRawValue(8), StrokeStyle::dashed2);
    EXPECT_EQ(strokeStyleFromRawValue(6), StrokeStyle::dashed3);
    EXPECT_EQ(strokeStyleFromRawValue(2), StrokeStyle::dotted);
    for (std::int64_t raw : {1, 3, 4, 5, 7, 9, 11, -2, -10, 100})
        EXPECT_EQ(strokeStyleFromRawValue(raw), std::nullopt) << raw;

    // Declaration order is solid, dashed, dashed2, dashed3, dotted.
    const std::vector<StrokeStyle> order(allStrokeStyles.begin(), allStrokeStyles.end());
    EXPECT_EQ(order, (std::vector<StrokeStyle>{StrokeStyle::solid, StrokeStyle::dashed, StrokeStyle::dashed2,
                                               StrokeStyle::dashed3, StrokeStyle::dotted}));
}

TEST(StrokeStyle, TextNamesReadBackExactly)
{
    const std::vector<std::pair<std::string, StrokeStyle>> names{{"solid", StrokeStyle::solid},
                                                                 {"dashed", StrokeStyle::dashed},
                                                                 {"dashed2", StrokeStyle::dashed2},
                                                                 {"dashed3", StrokeStyle::dashed3},
                                                                 {"dotted", StrokeStyle::dotted}};
    for (const auto& [name, style] : names) {
        EXPECT_EQ(textName(style), name);
        EXPECT_EQ(strokeStyleFromString(name), style);
    }
}

TEST(StrokeStyle, UnknownTextFailsWithTheLogLine)
{
    for (std::string text : {"Dashed", "", " solid", "solid ", "dash", "0"}) {
        try {
            strokeStyleFromString(text);
            ADD_FAILURE() << "accepted '" << text << "'";
        } catch (const TextError& error) {
            const std::string line = error.what();
            EXPECT_TRUE(endsWith(line, " init(string:) - Can not create stroke style from: " + text)) << line;
            EXPECT_NE(line.find(": NodeStyle.cpp:"), std::string::npos) << line;
        }
    }
}

TEST(NodeShape, TextFormsAndTheirFallbacks)
{
    const std::vector<std::tuple<NodeShape, std::string, NodeShape>> table{
        {NodeShape::underline, "underline", NodeShape::underline},
        {NodeShape::rect, "rect", NodeShape::rect},
        {NodeShape::roundedRect, "roundedRect", NodeShape::roundedRect},
        {NodeShape::ellipse, "ellipse", NodeShape::ellipse},
        {NodeShape::cloud, "cloud", NodeShape::cloud},
        {NodeShape::embedded, "embedded", NodeShape::roundedRect},
        {NodeShape::pill, "pill", NodeShape::roundedRect},
        {NodeShape::hexagon, "hexagon", NodeShape::roundedRect},
        {NodeShape::octagon, "octagon", NodeShape::roundedRect},
        {NodeShape::triangle, "triangle", NodeShape::triangle},
        {NodeShape::diamond, "diamond", NodeShape::diamond},
    };
    for (std::size_t i = 0; i < table.size(); ++i) {
        const auto& [shape, text, readBack] = table[i];
        EXPECT_EQ(static_cast<std::size_t>(shape), i);
        EXPECT_EQ(stringValue(shape), text);
        EXPECT_EQ(nodeShapeFromString(text), readBack) << text;
    }
    for (const char* text : {"Rect", "", "ELLIPSE", " cloud", "diamond ", "circle"})
        EXPECT_EQ(nodeShapeFromString(text), NodeShape::roundedRect) << text;
}

TEST(NodeShape, OneKeyObjectKeepsEveryCase)
{
    EXPECT_EQ(encodeOneKey(NodeShape::ellipse), keys({"ellipse"}));
    EXPECT_EQ(encodeOneKey(NodeShape::pill), keys({"pill"}));
    EXPECT_EQ(encodeOneKey(NodeShape::ellipse).size(), 1u);
    for (std::size_t i = 0; i < CaseNames<NodeShape>::names.size(); ++i) {
        const auto shape = static_cast<NodeShape>(i);
        EXPECT_EQ(decodeOneKey<NodeShape>(encodeOneKey(shape)), shape);
        EXPECT_EQ(decodeOneKey<NodeShape>(keys({CaseNames<NodeShape>::names[i].data()})), shape);
    }
    // Other members, and members of the inner object, are ignored.
    KeyedValue extra = keys({"Rect"});
    extra.set("shape", 1);
    extra.set("hexagon", KeyedValue::object({{"x", 2}}));
    EXPECT_EQ(decodeOneKey<NodeShape>(extra), NodeShape::hexagon);
}

TEST(NodeShape, OneKeyObjectFailures)
{
    expectInvalidNumberOfKeys<NodeShape>(keys({}));
    expectInvalidNumberOfKeys<NodeShape>(keys({"rect", "pill"}));
    expectInvalidNumberOfKeys<NodeShape>(keys({"Rect", "PILL"}));
    // Not an object, or a case member that is not an object.
    EXPECT_THROW(decodeOneKey<NodeShape>(KeyedValue("rect")), DecodingError);
    EXPECT_THROW(decodeOneKey<NodeShape>(KeyedValue::object({{"rect", 1}})), DecodingError);
    EXPECT_THROW(decodeOneKey<NodeShape>(KeyedValue::object({{"rect", nullptr}})), DecodingError);
    EXPECT_THROW(decodeOneKey<NodeShape>(KeyedValue()), DecodingError);
}

TEST(ImagePosition, OneKeyObject)
{
    EXPECT_EQ(encodeOneKey(ImagePosition::trailing), keys({"trailing"}));
    EXPECT_EQ(caseName(ImagePosition::above), "above");
    EXPECT_EQ(caseName(ImagePosition::trailing), "trailing");
    EXPECT_EQ(caseName(ImagePosition::below), "below");
    EXPECT_EQ(caseName(ImagePosition::leading), "leading");
    EXPECT_EQ(decodeOneKey<ImagePosition>(keys({"leading"})), ImagePosition::leading);
    EXPECT_EQ(decodeOneKey<ImagePosition>(keys({"below", "left"})), ImagePosition::below);
    expectInvalidNumberOfKeys<ImagePosition>(keys({}));
    expectInvalidNumberOfKeys<ImagePosition>(keys({"above", "below"}));
    expectInvalidNumberOfKeys<ImagePosition>(keys({"Above"}));
}

TEST(UserOverride, SetAlgebraOnTheBits)
{
    using UO = NodeStyle::UserOverride;
    EXPECT_EQ(UO::fontSize.rawValue(), 1u);
    EXPECT_TRUE(UO().isEmpty());
    EXPECT_FALSE(UO::fontSize.isEmpty());

    const UO three(3);
    EXPECT_TRUE(three.contains(UO::fontSize));
    EXPECT_FALSE(UO(2).contains(UO::fontSize));
    EXPECT_EQ(three.subtracting(UO::fontSize).rawValue(), 2u);
    EXPECT_EQ(UO(5).unionWith(UO(6)).rawValue(), 7u);
    EXPECT_EQ(UO(5).intersection(UO(6)).rawValue(), 4u);
    EXPECT_EQ(UO(5).symmetricDifference(UO(6)).rawValue(), 3u);
    EXPECT_EQ((UO{UO::fontSize, UO(4)}).rawValue(), 5u);
    EXPECT_TRUE(UO(1).isSubset(UO(3)));
    EXPECT_FALSE(UO(3).isSubset(UO(1)));
    EXPECT_TRUE(UO(3).isSuperset(UO(1)));
    EXPECT_TRUE(UO(4).isDisjoint(UO(3)));
    EXPECT_FALSE(UO(5).isDisjoint(UO(1)));

    UO set(2);
    auto first = set.insert(UO::fontSize);
    EXPECT_TRUE(first.inserted);
    EXPECT_EQ(first.memberAfterInsert, UO::fontSize);
    EXPECT_EQ(set.rawValue(), 3u);
    auto again = set.insert(UO::fontSize);
    EXPECT_FALSE(again.inserted);
    EXPECT_EQ(again.memberAfterInsert, UO::fontSize);
    // Partly present: inserted, and the member is what was asked for.
    auto partly = set.insert(UO(5));
    EXPECT_TRUE(partly.inserted);
    EXPECT_EQ(set.rawValue(), 7u);

    EXPECT_EQ(set.remove(UO(9)), UO(1));
    EXPECT_EQ(set.rawValue(), 6u);
    EXPECT_EQ(set.remove(UO(1)), std::nullopt);
    EXPECT_EQ(set.update(UO(3)), UO(2));
    EXPECT_EQ(set.rawValue(), 7u);
    EXPECT_EQ(set.update(UO(8)), std::nullopt);
    EXPECT_EQ(set.rawValue(), 15u);

    UO formed(12);
    formed.formIntersection(UO(10));
    EXPECT_EQ(formed.rawValue(), 8u);
    formed.formSymmetricDifference(UO(9));
    EXPECT_EQ(formed.rawValue(), 1u);
    formed.formUnion(UO(UINT64_MAX));
    EXPECT_EQ(formed.rawValue(), UINT64_MAX);
    formed.subtract(UO::fontSize);
    EXPECT_EQ(formed.rawValue(), UINT64_MAX - 1);
}

TEST(NodeStyle, DefaultStyle)
{
    const NodeStyle style;
    EXPECT_EQ(style.borderWidth, StrokeThickness::medium);
    EXPECT_EQ(style.borderColor, Color::black());
    EXPECT_EQ(style.fillColor, Color::white());
    EXPECT_EQ(style.borderStyle, StrokeStyle::solid);
    EXPECT_EQ(style.branchColor, Color::black());
    EXPECT_EQ(style.branchStyle, StrokeStyle::solid);
    EXPECT_EQ(style.branchWidth, StrokeThickness::medium);
    EXPECT_EQ(style.textColor, Color::black());
    EXPECT_EQ(style.textAlignment, 1);
    EXPECT_EQ(style.font, Font::systemFont(32.0));
    EXPECT_EQ(style.font.pointSize(), 32.0);
    EXPECT_EQ(style.userOverrides.rawValue(), 0u);
    EXPECT_FALSE(style.isUnderlined);
    EXPECT_FALSE(style.isStrikeThrough);
    EXPECT_EQ(style.imagePosition, ImagePosition::trailing);
}

TEST(NodeStyle, EqualityComparesEveryField)
{
    const NodeStyle base;
    EXPECT_EQ(base, NodeStyle());
    std::vector<NodeStyle> changed(14, base);
    changed[0].borderWidth = StrokeThickness::thick;
    changed[1].borderColor = Color::calibratedRGB(0, 0, 0);  // black in another space
    changed[2].fillColor = Color::calibratedWhite(1.0, 0.999);
    changed[3].borderStyle = StrokeStyle::dotted;
    changed[4].branchColor = Color::red();
    changed[5].branchStyle = StrokeStyle::dashed3;
    changed[6].branchWidth = StrokeThickness::invisible;
    changed[7].textColor = Color::gray();
    changed[8].textAlignment = 4;
    changed[9].font = Font::systemFont(32.5);
    changed[10].userOverrides = NodeStyle::UserOverride(2);
    changed[11].isUnderlined = true;
    changed[12].isStrikeThrough = true;
    changed[13].imagePosition = ImagePosition::leading;
    for (std::size_t i = 0; i < changed.size(); ++i) {
        EXPECT_FALSE(changed[i] == base) << i;
        EXPECT_TRUE(changed[i] != base) << i;
        EXPECT_EQ(changed[i], changed[i]) << i;
    }
    NodeStyle face = base;
    face.font = Font("DejaVu Serif", 32.0);
    EXPECT_NE(face, base);
}

TEST(NodeStyle, FourteenKeysInDeclarationAndWriteOrder)
{
    const std::vector<std::string> declared(NodeStyle::codingKeys().begin(), NodeStyle::codingKeys().end());
    EXPECT_EQ(declared, (std::vector<std::string>{"borderWidth", "borderColor", "fillColor", "borderStyle",
                                                  "branchColor", "branchStyle", "branchWidth", "textColor",
                                                  "textAlignment", "font", "userOverrides", "isUnderlined",
                                                  "isStrikeThrough", "imagePosition"}));
    const std::vector<std::string> written(NodeStyle::writeOrder().begin(), NodeStyle::writeOrder().end());
    EXPECT_EQ(written, (std::vector<std::string>{"borderWidth", "borderColor", "borderStyle", "fillColor",
                                                 "branchColor", "branchStyle", "branchWidth", "textColor",
                                                 "textAlignment", "font", "isUnderlined", "isStrikeThrough",
                                                 "imagePosition", "userOverrides"}));
}
