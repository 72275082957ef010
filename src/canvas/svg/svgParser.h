#pragma once

// Walks an SVG document element by element (libxml2's text reader) and turns its shapes ("path", "polyline",
// "polygon", "line", "rect", "circle", "ellipse") into paths in document order, each with the presentation
// attributes of its element and of the groups ("svg", "g", "a") around it. Content of every other element
// (definitions, clipping paths, text, style sheets...) is passed over. Element names are matched ignoring case.
// The reader never applies a "transform" attribute to the geometry; it only records it.
//
// Malformed XML ends the reading quietly with the paths read so far. A colour the reader does not know abandons
// the reading with an SVGError.

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "canvas/svg/SVGAttributes.h"
#include "canvas/svg/SVGBezierPath.h"

namespace velquine {

class svgParser {
public:
    // The document's bytes. With detectEncoding the XML declaration or a byte-order mark names the encoding;
    // without it the bytes are UTF-8.
    explicit svgParser(std::string source, bool detectEncoding = false);
    ~svgParser();
    svgParser(const svgParser&) = delete;
    svgParser& operator=(const svgParser&) = delete;

    // The paths of the document; with attributes each path carries its element's attributes.
    std::vector<SVGBezierPath> parse(bool wantAttributes);

private:
    struct Reader;

    SVGAttributes collectAttributes();
    void pushGroup(const SVGAttributes& attributes);
    std::optional<std::string> attribute(const char* name) const;
    float floatAttribute(const char* name) const;
    // The rx and ry attributes, each standing in for the other when it is missing (0 when both are).
    std::pair<double, double> radiusAttributes() const;

    std::optional<SVGBezierPath> readShape(const std::string& lowerCaseName);
    std::optional<SVGBezierPath> readPathTag();
    std::optional<SVGBezierPath> readPolylineTag();
    std::optional<SVGBezierPath> readPolygonTag();
    std::optional<SVGBezierPath> readLineTag();
    std::optional<SVGBezierPath> readRectTag();
    std::optional<SVGBezierPath> readCircleTag();
    std::optional<SVGBezierPath> readEllipseTag();

    std::string source_;
    bool detectEncoding_ = false;
    std::vector<SVGAttributes> groupStack_;
    std::unique_ptr<Reader> reader_;
};

// Style declarations ("fill: red; stroke-width: 3") added over attributes. A declaration without a value makes
// the whole style count for nothing (logged). A "display: none" declaration is dropped.
void addStyleDeclarations(const std::string& style, SVGAttributes& attributes);
// A transform list ("translate(10) scale(2)") applied after the transform already in the attributes (inherited
// from the groups); stored under "transform" unless it and the inherited one are both the identity.
void addTransformList(const std::string& transformList, SVGAttributes& attributes);

} // namespace velquine
