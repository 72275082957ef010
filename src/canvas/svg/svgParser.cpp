#include "canvas/svg/svgParser.h"

#include <libxml/parser.h>
#include <libxml/xmlreader.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <mutex>

#include "canvas/svg/SVGError.h"
#include "canvas/svg/SVGScanner.h"
#include "canvas/svg/hexTriplet.h"
#include "canvas/svg/pathDataParser.h"
#include "platform/Log.h"

namespace velquine {

namespace {

constexpr double ellipseKappa = 0.5522847498307936;   // 4/3 (sqrt(2) - 1): a quarter circle as one cubic
constexpr float degreesToRadians = 3.1415927f / 180.0f;

std::string lowerCased(std::string text)
{
    for (char& c : text)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string trimmed(const QString& text) { return text.trimmed().toStdString(); }

std::string text(const xmlChar* value) { return value ? std::string(reinterpret_cast<const char*>(value)) : std::string(); }

// "%f" without the locale: six decimals.
std::string fixedText(double value)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string("0");
}

void ignoreXMLError(void*, xmlErrorPtr) {}

QTransform transformNamed(const std::string& name, const std::vector<float>& n)
{
    if (name == "matrix" && n.size() >= 6)
        return QTransform(n[0], n[1], n[2], n[3], n[4], n[5]);
    if (name == "rotate" && !n.empty()) {
        const float angle = n[0] * degreesToRadians;
        const double s = std::sin(double(angle));
        const double c = std::cos(double(angle));
        double tx = 0;
        double ty = 0;
        if (n.size() == 3) {
            const double cx = n[1];
            const double cy = n[2];
            tx = cx - c * cx + s * cy;
            ty = cy - s * cx - c * cy;
        }
        return QTransform(c, s, -s, c, tx, ty);
    }
    if (name == "translate" && !n.empty())
        return QTransform::fromTranslate(n[0], n.size() >= 2 ? n[1] : 0.0f);
    if (name == "scale" && !n.empty())
        return QTransform::fromScale(n[0], n.size() >= 2 ? n[1] : n[0]);
    if (name == "skewX" && !n.empty())
        return QTransform(1, 0, std::tan(double(n[0] * degreesToRadians)), 1, 0, 0);
    if (name == "skewY" && !n.empty())
        return QTransform(1, std::tan(double(n[0] * degreesToRadians)), 0, 1, 0, 0);
    return QTransform();
}

// "fill" and "stroke" given as text become colours; "none" is transparent white.
void convertColour(SVGAttributes& attributes, const std::string& key)
{
    const auto it = attributes.find(key);
    if (it == attributes.end())
        return;
    const std::string* value = std::get_if<std::string>(&it->second);
    if (!value)
        return;
    if (lowerCased(QString::fromStdString(*value).trimmed().toStdString()) == "none")
        it->second = SVGColor{1, 1, 1, 0};
    else
        it->second = hexTriplet(*value).color();
}

// An opacity below 1 replaces the colour's alpha and is dropped; "opacity" itself stays as it is.
void foldOpacity(SVGAttributes& attributes, const std::string& key)
{
    const auto colour = attributes.find(key);
    const auto opacity = attributes.find(key + "-opacity");
    if (colour == attributes.end() || opacity == attributes.end())
        return;
    SVGColor* c = std::get_if<SVGColor>(&colour->second);
    const std::string* o = std::get_if<std::string>(&opacity->second);
    if (!c || !o)
        return;
    const float alpha = leadingFloat(*o);
    if (alpha < 1.0f) {
        c->alpha = std::max(0.0, double(alpha));
        attributes.erase(opacity);
    }
}

// Turns a box with a negative width or height around, keeping the area it covers: afterwards (x, y) is its top
// left corner and both sides are non-negative.
void flipNegativeSides(double& x, double& y, double& width, double& height)
{
    if (width < 0) {
        x += width;
        width = -width;
    }
    if (height < 0) {
        y += height;
        height = -height;
    }
}

void addEllipse(SVGBezierPath& path, double x, double y, double width, double height)
{
    flipNegativeSides(x, y, width, height);
    const double rx = width / 2;
    const double ry = height / 2;
    const double cx = x + rx;
    const double cy = y + ry;
    const double kx = rx * ellipseKappa;
    const double ky = ry * ellipseKappa;
    path.moveTo({cx + rx, cy});
    path.curveTo({cx + rx, cy + ky}, {cx + kx, cy + ry}, {cx, cy + ry});
    path.curveTo({cx - kx, cy + ry}, {cx - rx, cy + ky}, {cx - rx, cy});
    path.curveTo({cx - rx, cy - ky}, {cx - kx, cy - ry}, {cx, cy - ry});
    path.curveTo({cx + kx, cy - ry}, {cx + rx, cy - ky}, {cx + rx, cy});
    path.closeSubpath();
}

} // namespace

struct svgParser::Reader {
    xmlTextReaderPtr handle = nullptr;
    ~Reader()
    {
        if (handle)
            xmlFreeTextReader(handle);
    }
};

svgParser::svgParser(std::string source, bool detectEncoding)
    : source_(std::move(source)), detectEncoding_(detectEncoding)
{
}

svgParser::~svgParser() = default;

std::vector<SVGBezierPath> svgParser::parse(bool wantAttributes)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] { xmlInitParser(); });

    groupStack_.clear();
    reader_ = std::make_unique<Reader>();
    if (source_.size() < std::size_t(INT_MAX))
        reader_->handle = xmlReaderForMemory(source_.data(), int(source_.size()), nullptr,
                                             detectEncoding_ ? nullptr : "UTF-8",
                                             XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    if (!reader_->handle)
        throw SVGError("Failed to create XML parser");
    xmlTextReaderSetStructuredErrorHandler(reader_->handle, ignoreXMLError, nullptr);

    std::vector<SVGBezierPath> paths;
    int skipDepth = 0;
    xmlTextReaderPtr r = reader_->handle;
    while (xmlTextReaderRead(r) == 1) {
        const int type = xmlTextReaderNodeType(r);
        // A document type that declares entities is refused before any of them is expanded.
        // The node itself is asked, not the document: asking for that would hand it over to us, to be freed,
        // and keep every node read from then on.
        if (type == XML_READER_TYPE_DOCUMENT_TYPE) {
            const xmlNodePtr node = xmlTextReaderCurrentNode(r);
            const auto* declaration = node && node->type == XML_DTD_NODE ? reinterpret_cast<const xmlDtd*>(node) : nullptr;
            if (declaration && (declaration->entities || declaration->pentities))
                throw SVGError("The SVG document declares entities in its document type, which are not read.");
        }
        const bool start = type == XML_READER_TYPE_ELEMENT;
        if (!start && type != XML_READER_TYPE_END_ELEMENT)
            continue;
        const bool empty = start && xmlTextReaderIsEmptyElement(r) == 1;
        if (skipDepth > 0) {
            if (start && !empty)
                ++skipDepth;
            else if (!start)
                --skipDepth;
            continue;
        }
        const std::string name = lowerCased(text(xmlTextReaderConstName(r)));
        const bool group = name == "g" || name == "a";
        if (!start) {
            if (group && !groupStack_.empty())
                groupStack_.pop_back();
            continue;
        }
        if (name == "svg") {
            pushGroup(collectAttributes());
        } else if (name == "path" || name == "polyline" || name == "line" || name == "polygon" || name == "rect"
                   || name == "circle" || name == "ellipse") {
            std::optional<SVGBezierPath> path = readShape(name);
            if (!path)
                continue;
            if (wantAttributes)
                path->setSVGAttributes(collectAttributes());
            paths.push_back(std::move(*path));
        } else if (group) {
            // An empty group has no content for its attributes to apply to.
            if (!empty)
                pushGroup(collectAttributes());
        } else if (!empty) {
            skipDepth = 1;
        }
    }
    reader_.reset();
    return paths;
}

