#include "exchange/HTMLEntityTable.h"
#include "exchange/HTMLEscaping.h"
#include "exchange/HTMLStringMappings.h"
#include "ExchangeTestSupport.h"

#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>

#include <cstdlib>
#include <string>

using namespace velquine;

namespace {

std::string ref(unsigned value)
{
    return "&#" + std::to_string(value) + ";";
}

} // namespace

TEST(HTMLStringMappings, EscapingSetIsExactlyTheSeventeenASCIICharacters)
{
    const std::set<char32_t> expected{33, 34, 36, 37, 38, 39, 43, 44, 60, 61, 62, 64, 91, 93, 96, 123, 125};
    EXPECT_EQ(HTMLStringMappings::escapedCharacters(), expected);
    for (char32_t c = 0; c < 0x3000; ++c)
        EXPECT_EQ(HTMLStringMappings::isEscaped(c), expected.count(c) == 1) << static_cast<unsigned>(c);
}

TEST(HTMLStringMappings, NamedEntitiesHoldTheHTML5Names)
{
    const auto& entities = HTMLStringMappings::namedEntities();
    EXPECT_EQ(entities.size(), 2125u);
    EXPECT_EQ(entities.at("amp"), "&");
    EXPECT_EQ(entities.at("AMP"), "&");
    EXPECT_EQ(entities.count("Amp"), 0u);
    EXPECT_EQ(entities.at("lt"), "<");
    EXPECT_EQ(entities.at("gt"), ">");
    EXPECT_EQ(entities.at("quot"), "\"");
    EXPECT_EQ(entities.at("apos"), "'");
    EXPECT_EQ(entities.at("nbsp"), "\u00A0");
    EXPECT_EQ(entities.at("NotEqualTilde"), "\u2242\u0338");
    EXPECT_EQ(entities.at("euro"), "\u20AC");
    EXPECT_EQ(entities.at("fjlig"), "fj");
    EXPECT_EQ(entities.at("Aopf"), "\U0001D538");
    EXPECT_EQ(entities.count("amp;"), 0u);
    EXPECT_EQ(entities.count("&amp"), 0u);
}

TEST(HTMLStringMappings, GeneratedTableIsSortedAndEveryValueIsOneOrTwoScalars)
{
    const auto table = htmlEntityTable();
    ASSERT_EQ(table.size(), 2125u);
    for (std::size_t i = 1; i < table.size(); ++i)
        EXPECT_LT(std::string_view(table[i - 1].name), std::string_view(table[i].name));
    for (const auto& entity : table) {
        const QString value = QString::fromUtf8(entity.value);
        const auto scalars = value.toUcs4().size();
        EXPECT_TRUE(scalars == 1 || scalars == 2) << entity.name;
    }
}

TEST(HTMLStringMappings, GeneratedTableMatchesItsGenerator)
{
    const QString python = QStandardPaths::findExecutable("python3");
    VQ_REQUIRE_TOOL(!python.isEmpty(), "python3");
    QProcess process;
    process.start(python, {QStringLiteral(VELQUINE_SOURCE_DIR "/scripts/generate-html-entities"), QStringLiteral("--check")});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
}

TEST(HTMLEscaping, UnicodeEntitiesReplaceTheSetAndNothingElse)
{
    EXPECT_EQ(addingUnicodeEntities("Tom & Jerry's"), "Tom &#38; Jerry&#39;s");
    EXPECT_EQ(addingUnicodeEntities("!\"$%&'+,<=>@[]`{}"),
              "&#33;&#34;&#36;&#37;&#38;&#39;&#43;&#44;&#60;&#61;&#62;&#64;&#91;&#93;&#96;&#123;&#125;");
    EXPECT_EQ(addingUnicodeEntities("#/;\\^|~()*-.:?_"), "#/;\\^|~()*-.:?_");
    EXPECT_EQ(addingUnicodeEntities("line\nbreak\ttab\r\nend"), "line\nbreak\ttab\r\nend");
    EXPECT_EQ(addingUnicodeEntities("Café → 日本 😀"), "Café → 日本 😀");
    EXPECT_EQ(addingUnicodeEntities(""), "");
}

TEST(HTMLEscaping, EveryASCIICharacterIsEscapedExactlyWhenInTheSet)
{
    for (unsigned c = 0; c < 128; ++c) {
        const std::string input(1, static_cast<char>(c));
        const bool inSet = HTMLStringMappings::isEscaped(c);
        EXPECT_EQ(addingUnicodeEntities(input), inSet ? ref(c) : input) << c;
        EXPECT_EQ(addingASCIIEntities(input), inSet ? ref(c) : input) << c;
    }
}

TEST(HTMLEscaping, MarkupCharacterFollowedByACombiningMarkIsStillEscaped)
{
    // "&" and "<" with a combining acute accent form one user-perceived character; the markup
    // character must still be replaced or the output is no longer well-formed.
    EXPECT_EQ(addingUnicodeEntities("a&\u0301b"), "a&#38;\u0301b");
    EXPECT_EQ(addingUnicodeEntities("<\u0338"), "&#60;\u0338");
    EXPECT_EQ(addingUnicodeEntities("\"\u20DD"), "&#34;\u20DD");
    EXPECT_EQ(addingASCIIEntities("&\u0301"), "&#38;&#769;");
}

