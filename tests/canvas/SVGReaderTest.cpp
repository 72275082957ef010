#include "canvas/svg/SVGBezierPath.h"
#include "canvas/svg/SVGError.h"
#include "canvas/svg/hexTriplet.h"

#include <gtest/gtest.h>

#include <QColor>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include "SVGTestSupport.h"
#include "support/XmlAllocations.h"
#include "platform/Resources.h"

using namespace velquine;
using velquine::svgtest::describe;

namespace {

std::vector<SVGBezierPath> read(const std::string& body)
{
    return SVGBezierPath::pathsFromSVGString("<svg xmlns=\"http://www.w3.org/2000/svg\">" + body + "</svg>");
}

SVGBezierPath readOne(const std::string& body)
{
    const std::vector<SVGBezierPath> paths = read(body);
    EXPECT_EQ(paths.size(), 1u);
    return paths.empty() ? SVGBezierPath() : paths.front();
}

std::optional<SVGColor> fill(const SVGBezierPath& path) { return svgAttribute<SVGColor>(path.svgAttributes(), "fill"); }
std::optional<std::string> textOf(const SVGBezierPath& path, const std::string& key)
{
    return svgAttribute<std::string>(path.svgAttributes(), key);
}

const SVGColor red{1, 0, 0, 1};

QPointF mapped(const SVGBezierPath& path, QPointF p)
{
    const std::optional<QTransform> t = svgAttribute<QTransform>(path.svgAttributes(), "transform");
    EXPECT_TRUE(t.has_value());
    return t ? t->map(p) : QPointF();
}

void expectNear(QPointF a, QPointF b)
{
    EXPECT_NEAR(a.x(), b.x(), 1e-5) << "x";
    EXPECT_NEAR(a.y(), b.y(), 1e-5) << "y";
}

std::string errorOf(const std::string& body)
{
    try {
        read(body);
    } catch (const SVGError& error) {
        return error.what();
    }
    return "no error";
}

} // namespace

TEST(SVGReader, PathsComeInDocumentOrderWithTheirGeometry)
{
    const std::vector<SVGBezierPath> paths = read("<path d='M0,0 L10,0'/><path d='M1,1 h5'/>");
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(describe(paths[0]), "M 0 0 | L 10 0");
    EXPECT_EQ(describe(paths[1]), "M 1 1 | L 6 1");
    EXPECT_TRUE(SVGBezierPath::pathsFromSVGString("<svg xmlns=\"http://www.w3.org/2000/svg\"/>").empty());
}

TEST(SVGReader, GroupsHandTheirAttributesToTheirContentOnly)
{
    const std::vector<SVGBezierPath> paths = read("<g fill='red' stroke-width='4'>"
                                                  "  <path d='M0,0 L1,1'/>"
                                                  "  <path fill='#00ff00' d='M0,0 L1,1'/>"
                                                  "  <g fill='blue'><path d='M0,0 L1,1'/></g>"
                                                  "  <path d='M0,0 L1,1'/>"
                                                  "</g>"
                                                  "<path d='M0,0 L1,1'/>");
    ASSERT_EQ(paths.size(), 5u);
    EXPECT_EQ(fill(paths[0]), red);
    EXPECT_EQ(paths[0].lineWidth(), 4.0);
    EXPECT_EQ(fill(paths[1]), (SVGColor{0, 1, 0, 1}));
    EXPECT_EQ(fill(paths[2]), (SVGColor{0, 0, 1, 1}));
    EXPECT_EQ(fill(paths[3]), red);
    EXPECT_FALSE(fill(paths[4]).has_value());
    EXPECT_EQ(paths[4].lineWidth(), 1.0);
    // A link groups like "g".
    const std::vector<SVGBezierPath> linked = read("<a stroke='black'><path d='M0,0 L1,1'/></a><path d='M0,0 L1,1'/>");
    ASSERT_EQ(linked.size(), 2u);
    EXPECT_EQ(svgAttribute<SVGColor>(linked[0].svgAttributes(), "stroke"), (SVGColor{0, 0, 0, 1}));
    EXPECT_FALSE(linked[1].svgAttributes().count("stroke"));
}