void svgParser::pushGroup(const SVGAttributes& attributes)
{
    groupStack_.push_back(attributes);
}

SVGAttributes svgParser::collectAttributes()
{
    xmlTextReaderPtr r = reader_->handle;
    SVGAttributes attributes = groupStack_.empty() ? SVGAttributes() : groupStack_.back();
    if (xmlTextReaderHasAttributes(r) == 1 && xmlTextReaderMoveToFirstAttribute(r) == 1) {
        do {
            const std::string name = text(xmlTextReaderConstName(r));
            const std::string value = text(xmlTextReaderConstValue(r));
            const std::string lowerName = lowerCased(name);
            if (lowerName == "style")
                addStyleDeclarations(value, attributes);
            else if (lowerName == "transform")
                addTransformList(value, attributes);
            else
                attributes[name] = value;
        } while (xmlTextReaderMoveToNextAttribute(r) == 1);
        xmlTextReaderMoveToElement(r);
    }
    convertColour(attributes, "fill");
    convertColour(attributes, "stroke");
    foldOpacity(attributes, "fill");
    foldOpacity(attributes, "stroke");
    return attributes;
}

std::optional<std::string> svgParser::attribute(const char* name) const
{
    xmlChar* value = xmlTextReaderGetAttribute(reader_->handle, reinterpret_cast<const xmlChar*>(name));
    if (!value)
        return std::nullopt;
    std::string result = text(value);
    xmlFree(value);
    return result;
}

