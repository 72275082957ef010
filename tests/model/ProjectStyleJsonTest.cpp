#include "model/style/ColorOperations.h"
#include "model/style/DecodingError.h"
#include "model/style/ProjectStyle.h"
#include "model/style/StyleJson.h"
#include "platform/Json.h"
#include "platform/Log.h"

#include "StyleTestSupport.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using namespace velquine;
using styletest::endsWith;
using styletest::thrownText;

namespace {

ProjectStyleValues sampleValues()
{
    ProjectStyleValues values;
    values.backgroundColor = Color::sRGB(0.983238, 0.978266, 0.972131);
    values.rootNodeStyle.fillColor = Color::literal(0.8f, 0.847f, 1.0f);
    values.rootNodeStyle.font = Font("Not An Installed Face", 20.0);
    values.mainNodeStyle.borderColor = Color::orange();
    values.mainNodeStyle.fillColor = Color::systemPink();
    values.mainNodeStyle.borderWidth = StrokeThickness::thick;
    values.subNodeStyle.branchStyle = StrokeStyle::dashed3;
    values.subNodeStyle.textColor = Color::calibratedWhite(0.25, 0.5);
    values.dynamicMainNodeColors = true;
    values.rootNodeShape = NodeShape::ellipse;
    values.mainNodeShape = NodeShape::rect;
    values.subNodeShape = NodeShape::underline;
    values.palette = {PaletteEntry::fromRGB(0xFFCCC1, 0xFF2600), {Color::white(), Color::calibratedHSB(0.1, 0.2, 0.3)},
                      {Color::sRGB(1.0 / 3.0, 0.1, 1e-17), Color::black()}};
    return values;
}

ProjectStyle sampleStyle()
{
    ProjectStyleValues defaults = sampleValues();
    defaults.backgroundColor = Color::gray();
    defaults.palette.pop_back();
    defaults.dynamicMainNodeColors = false;
    return ProjectStyle{"Sample / Style \"1\"", sampleValues(), defaults};
}

// The style text with one member of a values text (or of the style text when values is false) changed.
std::string editedStyleText(const std::function<void(KeyedValue&)>& edit, bool values = true)
{
    KeyedValue style = Json::read(sampleStyle().jsonValue());
    if (!values) {
        edit(style);
        return Json::write(style);
    }
    KeyedValue current = Json::read(style.at("current").asString());
    edit(current);
    style.set("current", Json::write(current));
    return Json::write(style);
}

std::string styleReadFailure(const std::string& text)
{
    return thrownText<TextError>([&] { ProjectStyle::fromJsonString(text); });
}

} // namespace

TEST(ProjectStyleJson, RoundTripsEveryField)
{
    const ProjectStyle style = sampleStyle();
    const ProjectStyle back = ProjectStyle::fromJsonString(style.jsonValue());
    EXPECT_EQ(back.name, style.name);
    EXPECT_EQ(back.current, style.current);
    EXPECT_EQ(back.defaults, style.defaults);
    EXPECT_EQ(back.current.palette, style.current.palette);
    EXPECT_EQ(back.current.rootNodeStyle.font.fontName(), "Not An Installed Face");
    EXPECT_TRUE(back.current.dynamicMainNodeColors);
    EXPECT_FALSE(back.defaults.dynamicMainNodeColors);
    EXPECT_EQ(back.current.rootNodeShape, NodeShape::ellipse);
    // Writing what was read gives the same text.
    EXPECT_EQ(back.jsonValue(), style.jsonValue());
}