TEST(SVGReader, AnEmptyGroupLeavesNothingBehind)
{
    const std::vector<SVGBezierPath> paths = read("<g fill='red'/><path d='M0,0 L1,1'/>");
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_FALSE(fill(paths[0]).has_value());
}

TEST(SVGReader, TheRootElementsAttributesReachEveryPath)
{
    const std::vector<SVGBezierPath> paths = SVGBezierPath::pathsFromSVGString(
        "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 100 50' fill='navy'><path d='M0,0 L1,1'/></svg>");
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(paths[0].viewBox(), (Rect{0, 0, 100, 50}));
    EXPECT_EQ(textOf(paths[0], "xmlns"), "http://www.w3.org/2000/svg");
    EXPECT_EQ(fill(paths[0]), hexTriplet(0x000080).color());
    // Only four numbers separated by single blanks make a view box.
    EXPECT_TRUE(readOne("<g viewBox='0,0,100,50'><path d='M0,0 L1,1'/></g>").viewBox().isNull());
    EXPECT_TRUE(readOne("<path d='M0,0 L1,1'/>").viewBox().isNull());
}

TEST(SVGReader, TransformsAreRecordedNotApplied)
{
    // The list's last entry maps points first: scale by 2, then move by (10, 0).
    const SVGBezierPath path = readOne("<path transform='translate(10) scale(2)' d='M1,1 L2,2'/>");
    EXPECT_EQ(describe(path), "M 1 1 | L 2 2");
    expectNear(mapped(path, {1, 1}), {12, 2});
    // A group's transform applies after the element's own.
    const SVGBezierPath rotated = readOne("<g transform='rotate(90)'><path transform='translate(10) scale(2)' d='M1,1'/></g>");
    expectNear(mapped(rotated, {1, 1}), {-2, 12});
    expectNear(mapped(readOne("<path transform='matrix(1 2 3 4 5 6)' d='M0,0'/>"), {1, 1}), {9, 12});
    expectNear(mapped(readOne("<path transform='rotate(90, 10, 0)' d='M0,0'/>"), {11, 0}), {10, 1});
    expectNear(mapped(readOne("<path transform='scale(2)' d='M0,0'/>"), {1, 1}), {2, 2});
    expectNear(mapped(readOne("<path transform='scale(2,3)' d='M0,0'/>"), {1, 1}), {2, 3});
    expectNear(mapped(readOne("<path transform='translate(-1.5e1 4)' d='M0,0'/>"), {0, 0}), {-15, 4});
    expectNear(mapped(readOne("<path transform='skewX(45)' d='M0,0'/>"), {0, 1}), {1, 1});
    expectNear(mapped(readOne("<path transform='skewY(45)' d='M0,0'/>"), {1, 0}), {1, 1});
    // Unknown names and lists too short for their name change nothing, so no transform is recorded.
    EXPECT_FALSE(readOne("<path transform='matrix(1,2) wobble(3)' d='M0,0'/>").svgAttributes().count("transform"));
    EXPECT_FALSE(readOne("<path transform='translate(0)' d='M0,0'/>").svgAttributes().count("transform"));
    // Once a group records one, its content keeps it even when it adds nothing.
    expectNear(mapped(readOne("<g transform='translate(3,4)'><path transform='translate(0)' d='M0,0'/></g>"), {0, 0}),
               {3, 4});
}

TEST(SVGReader, StyleDeclarationsSetAttributes)
{
    const SVGBezierPath path = readOne("<path style='fill:#0000ff; stroke-width:3' d='M0,0 L1,1'/>");
    EXPECT_EQ(fill(path), (SVGColor{0, 0, 1, 1}));
    EXPECT_EQ(textOf(path, "stroke-width"), "3");
    EXPECT_EQ(path.lineWidth(), 3.0);
    // Blanks around keys and values do not count.
    EXPECT_EQ(fill(readOne("<path style=' fill : red ; ' d='M0,0'/>")), red);
    // A later attribute replaces what the style set, and the other way round.
    EXPECT_EQ(fill(readOne("<path style='fill:red' fill='blue' d='M0,0'/>")), (SVGColor{0, 0, 1, 1}));
    EXPECT_EQ(fill(readOne("<path fill='blue' style='fill:red' d='M0,0'/>")), red);
    // "display: none" in a style is dropped; the rest of the style stays.
    const SVGBezierPath hidden = readOne("<path style='display:None;stroke-linecap:round' d='M0,0'/>");
    EXPECT_FALSE(hidden.svgAttributes().count("display"));
    EXPECT_EQ(textOf(hidden, "stroke-linecap"), "round");
    // A transform in a style is read like the attribute.
    expectNear(mapped(readOne("<path style='transform: translate(5,6)' d='M0,0'/>"), {0, 0}), {5, 6});
}