float svgParser::floatAttribute(const char* name) const
{
    const std::optional<std::string> value = attribute(name);
    return value ? leadingFloat(*value) : 0.0f;
}

std::pair<double, double> svgParser::radiusAttributes() const
{
    const bool hasRx = attribute("rx").has_value();
    const bool hasRy = attribute("ry").has_value();
    double rx = floatAttribute("rx");
    double ry = floatAttribute("ry");
    if (!hasRx)
        rx = ry;
    if (!hasRy)
        ry = rx;
    return {rx, ry};
}

std::optional<SVGBezierPath> svgParser::readShape(const std::string& name)
{
    if (name == "path")
        return readPathTag();
    if (name == "polyline")
        return readPolylineTag();
    if (name == "polygon")
        return readPolygonTag();
    if (name == "line")
        return readLineTag();
    if (name == "rect")
        return readRectTag();
    if (name == "circle")
        return readCircleTag();
    return readEllipseTag();
}

std::optional<SVGBezierPath> svgParser::readPathTag()
{
    const std::optional<std::string> d = attribute("d");
    if (!d)
        return std::nullopt;
    return pathDataParser(*d).parse();
}

std::optional<SVGBezierPath> svgParser::readPolylineTag()
{
    const std::optional<std::string> points = attribute("points");
    std::optional<double> x;
    std::optional<double> y;
    SVGScanner scanner(QString::fromStdString(points.value_or(std::string())), SVGCharacterSet{QStringLiteral(", "), false});
    if (points) {
        x = scanner.scanDouble();
        if (x)
            y = scanner.scanDouble();
    }
    if (!x || !y) {
        VQ_LOG("readPolylineTag()", "*** Error: Too few points in <poly*>");
        return std::nullopt;
    }
    std::string data = "M";
    data += fixedText(*x);
    data += ',';
    data += fixedText(*y);
    data += 'L';
    data += scanner.remainder().toStdString();
    return pathDataParser(data).parse();
}

std::optional<SVGBezierPath> svgParser::readPolygonTag()
{
    std::optional<SVGBezierPath> path = readPolylineTag();
    if (path)
        path->closeSubpath();
    return path;
}

std::optional<SVGBezierPath> svgParser::readLineTag()
{
    SVGBezierPath path;
    path.moveTo({floatAttribute("x1"), floatAttribute("y1")});
    path.lineTo({floatAttribute("x2"), floatAttribute("y2")});
    return path;
}

