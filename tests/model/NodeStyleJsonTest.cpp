#include "model/style/DecodingError.h"
#include "model/style/NodeStyle.h"
#include "platform/Base64.h"
#include "platform/Json.h"
#include "platform/KeyedArchive.h"
#include "platform/Log.h"
#include "platform/PropertyList.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

using namespace velquine;

namespace {

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A style with no field at its default value.
NodeStyle unusualStyle()
{
    NodeStyle style;
    style.borderWidth = StrokeThickness::thickest;
    style.borderColor = Color::literal(0.314f, 0.2f, 0.9f, 0.5f);
    style.fillColor = Color::calibratedRGB(1.0 / 3.0, 0.1, 1e-17, 1.0);
    style.borderStyle = StrokeStyle::dashed2;
    style.branchColor = Color::systemPink();
    style.branchStyle = StrokeStyle::dotted;
    style.branchWidth = StrokeThickness::invisible;
    style.textColor = Color::calibratedWhite(0.25, 0.75);
    style.textAlignment = 3;
    style.font = Font("A Face That Is Not Installed", 13.5);
    style.userOverrides = NodeStyle::UserOverride(5);
    style.isUnderlined = true;
    style.isStrikeThrough = true;
    style.imagePosition = ImagePosition::leading;
    return style;
}

// The default style's JSON text with one change made to its members.
std::string editedText(const std::function<void(KeyedValue&)>& edit)
{
    KeyedValue value = Json::read(NodeStyle().jsonValue());
    edit(value);
    return Json::write(value);
}

DecodingError::Kind decodingErrorKind(const std::string& text)
{
    try {
        NodeStyle::fromJsonString(text);
    } catch (const DecodingError& error) {
        return error.kind();
    }
    ADD_FAILURE() << "read without a decoding error: " << text;
    return DecodingError::Kind::dataCorrupted;
}

// A grey whose archive has a "/" in its Base64 text.
Color colorWithSlashInArchive()
{
    for (int i = 0; i < 10000; ++i) {
        const Color candidate = Color::calibratedWhite(i / 10000.0);
        if (Base64::encode(KeyedArchive::archivedData(candidate)).find('/') != std::string::npos)
            return candidate;
    }
    ADD_FAILURE() << "no archive with a slash";
    return Color::black();
}

} // namespace

TEST(NodeStyleJson, RoundTrips)
{
    EXPECT_EQ(NodeStyle::fromJsonString(NodeStyle().jsonValue()), NodeStyle());
    const NodeStyle style = unusualStyle();
    const NodeStyle back = NodeStyle::fromJsonString(style.jsonValue());
    EXPECT_EQ(back, style);
    EXPECT_EQ(back.font.fontName(), "A Face That Is Not Installed");
    EXPECT_EQ(back.font.pointSize(), 13.5);
    EXPECT_EQ(back.borderColor.components()[0], static_cast<double>(0.314f));
    EXPECT_EQ(back.userOverrides.rawValue(), 5u);
    // Writing what was read gives the same text.
    EXPECT_EQ(back.jsonValue(), style.jsonValue());

    // Through the keyed form alone, and through a binary property list, where archives are data items.
    EXPECT_EQ(NodeStyle::decode(style.encode()), style);
    const KeyedValue fromList = PropertyList::read(PropertyList::write(style.encode()));
    EXPECT_TRUE(fromList.at("font").isBytes());
    EXPECT_EQ(NodeStyle::decode(fromList), style);
}