TEST(SVGReader, AStyleWithAKeyWithoutValueCountsForNothing)
{
    LogCapture capture;
    const SVGBezierPath path = readOne("<path style='stroke-width:2;fill' d='M0,0'/>");
    EXPECT_TRUE(capture.contains("Parse error in style: 'stroke-width:2;fill'"));
    EXPECT_FALSE(path.svgAttributes().count("stroke-width"));
    EXPECT_FALSE(path.svgAttributes().count("fill"));
    capture.clear();
    EXPECT_TRUE(readOne("<path style='fill' d='M0,0'/>").svgAttributes().count("style") == 0);
    EXPECT_TRUE(capture.contains("Parse error in style: 'fill'"));
}

TEST(SVGReader, ColoursByNameAndByHex)
{
    EXPECT_EQ(fill(readOne("<path fill='red' d='M0,0'/>")), red);
    EXPECT_EQ(fill(readOne("<path fill='ReD' d='M0,0'/>")), red);
    EXPECT_EQ(fill(readOne("<path fill='cornflowerblue' d='M0,0'/>")), hexTriplet(0x6495ed).color());
    EXPECT_EQ(fill(readOne("<path fill='#f00' d='M0,0'/>")), fill(readOne("<path fill='#ff0000' d='M0,0'/>")));
    EXPECT_EQ(fill(readOne("<path fill='#FfA07a' d='M0,0'/>")), hexTriplet(0xffa07a).color());
    EXPECT_EQ(fill(readOne("<path fill='rgb(255, 128,0)' d='M0,0'/>")), (SVGColor{1, 128 / 255.0, 0, 1}));
    EXPECT_EQ(svgAttribute<SVGColor>(readOne("<path stroke='#abc' d='M0,0'/>").svgAttributes(), "stroke"),
              hexTriplet(0xaabbcc).color());
    // "none" is fully transparent.
    EXPECT_EQ(fill(readOne("<path fill='none' d='M0,0'/>")), (SVGColor{1, 1, 1, 0}));
}

TEST(SVGReader, OpacitiesBelowOneBecomeTheColoursAlpha)
{
    const SVGBezierPath half = readOne("<path fill='red' fill-opacity='0.5' stroke='blue' stroke-opacity='.25' d='M0,0'/>");
    EXPECT_EQ(fill(half), (SVGColor{1, 0, 0, 0.5}));
    EXPECT_FALSE(half.svgAttributes().count("fill-opacity"));
    EXPECT_EQ(svgAttribute<SVGColor>(half.svgAttributes(), "stroke"), (SVGColor{0, 0, 1, 0.25}));
    EXPECT_FALSE(half.svgAttributes().count("stroke-opacity"));
    // An opacity of 1 stays as text; "opacity" is never folded.
    const SVGBezierPath full = readOne("<path fill='red' fill-opacity='1' opacity='0.5' d='M0,0'/>");
    EXPECT_EQ(fill(full), red);
    EXPECT_EQ(textOf(full, "fill-opacity"), "1");
    EXPECT_EQ(textOf(full, "opacity"), "0.5");
    // A group's opacity reaches a colour set further in; the alpha is replaced, not multiplied.
    EXPECT_EQ(fill(readOne("<g fill-opacity='0.5'><path fill='red' d='M0,0'/></g>")), (SVGColor{1, 0, 0, 0.5}));
    EXPECT_EQ(fill(readOne("<g fill='red' fill-opacity='0.5'><path fill-opacity='0.25' d='M0,0'/></g>")),
              (SVGColor{1, 0, 0, 0.25}));
}

