// A bounded, deterministic fuzz run of the path data parser and the document reader: random and mutated input
// must never crash, the parser must never throw, and the reader may only throw its own error type.

#include "canvas/svg/SVGError.h"
#include "canvas/svg/SVGWriter.h"
#include "canvas/svg/pathDataParser.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Log.h"
#include "platform/Resources.h"

using namespace velquine;

namespace {

// splitmix64: the same sequence on every platform and standard library.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next()
    {
        std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    std::size_t below(std::size_t n) { return n == 0 ? 0 : std::size_t(next() % n); }
    template <typename T>
    const T& pick(const std::vector<T>& items) { return items[below(items.size())]; }

private:
    std::uint64_t state_;
};

const std::vector<std::string> pathTokens = {
    "M", "m", "L", "l", "H", "h", "V", "v", "C", "c", "S", "s", "Q", "q", "T", "t", "A", "a", "Z", "z",
    "0", "00", "05", "1", "-1", ".5", "-.5", "1e-3", "2E+2", "1e39", "-1e-45", "3.4e38", "1.5.5", "10-5", "999999",
    ",", " ", "\n", "\t", "e", "E", "+", "-", ".", "x", "#", "\xc2\xa0", "\xe2\x80\xa8", "\xff",
};

const std::vector<std::string> pathSeeds = {
    "M0,0 L10,10 H20 V30 Z",
    "m5,5 c1,2 3,4 5,6 s7,8 9,10 q1,1 2,2 t3,3 z",
    "M0,0 A5,5 0 0 1 10,0 a3,4 30 1 0 -5,5 A0,0 0 0 0 1,1",
    "M45,110 A22,22 0 0 1 28,70 A30,30 0 0 1 70,35 A36,36 0 0 1 130,28 Z",
    "M.5.5-1-2 1e-3,2E2 00 05",
};

const std::vector<std::string> xmlTokens = {
    "<svg>", "</svg>", "<g>", "</g>", "<g fill='red'>", "<g/>", "<a>", "</a>", "<defs>", "</defs>", "<path d='M0,0 L1,1'/>",
    "<path ", "/>", ">", "<", "'", "\"", "=", " d='", " fill='", " stroke='", " style='", " transform='", " points='",
    "red", "none", "#f00", "#ff0000", "#ff00", "rgb(1,2,3)", "rgb(", ")", "url(#x)", "fill:blue;", "stroke-width:3",
    "display:none", "translate(10)", "rotate(90,1,2)", "scale(1e38)", "matrix(1 2 3 4 5 6)", "skewX(90)",
    "<rect width='5' height='5' rx='-1'/>", "<circle r='-3'/>", "<ellipse rx='2'/>", "<polyline points='1'/>",
    "<polygon points='1,1 2,2 3'/>", "<line x2='1e40'/>", "<!DOCTYPE svg [<!ENTITY e 'M0,0 L5,5'>]>", "&e;", "&amp;",
    "<![CDATA[x]]>", "<!-- c -->", "<?xml version='1.0'?>", "<svg:path d='M0,0'/>", "<PATH d='m1,1 2,2'/>",
    "fill-opacity='0.5'", "stroke-opacity='-2'", " viewBox='0 0 10 10'", "\xff\xfe", "\0",
};

std::string randomFrom(Random& random, const std::vector<std::string>& tokens, std::size_t count)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += random.pick(tokens);
    return text;
}

std::string mutated(Random& random, std::string text, const std::vector<std::string>& tokens)
{
    const std::size_t edits = 1 + random.below(4);
    for (std::size_t e = 0; e < edits; ++e) {
        const std::size_t at = random.below(text.size() + 1);
        switch (random.below(6)) {
        case 0:   // flip a byte
            if (!text.empty())
                text[random.below(text.size())] = char(random.next());
            break;
        case 1:   // insert a token
            text.insert(at, random.pick(tokens));
            break;
        case 2:   // delete a range
            text.erase(at, random.below(12));
            break;
        case 3:   // duplicate a range
            text.insert(at, text.substr(random.below(text.size() + 1), random.below(40)));
            break;
        case 4:   // truncate
            text.resize(at);
            break;
        default:   // random bytes
            for (std::size_t i = random.below(6); i > 0; --i)
                text.insert(text.begin() + std::ptrdiff_t(random.below(text.size() + 1)), char(random.next()));
            break;
        }
    }
    return text;
}

