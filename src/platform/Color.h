#pragma once

// Colours as values: the name of a colour space and the components in that space, alpha last. Two colours
// are equal only when both name the same space and hold exactly the same components; nothing is converted
// for a comparison. QColor appears only where a colour is drawn.

#include <array>
#include <optional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class QColor;

namespace velquine {

// How the components of a colour space are read when the colour is drawn or converted.
enum class ColorModel { gray, rgb, cmyk };

// A colour space that a stored colour may name, with the number of its colour components (alpha not
// counted).
struct ColorSpace {
    std::string_view name;
    int componentCount = 0;
    ColorModel model = ColorModel::rgb;
    // Components are linear light (drawing applies the sRGB curve to them).
    bool linear = false;
};

// The names colour texts are written with.
namespace colorspace {
inline constexpr std::string_view sRGB = "kCGColorSpaceSRGB";
inline constexpr std::string_view genericRGB = "kCGColorSpaceGenericRGB";
inline constexpr std::string_view deviceRGB = "kCGColorSpaceDeviceRGB";
inline constexpr std::string_view genericGray = "kCGColorSpaceGenericGrayGamma2_2";
} // namespace colorspace

// Every colour space name a stored colour may hold; null for any other name.
const ColorSpace* colorSpaceNamed(std::string_view name);
const std::vector<ColorSpace>& knownColorSpaces();

// Hue, saturation and brightness, each from 0 to 1 for colours inside the RGB cube, and alpha.
struct HSBA {
    double hue = 0;
    double saturation = 0;
    double brightness = 0;
    double alpha = 1;
};

class Color {
public:
    // Opaque black in the grey space.
    Color();
    // Throws std::invalid_argument unless the space is one of knownColorSpaces(), the components are its
    // component count plus one (alpha) and every component is finite.
    Color(std::string_view colorSpaceName, std::vector<double> components);
    // Same checks without throwing.
    static std::optional<Color> make(std::string_view colorSpaceName, std::vector<double> components);

    // The kinds of colour the program makes.
    static Color calibratedRGB(double red, double green, double blue, double alpha = 1.0);  // generic RGB
    static Color sRGB(double red, double green, double blue, double alpha = 1.0);
    static Color deviceRGB(double red, double green, double blue, double alpha = 1.0);
    // Single-precision components widened to double, in sRGB (0.314f reads 0.31400001049041748).
    static Color literal(float red, float green, float blue, float alpha = 1.0f);
    // Hue, saturation and brightness turned into calibrated RGB.
    static Color calibratedHSB(double hue, double saturation, double brightness, double alpha = 1.0);
    // Hue, saturation and brightness turned into sRGB; nothing is clamped, so a brightness above 1 gives
    // components above 1.
    static Color hsb(double hue, double saturation, double brightness, double alpha = 1.0);
    static Color calibratedWhite(double white, double alpha = 1.0);  // generic grey

    // Named colours.
    static Color black();      // grey 0
    static Color white();      // grey 1
    static Color gray();       // grey 0.5
    static Color darkGray();   // grey 1/3
    static Color lightGray();  // grey 2/3
    static Color clear();      // grey 0, alpha 0
    static Color red();        // calibrated RGB (1, 0, 0)
    static Color green();      // calibrated RGB (0, 1, 0)
    static Color orange();     // calibrated RGB (1, 0.5, 0)
    static Color magenta();    // calibrated RGB (1, 0, 1)
    static Color systemPink(); // sRGB (1, 0.176, 0.333)
    // The standard colour of text in the current appearance (the application palette's text colour, in sRGB).
    static Color textColor();

    const std::string& colorSpaceName() const { return data_->space; }
    const ColorSpace& colorSpace() const;
    // Colour components followed by alpha.
    const std::vector<double>& components() const { return data_->components; }
    std::size_t numberOfComponents() const { return data_->components.size(); }
    double alpha() const { return data_->components.back(); }

    // The same colour as device RGB components (grey spread to three channels, linear light encoded with the
    // sRGB curve, CMYK by the naive formula); RGB components carry over unchanged.
    Color usingDeviceRGB() const;
    // Of the device RGB form.
    HSBA hsba() const;
    double brightness() const { return hsba().brightness; }

    // Whether (299 c0 + 587 c1 + 114 c2) / 1000 of the colour's own first three components (alpha counted
    // among them, nothing converted) exceeds 0.5; false for a colour with fewer than three, such as grey.
    bool isLight() const;
    // The device RGB colour with its brightness multiplied by the factor (not clamped), hue, saturation and
    // alpha kept, as an sRGB colour.
    Color adjustingBrightness(double factor) const;

    // For drawing only; components outside 0...1 are clamped.
    QColor toQColor() const;

    // Same space and components.
    friend bool operator==(const Color& a, const Color& b)
    {
        return a.data_ == b.data_ ||
               (a.data_->space == b.data_->space && a.data_->components == b.data_->components);
    }

private:
    struct Unchecked {};
    // The device RGB components and alpha usingDeviceRGB() gives, without making a colour of them.
    std::array<double, 4> deviceRGBComponents() const;
    Color(Unchecked, std::string_view space, std::vector<double> components);

    // A colour never changes once made, so copies share one immutable record: copying a colour (and every
    // node style that holds four) allocates nothing.
    struct Data {
        std::string space;
        std::vector<double> components;
    };
    std::shared_ptr<const Data> data_;
};

} // namespace velquine