TEST(SVGReader, UnknownColoursFailTheWholeReadingWithOneErrorType)
{
    EXPECT_EQ(errorOf("<path fill='notacolour' d='M0,0'/>"), "Invalid parameter not satisfying: [text hasPrefix:@\"#\"]");
    EXPECT_EQ(errorOf("<path fill='url(#gradient)' d='M0,0'/>"), "Invalid parameter not satisfying: [text hasPrefix:@\"#\"]");
    EXPECT_EQ(errorOf("<path stroke='#ff00' d='M0,0'/>"),
              "Invalid parameter not satisfying: text.length == 4 || text.length == 7");
    EXPECT_EQ(errorOf("<path fill='rgb(1,2)' d='M0,0'/>"), "Invalid parameter not satisfying: components.count == 3");
    EXPECT_EQ(errorOf("<path fill='rgb(1,2,3' d='M0,0'/>"), "Invalid parameter not satisfying: [text hasSuffix:@\")\"]");
    EXPECT_EQ(errorOf("<g fill='bogus'><path d='M0,0'/></g>"), "Invalid parameter not satisfying: [text hasPrefix:@\"#\"]");
}

TEST(SVGReader, ColourTexts)
{
    EXPECT_EQ(hexTriplet("#123456").value, 0x123456u);
    EXPECT_EQ(hexTriplet("#abc").value, 0xaabbccu);
    EXPECT_EQ(hexTriplet(" white ").value, 0xffffffu);
    EXPECT_EQ(hexTriplet("rgb( 1, 2 ,3)").value, 0x010203u);
    // Components out of range are clamped, percent signs ignored.
    EXPECT_EQ(hexTriplet("rgb(300,-5,50%)").value, 0xff0032u);
    // Reading stops at the first character that is no hex digit.
    EXPECT_EQ(hexTriplet("#12x456").value, 0x12u);
    EXPECT_THROW(hexTriplet(""), SVGError);
    EXPECT_THROW(hexTriplet("123456"), SVGError);
}

TEST(SVGReader, TheNamedColoursAreTheSVGColourKeywords)
{
    int checked = 0;
    for (const QString& name : QColor::colorNames()) {
        if (name == QLatin1String("transparent"))
            continue;
        const std::string* text = svgNamedColor(name.toStdString());
        ASSERT_NE(text, nullptr) << name.toStdString();
        EXPECT_EQ(*text, QColor(name).name().toStdString()) << name.toStdString();
        ++checked;
    }
    EXPECT_EQ(checked, 147);
    EXPECT_EQ(svgNamedColor("Red"), nullptr);   // the table holds lower-case names; callers lower-case first
}