TEST(ProjectStyleJson, TopLevelHasNameAndTwoValuesTexts)
{
    const KeyedValue top = Json::read(sampleStyle().jsonValue());
    ASSERT_TRUE(top.isObject());
    EXPECT_EQ(top.asObject().keys(), (std::vector<std::string>{"name", "current", "defaults"}));
    EXPECT_EQ(top.at("name").asString(), "Sample / Style \"1\"");

    const KeyedValue values = Json::read(top.at("current").asString());
    std::vector<std::string> keys = values.asObject().keys();
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (std::vector<std::string>{"backgroundColor", "dynamicMainNodeColors", "mainNodeShape",
                                              "mainNodeStyle", "palette", "rootNodeShape", "rootNodeStyle",
                                              "subNodeShape", "subNodeStyle"}));
    EXPECT_TRUE(values.at("dynamicMainNodeColors").isBool());
    EXPECT_EQ(values.at("rootNodeShape").asString(), "ellipse");
    EXPECT_EQ(values.at("mainNodeShape").asString(), "rect");
    EXPECT_EQ(values.at("subNodeShape").asString(), "underline");
    EXPECT_EQ(values.at("backgroundColor").asString(), jsonString(Color::sRGB(0.983238, 0.978266, 0.972131)));
    EXPECT_EQ(values.at("rootNodeStyle").asString(), sampleValues().rootNodeStyle.jsonValue());

    const KeyedValue palette = Json::read(values.at("palette").asString());
    ASSERT_TRUE(palette.isArray());
    ASSERT_EQ(palette.size(), 3u);
    const KeyedValue entry = Json::read(palette.element(0).asString());
    EXPECT_EQ(entry.asObject().size(), 2u);
    EXPECT_EQ(entry.at("fillColor").asString(), jsonString(colorFromRGB(0xFFCCC1)));
    EXPECT_EQ(entry.at("strokeColor").asString(), jsonString(colorFromRGB(0xFF2600)));
}

