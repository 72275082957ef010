#include "canvas/svg/SVGWriter.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace velquine {

namespace {

std::string formatted(double value, std::chars_format format, int precision)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, format, precision);
    return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string();
}

// Attribute values are written between double quotation marks; the characters XML gives a meaning there are
// written as references, so any text reads back as itself.
std::string escaped(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c; break;
        }
    }
    return out;
}

// Only names XML accepts can be written as attributes; a style declaration may have given a key that is none.
bool isXMLName(const std::string& name)
{
    if (name.empty())
        return false;
    const auto start = [](unsigned char c) { return std::isalpha(c) || c == '_' || c == ':' || c >= 0x80; };
    const auto rest = [&](unsigned char c) { return start(c) || std::isdigit(c) || c == '-' || c == '.'; };
    if (!start(static_cast<unsigned char>(name.front())))
        return false;
    return std::all_of(name.begin() + 1, name.end(), [&](char c) { return rest(static_cast<unsigned char>(c)); });
}

std::string colourText(const SVGColor& colour)
{
    const auto component = [](double v) { return int(std::clamp<long>(std::lround(v * 255), 0, 255)); };
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", component(colour.red), component(colour.green),
                  component(colour.blue));
    return buffer;
}

std::string transformText(const QTransform& t)
{
    return "matrix(" + svgNumberText(t.m11()) + "," + svgNumberText(t.m12()) + "," + svgNumberText(t.m21()) + ","
        + svgNumberText(t.m22()) + "," + svgNumberText(t.dx()) + "," + svgNumberText(t.dy()) + ")";
}

std::string pathData(const SVGBezierPath& path)
{
    std::string d;
    const auto point = [&](const Point& p) {
        d += svgNumberText(p.x);
        d += ',';
        d += svgNumberText(p.y);
    };
    for (const PathElement& e : path.elements()) {
        switch (e.type) {
        case PathElement::Type::moveTo: d += 'M'; point(e.points[0]); break;
        case PathElement::Type::lineTo: d += 'L'; point(e.points[0]); break;
        case PathElement::Type::quadCurveTo:
            d += 'Q';
            point(e.points[0]);
            d += ',';
            point(e.points[1]);
            break;
        case PathElement::Type::curveTo:
            d += 'C';
            point(e.points[0]);
            d += ',';
            point(e.points[1]);
            d += ',';
            point(e.points[2]);
            break;
        case PathElement::Type::closeSubpath: d += 'Z'; break;
        }
    }
    return d;
}

} // namespace

std::string svgNumberText(double value)
{
    if (!std::isfinite(value))
        return formatted(value, std::chars_format::general, 6);
    std::string text = formatted(value, std::chars_format::fixed, 3);
    if (text.find('.') != std::string::npos) {
        while (text.back() == '0')
            text.pop_back();
        if (text.back() == '.')
            text.pop_back();
    }
    if (text == "-0")
        text = "0";
    return text;
}

std::string svgTextFromPaths(const std::vector<SVGBezierPath>& paths)
{
    std::string lines;
    Rect all{0, 0, 0, 0};
    for (const SVGBezierPath& path : paths) {
        if (!path.isEmpty())
            all = all.unionWith(path.bounds());
        lines += "  <path";
        for (const auto& [name, value] : path.svgAttributes()) {
            // The path data is written from the geometry below, never twice.
            if (name == "d" || !isXMLName(name))
                continue;
            if (const std::string* text = std::get_if<std::string>(&value)) {
                lines += " " + name + "=\"" + escaped(*text) + "\"";
            } else if (const SVGColor* colour = std::get_if<SVGColor>(&value)) {
                lines += " " + name + "=\"" + colourText(*colour) + "\"";
                if (colour->alpha < 1.0)
                    lines += " " + name + "-opacity=\"" + formatted(colour->alpha, std::chars_format::general, 2) + "\"";
            } else if (const QTransform* transform = std::get_if<QTransform>(&value)) {
                lines += " " + name + "=\"" + transformText(*transform) + "\"";
            }
        }
        lines += " d=\"" + pathData(path) + "\"/>\n";
    }
    return "<svg xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\" width=\""
        + formatted(all.width(), std::chars_format::fixed, 0) + "\" height=\""
        + formatted(all.height(), std::chars_format::fixed, 0) + "\">\n" + lines + "\n</svg>\n";
}

} // namespace velquine