TEST(SVGReader, BasicShapes)
{
    EXPECT_EQ(describe(readOne("<rect x='1' y='2' width='10' height='4'/>")), "M 1 2 | L 11 2 | L 11 6 | L 1 6 | Z");
    // rx without ry serves for both, and corners take at most half a side: (5, 2).
    const SVGBezierPath rounded = readOne("<rect width='10' height='4' rx='5'/>");
    EXPECT_EQ(rounded.elements()[0].points[0], (Point{5, 0}));
    EXPECT_EQ(rounded.elements()[2].points[2], (Point{10, 2}));
    EXPECT_EQ(rounded.bounds(), (Rect{0, 0, 10, 4}));
    const SVGBezierPath onlyRy = readOne("<rect width='20' height='20' ry='3'/>");
    EXPECT_EQ(onlyRy.elements()[2].points[2], (Point{20, 3}));
    EXPECT_EQ(onlyRy.elements()[0].points[0], (Point{3, 0}));
    // Numbers with units read as the number.
    EXPECT_EQ(readOne("<rect width='10px' height='4pt'/>").bounds(), (Rect{0, 0, 10, 4}));
    // A negative width or height reaches back from x and y.
    EXPECT_EQ(describe(readOne("<rect x='10' y='10' width='-4' height='-2'/>")), "M 6 8 | L 10 8 | L 10 10 | L 6 10 | Z");

    const SVGBezierPath circle = readOne("<circle cx='5' cy='6' r='5'/>");
    EXPECT_EQ(circle.elements().size(), 6u);
    EXPECT_EQ(circle.elements().front().points[0], (Point{10, 6}));
    const Rect cb = circle.bounds();
    EXPECT_NEAR(cb.origin.x, 0, 1e-9);
    EXPECT_NEAR(cb.origin.y, 1, 1e-9);
    EXPECT_NEAR(cb.size.width, 10, 1e-9);
    EXPECT_NEAR(cb.size.height, 10, 1e-9);
    const Rect eb = readOne("<ellipse cx='10' cy='10' rx='4'/>").bounds();
    EXPECT_NEAR(eb.size.width, 8, 1e-9);
    EXPECT_NEAR(eb.size.height, 8, 1e-9);
    const Rect eb2 = readOne("<ellipse cx='10' cy='10' rx='4' ry='2'/>").bounds();
    EXPECT_NEAR(eb2.size.height, 4, 1e-9);
    // A negative radius draws the ellipse of its size, started at the right end like any other.
    const SVGBezierPath negative = readOne("<ellipse cx='10' cy='10' rx='-4' ry='2'/>");
    EXPECT_EQ(negative.elements().front().points[0], (Point{14, 10}));
    const Rect nb = negative.bounds();
    EXPECT_NEAR(nb.origin.x, 6, 1e-9);
    EXPECT_NEAR(nb.origin.y, 8, 1e-9);
    EXPECT_NEAR(nb.size.width, 8, 1e-9);
    EXPECT_NEAR(nb.size.height, 4, 1e-9);

    EXPECT_EQ(describe(readOne("<line x1='1' y1='2' x2='3' y2='4'/>")), "M 1 2 | L 3 4");
    EXPECT_EQ(describe(readOne("<polyline points='0,0 10,0 10,10'/>")), "M 0 0 | L 10 0 | L 10 10");
    EXPECT_EQ(describe(readOne("<polygon points='0 0,10 0 10 10'/>")), "M 0 0 | L 10 0 | L 10 10 | Z");
}

TEST(SVGReader, ShapesThatGiveNoPath)
{
    LogCapture capture;
    EXPECT_TRUE(read("<polyline points='5'/>").empty());
    EXPECT_TRUE(capture.contains("*** Error: Too few points in <poly*>"));
    capture.clear();
    EXPECT_TRUE(read("<polygon/>").empty());
    EXPECT_TRUE(capture.contains("*** Error: Too few points in <poly*>"));
    capture.clear();
    // A path without data gives nothing and says nothing; empty data gives an empty path.
    EXPECT_TRUE(read("<path fill='red'/>").empty());
    EXPECT_TRUE(capture.lines().empty());
    const std::vector<SVGBezierPath> empty = read("<path d=''/>");
    ASSERT_EQ(empty.size(), 1u);
    EXPECT_TRUE(empty[0].isEmpty());
    EXPECT_FALSE(empty[0].hasExtent());
}

TEST(SVGReader, ContentOfOtherElementsIsPassedOver)
{
    const std::vector<SVGBezierPath> paths = read("<defs><g><path d='M0,0 L1,1'/></g><circle r='3'/></defs>"
                                                  "<clipPath id='c'><rect width='3' height='3'/></clipPath>"
                                                  "<title>t <b>bold</b></title>"
                                                  "<svg:path xmlns:svg='http://www.w3.org/2000/svg' d='M0,0 L1,1'/>"
                                                  "<PATH d='M0,0 L7,7'/>"
                                                  "<Rect width='2' height='2'/>");
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_EQ(describe(paths[0]), "M 0 0 | L 7 7");
    EXPECT_EQ(paths[1].bounds(), (Rect{0, 0, 2, 2}));
}

TEST(SVGReader, MalformedXMLEndsTheReadingQuietly)
{
    const std::vector<SVGBezierPath> paths =
        SVGBezierPath::pathsFromSVGString("<svg><path d='M0,0 L1,1'/><path d='M0,0 L2,2'/><path d=");
    ASSERT_EQ(paths.size(), 2u);
    EXPECT_TRUE(SVGBezierPath::pathsFromSVGString("not xml at all").empty());
    EXPECT_TRUE(SVGBezierPath::pathsFromSVGString("").empty());
    EXPECT_TRUE(SVGBezierPath::pathsFromSVGString(std::string("\0\0", 2)).empty());
    EXPECT_TRUE(SVGBezierPath::pathsFromSVGString("<svg><path d='M0,0 L1,1'></svg>").size() <= 1);
}