// Every point of every path is finite.
bool finite(const SVGBezierPath& path)
{
    for (const PathElement& e : path.elements())
        for (const Point& p : e.points)
            if (!p.isFinite())
                return false;
    return true;
}

void checkParser(const std::string& text)
{
    SVGBezierPath path;
    try {
        path = pathDataParser(text).parse();
    } catch (const std::exception& error) {
        ADD_FAILURE() << "parser threw " << error.what() << " on: " << text;
        return;
    }
    EXPECT_TRUE(finite(path)) << text;
    (void)path.CGPath().boundingRect();
    (void)path.hasExtent();
}

// Returns whether the text read without an error.
bool checkReader(const std::string& text)
{
    try {
        const std::vector<SVGBezierPath> paths = SVGBezierPath::pathsFromSVGString(text);
        for (const SVGBezierPath& path : paths)
            EXPECT_TRUE(finite(path)) << text;
        // What was read can be written and read again.
        const std::vector<SVGBezierPath> again = SVGBezierPath::pathsFromSVGString(svgTextFromPaths(paths));
        EXPECT_EQ(again.size(), paths.size()) << text;
        return true;
    } catch (const SVGError&) {
        return false;
    } catch (const std::exception& error) {
        ADD_FAILURE() << "reader threw " << error.what() << " on: " << text;
    } catch (...) {
        ADD_FAILURE() << "reader threw an unknown exception on: " << text;
    }
    return false;
}

} // namespace

TEST(SVGFuzz, ThePathDataParserSurvivesRandomAndMutatedText)
{
    LogCapture capture;   // keeps the many error messages off the output
    Random random(20261207);
    for (int i = 0; i < 60000; ++i) {
        checkParser(randomFrom(random, pathTokens, random.below(40)));
        checkParser(mutated(random, random.pick(pathSeeds), pathTokens));
        if (i % 256 == 0)
            capture.clear();
    }
    for (int i = 0; i < 2000; ++i) {
        std::string bytes(random.below(64), '\0');
        for (char& c : bytes)
            c = char(random.next());
        checkParser(bytes);
    }
}

TEST(SVGFuzz, TheReaderSurvivesRandomAndMutatedDocuments)
{
    LogCapture capture;
    Random random(7121962);
    std::vector<std::string> seeds = {
        "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 100 50' fill='navy'>"
        "<g fill='red' stroke='#00f' stroke-opacity='0.5' transform='translate(10) scale(2)'>"
        "<path style='fill:#abc;stroke-width:3' d='M0,0 L10,10 A5,5 0 0 1 20,0 Z'/>"
        "<rect x='1' y='2' width='10' height='4' rx='5'/><circle cx='5' cy='5' r='5'/>"
        "<ellipse cx='1' cy='1' rx='2' ry='3'/><line x1='0' y1='0' x2='5' y2='5'/>"
        "<polyline points='0,0 10,0 10,10'/><polygon points='0,0 5,0 5,5'/></g>"
        "<defs><path d='M0,0 L1,1'/></defs><a><path fill='none' d='m1,1 2,2'/></a></svg>",
        svgTextFromPaths(SVGBezierPath::pathsFromSVGString(
            "<svg><path fill='red' fill-opacity='0.25' transform='rotate(30)' d='M0,0 Q5,5 10,0 T20,0'/></svg>")),
    };
    if (const std::optional<std::string> cloud = resourceData("cloud", "svg"))
        seeds.push_back(*cloud);
    int succeeded = 0;
    for (int i = 0; i < 15000; ++i) {
        succeeded += checkReader(mutated(random, random.pick(seeds), xmlTokens));
        succeeded += checkReader("<svg>" + randomFrom(random, xmlTokens, random.below(30)) + "</svg>");
        if (i % 128 == 0)
            capture.clear();
    }
    for (int i = 0; i < 3000; ++i) {
        std::string bytes(random.below(200), '\0');
        for (char& c : bytes)
            c = char(random.next());
        checkReader(bytes);
    }
    // The run reaches past the error paths: many inputs read to the end.
    EXPECT_GT(succeeded, 3000);
}