TEST(NodeStyleJson, TextOfTheDefaultStyle)
{
    const std::string text = NodeStyle().jsonValue();
    EXPECT_EQ(text.find_first_of(" \n\r\t"), std::string::npos) << text;
    EXPECT_EQ(text.rfind(R"({"borderWidth":3,"borderColor":")", 0), 0u) << text;
    for (const char* member : {R"("borderStyle":0,)", R"("branchStyle":0,"branchWidth":3,)", R"("textAlignment":1,)",
                               R"("isUnderlined":false,"isStrikeThrough":false,)",
                               R"("imagePosition":{"trailing":{}},"userOverrides":0})"})
        EXPECT_NE(text.find(member), std::string::npos) << member << " in " << text;

    const KeyedValue value = Json::read(text);
    ASSERT_TRUE(value.isObject());
    const std::vector<std::string> written = value.asObject().keys();
    EXPECT_EQ(written, std::vector<std::string>(NodeStyle::writeOrder().begin(), NodeStyle::writeOrder().end()));
    EXPECT_EQ(std::set<std::string>(written.begin(), written.end()),
              std::set<std::string>(NodeStyle::codingKeys().begin(), NodeStyle::codingKeys().end()));

    // Colours and the font are Base64 texts of their keyed archives.
    EXPECT_EQ(value.at("borderColor").asString(), Base64::encode(KeyedArchive::archivedData(Color::black())));
    EXPECT_EQ(value.at("fillColor").asString(), Base64::encode(KeyedArchive::archivedData(Color::white())));
    EXPECT_EQ(Base64::decode(value.at("font").asString()), KeyedArchive::archivedData(Font::systemFont(32.0)));
    EXPECT_EQ(value.at("textColor").asString().size() % 4, 0u);
}

TEST(NodeStyleJson, SlashesInArchivesAreEscapedAndReadBack)
{
    NodeStyle style;
    style.fillColor = colorWithSlashInArchive();
    const std::string text = style.jsonValue();
    EXPECT_NE(text.find("\\/"), std::string::npos) << text;
    for (std::size_t i = text.find('/'); i != std::string::npos; i = text.find('/', i + 1))
        EXPECT_EQ(text[i - 1], '\\') << "unescaped slash at " << i << " in " << text;
    EXPECT_EQ(NodeStyle::fromJsonString(text), style);

    // Plain slashes and white space read as well.
    std::string plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\\' && i + 1 < text.size() && text[i + 1] == '/'))
            plain.push_back(text[i]);
    }
    plain.insert(1, "\n  ");
    EXPECT_EQ(NodeStyle::fromJsonString(plain), style);
}

TEST(NodeStyleJson, FontFallsBackToTheTwelvePointSystemFont)
{
    NodeStyle style = unusualStyle();
    const KeyedValue original = Json::read(style.jsonValue());
    const std::vector<std::function<void(KeyedValue&)>> breakFont{
        [](KeyedValue& v) { v.asObject().remove("font"); },
        [](KeyedValue& v) { v.set("font", nullptr); },
        [](KeyedValue& v) { v.set("font", 32); },
        [](KeyedValue& v) { v.set("font", "not base64!"); },
        [](KeyedValue& v) { v.set("font", Base64::encode(std::string_view("garbage"))); },
        [](KeyedValue& v) { v.set("font", Base64::encode(KeyedArchive::archivedData(Color::white()))); },
        [](KeyedValue& v) { v.set("font", Base64::encode(PropertyList::write(KeyedValue::object({{"$class", "NSFont"}})))); },
    };
    for (std::size_t i = 0; i < breakFont.size(); ++i) {
        KeyedValue value = original;
        breakFont[i](value);
        LogCapture capture;
        const NodeStyle read = NodeStyle::fromJsonString(Json::write(value));
        EXPECT_EQ(read.font, Font::systemFont(12.0)) << i;
        EXPECT_EQ(read.font.pointSize(), 12.0) << i;
        NodeStyle expected = style;
        expected.font = Font::systemFont(12.0);
        EXPECT_EQ(read, expected) << i;
        const auto lines = capture.lines();
        ASSERT_EQ(lines.size(), 1u) << i;
        EXPECT_TRUE(endsWith(lines[0], " init(from:) - Cant load font. Falling back to default")) << lines[0];
        EXPECT_NE(lines[0].find(": NodeStyle.cpp:"), std::string::npos) << lines[0];
    }
    // A readable font logs nothing.
    LogCapture quiet;
    NodeStyle::fromJsonString(style.jsonValue());
    EXPECT_TRUE(quiet.lines().empty());
}

TEST(NodeStyleJson, EveryOtherKeyIsRequired)
{
    for (std::string_view key : NodeStyle::codingKeys()) {
        if (key == "font")
            continue;
        const std::string k(key);
        EXPECT_EQ(decodingErrorKind(editedText([&](KeyedValue& v) { v.asObject().remove(k); })),
                  DecodingError::Kind::keyNotFound)
            << k;
        EXPECT_EQ(decodingErrorKind(editedText([&](KeyedValue& v) { v.set(k, nullptr); })),
                  DecodingError::Kind::valueNotFound)
            << k;
        EXPECT_EQ(decodingErrorKind(editedText([&](KeyedValue& v) { v.set(k, KeyedValue::array({1})); })),
                  DecodingError::Kind::typeMismatch)
            << k;
    }
    try {
        NodeStyle::fromJsonString(editedText([](KeyedValue& v) { v.asObject().remove("fillColor"); }));
        ADD_FAILURE();
    } catch (const DecodingError& error) {
        EXPECT_NE(std::string(error.what()).find("\"fillColor\""), std::string::npos) << error.what();
    }
}