std::optional<SVGBezierPath> svgParser::readRectTag()
{
    double x = floatAttribute("x");
    double y = floatAttribute("y");
    double width = floatAttribute("width");
    double height = floatAttribute("height");
    const auto [rx, ry] = radiusAttributes();
    flipNegativeSides(x, y, width, height);
    // Corners never take more than half a side, and a negative corner is none.
    const double cw = std::clamp(rx, 0.0, width / 2);
    const double ch = std::clamp(ry, 0.0, height / 2);
    SVGBezierPath path;
    if (cw == 0 && ch == 0) {
        path.moveTo({x, y});
        path.lineTo({x + width, y});
        path.lineTo({x + width, y + height});
        path.lineTo({x, y + height});
        path.closeSubpath();
        return path;
    }
    const double kx = cw * ellipseKappa;
    const double ky = ch * ellipseKappa;
    const double right = x + width;
    const double bottom = y + height;
    path.moveTo({x + cw, y});
    path.lineTo({right - cw, y});
    path.curveTo({right - cw + kx, y}, {right, y + ch - ky}, {right, y + ch});
    path.lineTo({right, bottom - ch});
    path.curveTo({right, bottom - ch + ky}, {right - cw + kx, bottom}, {right - cw, bottom});
    path.lineTo({x + cw, bottom});
    path.curveTo({x + cw - kx, bottom}, {x, bottom - ch + ky}, {x, bottom - ch});
    path.lineTo({x, y + ch});
    path.curveTo({x, y + ch - ky}, {x + cw - kx, y}, {x + cw, y});
    path.closeSubpath();
    return path;
}

std::optional<SVGBezierPath> svgParser::readCircleTag()
{
    const double cx = floatAttribute("cx");
    const double cy = floatAttribute("cy");
    const double r = floatAttribute("r");
    SVGBezierPath path;
    addEllipse(path, cx - r, cy - r, 2 * r, 2 * r);
    return path;
}

std::optional<SVGBezierPath> svgParser::readEllipseTag()
{
    const double cx = floatAttribute("cx");
    const double cy = floatAttribute("cy");
    const auto [rx, ry] = radiusAttributes();
    SVGBezierPath path;
    addEllipse(path, cx - rx, cy - ry, 2 * rx, 2 * ry);
    return path;
}

void addStyleDeclarations(const std::string& style, SVGAttributes& attributes)
{
    SVGScanner scanner(QString::fromStdString(style), SVGCharacterSet{QStringLiteral(":;"), true});
    std::vector<std::pair<std::string, std::string>> declarations;
    for (;;) {
        const std::optional<QString> key = scanner.scanUpTo(QLatin1Char(':'));
        if (!key)
            break;
        const std::optional<QString> value = scanner.scanUpTo(QLatin1Char(';'));
        if (!value) {
            VQ_LOG("addStyleDeclarations()", "Parse error in style: '" + style + "'");
            return;
        }
        declarations.emplace_back(trimmed(*key), trimmed(*value));
    }
    for (const auto& [key, value] : declarations) {
        if (key == "display" && lowerCased(value) == "none")
            continue;
        if (key == "transform")
            addTransformList(value, attributes);
        else
            attributes[key] = value;
    }
}

void addTransformList(const std::string& transformList, SVGAttributes& attributes)
{
    const std::optional<QTransform> inherited = svgAttribute<QTransform>(attributes, "transform");
    QTransform transform = inherited.value_or(QTransform());
    SVGScanner scanner(QString::fromStdString(transformList), SVGCharacterSet{QStringLiteral("(),"), true});
    for (;;) {
        const std::optional<QString> name = scanner.scanUpTo(QLatin1Char('('));
        if (!name)
            break;
        std::vector<float> numbers;
        while (const std::optional<float> number = scanner.scanFloat())
            numbers.push_back(*number);
        // The new entry maps points first, then what came before it.
        transform = transformNamed(trimmed(*name), numbers) * transform;
    }
    if (inherited || !transform.isIdentity())
        attributes["transform"] = transform;
}

} // namespace velquine
