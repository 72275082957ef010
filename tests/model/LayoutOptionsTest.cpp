#include "model/graph/LayoutOptions.h"
#include "model/style/DecodingError.h"
#include "platform/Json.h"

#include <gtest/gtest.h>

#include <functional>

using namespace velquine;

namespace {

using LayoutType = LayoutOptions::LayoutType;
using LayoutDirection = LayoutOptions::LayoutDirection;
using BranchType = LayoutOptions::BranchType;

const LayoutOptions baseOptions{LayoutType::horizontal, LayoutDirection::balanced, BranchType::rounded, false};

DecodingError decodingError(const KeyedValue& value)
{
    try {
        LayoutOptions::decode(value);
    } catch (const DecodingError& error) {
        return error;
    }
    ADD_FAILURE() << "read without an error: " << Json::write(value);
    return DecodingError(DecodingError::Kind::dataCorrupted, "");
}

KeyedValue edited(const std::function<void(KeyedValue&)>& edit)
{
    KeyedValue value = baseOptions.encode();
    edit(value);
    return value;
}

} // namespace

TEST(LayoutOptions, CaseNamesAndOrder)
{
    EXPECT_EQ(stringValue(LayoutType::horizontal), "horizontal");
    EXPECT_EQ(stringValue(LayoutType::vertical), "vertical");
    EXPECT_EQ(stringValue(LayoutDirection::ascending), "ascending");
    EXPECT_EQ(stringValue(LayoutDirection::descending), "descending");
    EXPECT_EQ(stringValue(LayoutDirection::balanced), "balanced");
    EXPECT_EQ(stringValue(BranchType::rounded), "rounded");
    EXPECT_EQ(stringValue(BranchType::angular), "angular");
    EXPECT_EQ(stringValue(BranchType::line), "line");
    EXPECT_EQ(sizeof(LayoutType), 1u);
    EXPECT_EQ(sizeof(LayoutDirection), 1u);
    EXPECT_EQ(sizeof(BranchType), 1u);
}

TEST(LayoutOptions, TextFormFallsBackToTheFirstCase)
{
    for (LayoutType t : {LayoutType::horizontal, LayoutType::vertical})
        EXPECT_EQ(layoutTypeFromString(stringValue(t)), t);
    for (LayoutDirection d : {LayoutDirection::ascending, LayoutDirection::descending, LayoutDirection::balanced})
        EXPECT_EQ(layoutDirectionFromString(stringValue(d)), d);
    for (BranchType b : {BranchType::rounded, BranchType::angular, BranchType::line})
        EXPECT_EQ(branchTypeFromString(stringValue(b)), b);

    EXPECT_EQ(layoutDirectionFromString("balanced"), LayoutDirection::balanced);
    for (const char* text : {"Balanced", "BALANCED", "", "left", " balanced", "balanced "})
        EXPECT_EQ(layoutDirectionFromString(text), LayoutDirection::ascending) << text;
    for (const char* text : {"Line", "curved", "", "rounded\n"})
        EXPECT_EQ(branchTypeFromString(text), BranchType::rounded) << text;
    EXPECT_EQ(layoutTypeFromString("VERTICAL"), LayoutType::horizontal);
    EXPECT_EQ(layoutTypeFromString("Vertical"), LayoutType::horizontal);
    EXPECT_EQ(layoutTypeFromString(""), LayoutType::horizontal);
}

TEST(LayoutOptions, EqualityComparesAllFourFields)
{
    EXPECT_EQ(baseOptions, LayoutOptions());
    LayoutOptions manual = baseOptions;
    manual.isManual = true;
    EXPECT_NE(manual, baseOptions);
    LayoutOptions vertical = baseOptions;
    vertical.layoutType = LayoutType::vertical;
    EXPECT_NE(vertical, baseOptions);
    LayoutOptions ascending = baseOptions;
    ascending.layoutDirection = LayoutDirection::ascending;
    EXPECT_NE(ascending, baseOptions);
    LayoutOptions line = baseOptions;
    line.branchType = BranchType::line;
    EXPECT_NE(line, baseOptions);
}

