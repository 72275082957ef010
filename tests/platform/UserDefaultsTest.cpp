#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <limits>
#include <string>
#include <thread>
#include <vector>

using namespace velquine;

namespace {

std::string fileText(const std::string& path)
{
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll().toStdString();
}

} // namespace

TEST(UserDefaults, AMissingKeyReadsAsFalseZeroOrNothing)
{
    auto d = UserDefaults::inMemory();
    EXPECT_FALSE(d->objectForKey("missing").has_value());
    EXPECT_FALSE(d->boolForKey("missing"));
    EXPECT_EQ(d->integerForKey("missing"), 0);
    EXPECT_EQ(d->doubleForKey("missing"), 0.0);
    EXPECT_FALSE(d->stringForKey("missing").has_value());
    EXPECT_FALSE(d->dataForKey("missing").has_value());
}

TEST(UserDefaults, SetValuesWinOverRegisteredOnesUntilRemoved)
{
    auto d = UserDefaults::inMemory();
    d->registerDefaults({{"isCollisionDetectionEnabled", true},
                         {"lastSelectedInspectorTab", std::int64_t{0}},
                         {"defaultGridStyle", std::string("noGrid")},
                         {"defaultGridSize", std::int64_t{24}}});
    EXPECT_TRUE(d->boolForKey("isCollisionDetectionEnabled"));
    EXPECT_EQ(d->integerForKey("defaultGridSize"), 24);
    EXPECT_EQ(d->stringForKey("defaultGridStyle"), "noGrid");

    d->set("isCollisionDetectionEnabled", false);
    d->set("defaultGridStyle", "dots");
    EXPECT_FALSE(d->boolForKey("isCollisionDetectionEnabled"));
    EXPECT_EQ(d->stringForKey("defaultGridStyle"), "dots");

    // Registering again changes the factory value, never a value the user set.
    d->registerDefaults({{"defaultGridStyle", std::string("quad")}, {"defaultGridSize", std::int64_t{32}}});
    EXPECT_EQ(d->stringForKey("defaultGridStyle"), "dots");
    EXPECT_EQ(d->integerForKey("defaultGridSize"), 32);

    d->remove("defaultGridStyle");
    d->remove("isCollisionDetectionEnabled");
    EXPECT_EQ(d->stringForKey("defaultGridStyle"), "quad");
    EXPECT_TRUE(d->boolForKey("isCollisionDetectionEnabled"));
    d->remove("never set"); // harmless
}

TEST(UserDefaults, SetKeepsTheKindOfTheValueGiven)
{
    auto d = UserDefaults::inMemory();
    d->set("b", true);
    d->set("i", 5);
    d->set("l", 5L);
    d->set("u", std::uint16_t{7});
    d->set("d", 2.5);
    d->set("s", "text");
    d->set("t", std::string("more"));
    d->set("x", Bytes{0x00, 0xFF});
    EXPECT_TRUE(std::holds_alternative<bool>(*d->objectForKey("b")));
    EXPECT_EQ(std::get<std::int64_t>(*d->objectForKey("i")), 5);
    EXPECT_EQ(std::get<std::int64_t>(*d->objectForKey("l")), 5);
    EXPECT_EQ(std::get<std::int64_t>(*d->objectForKey("u")), 7);
    EXPECT_EQ(std::get<double>(*d->objectForKey("d")), 2.5);
    EXPECT_EQ(std::get<std::string>(*d->objectForKey("s")), "text");
    EXPECT_EQ(std::get<std::string>(*d->objectForKey("t")), "more");
    EXPECT_EQ(std::get<Bytes>(*d->objectForKey("x")), (Bytes{0x00, 0xFF}));
}

TEST(UserDefaults, LiteralsInARegistrationKeepTheirKind)
{
    // A text literal must not turn into a Boolean, nor a whole number into a double.
    auto d = UserDefaults::inMemory();
    d->registerDefaults({{"userInterfaceStyle", "UserInterfaceStyleSystemDefault"},
                         {"defaultGridSize", 24},
                         {"disableAnimations", false},
                         {"ratio", 0.5}});
    EXPECT_EQ(std::get<std::string>(*d->objectForKey("userInterfaceStyle")), "UserInterfaceStyleSystemDefault");
    EXPECT_EQ(std::get<std::int64_t>(*d->objectForKey("defaultGridSize")), 24);
    EXPECT_FALSE(std::get<bool>(*d->objectForKey("disableAnimations")));
    EXPECT_EQ(std::get<double>(*d->objectForKey("ratio")), 0.5);
}