TEST(NodeStyleJson, KindsOfValues)
{
    // Booleans are true and false only; numbers are not text.
    EXPECT_EQ(decodingErrorKind(editedText([](KeyedValue& v) { v.set("isUnderlined", 1); })),
              DecodingError::Kind::typeMismatch);
    EXPECT_EQ(decodingErrorKind(editedText([](KeyedValue& v) { v.set("isStrikeThrough", "false"); })),
              DecodingError::Kind::typeMismatch);
    EXPECT_EQ(decodingErrorKind(editedText([](KeyedValue& v) { v.set("borderWidth", "3"); })),
              DecodingError::Kind::typeMismatch);
    EXPECT_EQ(decodingErrorKind(editedText([](KeyedValue& v) { v.set("textAlignment", 1.5); })),
              DecodingError::Kind::dataCorrupted);
    EXPECT_EQ(decodingErrorKind(editedText([](KeyedValue& v) { v.set("fillColor", true); })),
              DecodingError::Kind::typeMismatch);
    EXPECT_EQ(decodingErrorKind(editedText([](KeyedValue& v) { v.set("fillColor", "a=b="); })),
              DecodingError::Kind::dataCorrupted);
    // Not an object at all.
    EXPECT_THROW(NodeStyle::fromJsonString("[]"), DecodingError);
    EXPECT_THROW(NodeStyle::fromJsonString("null"), DecodingError);
}

TEST(NodeStyleJson, RawValuesOutsideTheirTables)
{
    EXPECT_EQ(NodeStyle::fromJsonString(editedText([](KeyedValue& v) { v.set("borderStyle", 10); })).borderStyle,
              StrokeStyle::dashed);
    EXPECT_EQ(NodeStyle::fromJsonString(editedText([](KeyedValue& v) { v.set("branchStyle", 6); })).branchStyle,
              StrokeStyle::dashed3);
    EXPECT_EQ(NodeStyle::fromJsonString(editedText([](KeyedValue& v) { v.set("branchWidth", 0); })).branchWidth,
              StrokeThickness::invisible);
    for (auto [key, raw] : std::vector<std::pair<std::string, std::int64_t>>{
             {"borderStyle", 1}, {"branchStyle", 3}, {"borderStyle", -10}, {"borderWidth", 7}, {"branchWidth", -1}})
        EXPECT_EQ(decodingErrorKind(editedText([&](KeyedValue& v) { v.set(key, raw); })),
                  DecodingError::Kind::dataCorrupted)
            << key << " " << raw;

    // Alignment and overrides take every value of their raw types, and write it back.
    for (std::int64_t alignment : {std::int64_t{-3}, std::int64_t{4}, std::int64_t{99}, INT64_MIN, INT64_MAX}) {
        const NodeStyle read = NodeStyle::fromJsonString(editedText([&](KeyedValue& v) { v.set("textAlignment", alignment); }));
        EXPECT_EQ(read.textAlignment, alignment);
        EXPECT_NE(read.jsonValue().find("\"textAlignment\":" + std::to_string(alignment)), std::string::npos);
    }
    const NodeStyle five = NodeStyle::fromJsonString(editedText([](KeyedValue& v) { v.set("userOverrides", 5); }));
    EXPECT_EQ(five.userOverrides.rawValue(), 5u);
    EXPECT_TRUE(five.userOverrides.contains(NodeStyle::UserOverride::fontSize));
    EXPECT_NE(five.jsonValue().find(R"("userOverrides":5})"), std::string::npos);
    NodeStyle all;
    all.userOverrides = NodeStyle::UserOverride(UINT64_MAX);
    EXPECT_NE(all.jsonValue().find(R"("userOverrides":18446744073709551615)"), std::string::npos);
    EXPECT_EQ(NodeStyle::fromJsonString(all.jsonValue()), all);
    EXPECT_EQ(decodingErrorKind(editedText([](KeyedValue& v) { v.set("userOverrides", -1); })),
              DecodingError::Kind::dataCorrupted);
}

