#include "exchange/DocxTextReader.h"
#include "exchange/RtfTextReader.h"

#include "ExchangeTestSupport.h"

#include <gtest/gtest.h>

using namespace velquine;
using namespace velquine::testing;

namespace {

std::string fixture(const char* name)
{
    const std::string bytes = readFile(QStringLiteral(VELQUINE_TEST_DATA_DIR "/exchange/") + QString::fromLatin1(name));
    EXPECT_FALSE(bytes.empty()) << name;
    return bytes;
}

} // namespace

TEST(ExchangeFixtures, WordProcessorRtfListKeepsItsLevels)
{
    // Symbol-font markers in \listtext, \ls without \ilvl for the first level, a Cyrillic font,
    // theme data, a data store and many ignored control words.
    EXPECT_EQ(RtfTextReader::plainText(fixture("word-list.rtf")),
              "Trip to Montréal\nDay 1\n\tOld town – walk\n\t\tCafé stop Москва\nDay 2\t(rest)\n");
}

TEST(ExchangeFixtures, TextEditorRtfListKeepsItsLevels)
{
    // A font table without inner groups, raw tabs in the markers, "\" at line ends as paragraph ends.
    EXPECT_EQ(RtfTextReader::plainText(fixture("cocoa-list.rtf")),
              "Shopping\nFruit\n\tApples – red & green\n\tPears\n\t\tConference\n日本の酒 “sake”\n");
}

TEST(ExchangeFixtures, ConverterRtfListByIndentationKeepsItsBullets)
{
    // Lists written as indented paragraphs with a bullet and a tab: the markers stay in the text.
    EXPECT_EQ(RtfTextReader::plainText(fixture("indented-list.rtf")),
              "Packing list\n\u2022\tClothes\n\u2013\tSocks\n\u2022\tBooks: The Trial\nmore\n");
}

TEST(ExchangeFixtures, WordDocumentWithNumberedListKeepsItsLevels)
{
    EXPECT_EQ(DocxTextReader::plainText(fixture("word-list.docx")),
              "Trip to Montréal\nDay 1\n\tOld town – walk\n\t\tCafé stop\n\tMap\t1\nDay 2\u2028rest day\nNote box\nBudget\t€ 300\nTrain\n9:15\n\n");
}

TEST(ExchangeFixtures, WordDocumentWithListStylesKeepsItsLevels)
{
    EXPECT_EQ(DocxTextReader::plainText(fixture("style-list.docx")),
              "Reading\nNovels\n\tThe Trial\n\tUlysses\nPoems & essays\n\tIndented by a tab\n");
}