TEST(SVGReader, DeclaredEntitiesAreRefusedAPlainDocumentTypeIsNot)
{
    // Reading a document type leaves nothing of the parser's behind.
    const velquine::testing::XmlAllocations allocations;
    const std::string body = "<svg><path d='M0,0 L1,1' fill='&c;'/></svg>";
    EXPECT_THROW(SVGBezierPath::pathsFromSVGString("<!DOCTYPE svg [<!ENTITY c \"red\">]>" + body), SVGError);
    EXPECT_THROW(SVGBezierPath::pathsFromSVGString("<!DOCTYPE svg [<!ENTITY % p \"x\">]><svg/>"), SVGError);
    EXPECT_EQ(SVGBezierPath::pathsFromSVGString("<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" "
                                                "\"http://www.w3.org/Graphics/SVG/1.1/DTD/svg11.dtd\">"
                                                "<svg><path d='M0,0 L1,1'/></svg>").size(),
              1u);
    EXPECT_EQ(allocations.leftBehind(), 0u);
}

TEST(SVGReader, DeepNestingDoesNotOverflow)
{
    std::string doc = "<svg>";
    for (int i = 0; i < 20000; ++i)
        doc += "<g fill='red'>";
    doc += "<path d='M0,0 L1,1'/>";
    EXPECT_NO_THROW(SVGBezierPath::pathsFromSVGString(doc));
}

TEST(SVGReader, LineWidthComesFromTheStrokeWidth)
{
    EXPECT_EQ(readOne("<path d='M0,0'/>").lineWidth(), 1.0);
    EXPECT_EQ(readOne("<path stroke-width='2.5px' d='M0,0'/>").lineWidth(), 2.5);
}

TEST(SVGReader, FilesAreReadOnceAndServedAsCopies)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("shape.svg"));
    const auto write = [&](const char* text) {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(text);
    };
    SVGBezierPath::resetCache();
    write("<svg><path d='M0,0 L10,10'/></svg>");
    const std::string location = file.toStdString();
    std::vector<SVGBezierPath> first = SVGBezierPath::pathsFromSVGAtURL(location);
    ASSERT_EQ(first.size(), 1u);
    first[0].applyTransform(QTransform::fromScale(3, 3));
    EXPECT_EQ(describe(first[0]), "M 0 0 | L 30 30");
    // The file changes, but the cache answers, untouched by the transform above.
    write("<svg><path d='M0,0 L5,5'/></svg>");
    EXPECT_EQ(describe(SVGBezierPath::pathsFromSVGAtURL(location).at(0)), "M 0 0 | L 10 10");
    EXPECT_EQ(describe(SVGBezierPath::pathsFromSVGAtURL(QUrl::fromLocalFile(file).toString().toStdString()).at(0)),
              "M 0 0 | L 5 5");
    SVGBezierPath::resetCache();
    EXPECT_EQ(describe(SVGBezierPath::pathsFromSVGAtURL(location).at(0)), "M 0 0 | L 5 5");
}

TEST(SVGReader, AnUnreadableFileIsAnErrorAndIsNotCached)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("later.svg"));
    try {
        SVGBezierPath::pathsFromSVGAtURL(file.toStdString());
        FAIL() << "no error";
    } catch (const SVGError& error) {
        EXPECT_STREQ(error.what(), "Invalid parameter not satisfying: svgString");
    }
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("<svg><path d='M0,0 L1,1'/></svg>");
    out.close();
    EXPECT_EQ(SVGBezierPath::pathsFromSVGAtURL(file.toStdString()).size(), 1u);
    EXPECT_THROW(SVGBezierPath::pathsFromSVGAtURL(""), SVGError);
}

TEST(SVGReader, EncodingOfAFileFollowsItsDeclaration)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("latin1.svg"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("<?xml version='1.0' encoding='ISO-8859-1'?><svg><path id='\xe9' d='M0,0 L1,1'/></svg>");
    out.close();
    const std::vector<SVGBezierPath> paths = SVGBezierPath::pathsFromSVGAtURL(file.toStdString());
    ASSERT_EQ(paths.size(), 1u);
    EXPECT_EQ(textOf(paths[0], "id"), "\xc3\xa9");
}

