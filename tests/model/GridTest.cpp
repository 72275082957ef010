#include "model/graph/Grid.h"
#include "model/style/DecodingError.h"
#include "platform/Json.h"
#include "platform/Log.h"

#include <gtest/gtest.h>

#include <limits>

using namespace velquine;

namespace {

bool endsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

DecodingError decodingError(std::string_view json)
{
    try {
        Grid::fromJsonString(json);
    } catch (const DecodingError& error) {
        return error;
    }
    ADD_FAILURE() << "read without a decoding error: " << json;
    return DecodingError(DecodingError::Kind::dataCorrupted, "");
}

const std::vector<std::pair<GridType, const char*>> allTypes{
    {GridType::noGrid, "noGrid"}, {GridType::dots, "dots"},         {GridType::quad, "quad"},
    {GridType::hexagons, "hexagons"}, {GridType::diamonds, "diamonds"}, {GridType::circles, "circles"},
    {GridType::hearts, "hearts"},
};

} // namespace

TEST(GridType, TextFormIsExact)
{
    for (const auto& [type, name] : allTypes) {
        EXPECT_EQ(gridTypeFromString(name), type) << name;
        EXPECT_EQ(caseName(type), name);
    }
    for (const std::string text : {"Hexagons", "grid", "", "dots ", "NOGRID"}) {
        LogCapture capture;
        try {
            gridTypeFromString(text);
            ADD_FAILURE() << "no error for " << text;
        } catch (const TextError& error) {
            const std::string line = error.what();
            EXPECT_TRUE(endsWith(line, " init(string:) - Can not create GridType from " + text)) << line;
            EXPECT_NE(line.find(": Grid.cpp:"), std::string::npos) << line;
        }
        // The line travels in the error; nothing is printed.
        EXPECT_TRUE(capture.lines().empty());
    }
}

TEST(Grid, KeyedFormOfANewProjectsGrid)
{
    const Grid grid;
    EXPECT_EQ(grid.type, GridType::noGrid);
    EXPECT_EQ(grid.size, (Size{24, 24}));
    EXPECT_EQ(grid.jsonValue(), R"({"type":{"noGrid":{}},"size":[24,24]})");
    const KeyedValue value = grid.encode();
    EXPECT_EQ(value.asObject().keys(), (std::vector<std::string>{"type", "size"}));
}

TEST(Grid, JsonTextRoundTrips)
{
    Grid dots;
    dots.type = GridType::dots;
    dots.size = {16, 16};
    const Grid back = Grid::fromJsonString(dots.jsonValue());
    EXPECT_EQ(back.type, GridType::dots);
    EXPECT_EQ(back.size, (Size{16, 16}));

    for (const auto& [type, name] : allTypes) {
        Grid grid;
        grid.type = type;
        grid.size = {12.5, 0.1};
        const std::string text = grid.jsonValue();
        EXPECT_NE(text.find(std::string("{\"") + name + "\":{}}"), std::string::npos) << text;
        const Grid read = Grid::fromJsonString(text);
        EXPECT_EQ(read.type, type);
        EXPECT_EQ(read.size, (Size{12.5, 0.1}));
        const Grid keyed = Grid::decode(grid.encode());
        EXPECT_EQ(keyed.type, type);
        EXPECT_EQ(keyed.size, grid.size);
    }

    // Any member order, white space, whole or fractional numbers, extra members.
    const Grid loose = Grid::fromJsonString("\n{ \"size\" : [ 30.0 , 20 , 7 ], \"extra\":1, \"type\" : {\"quad\":{\"a\":2}} }");
    EXPECT_EQ(loose.type, GridType::quad);
    EXPECT_EQ(loose.size, (Size{30, 20}));
}

TEST(Grid, MalformedObjectsAreRejected)
{
    EXPECT_EQ(decodingError(R"({"size":[16,16]})").kind(), DecodingError::Kind::keyNotFound);
    EXPECT_EQ(decodingError(R"({"type":{"dots":{}}})").kind(), DecodingError::Kind::keyNotFound);
    EXPECT_EQ(decodingError(R"({"type":null,"size":[16,16]})").kind(), DecodingError::Kind::valueNotFound);
    EXPECT_EQ(decodingError(R"({"type":{"dots":{}},"size":null})").kind(), DecodingError::Kind::valueNotFound);
    EXPECT_EQ(decodingError(R"({"type":"dots","size":[16,16]})").kind(), DecodingError::Kind::typeMismatch);
    EXPECT_EQ(decodingError(R"({"type":{"dots":{}},"size":{"width":16,"height":16}})").kind(),
              DecodingError::Kind::typeMismatch);
    EXPECT_EQ(decodingError(R"({"type":{"dots":{}},"size":["16","16"]})").kind(), DecodingError::Kind::typeMismatch);
    EXPECT_EQ(decodingError(R"({"type":{"dots":{}},"size":[16]})").kind(), DecodingError::Kind::valueNotFound);
    EXPECT_EQ(decodingError(R"([1,2])").kind(), DecodingError::Kind::typeMismatch);

    for (const char* json : {R"({"type":{"dots":{},"quad":{}},"size":[16,16]})", R"({"type":{},"size":[16,16]})",
                             R"({"type":{"Dots":{}},"size":[16,16]})"}) {
        const DecodingError error = decodingError(json);
        EXPECT_EQ(error.kind(), DecodingError::Kind::typeMismatch) << json;
        EXPECT_STREQ(error.what(), "Invalid number of keys found, expected one.") << json;
    }
    const Grid dots = Grid::fromJsonString(R"({"type":{"dots":{},"unrelated":{}},"size":[16,16]})");
    EXPECT_EQ(dots.type, GridType::dots);
}

TEST(Grid, TextThatIsNotJsonOrNotUTF8)
{
    EXPECT_THROW(Grid::fromJsonString(""), JsonError);
    EXPECT_THROW(Grid::fromJsonString("{\"type\":"), JsonError);
    try {
        Grid::fromJsonString("{\"type\":\"\xff\"}");
        ADD_FAILURE() << "no error";
    } catch (const TextError& error) {
        EXPECT_TRUE(endsWith(error.what(), " init(jsonString:) - cannot make data")) << error.what();
    }
}

TEST(Grid, SizesThatJsonCannotHoldFailToWrite)
{
    Grid grid;
    grid.size = {std::numeric_limits<double>::infinity(), 24};
    EXPECT_THROW(grid.jsonValue(), JsonError);
    grid.size = {24, std::numeric_limits<double>::quiet_NaN()};
    EXPECT_THROW(grid.jsonValue(), JsonError);
}