TEST(UserDefaults, TypedLookupsConvertBetweenKinds)
{
    auto d = UserDefaults::inMemory();
    d->set("true", true);
    d->set("false", false);
    d->set("seven", 7);
    d->set("zero", 0);
    d->set("fraction", 24.9);
    d->set("negativeFraction", -24.9);
    d->set("half", 0.5);
    d->set("huge", 1e300);
    d->set("bytes", Bytes{'1', '2'});

    EXPECT_EQ(d->integerForKey("true"), 1);
    EXPECT_EQ(d->integerForKey("false"), 0);
    EXPECT_EQ(d->doubleForKey("true"), 1.0);
    EXPECT_EQ(d->stringForKey("true"), "1");
    EXPECT_EQ(d->stringForKey("false"), "0");

    EXPECT_TRUE(d->boolForKey("seven"));
    EXPECT_FALSE(d->boolForKey("zero"));
    EXPECT_EQ(d->doubleForKey("seven"), 7.0);
    EXPECT_EQ(d->stringForKey("seven"), "7");

    EXPECT_EQ(d->integerForKey("fraction"), 24);
    EXPECT_EQ(d->integerForKey("negativeFraction"), -24);
    EXPECT_EQ(d->integerForKey("huge"), std::numeric_limits<std::int64_t>::max());
    EXPECT_TRUE(d->boolForKey("half"));
    EXPECT_EQ(d->stringForKey("half"), "0.5");
    EXPECT_EQ(d->stringForKey("fraction"), "24.9");

    // Bytes are data only.
    EXPECT_FALSE(d->stringForKey("bytes").has_value());
    EXPECT_EQ(d->integerForKey("bytes"), 0);
    EXPECT_FALSE(d->boolForKey("bytes"));
    EXPECT_EQ(d->dataForKey("bytes"), (Bytes{'1', '2'}));
    EXPECT_FALSE(d->dataForKey("seven").has_value());
}

TEST(UserDefaults, TextsReadAsTheNumberOrBooleanTheyBeginWith)
{
    using V = UserDefaults::Value;
    struct Case {
        std::string text;
        bool b;
        std::int64_t i;
        double d;
    };
    const std::vector<Case> cases = {
        {"true", true, 0, 0.0},       {"false", false, 0, 0.0},  {"YES", true, 0, 0.0},
        {"no", false, 0, 0.0},        {"0", false, 0, 0.0},      {"007", true, 7, 7.0},
        {"24.9", true, 24, 24.9},     {" -12abc", true, -12, -12.0}, {"+3", true, 3, 3.0},
        {"", false, 0, 0.0},          {"abc", false, 0, 0.0},    {"1e3", true, 1, 1000.0},
        {"-0.5", false, 0, -0.5},     {"99999999999999999999", true, std::numeric_limits<std::int64_t>::max(), 1e20},
        {"-99999999999999999999", true, std::numeric_limits<std::int64_t>::min(), -1e20},
        {"-9223372036854775808", true, std::numeric_limits<std::int64_t>::min(), -9223372036854775808.0},
    };
    for (const Case& c : cases) {
        const V v{c.text};
        EXPECT_EQ(UserDefaults::toBool(v), c.b) << c.text;
        EXPECT_EQ(UserDefaults::toInteger(v), c.i) << c.text;
        EXPECT_DOUBLE_EQ(UserDefaults::toDouble(v), c.d) << c.text;
        EXPECT_EQ(UserDefaults::toString(v), c.text);
    }
}