TEST(HTMLEscaping, ASCIIEntitiesWriteEveryOtherCharacterAsItsScalars)
{
    EXPECT_EQ(addingASCIIEntities("Café"), "Caf&#233;");
    EXPECT_EQ(addingASCIIEntities("a<b"), "a&#60;b");
    EXPECT_EQ(addingASCIIEntities("e\u0301"), "&#101;&#769;");
    EXPECT_EQ(addingASCIIEntities("😀"), "&#128512;");
    EXPECT_EQ(addingASCIIEntities("👍🏽"), "&#128077;&#127997;");
    EXPECT_EQ(addingASCIIEntities("a\r\nb\nc\rd"), "a\r\nb\nc\rd");
    EXPECT_EQ(addingASCIIEntities("é\r\n&\n<\u0301"), "&#233;\r\n&#38;\n&#60;&#769;");
    EXPECT_EQ(addingASCIIEntities("x\u00A0y"), "x&#160;y");
    EXPECT_EQ(addingASCIIEntities(""), "");
}

TEST(HTMLEscaping, RemovingEntitiesDecodesNumericAndNamedReferences)
{
    EXPECT_EQ(removingHTMLEntities("&lt;b&gt;"), "<b>");
    EXPECT_EQ(removingHTMLEntities("&#65;&#x42;&#X43;"), "ABC");
    EXPECT_EQ(removingHTMLEntities("AT&T"), "AT&T");
    EXPECT_EQ(removingHTMLEntities("AT&T; more"), "AT&T; more");
    EXPECT_EQ(removingHTMLEntities("a & b &amp; c"), "a & b & c");
    EXPECT_EQ(removingHTMLEntities("&AMP;"), "&");
    EXPECT_EQ(removingHTMLEntities("&Amp;"), "&Amp;");
    EXPECT_EQ(removingHTMLEntities("no references here"), "no references here");
    EXPECT_EQ(removingHTMLEntities("&NotEqualTilde;"), "\u2242\u0338");
    EXPECT_EQ(removingHTMLEntities("&#128512;&#x1F600;"), "😀😀");
    EXPECT_EQ(removingHTMLEntities("&unknown;&amp;"), "&unknown;&");
    EXPECT_EQ(removingHTMLEntities("&&&;"), "&&&;");
    EXPECT_EQ(removingHTMLEntities("trailing &"), "trailing &");
    EXPECT_EQ(removingHTMLEntities(""), "");
}

TEST(HTMLEscaping, NumericReferencesFollowTheUnsigned32BitRules)
{
    EXPECT_EQ(removingHTMLEntities("&#55296;"), "&#55296;");
    EXPECT_EQ(removingHTMLEntities("&#xDFFF;"), "&#xDFFF;");
    EXPECT_EQ(removingHTMLEntities("&#1114112;"), "&#1114112;");
    EXPECT_EQ(removingHTMLEntities("&#1114111;"), "\U0010FFFF");
    EXPECT_EQ(removingHTMLEntities("&#;"), "&#;");
    EXPECT_EQ(removingHTMLEntities("&#x;"), "&#x;");
    EXPECT_EQ(removingHTMLEntities("&#0;"), std::string(1, '\0'));
    EXPECT_EQ(removingHTMLEntities("&#+65;"), "A");
    EXPECT_EQ(removingHTMLEntities("&#-0;"), std::string(1, '\0'));
    EXPECT_EQ(removingHTMLEntities("&#-65;"), "&#-65;");
    EXPECT_EQ(removingHTMLEntities("&#+;"), "&#+;");
    EXPECT_EQ(removingHTMLEntities("&#4294967295;"), "&#4294967295;");
    EXPECT_EQ(removingHTMLEntities("&#4294967296;"), "&#4294967296;");
    EXPECT_EQ(removingHTMLEntities("&#x6a;&#x6A;"), "jj");
    EXPECT_EQ(removingHTMLEntities("&#6a;"), "&#6a;");
    EXPECT_EQ(removingHTMLEntities("&# 65;"), "&# 65;");
    EXPECT_EQ(removingHTMLEntities("&#00065;"), "A");

    EXPECT_EQ(decodeNumericEntity("#65"), U'A');
    EXPECT_EQ(decodeNumericEntity("#x10FFFF"), U'\U0010FFFF');
    EXPECT_EQ(decodeNumericEntity("65"), std::nullopt);
    EXPECT_EQ(decodeNumericEntity("#xG"), std::nullopt);
    EXPECT_EQ(decodeNumericEntity(""), std::nullopt);
}

TEST(HTMLEscaping, EscapingThenUnescapingGivesTheTextBack)
{
    const std::string texts[] = {"Tom & Jerry's <b>\"quoted\"</b>", "Café e\u0301 &\u0301 😀 {x} [y] `z`", "100% = $5 + 3, @me!"};
    for (const auto& text : texts) {
        EXPECT_EQ(removingHTMLEntities(addingUnicodeEntities(text)), text);
        EXPECT_EQ(removingHTMLEntities(addingASCIIEntities(text)), text);
    }
}

TEST(HTMLEscaping, QtStringBridgesGiveTheSameResults)
{
    EXPECT_EQ(addingUnicodeEntities(QStringLiteral("Tom & Jerry's")), QStringLiteral("Tom &#38; Jerry&#39;s"));
    EXPECT_EQ(addingASCIIEntities(QString::fromUtf8("Café")), QStringLiteral("Caf&#233;"));
    EXPECT_EQ(removingHTMLEntities(QStringLiteral("&lt;b&gt;")), QStringLiteral("<b>"));
}
