#include "platform/Color.h"

#include <QColor>
#include <QGuiApplication>
#include <QPalette>

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

namespace velquine {

namespace {

const std::vector<ColorSpace>& spaceTable()
{
    // The spaces documents written elsewhere name in their colour texts, with their colour component counts.
    static const std::vector<ColorSpace> table = {
        {"kCGColorSpaceSRGB", 3, ColorModel::rgb, false},
        {"kCGColorSpaceExtendedSRGB", 3, ColorModel::rgb, false},
        {"kCGColorSpaceLinearSRGB", 3, ColorModel::rgb, true},
        {"kCGColorSpaceExtendedLinearSRGB", 3, ColorModel::rgb, true},
        {"kCGColorSpaceGenericRGB", 3, ColorModel::rgb, false},
        {"kCGColorSpaceGenericRGBLinear", 3, ColorModel::rgb, true},
        {"kCGColorSpaceDeviceRGB", 3, ColorModel::rgb, false},
        {"kCGColorSpaceDisplayP3", 3, ColorModel::rgb, false},
        {"kCGColorSpaceExtendedDisplayP3", 3, ColorModel::rgb, false},
        {"kCGColorSpaceLinearDisplayP3", 3, ColorModel::rgb, true},
        {"kCGColorSpaceExtendedLinearDisplayP3", 3, ColorModel::rgb, true},
        {"kCGColorSpaceDCIP3", 3, ColorModel::rgb, false},
        {"kCGColorSpaceAdobeRGB1998", 3, ColorModel::rgb, false},
        {"kCGColorSpaceITUR_709", 3, ColorModel::rgb, false},
        {"kCGColorSpaceITUR_2020", 3, ColorModel::rgb, false},
        {"kCGColorSpaceExtendedITUR_2020", 3, ColorModel::rgb, false},
        {"kCGColorSpaceLinearITUR_2020", 3, ColorModel::rgb, true},
        {"kCGColorSpaceExtendedLinearITUR_2020", 3, ColorModel::rgb, true},
        {"kCGColorSpaceROMMRGB", 3, ColorModel::rgb, false},
        {"kCGColorSpaceACESCGLinear", 3, ColorModel::rgb, true},
        {"kCGColorSpaceGenericGrayGamma2_2", 1, ColorModel::gray, false},
        {"kCGColorSpaceGenericGray", 1, ColorModel::gray, false},
        {"kCGColorSpaceDeviceGray", 1, ColorModel::gray, false},
        {"kCGColorSpaceExtendedGray", 1, ColorModel::gray, false},
        {"kCGColorSpaceLinearGray", 1, ColorModel::gray, true},
        {"kCGColorSpaceExtendedLinearGray", 1, ColorModel::gray, true},
        {"kCGColorSpaceGenericCMYK", 4, ColorModel::cmyk, false},
        {"kCGColorSpaceDeviceCMYK", 4, ColorModel::cmyk, false},
    };
    return table;
}

bool valid(std::string_view space, const std::vector<double>& components)
{
    const ColorSpace* info = colorSpaceNamed(space);
    if (!info || components.size() != static_cast<std::size_t>(info->componentCount) + 1)
        return false;
    return std::all_of(components.begin(), components.end(), [](double c) { return std::isfinite(c); });
}

// Standard hexcone conversion; no clamping, so brightness above 1 gives components above 1.
void hsbToRGB(double h, double s, double v, double& r, double& g, double& b)
{
    if (s == 0) {
        r = g = b = v;
        return;
    }
    double sector = (h - std::floor(h)) * 6.0;
    const int i = static_cast<int>(std::floor(sector)) % 6;
    const double f = sector - std::floor(sector);
    const double p = v * (1.0 - s);
    const double q = v * (1.0 - s * f);
    const double t = v * (1.0 - s * (1.0 - f));
    switch (i) {
    case 0: r = v, g = t, b = p; break;
    case 1: r = q, g = v, b = p; break;
    case 2: r = p, g = v, b = t; break;
    case 3: r = p, g = q, b = v; break;
    case 4: r = t, g = p, b = v; break;
    default: r = v, g = p, b = q; break;
    }
}

double linearToSRGB(double c)
{
    const double a = std::fabs(c);
    const double e = a <= 0.0031308 ? a * 12.92 : 1.055 * std::pow(a, 1.0 / 2.4) - 0.055;
    return c < 0 ? -e : e;
}

double clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

} // namespace

const ColorSpace* colorSpaceNamed(std::string_view name)
{
    for (const ColorSpace& space : spaceTable())
        if (space.name == name)
            return &space;
    return nullptr;
}

const std::vector<ColorSpace>& knownColorSpaces() { return spaceTable(); }

Color::Color() : Color(black()) { }

Color::Color(Unchecked, std::string_view space, std::vector<double> components)
    : data_(std::make_shared<const Data>(Data{std::string(space), std::move(components)}))
{
}

Color::Color(std::string_view colorSpaceName, std::vector<double> components)
{
    if (!valid(colorSpaceName, components))
        throw std::invalid_argument("Color: components do not fit colour space " + std::string(colorSpaceName));
    data_ = std::make_shared<const Data>(Data{std::string(colorSpaceName), std::move(components)});
}

std::optional<Color> Color::make(std::string_view colorSpaceName, std::vector<double> components)
{
    if (!valid(colorSpaceName, components))
        return std::nullopt;
    return Color(Unchecked{}, colorSpaceName, std::move(components));
}

Color Color::calibratedRGB(double r, double g, double b, double a)
{
    return Color(colorspace::genericRGB, {r, g, b, a});
}

Color Color::sRGB(double r, double g, double b, double a) { return Color(colorspace::sRGB, {r, g, b, a}); }

Color Color::deviceRGB(double r, double g, double b, double a)
{
    return Color(colorspace::deviceRGB, {r, g, b, a});
}

Color Color::literal(float r, float g, float b, float a)
{
    return Color(colorspace::sRGB, {double(r), double(g), double(b), double(a)});
}

Color Color::calibratedHSB(double h, double s, double v, double a)
{
    double r, g, b;
    hsbToRGB(h, s, v, r, g, b);
    return calibratedRGB(r, g, b, a);
}

Color Color::hsb(double h, double s, double v, double a)
{
    double r, g, b;
    hsbToRGB(h, s, v, r, g, b);
    return sRGB(r, g, b, a);
}

Color Color::calibratedWhite(double white, double alpha) { return Color(colorspace::genericGray, {white, alpha}); }

// The two colours every default node style holds are made once.
Color Color::black()
{
    static const Color made = calibratedWhite(0.0);
    return made;
}

Color Color::white()
{
    static const Color made = calibratedWhite(1.0);
    return made;
}
Color Color::gray() { return calibratedWhite(0.5); }
Color Color::darkGray() { return calibratedWhite(1.0 / 3.0); }
Color Color::lightGray() { return calibratedWhite(2.0 / 3.0); }
Color Color::clear() { return calibratedWhite(0.0, 0.0); }
Color Color::red() { return calibratedRGB(1.0, 0.0, 0.0); }
Color Color::green() { return calibratedRGB(0.0, 1.0, 0.0); }
Color Color::orange() { return calibratedRGB(1.0, 0.5, 0.0); }
Color Color::magenta() { return calibratedRGB(1.0, 0.0, 1.0); }
Color Color::systemPink() { return sRGB(1.0, 0.176, 0.333); }

Color Color::textColor()
{
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return sRGB(0.0, 0.0, 0.0);
    float r, g, b, a;
    QGuiApplication::palette().color(QPalette::Active, QPalette::Text).toRgb().getRgbF(&r, &g, &b, &a);
    return sRGB(r, g, b, a);
}

const ColorSpace& Color::colorSpace() const { return *colorSpaceNamed(data_->space); }

std::array<double, 4> Color::deviceRGBComponents() const
{
    const ColorSpace& space = colorSpace();
    const auto& c = data_->components;
    switch (space.model) {
    case ColorModel::gray: {
        const double w = space.linear ? linearToSRGB(c[0]) : c[0];
        return {w, w, w, c[1]};
    }
    case ColorModel::cmyk:
        return {(1 - c[0]) * (1 - c[3]), (1 - c[1]) * (1 - c[3]), (1 - c[2]) * (1 - c[3]), c[4]};
    case ColorModel::rgb:
        break;
    }
    if (space.linear)
        return {linearToSRGB(c[0]), linearToSRGB(c[1]), linearToSRGB(c[2]), c[3]};
    return {c[0], c[1], c[2], c[3]};
}

Color Color::usingDeviceRGB() const
{
    const std::array<double, 4> c = deviceRGBComponents();
    return deviceRGB(c[0], c[1], c[2], c[3]);
}

HSBA Color::hsba() const
{
    const std::array<double, 4> rgb = deviceRGBComponents();
    const double r = rgb[0], g = rgb[1], b = rgb[2];
    const double max = std::max({r, g, b});
    const double min = std::min({r, g, b});
    const double delta = max - min;
    HSBA out;
    out.alpha = rgb[3];
    out.brightness = max;
    out.saturation = max > 0 ? delta / max : 0.0;
    if (delta > 0) {
        double h;
        if (max == r)
            h = (g - b) / delta;
        else if (max == g)
            h = 2.0 + (b - r) / delta;
        else
            h = 4.0 + (r - g) / delta;
        h /= 6.0;
        if (h < 0)
            h += 1.0;
        out.hue = h;
    }
    return out;
}

bool Color::isLight() const
{
    if (data_->components.size() < 3)
        return false;
    const auto& c = data_->components;
    return (299 * c[0] + 587 * c[1] + 114 * c[2]) / 1000 > 0.5;
}

Color Color::adjustingBrightness(double factor) const
{
    const HSBA h = hsba();
    return hsb(h.hue, h.saturation, h.brightness * factor, h.alpha);
}

QColor Color::toQColor() const
{
    if (colorSpace().model == ColorModel::cmyk) {
        const auto& c = data_->components;
        return QColor::fromCmykF(clamp01(c[0]), clamp01(c[1]), clamp01(c[2]), clamp01(c[3]), clamp01(c[4]));
    }
    // Worked out in place: the canvas asks for the colours of every line and node it shows on each change.
    const std::array<double, 4> c = deviceRGBComponents();
    return QColor::fromRgbF(clamp01(c[0]), clamp01(c[1]), clamp01(c[2]), clamp01(c[3]));
}

} // namespace velquine