TEST(UserDefaults, OnlySetValuesArePersistedAndTheyReadBackAfterARestart)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string path = dir.filePath("sub/Velquine.ini").toStdString(); // the folder is made as needed
    const std::string text = "Grüße = ; \"quoted\" @start\ttab";
    const Bytes binary{0x00, 0xFF, '\n', '\r', '=', ';', 0x80, 0x7F, '"', '\\'};
    {
        auto d = UserDefaults::settingsFile(path);
        d->registerDefaults({{"copyRichTextToPasteboard", true},
                             {"defaultProjectStyle", std::string("Omaha")},
                             {"lastSelectedInspectorTab", std::int64_t{3}}});
        d->set("isInspectorCollapsed", true);
        d->set("isNoteViewCollapsed", false);
        d->set("defaultGridSize", 24);
        d->set("big", std::int64_t{-9007199254740993});
        d->set("ratio", 0.1 + 0.2);
        d->set("userInterfaceStyle", text);
        d->set("blob", binary);
        d->set("RichTextExporterModuleViewController.keepColors", false);
        d->set("temporary", 1);
        d->remove("temporary");
        EXPECT_TRUE(d->synchronize());
    }
    const std::string onDisk = fileText(path);
    ASSERT_FALSE(onDisk.empty());
    EXPECT_EQ(onDisk.find("copyRichTextToPasteboard"), std::string::npos);
    EXPECT_EQ(onDisk.find("defaultProjectStyle"), std::string::npos);
    EXPECT_EQ(onDisk.find("lastSelectedInspectorTab"), std::string::npos);
    EXPECT_EQ(onDisk.find("temporary"), std::string::npos);

    auto again = UserDefaults::settingsFile(path);
    EXPECT_TRUE(again->boolForKey("isInspectorCollapsed"));
    EXPECT_FALSE(again->boolForKey("isNoteViewCollapsed"));
    EXPECT_TRUE(again->objectForKey("isNoteViewCollapsed").has_value());
    EXPECT_EQ(again->integerForKey("defaultGridSize"), 24);
    EXPECT_EQ(again->integerForKey("big"), -9007199254740993);
    EXPECT_EQ(again->doubleForKey("ratio"), 0.1 + 0.2);
    EXPECT_EQ(again->stringForKey("userInterfaceStyle"), text);
    EXPECT_EQ(again->dataForKey("blob"), binary);
    EXPECT_FALSE(again->boolForKey("RichTextExporterModuleViewController.keepColors"));
    // Factory values were never written: without registering them again they are gone.
    EXPECT_FALSE(again->objectForKey("copyRichTextToPasteboard").has_value());
    EXPECT_FALSE(again->boolForKey("copyRichTextToPasteboard"));
    EXPECT_EQ(again->integerForKey("lastSelectedInspectorTab"), 0);
    EXPECT_FALSE(again->objectForKey("temporary").has_value());

    // A removal is persisted too, and uncovers the factory value of this run.
    again->registerDefaults({{"defaultGridSize", std::int64_t{48}}});
    again->remove("defaultGridSize");
    auto third = UserDefaults::settingsFile(path);
    EXPECT_FALSE(third->objectForKey("defaultGridSize").has_value());
    EXPECT_EQ(again->integerForKey("defaultGridSize"), 48);
}

TEST(UserDefaults, TheStandardSettingsCanBeReplacedForAScope)
{
    UserDefaults* outer = nullptr;
    {
        ScopedStandardUserDefaults scope;
        outer = &UserDefaults::standard();
        EXPECT_EQ(outer, &scope.defaults());
        UserDefaults::standard().set("scopedKey", "outer");
        {
            ScopedStandardUserDefaults inner;
            EXPECT_NE(&UserDefaults::standard(), outer);
            EXPECT_FALSE(UserDefaults::standard().stringForKey("scopedKey").has_value());
            UserDefaults::standard().set("scopedKey", "inner");
        }
        EXPECT_EQ(&UserDefaults::standard(), outer);
        EXPECT_EQ(UserDefaults::standard().stringForKey("scopedKey"), "outer");
    }
    // Outside every scope the standard settings are the file in the configuration folder.
    EXPECT_NE(UserDefaults::standardSettingsPath().find("Velquine/Velquine.ini"), std::string::npos);
    EXPECT_FALSE(UserDefaults::standard().stringForKey("scopedKey").has_value());
}

TEST(UserDefaults, ConcurrentReadersAndWritersSeeWholeValues)
{
    auto d = UserDefaults::inMemory();
    d->registerDefaults({{"shared", std::string("registered")}});
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&d, t] {
            for (int i = 0; i < 500; ++i) {
                d->set("shared", std::string(64, static_cast<char>('a' + t)));
                const std::string s = *d->stringForKey("shared");
                EXPECT_TRUE(s == "registered" || (s.size() == 64 && s.find_first_not_of(s[0]) == std::string::npos));
                if (i % 50 == 0)
                    d->remove("shared");
            }
        });
    }
    for (auto& th : threads)
        th.join();
}
