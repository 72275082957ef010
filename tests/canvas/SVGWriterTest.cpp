#include "canvas/svg/SVGWriter.h"
#include "canvas/svg/pathDataParser.h"

#include <gtest/gtest.h>

#include <cmath>

#include "SVGTestSupport.h"

using namespace velquine;
using velquine::svgtest::describe;

namespace {

const std::string header = "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" ";

SVGBezierPath pathOf(const std::string& d, SVGAttributes attributes = {})
{
    SVGBezierPath path = pathDataParser(d).parse();
    path.setSVGAttributes(std::move(attributes));
    return path;
}

} // namespace

TEST(SVGWriter, OnePathWithAnAttribute)
{
    const SVGBezierPath path = pathOf("M0,0 L10,5.5 Z", {{"stroke-width", std::string("2")}});
    EXPECT_EQ(svgTextFromPaths({path}), header + "width=\"10\" height=\"6\">\n"
                                                 "  <path stroke-width=\"2\" d=\"M0,0L10,5.5Z\"/>\n"
                                                 "\n"
                                                 "</svg>\n");
    EXPECT_EQ(path.SVGRepresentation(), svgTextFromPaths({path}));
}

TEST(SVGWriter, NoPathsIsAnEmptyDocument)
{
    EXPECT_EQ(svgTextFromPaths({}), header + "width=\"0\" height=\"0\">\n\n</svg>\n");
}

TEST(SVGWriter, EveryElementKind)
{
    SVGBezierPath path;
    path.moveTo({0, 0});
    path.lineTo({1, 2});
    path.quadCurveTo({3, 4}, {5, 6});
    path.curveTo({7, 8}, {9, 10}, {11, 12});
    path.closeSubpath();
    path.moveTo({-1, -2});
    // A move at the end still counts for the size.
    EXPECT_EQ(svgTextFromPaths({path}), header + "width=\"12\" height=\"14\">\n"
                                                 "  <path d=\"M0,0L1,2Q3,4,5,6C7,8,9,10,11,12ZM-1,-2\"/>\n"
                                                 "\n"
                                                 "</svg>\n");
}

TEST(SVGWriter, NumbersHaveAtMostThreeDecimals)
{
    EXPECT_EQ(svgNumberText(1.0 / 3.0), "0.333");
    EXPECT_EQ(svgNumberText(2.0 / 3.0), "0.667");
    EXPECT_EQ(svgNumberText(-0.5), "-0.5");
    EXPECT_EQ(svgNumberText(1234.5), "1234.5");
    EXPECT_EQ(svgNumberText(1234567), "1234567");
    EXPECT_EQ(svgNumberText(10), "10");
    EXPECT_EQ(svgNumberText(0.1), "0.1");
    EXPECT_EQ(svgNumberText(-0.0001), "0");
    EXPECT_EQ(svgNumberText(0.0625), "0.062");   // ties go to the even neighbour
    EXPECT_EQ(svgNumberText(1e-3), "0.001");
}

TEST(SVGWriter, SizeIsTheUnionOfTheBoundsWithTheOrigin)
{
    const std::string text = svgTextFromPaths({pathOf("M5,5 L10,10"), pathOf("M20,1 L21,2")});
    EXPECT_EQ(text.substr(0, text.find('\n')), header + "width=\"21\" height=\"10\">");
    const std::string negative = svgTextFromPaths({pathOf("M-5,-5 L-1,-2")});
    EXPECT_EQ(negative.substr(0, negative.find('\n')), header + "width=\"5\" height=\"5\">");
    // Bounds are the drawn curve's, not its control points'.
    const std::string curve = svgTextFromPaths({pathOf("M0,0 Q10,20 20,0")});
    EXPECT_EQ(curve.substr(0, curve.find('\n')), header + "width=\"20\" height=\"10\">");
}

TEST(SVGWriter, ColoursAreHexWithTheirOpacity)
{
    const SVGBezierPath path = pathOf("M0,0 L1,1", {{"fill", SVGColor{1, 0, 0, 0.5}}, {"stroke", SVGColor{0.5, 0.2, 1, 1}}});
    EXPECT_EQ(svgTextFromPaths({path}), header + "width=\"1\" height=\"1\">\n"
                                                 "  <path fill=\"#ff0000\" fill-opacity=\"0.5\" stroke=\"#8033ff\" d=\"M0,0L1,1\"/>\n"
                                                 "\n"
                                                 "</svg>\n");
    const SVGBezierPath faint = pathOf("M0,0", {{"fill", SVGColor{0, 0, 0, 0.123}}});
    EXPECT_NE(svgTextFromPaths({faint}).find("fill=\"#000000\" fill-opacity=\"0.12\""), std::string::npos);
}

TEST(SVGWriter, TransformsAreWrittenAsMatrices)
{
    const SVGBezierPath path = pathOf("M0,0", {{"transform", QTransform(1, 2, 3, 4, 5.5, -6)}});
    EXPECT_NE(svgTextFromPaths({path}).find("  <path transform=\"matrix(1,2,3,4,5.5,-6)\" d=\"M0,0\"/>"),
              std::string::npos);
}