TEST(LayoutOptions, KeyedFormOfTheBaseOptions)
{
    const KeyedValue value = baseOptions.encode();
    EXPECT_EQ(Json::write(value),
              R"({"layoutType":{"horizontal":{}},"layoutDirection":{"balanced":{}},"branchType":{"rounded":{}},"isManual":false})");
    EXPECT_EQ(LayoutOptions::decode(value), baseOptions);

    for (LayoutType t : {LayoutType::horizontal, LayoutType::vertical})
        for (LayoutDirection d : {LayoutDirection::ascending, LayoutDirection::descending, LayoutDirection::balanced})
            for (BranchType b : {BranchType::rounded, BranchType::angular, BranchType::line})
                for (bool manual : {false, true}) {
                    const LayoutOptions options{t, d, b, manual};
                    EXPECT_EQ(LayoutOptions::decode(Json::read(Json::write(options.encode()))), options);
                }

    // Members in another order, with white space, read the same.
    EXPECT_EQ(LayoutOptions::decode(Json::read(
                  R"({ "isManual" : true, "branchType":{"line":{}}, "layoutDirection":{"descending":{"x":1}},
                       "layoutType":{"vertical":{}, "unrelated":{}} })")),
              (LayoutOptions{LayoutType::vertical, LayoutDirection::descending, BranchType::line, true}));
}

TEST(LayoutOptions, EveryMemberIsRequired)
{
    for (const char* key : {"layoutType", "layoutDirection", "branchType", "isManual"}) {
        const DecodingError missing = decodingError(edited([&](KeyedValue& v) { v.asObject().remove(key); }));
        EXPECT_EQ(missing.kind(), DecodingError::Kind::keyNotFound) << key;
        EXPECT_NE(std::string(missing.what()).find(std::string("\"") + key + "\""), std::string::npos)
            << missing.what();
        EXPECT_EQ(decodingError(edited([&](KeyedValue& v) { v.set(key, nullptr); })).kind(),
                  DecodingError::Kind::valueNotFound)
            << key;
        EXPECT_EQ(decodingError(edited([&](KeyedValue& v) { v.set(key, "horizontal"); })).kind(),
                  DecodingError::Kind::typeMismatch)
            << key;
    }
    EXPECT_EQ(decodingError(edited([](KeyedValue& v) { v.set("isManual", 0); })).kind(),
              DecodingError::Kind::typeMismatch);
    EXPECT_EQ(decodingError(KeyedValue::array()).kind(), DecodingError::Kind::typeMismatch);
    EXPECT_EQ(decodingError(KeyedValue()).kind(), DecodingError::Kind::valueNotFound);
}

TEST(LayoutOptions, OneKeyObjectsNeedExactlyOneCaseKey)
{
    const std::vector<std::pair<const char*, KeyedValue>> bad{
        {"layoutType", KeyedValue::object()},
        {"layoutType", KeyedValue::object({{"horizontal", KeyedValue::object()}, {"vertical", KeyedValue::object()}})},
        {"layoutType", KeyedValue::object({{"Horizontal", KeyedValue::object()}})},
        {"layoutDirection", KeyedValue::object({{"left", KeyedValue::object()}})},
        {"branchType", KeyedValue::object({{"rounded", KeyedValue::object()}, {"line", KeyedValue::object()}})},
    };
    for (const auto& [key, value] : bad) {
        const DecodingError error = decodingError(edited([&](KeyedValue& v) { v.set(key, value); }));
        EXPECT_EQ(error.kind(), DecodingError::Kind::typeMismatch) << key;
        EXPECT_STREQ(error.what(), "Invalid number of keys found, expected one.") << key;
    }
    // The first malformed member in reading order is the one reported.
    KeyedValue twoBad = edited([](KeyedValue& v) {
        v.set("branchType", KeyedValue::object());
        v.asObject().remove("isManual");
    });
    EXPECT_EQ(decodingError(twoBad).kind(), DecodingError::Kind::typeMismatch);
}
