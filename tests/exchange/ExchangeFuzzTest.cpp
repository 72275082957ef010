#include "exchange/DocxTextReader.h"
#include "exchange/DocxWriter.h"
#include "exchange/HTMLEscaping.h"
#include "exchange/RtfTextReader.h"
#include "exchange/RtfWriter.h"

#include "ExchangeTestSupport.h"

#include <gtest/gtest.h>

#include <random>

using namespace velquine;
using namespace velquine::testing;

namespace {

// Damages a text the way broken or hostile files are damaged: flipped bytes, cut-off ends,
// inserted markup characters, repeated and removed stretches.
std::string mutate(std::string text, std::mt19937& random)
{
    static const std::string markup = "{}\\'*;<>&/\"=\x00\xff\xc3";
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int e = 0; e < edits && !text.empty(); ++e) {
        const std::size_t at = random() % text.size();
        switch (random() % 6) {
        case 0:
            text[at] = static_cast<char>(random() % 256);
            break;
        case 1:
            text.resize(at);
            break;
        case 2:
            text.insert(at, 1, markup[random() % markup.size()]);
            break;
        case 3:
            text.insert(at, text.substr(at, random() % 64));
            break;
        case 4:
            text.erase(at, random() % 64);
            break;
        default:
            text.insert(at, std::string(1 + random() % 300, markup[random() % 3]));
            break;
        }
    }
    return text;
}

} // namespace

TEST(ExchangeFuzz, DamagedRtfIsReadOrRefusedButNeverCrashes)
{
    const std::vector<std::string> seeds{RtfWriter::write(sampleOutline()), readFile(VELQUINE_TEST_DATA_DIR "/exchange/word-list.rtf"),
                                         readFile(VELQUINE_TEST_DATA_DIR "/exchange/cocoa-list.rtf")};
    std::mt19937 random(12345);
    int read = 0;
    for (int i = 0; i < 3000; ++i) {
        const std::string input = mutate(seeds[static_cast<std::size_t>(i) % seeds.size()], random);
        try {
            const std::string text = RtfTextReader::plainText(input);
            EXPECT_LE(text.size(), input.size() * 10 + 16);
            ++read;
        } catch (const RtfReadError&) {
        }
    }
    EXPECT_GT(read, 1000);
}

TEST(ExchangeFuzz, DamagedWordDocumentsAreReadOrRefusedButNeverCrash)
{
    const std::string docx = DocxWriter::write(sampleOutline());
    const std::vector<std::string> seeds{DocxWriter::documentXml(sampleOutline()), readFile(VELQUINE_TEST_DATA_DIR "/exchange/word-list.docx")};
    std::mt19937 random(54321);
    for (int i = 0; i < 1500; ++i) {
        try {
            DocxTextReader::plainTextOfDocumentXml(mutate(seeds[0], random));
        } catch (const DocxReadError&) {
        }
        try {
            DocxTextReader::plainText(mutate(i % 2 ? docx : seeds[1], random));
        } catch (const DocxReadError&) {
        }
    }
}

TEST(ExchangeFuzz, EscapingRoundTripsArbitraryValidText)
{
    std::mt19937 random(777);
    const char32_t pool[] = {U'&', U'<', U'>', U'"', U'\'', U';', U'#', U'x', U'a', U'1', U'\r', U'\n', U'\t', 0x0301, 0x00E9, 0x65E5, 0x1F600, 0x1F3FD, U' '};
    for (int i = 0; i < 2000; ++i) {
        std::u32string scalars;
        const int length = static_cast<int>(random() % 40);
        for (int k = 0; k < length; ++k)
            scalars.push_back(pool[random() % std::size(pool)]);
        const std::string text = QString::fromUcs4(scalars.data(), static_cast<qsizetype>(scalars.size())).toStdString();
        ASSERT_EQ(removingHTMLEntities(addingUnicodeEntities(text)), text);
        ASSERT_EQ(removingHTMLEntities(addingASCIIEntities(text)), text);
        const std::string ascii = addingASCIIEntities(text);
        for (char c : ascii)
            ASSERT_LT(static_cast<unsigned char>(c), 128u);
    }
}