TEST(SVGWriter, TextValuesAreEscapedAndPathDataIsWrittenOnce)
{
    const SVGBezierPath path = pathOf("M0,0", {{"id", std::string("a\"b&c<d>")}, {"d", std::string("M9,9")}});
    EXPECT_NE(svgTextFromPaths({path}).find("  <path id=\"a&quot;b&amp;c&lt;d&gt;\" d=\"M0,0\"/>"), std::string::npos);
    const std::vector<SVGBezierPath> back = SVGBezierPath::pathsFromSVGString(svgTextFromPaths({path}));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(svgAttribute<std::string>(back[0].svgAttributes(), "id"), "a\"b&c<d>");
    EXPECT_EQ(svgAttribute<std::string>(back[0].svgAttributes(), "d"), "M0,0");
}

TEST(SVGWriter, WritingThenReadingGivesTheSamePath)
{
    SVGBezierPath path;
    path.moveTo({0.5, -3.75});
    path.lineTo({10, 2.375});
    path.quadCurveTo({12.25, 8}, {14, 0.125});
    path.curveTo({15, 16}, {-17.5, 18}, {19, 20});
    path.closeSubpath();
    path.moveTo({100, 100});
    path.lineTo({101, 102});
    path.setSVGAttributes({{"fill", SVGColor{1, 0, 0, 0.5}},
                           {"stroke", SVGColor{0, 0, 1, 1}},
                           {"stroke-width", std::string("2.5")},
                           {"stroke-linecap", std::string("round")},
                           {"transform", QTransform(2, 0, 0, 2, 10, 0)}});
    path.setLineWidth(2.5);

    const std::vector<SVGBezierPath> back = SVGBezierPath::pathsFromSVGString(path.SVGRepresentation());
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].elements(), path.elements());
    EXPECT_EQ(back[0].lineWidth(), 2.5);
    // The document's own attributes reach the path as well, and the element's "d" is kept as text; apart from
    // them the attributes are the same.
    SVGAttributes attributes = back[0].svgAttributes();
    for (const char* rootAttribute : {"xmlns", "xmlns:xlink", "width", "height", "d"})
        EXPECT_EQ(attributes.erase(rootAttribute), 1u) << rootAttribute;
    EXPECT_EQ(attributes, path.svgAttributes());
}

TEST(SVGWriter, ReadingWritingAndReadingAgainKeepsTheGeometry)
{
    const std::string document = "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 50 50'>"
                                 "<g fill='teal'><circle cx='10' cy='10' r='7'/><rect x='1' y='2' width='30' height='9' rx='2'/></g>"
                                 "<path d='M0,0 A10,6 30 1 1 20,5 T30,5 s4,4 8,0 z'/><polygon points='1,1 5,1 3,4'/></svg>";
    const std::vector<SVGBezierPath> first = SVGBezierPath::pathsFromSVGString(document);
    const std::vector<SVGBezierPath> second = SVGBezierPath::pathsFromSVGString(svgTextFromPaths(first));
    ASSERT_EQ(first.size(), 4u);
    ASSERT_EQ(second.size(), first.size());
    for (std::size_t i = 0; i < first.size(); ++i) {
        ASSERT_EQ(second[i].elements().size(), first[i].elements().size()) << "path " << i;
        for (std::size_t k = 0; k < first[i].elements().size(); ++k) {
            EXPECT_EQ(second[i].elements()[k].type, first[i].elements()[k].type);
            for (int p = 0; p < 3; ++p) {
                EXPECT_NEAR(second[i].elements()[k].points[p].x, first[i].elements()[k].points[p].x, 0.0005);
                EXPECT_NEAR(second[i].elements()[k].points[p].y, first[i].elements()[k].points[p].y, 0.0005);
            }
        }
        EXPECT_EQ(svgAttribute<SVGColor>(second[i].svgAttributes(), "fill"),
                  svgAttribute<SVGColor>(first[i].svgAttributes(), "fill"));
        EXPECT_EQ(second[i].viewBox(), (Rect{0, 0, 50, 50}));
    }
}

TEST(SVGWriter, AttributesWhoseNamesXMLRefusesAreLeftOut)
{
    // A style declaration can give any key; the document written must still read.
    const std::vector<SVGBezierPath> read = SVGBezierPath::pathsFromSVGString(
        "<svg><path style='s#troke:1;-webkit-x:2;stroke-width:3' d='M0,0 L1,1'/></svg>");
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].svgAttributes().count("s#troke"), 1u);
    const std::string text = svgTextFromPaths(read);
    EXPECT_EQ(text.find("s#troke"), std::string::npos);
    EXPECT_EQ(text.find("-webkit-x"), std::string::npos);
    const std::vector<SVGBezierPath> again = SVGBezierPath::pathsFromSVGString(text);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].lineWidth(), 3.0);
}