TEST(NodeStyleJson, ReadOrderDecidesTheFirstError)
{
    // borderStyle is read before fillColor, and fillColor before branchStyle.
    EXPECT_EQ(decodingErrorKind(editedText([](KeyedValue& v) {
                  v.set("borderStyle", 1);
                  v.asObject().remove("fillColor");
              })),
              DecodingError::Kind::dataCorrupted);
    EXPECT_EQ(decodingErrorKind(editedText([](KeyedValue& v) {
                  v.asObject().remove("fillColor");
                  v.set("branchStyle", 1);
              })),
              DecodingError::Kind::keyNotFound);
    // A broken font does not stop the read, so a later fault still counts.
    LogCapture capture;
    EXPECT_EQ(decodingErrorKind(editedText([](KeyedValue& v) {
                  v.set("font", 1);
                  v.set("isUnderlined", nullptr);
              })),
              DecodingError::Kind::valueNotFound);
}

TEST(NodeStyleJson, ExtraMembersAreIgnored)
{
    const NodeStyle style = unusualStyle();
    KeyedValue value = Json::read(style.jsonValue());
    value.set("shape", KeyedValue::object({{"pill", KeyedValue::object()}}));
    value.set("BorderWidth", "x");
    EXPECT_EQ(NodeStyle::fromJsonString(Json::write(value)), style);
}

TEST(NodeStyleJson, ImagePositionObject)
{
    auto positionOf = [](const char* json) {
        return NodeStyle::fromJsonString(editedText([&](KeyedValue& v) { v.set("imagePosition", Json::read(json)); }))
            .imagePosition;
    };
    EXPECT_EQ(positionOf(R"({"leading":{}})"), ImagePosition::leading);
    EXPECT_EQ(positionOf(R"({"above":{"ignored":1}})"), ImagePosition::above);
    EXPECT_EQ(positionOf(R"({"below":{},"left":{}})"), ImagePosition::below);
    for (const char* json : {"{}", R"({"above":{},"below":{}})", R"({"Leading":{}})"}) {
        try {
            positionOf(json);
            ADD_FAILURE() << json;
        } catch (const DecodingError& error) {
            EXPECT_EQ(error.kind(), DecodingError::Kind::typeMismatch);
            EXPECT_STREQ(error.what(), "Invalid number of keys found, expected one.");
        }
    }
    EXPECT_THROW(positionOf(R"("trailing")"), DecodingError);
    EXPECT_THROW(positionOf(R"({"trailing":true})"), DecodingError);
}

TEST(NodeStyleJson, ColourArchiveFailures)
{
    // Another class, or bytes that are no archive: the archive reader's error.
    try {
        NodeStyle::fromJsonString(editedText([](KeyedValue& v) {
            v.set("textColor", Base64::encode(KeyedArchive::archivedData(Font::systemFont(10))));
        }));
        ADD_FAILURE();
    } catch (const KeyedArchiveError& error) {
        EXPECT_EQ(error.kind(), KeyedArchiveError::Kind::wrongClass);
    }
    try {
        NodeStyle::fromJsonString(editedText([](KeyedValue& v) { v.set("borderColor", Base64::encode(std::string_view("xyz"))); }));
        ADD_FAILURE();
    } catch (const KeyedArchiveError& error) {
        EXPECT_EQ(error.kind(), KeyedArchiveError::Kind::damaged);
    }
    // An archive of no object at all.
    try {
        NodeStyle::fromJsonString(editedText([](KeyedValue& v) {
            v.set("branchColor", Base64::encode(PropertyList::write(KeyedValue())));
        }));
        ADD_FAILURE();
    } catch (const TextError& error) {
        const std::string line = error.what();
        EXPECT_TRUE(endsWith(line, " color() - cant unarchive color")) << line;
        EXPECT_NE(line.find(": NodeStyle.cpp:"), std::string::npos) << line;
    }
}

TEST(NodeStyleJson, TextThatIsNotUTF8OrNotJSON)
{
    std::string text = NodeStyle().jsonValue();
    text.insert(text.size() - 1, ",\"x\":\"\xC3\x28\"");
    try {
        NodeStyle::fromJsonString(text);
        ADD_FAILURE();
    } catch (const TextError& error) {
        EXPECT_TRUE(endsWith(error.what(), " init(jsonString:) - cannot make data")) << error.what();
    }
    EXPECT_THROW(NodeStyle::fromJsonString(""), JsonError);
    EXPECT_THROW(NodeStyle::fromJsonString("{\"borderWidth\":3"), JsonError);
}

TEST(NodeStyleJson, ArchivingFailureStopsTheWrite)
{
    NodeStyle style;
    style.font = Font("Broken \xFF name", 12.0);
    EXPECT_THROW(style.encode(), PropertyListError);
    EXPECT_THROW(style.jsonValue(), PropertyListError);
}