TEST(ProjectStyleJson, EachLevelEscapesTheOneBelowOnceMore)
{
    ProjectStyle style = sampleStyle();
    style.current.palette = {{Color::white(), Color::white()}};
    const std::string text = style.jsonValue();
    // A colour text's quotation mark: 1 backslash in the entry text, 3 in the palette text, 7 in the values
    // text, 15 in the style text.
    const std::string fifteen(15, '\\');
    EXPECT_NE(text.find(fifteen + "\"colorSpaceName" + fifteen + "\":" + fifteen + "\"kCGColorSpaceGenericGrayGamma2_2"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find(std::string(16, '\\')), std::string::npos);
    // The background colour's quotation mark: 1 in the values text, 3 in the style text.
    EXPECT_NE(text.find("\\\"backgroundColor\\\":\\\"{\\\\\\\"colorSpaceName\\\\\\\":\\\\\\\"kCGColorSpaceSRGB"),
              std::string::npos)
        << text;

    const std::string values = style.current.jsonValue();
    EXPECT_NE(values.find(std::string(7, '\\') + "\"comps" + std::string(7, '\\') + "\":[1,1]"), std::string::npos)
        << values;
    EXPECT_EQ(values.find(std::string(8, '\\')), std::string::npos);
    // The slash of the name is written "\/".
    EXPECT_NE(text.find("\"name\":\"Sample \\/ Style \\\"1\\\"\""), std::string::npos) << text;
}

TEST(ProjectStyleJson, EmptyPaletteIsTheEmptyArray)
{
    ProjectStyle style = sampleStyle();
    style.current.palette.clear();
    style.defaults.palette.clear();
    const KeyedValue values = Json::read(style.current.jsonValue());
    EXPECT_EQ(values.at("palette").asString(), "[]");
    const ProjectStyle back = ProjectStyle::fromJsonString(style.jsonValue());
    EXPECT_TRUE(back.current.palette.empty());
    EXPECT_TRUE(back.defaults.palette.empty());
    EXPECT_FALSE(back.current.paletteEntry(0).has_value());
    EXPECT_FALSE(back.current.paletteEntry(7).has_value());
}

TEST(ProjectStyleJson, PaletteEntryIsCountedRoundThePalette)
{
    const ProjectStyleValues values = sampleValues();
    ASSERT_EQ(values.palette.size(), 3u);
    EXPECT_EQ(values.paletteEntry(0), values.palette[0]);
    EXPECT_EQ(values.paletteEntry(4), values.palette[1]);
    EXPECT_EQ(values.paletteEntry(5), values.palette[2]);
}

TEST(ProjectStyleJson, ReadsAnyMemberOrder)
{
    KeyedValue top = Json::read(sampleStyle().jsonValue());
    KeyedObject reversed;
    for (const char* key : {"defaults", "current", "name"})
        reversed.set(key, top.at(key));
    KeyedValue current = Json::read(top.at("current").asString());
    KeyedObject shuffled;
    for (const char* key : {"palette", "subNodeShape", "dynamicMainNodeColors", "backgroundColor", "mainNodeStyle",
                            "rootNodeShape", "subNodeStyle", "mainNodeShape", "rootNodeStyle"})
        shuffled.set(key, current.at(key));
    reversed.set("current", Json::write(KeyedValue(shuffled)));
    const ProjectStyle back = ProjectStyle::fromJsonString("\n  " + Json::write(KeyedValue(reversed)) + "  \n");
    EXPECT_EQ(back, sampleStyle());
}

TEST(ProjectStyleJson, ShapesReadBackThroughTheirTextReader)
{
    ProjectStyle style = sampleStyle();
    style.current.rootNodeShape = NodeShape::pill;
    style.current.mainNodeShape = NodeShape::hexagon;
    style.current.subNodeShape = NodeShape::diamond;
    const ProjectStyle back = ProjectStyle::fromJsonString(style.jsonValue());
    EXPECT_EQ(back.current.rootNodeShape, NodeShape::roundedRect);
    EXPECT_EQ(back.current.mainNodeShape, NodeShape::roundedRect);
    EXPECT_EQ(back.current.subNodeShape, NodeShape::diamond);

    const ProjectStyle unknown = ProjectStyle::fromJsonString(
        editedStyleText([](KeyedValue& values) { values.set("rootNodeShape", "blob"); }));
    EXPECT_EQ(unknown.current.rootNodeShape, NodeShape::roundedRect);
}

TEST(ProjectStyleJson, DynamicMainNodeColorsFallsBackToFalse)
{
    const ProjectStyle missing = ProjectStyle::fromJsonString(
        editedStyleText([](KeyedValue& values) { values.asObject().remove("dynamicMainNodeColors"); }));
    EXPECT_FALSE(missing.current.dynamicMainNodeColors);
    EXPECT_EQ(missing.current.palette, sampleValues().palette);

    for (const KeyedValue& notBool : {KeyedValue(1), KeyedValue("true"), KeyedValue(nullptr)}) {
        const ProjectStyle read = ProjectStyle::fromJsonString(
            editedStyleText([&](KeyedValue& values) { values.set("dynamicMainNodeColors", notBool); }));
        EXPECT_FALSE(read.current.dynamicMainNodeColors) << Json::write(notBool);
    }
}

TEST(ProjectStyleJson, EveryOtherValuesMemberIsRequired)
{
    for (const char* key : {"backgroundColor", "rootNodeStyle", "mainNodeStyle", "subNodeStyle", "rootNodeShape",
                            "mainNodeShape", "subNodeShape", "palette"}) {
        const std::string missing = styleReadFailure(
            editedStyleText([&](KeyedValue& values) { values.asObject().remove(key); }));
        EXPECT_TRUE(endsWith(missing, std::string(" getString(_:) - Can not get key '") + key + "' from JSON"))
            << missing;
        // A member of another JSON type fails the same way.
        const std::string mistyped = styleReadFailure(
            editedStyleText([&](KeyedValue& values) { values.set(key, KeyedValue::array()); }));
        EXPECT_TRUE(endsWith(mistyped, std::string(" getString(_:) - Can not get key '") + key + "' from JSON"))
            << mistyped;
    }
}

TEST(ProjectStyleJson, StyleMembersAreRequired)
{
    for (const char* key : {"name", "current", "defaults"}) {
        const std::string line = styleReadFailure(
            editedStyleText([&](KeyedValue& style) { style.asObject().remove(key); }, false));
        EXPECT_TRUE(endsWith(line, std::string(" getString(_:) - Can not get key '") + key + "' from JSON")) << line;
    }
    const std::string numericName =
        styleReadFailure(editedStyleText([](KeyedValue& style) { style.set("name", 5); }, false));
    EXPECT_TRUE(endsWith(numericName, " getString(_:) - Can not get key 'name' from JSON")) << numericName;
}

TEST(ProjectStyleJson, TheFirstFailureIsReported)
{
    // Values are read background, styles, shapes, flag, palette: a broken background hides a missing palette.
    const std::string line = styleReadFailure(editedStyleText([](KeyedValue& values) {
        values.asObject().remove("palette");
        values.set("backgroundColor", "{\"colorSpaceName\":\"kCGColorSpaceNothing\",\"comps\":[1,1]}");
    }));
    EXPECT_TRUE(endsWith(line, " init(jsonString:) - Can not create CGColorSpace with name kCGColorSpaceNothing"))
        << line;
    // Both values texts broken: "current" is read first.
    const std::string both = styleReadFailure(editedStyleText(
        [](KeyedValue& style) {
            KeyedValue current = Json::read(style.at("current").asString());
            current.asObject().remove("subNodeShape");
            style.set("current", Json::write(current));
            KeyedValue defaults = Json::read(style.at("defaults").asString());
            defaults.asObject().remove("rootNodeShape");
            style.set("defaults", Json::write(defaults));
        },
        false));
    EXPECT_TRUE(endsWith(both, "Can not get key 'subNodeShape' from JSON")) << both;
}

TEST(ProjectStyleJson, BadNestedTextsFail)
{
    EXPECT_THROW(ProjectStyle::fromJsonString("{\"name\": "), JsonError);
    EXPECT_THROW(ProjectStyle::fromJsonString(editedStyleText([](KeyedValue& s) { s.set("current", "{"); }, false)),
                 JsonError);
    EXPECT_NE(styleReadFailure("[\"name\"]").find("JSON text is not an object"), std::string::npos);
    EXPECT_NE(styleReadFailure(editedStyleText([](KeyedValue& s) { s.set("defaults", "7"); }, false))
                  .find("JSON text is not an object"),
              std::string::npos);

    // A node style text that is not a node style: the node style reader's error.
    EXPECT_THROW(ProjectStyle::fromJsonString(
                     editedStyleText([](KeyedValue& values) { values.set("mainNodeStyle", "{}"); })),
                 DecodingError);

    // Palette texts that are not an array of strings.
    for (const char* palette : {"{}", "[1]", "[\"x\", 2]", "\"[]\""}) {
        const std::string line =
            styleReadFailure(editedStyleText([&](KeyedValue& values) { values.set("palette", palette); }));
        EXPECT_NE(line.find("The palette is not an array of strings"), std::string::npos) << palette << "\n" << line;
    }
    EXPECT_THROW(ProjectStyle::fromJsonString(
                     editedStyleText([](KeyedValue& values) { values.set("palette", "[\"x\"]"); })),
                 JsonError);
    // Entries miss a colour: the fill is looked up first.
    const std::string noStroke = styleReadFailure(editedStyleText([](KeyedValue& values) {
        values.set("palette", "[\"{\\\"fillColor\\\":1}\"]");
    }));
    EXPECT_TRUE(endsWith(noStroke, "Can not get key 'fillColor' from JSON")) << noStroke;
    const std::string noFill = styleReadFailure(editedStyleText([](KeyedValue& values) {
        KeyedObject entry;
        entry.set("fillColor", jsonString(Color::white()));
        values.set("palette", Json::write(KeyedValue::array({Json::write(KeyedValue(entry))})));
    }));
    EXPECT_TRUE(endsWith(noFill, "Can not get key 'strokeColor' from JSON")) << noFill;
}

TEST(ProjectStyleJson, PaletteColorsKeepTheirComponentCountRule)
{
    const std::string line = styleReadFailure(editedStyleText([](KeyedValue& values) {
        KeyedObject entry;
        entry.set("fillColor", jsonString(Color::white()));
        entry.set("strokeColor", "{\"colorSpaceName\":\"kCGColorSpaceSRGB\",\"comps\":[1,0]}");
        values.set("palette", Json::write(KeyedValue::array({Json::write(KeyedValue(entry))})));
    }));
    EXPECT_TRUE(endsWith(line, "Can not create color with 2 'comps' in color space kCGColorSpaceSRGB, expected 4"))
        << line;
}

TEST(StyleJson, MemberLookups)
{
    const KeyedValue object = Json::read("{\"s\":\"text\",\"b\":true,\"n\":1}");
    EXPECT_EQ(getString("s", object), "text");
    EXPECT_TRUE(getBool("b", object));
    EXPECT_TRUE(endsWith(thrownText<TextError>([&] { getString("b", object); }),
                         " getString(_:) - Can not get key 'b' from JSON"));
    EXPECT_TRUE(endsWith(thrownText<TextError>([&] { getBool("n", object); }),
                         " getBool(_:) - Can not get key 'n' from JSON"));
    EXPECT_TRUE(endsWith(thrownText<TextError>([&] { getBool("absent", object); }),
                         " getBool(_:) - Can not get key 'absent' from JSON"));
    EXPECT_EQ(JSONFromDict(KeyedObject{{"a", "x/y"}, {"b", false}}), "{\"a\":\"x\\/y\",\"b\":false}");
}