TEST(SVGReader, TheCloudResourceIsAnOutlineThatFitsAnyNode)
{
    ASSERT_TRUE(resourceData("cloud", "svg").has_value());
    const std::vector<SVGBezierPath> paths = SVGBezierPath::pathsFromSVGAtURL(":/cloud.svg");
    ASSERT_FALSE(paths.empty());
    SVGBezierPath outline = paths.back();
    EXPECT_TRUE(outline.hasExtent());
    EXPECT_EQ(outline.elements().back().type, PathElement::Type::closeSubpath);
    // Fitted to a node and to its ring, six points larger on each side.
    ASSERT_TRUE(outline.fitInto(Rect{0, 0, 120, 60}));
    const Rect b = outline.bounds();
    EXPECT_NEAR(b.origin.x, 0, 1e-9);
    EXPECT_NEAR(b.origin.y, 0, 1e-9);
    EXPECT_NEAR(b.size.width, 120, 1e-9);
    EXPECT_NEAR(b.size.height, 60, 1e-9);
    EXPECT_TRUE(outline.CGPath().contains(QPointF(60, 30)));
    SVGBezierPath ring = paths.back();
    ASSERT_TRUE(ring.fitInto(Rect{-6, -6, 132, 72}));
    EXPECT_NEAR(ring.bounds().origin.x, -6, 1e-9);
    EXPECT_NEAR(ring.bounds().size.height, 72, 1e-9);
}

TEST(SVGBezierPath, APathWithoutExtentIsNotFitted)
{
    SVGBezierPath flat;
    flat.moveTo({0, 5});
    flat.lineTo({10, 5});
    EXPECT_FALSE(flat.hasExtent());
    const SVGBezierPath before = flat;
    EXPECT_FALSE(flat.fitInto(Rect{0, 0, 100, 100}));
    EXPECT_EQ(flat, before);
    EXPECT_FALSE(SVGBezierPath().hasExtent());
    SVGBezierPath dot;
    dot.moveTo({3, 3});
    EXPECT_FALSE(dot.fitInto(Rect{0, 0, 1, 1}));
}

TEST(SVGBezierPath, SettingAttributesMakesAChangedCopy)
{
    const SVGBezierPath path = readOne("<path fill='red' stroke-width='2' d='M0,0 L1,1'/>");
    const SVGBezierPath changed = path.pathBySettingSVGAttributes({{"stroke-width", std::nullopt},
                                                                   {"fill", SVGAttributeValue(SVGColor{0, 0, 0, 1})},
                                                                   {"id", SVGAttributeValue(std::string("x"))}});
    EXPECT_FALSE(changed.svgAttributes().count("stroke-width"));
    EXPECT_EQ(fill(changed), (SVGColor{0, 0, 0, 1}));
    EXPECT_EQ(textOf(changed, "id"), "x");
    EXPECT_EQ(fill(path), red);
    EXPECT_EQ(describe(changed), describe(path));
}

TEST(SVGBezierPath, TakesTheElementsOfAPainterPath)
{
    QPainterPath qt;
    qt.moveTo(1, 2);
    qt.lineTo(3, 4);
    qt.cubicTo(5, 6, 7, 8, 9, 10);
    const SVGBezierPath path = SVGBezierPath::bezierPathWithCGPath(qt);
    EXPECT_EQ(describe(path), "M 1 2 | L 3 4 | C 5 6 7 8 9 10");
    EXPECT_EQ(path.CGPath().elementCount(), qt.elementCount());
}

TEST(SVGBezierPath, TransformsMoveEveryPointAndTheCurrentPoint)
{
    SVGBezierPath path;
    path.moveTo({1, 1});
    path.quadCurveTo({2, 2}, {3, 1});
    path.closeSubpath();
    path.applyTransform(QTransform::fromTranslate(10, 0));
    EXPECT_EQ(describe(path), "M 11 1 | Q 12 2 13 1 | Z");
    EXPECT_EQ(path.currentPoint(), (Point{11, 1}));
    EXPECT_TRUE(path.CGPath().boundingRect().contains(QPointF(12, 1.25)));
}
