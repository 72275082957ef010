#include "model/style/ColorOperations.h"
#include "model/style/ProjectStyle.h"
#include "platform/Json.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace velquine;

namespace {

std::string trim(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

std::vector<std::string> split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::stringstream stream(text);
    std::string part;
    while (std::getline(stream, part, separator))
        parts.push_back(trim(part));
    return parts;
}

std::vector<double> arguments(const std::string& notation)
{
    const auto open = notation.find('(');
    std::vector<double> numbers;
    for (const std::string& part : split(notation.substr(open + 1, notation.size() - open - 2), ','))
        numbers.push_back(std::strtod(part.c_str(), nullptr));
    return numbers;
}

// A colour in the notation of the style tables: #RRGGBB (calibrated RGB), hsb(h, s, b) (calibrated HSB),
// rgb(r, g, b) (sRGB), lit(r, g, b) (single-precision sRGB) or a platform colour name.
Color color(const std::string& notation)
{
    if (notation[0] == '#') {
        const unsigned long value = std::stoul(notation.substr(1), nullptr, 16);
        return Color::calibratedRGB(((value >> 16) & 0xFF) / 255.0, ((value >> 8) & 0xFF) / 255.0,
                                    (value & 0xFF) / 255.0, 1.0);
    }
    if (notation.rfind("hsb(", 0) == 0) {
        const auto n = arguments(notation);
        return Color::calibratedHSB(n[0], n[1], n[2], 1.0);
    }
    if (notation.rfind("rgb(", 0) == 0) {
        const auto n = arguments(notation);
        return Color::sRGB(n[0], n[1], n[2], 1.0);
    }
    if (notation.rfind("lit(", 0) == 0) {
        const auto open = notation.find('(');
        std::vector<float> n;
        for (const std::string& part : split(notation.substr(open + 1, notation.size() - open - 2), ','))
            n.push_back(std::strtof(part.c_str(), nullptr));
        return Color::literal(n[0], n[1], n[2], 1.0f);
    }
    static const std::map<std::string, Color> named = {
        {"white", Color::white()},       {"black", Color::black()},     {"green", Color::green()},
        {"gray", Color::gray()},         {"darkGray", Color::darkGray()}, {"lightGray", Color::lightGray()},
        {"orange", Color::orange()},     {"systemPink", Color::systemPink()}};
    const auto found = named.find(notation);
    if (found == named.end()) {
        ADD_FAILURE() << "unknown colour notation " << notation;
        return Color();
    }
    return found->second;
}

// "a; b / c" → entries a/a and b/c.
std::vector<PaletteEntry> palette(const std::string& notation)
{
    std::vector<PaletteEntry> entries;
    for (const std::string& item : split(notation, ';')) {
        const auto parts = split(item, '/');
        entries.push_back({color(parts[0]), color(parts.size() > 1 ? parts[1] : parts[0])});
    }
    return entries;
}

struct FontSet {
    Font root, main, sub;
};

FontSet fontSet(int number)
{
    switch (number) {
    case 1: return {Font::named("Helvetica Neue Bold", 20), Font::named("Helvetica Neue Light", 16), Font::named("Helvetica Neue Light", 16)};
    case 2: return {Font::named("Avenir Next Medium", 20), Font::named("Avenir Next Regular", 16), Font::named("Avenir Next Regular", 16)};
    case 3: return {Font::named("Avenir Next Medium", 24), Font::named("Avenir Next Regular", 20), Font::named("Avenir Next Regular", 20)};
    case 4: return {Font::named("Gill Sans Bold", 20), Font::named("Gill Sans", 16), Font::named("Gill Sans", 16)};
    case 5: return {Font::monospacedSystemFont(20), Font::monospacedSystemFont(16), Font::monospacedSystemFont(16)};
    case 6: return {Font::named("Helvetica", 20), Font::named("Helvetica", 16), Font::named("Helvetica", 14)};
    default: return {Font::named("Helvetica", 24), Font::named("Helvetica", 20), Font::named("Helvetica", 18)};
    }
}

struct StrokeSet {
    StrokeThickness width;
    StrokeStyle branchStyle;
    StrokeThickness branchWidth;
};

StrokeSet strokeSet(int number)
{
    switch (number) {
    case 1: return {StrokeThickness::medium, StrokeStyle::solid, StrokeThickness::medium};
    case 2: return {StrokeThickness::invisible, StrokeStyle::dashed3, StrokeThickness::thinnest};
    default: return {StrokeThickness::thick, StrokeStyle::solid, StrokeThickness::thick};
    }
}

struct Expected {
    const char* name;
    int fonts;
    NodeShape shape;
    int strokes;
    bool dynamic;
    const char* background;
    // Border, fill, branch, text.
    const char* root[4];
    const char* main[4];
    const char* palette;
};

const char* const caligraphyPalette =
    "#FFFFFF / rgb(0.686275, 0.313725, 0.784314); #FFFFFF / rgb(1.000000, 0.588235, 0.352941); "
    "#FFFFFF / rgb(0.913703, 0.525844, 1.000000); #FFFFFF / rgb(0.686275, 0.313725, 0.784314); "
    "#FFFFFF / rgb(0.450980, 0.784314, 1.000000); #FFFFFF / rgb(1.000000, 0.803922, 0.235294); "
    "#FFFFFF / rgb(1.000000, 0.372549, 0.411765); #FFFFFF / rgb(0.392157, 0.784314, 0.803922); "
    "#FFFFFF / rgb(1.000000, 0.694771, 0.453007); #FFFFFF / rgb(0.569047, 0.894248, 1.000000); "
    "#FFFFFF / rgb(0.798933, 0.419345, 0.895589); #FFFFFF / rgb(1.000000, 0.913839, 0.350117); "
    "#FFFFFF / rgb(1.000000, 0.484131, 0.510264); #FFFFFF / rgb(0.506782, 0.895020, 0.914387); "
    "#FFFFFF / rgb(1.000000, 0.803950, 0.555922); #FFFFFF / rgb(0.686037, 1.000000, 1.000000)";

std::string omahaPalette()
{
    const char* strokes[] = {"rgb(0.569986, 0.645467, 0.818343)", "rgb(0.976985, 0.610565, 0.367225)",
                             "rgb(0.996292, 0.796193, 0.532023)", "rgb(0.509804, 0.803922, 0.670588)",
                             "rgb(0.267094, 0.679422, 0.683265)", "rgb(0.891784, 0.735265, 0.511590)"};
    std::string text;
    for (int i = 0; i < 22; ++i)
        text += std::string(i ? "; " : "") + "#FFFFFF / " + strokes[i % 6];
    return text;
}

#define OMAHA_ROOT {"rgb(0.569986, 0.645467, 0.818343)", "rgb(0.974568, 0.867150, 0.688408)", "rgb(0.569986, 0.645467, 0.818343)", "rgb(0.349020, 0.349020, 0.349020)"}
#define OMAHA_MAIN {"orange", "systemPink", "rgb(0.569986, 0.645467, 0.818343)", "rgb(0.349020, 0.349020, 0.349020)"}
#define CALIGRAPHY_ROOT {"rgb(0.686275, 0.313725, 0.784314)", "#FFFFFF", "rgb(0.686275, 0.313725, 0.784314)", "rgb(0.294118, 0.294118, 0.294118)"}
#define CALIGRAPHY_MAIN {"orange", "systemPink", "rgb(0.686275, 0.313725, 0.784314)", "rgb(0.428090, 0.428100, 0.428094)"}
#define MONO {"black", "white", "black", "black"}
#define PATAGONIA {"#586C5C", "#85937A", "#586C5C", "#DFDCB9"}

const std::string omaha = omahaPalette();

// The presets in the order the list gives them.
const std::vector<Expected>& expectedPresets()
{
    using S = NodeShape;
    static const std::vector<Expected> presets = {
        {"Atlantis", 1, S::roundedRect, 1, false, "hsb(0.53, 0.95, 0.16)",
         {"hsb(0.54, 0.29, 0.38)", "hsb(0.53, 0.86, 0.2)", "hsb(0.11, 0.8, 0.65)", "hsb(0.12, 0.11, 0.95)"},
         {"green", "hsb(0.53, 0.86, 0.2)", "hsb(0.11, 0.8, 0.65)", "hsb(0.12, 0.11, 0.95)"},
         "hsb(0.11, 0.8, 0.65); hsb(0.2, 0.75, 0.53); hsb(0.03, 0.81, 0.76); hsb(0.49, 0.79, 0.56); hsb(0.56, 1.0, 0.76); hsb(0.93, 0.51, 0.72)"},
        {"Bright", 1, S::roundedRect, 1, true, "lit(1, 1, 1)",
         {"lit(0.314, 0.357, 0.906)", "lit(0.8, 0.847, 1)", "#FF2600", "lit(0.125, 0.125, 0.122)"},
         {"orange", "systemPink", "#FF2600", "lit(0.125, 0.125, 0.122)"},
         "#FFCCC1 / #FF2600; #FFDDA6 / #FFA900; #FFF6B8 / #FDCA39; #B8FCA7 / #2EFA00; #C4F4FF / #00D5FF; #EAC8FF / #AC39FF; #FFCFE6 / #FF98CB"},
        {"Caligraphy", 3, S::underline, 2, true, "#FFFFFF", CALIGRAPHY_ROOT, CALIGRAPHY_MAIN, caligraphyPalette},
        {"Caligraphy Mono", 1, S::underline, 2, false, "white", MONO, MONO, "black; darkGray; gray; lightGray"},
        {"Casual", 2, S::underline, 2, false, "#4F6A8F", {"#F0DBB0", "#88A2BC", "#F0DBB0", "white"},
         {"#F0DBB0", "#88A2BC", "#EFB680", "white"}, "#EFB680; #D99477"},
        {"Cyber", 5, S::rect, 1, false, "black", {"green", "black", "green", "green"},
         {"green", "black", "green", "green"}, "green; white; lightGray; gray"},
        {"Dark", 1, S::roundedRect, 1, true, "#202020", {"lit(0.314, 0.357, 0.906)", "#202020", "#FF2600", "#FEFEFE"},
         {"orange", "systemPink", "#FF2600", "#FEFEFE"},
         "#202020 / #FF2600; #202020 / #FFA900; #202020 / #FDCA39; #202020 / #2EFA00; #202020 / #00D5FF; #202020 / #AC39FF; #202020 / #FF98CB"},
        {"Espresso", 1, S::roundedRect, 1, false, "hsb(0.08, 0.21, 0.11)",
         {"hsb(0.1, 0.78, 1.0)", "hsb(0.08, 0.21, 0.18)", "hsb(0.36, 0.58, 0.98)", "hsb(0.23, 0.1, 1.0)"},
         {"hsb(0.36, 0.58, 0.98)", "hsb(0.08, 0.21, 0.15)", "hsb(0.36, 0.58, 0.98)", "hsb(0.23, 0.1, 1.0)"},
         "hsb(0.36, 0.58, 0.98); hsb(0.46, 1.0, 0.87); hsb(0.54, 0.72, 0.98); hsb(0.1, 0.78, 1.0); hsb(0.16, 0.64, 1.0); hsb(0.24, 0.74, 0.98)"},
        {"LCD", 5, S::roundedRect, 1, true, "#9BBC0E", {"#0F370E", "#8BAD0D", "#30622F", "#0F370E"},
         {"orange", "systemPink", "#30622F", "#0F370E"}, "#8BAD0D / #30622F"},
        {"Midnight", 4, S::roundedRect, 1, false, "#010C1E", {"#4A6D88", "#001E38", "#4A6D88", "#D5D9E0"},
         {"#4A6D88", "#001E38", "#4A6D88", "#D5D9E0"}, "#4A6D88; #C6CDD7; #D5D9E0"},
        {"Monochrome", 1, S::roundedRect, 1, false, "white", MONO, MONO, "black; darkGray; gray; lightGray"},
        {"Natural", 1, S::roundedRect, 1, true, "lit(1, 1, 1)",
         {"lit(0.30933246, 0.41029033, 0.7640433)", "lit(1, 0.99995595, 0.99982405)", "#E01F00", "lit(0.12550521, 0.12548268, 0.12546009)"},
         {"orange", "systemPink", "#E01F00", "lit(0.12550521, 0.12548268, 0.12546009)"},
         "#FFFFFF / #E01F00; #FFFFFF / #FC9E00; #FFFFFF / #FFDB00; #FFFFFF / #BBEA00; #FFFFFF / #84FA00; #FFFFFF / #00CD66; #FFFFFF / #00BFFF; #FFFFFF / #367CFF; #FFFFFF / #A58CD6; #FFFFFF / #BB63C8"},
        {"Omaha", 6, S::roundedRect, 1, true, "rgb(0.983238, 0.978266, 0.972131)", OMAHA_ROOT, OMAHA_MAIN, omaha.c_str()},
        {"Omaha Light", 7, S::underline, 2, true, "rgb(0.983238, 0.978266, 0.972131)", OMAHA_ROOT, OMAHA_MAIN, omaha.c_str()},
        {"Omaha XL", 7, S::roundedRect, 3, true, "rgb(0.983238, 0.978266, 0.972131)", OMAHA_ROOT, OMAHA_MAIN, omaha.c_str()},
        {"Outrun", 1, S::roundedRect, 1, false, "#36244F", {"#FF8172", "#3A579A", "#FFFC40", "#FFFC40"},
         {"#FF8172", "#3A579A", "#FFFC40", "#FFFC40"}, "#FFFC40; #FABA61; #FF8172; #FF2FA9"},
        {"Patagonia", 1, S::roundedRect, 1, false, "#202E32", PATAGONIA, PATAGONIA, "#586C5C; #A9AF90; #DFDCB9"},
        {"Patagonia Light", 1, S::underline, 2, false, "#202E32", PATAGONIA, PATAGONIA, "#586C5C; #A9AF90; #DFDCB9"},
        {"Sandbox", 2, S::roundedRect, 1, false, "hsb(0.11, 0.13, 1.0)",
         {"hsb(0.07, 0.89, 0.4)", "hsb(0.0, 0.0, 1.0)", "hsb(0.05, 0.85, 1.0)", "hsb(0.0, 0.0, 0.4)"},
         {"green", "hsb(0.0, 0.0, 1.0)", "hsb(0.05, 0.85, 1.0)", "hsb(0.12, 0.11, 0.35)"},
         "hsb(0.05, 0.85, 1.0); hsb(0.12, 0.77, 1.0); hsb(0.16, 0.75, 0.61); hsb(0.5, 0.26, 0.8); hsb(0.5, 1.0, 0.6); hsb(0.07, 0.89, 0.4)"},
        {"Seaweed", 1, S::roundedRect, 1, false, "hsb(0.29, 0.05, 0.99)",
         {"hsb(0.29, 0.67, 0.09)", "hsb(0.21, 0.13, 0.96)", "hsb(0.5, 0.38, 0.15)", "hsb(0.29, 0.67, 0.09)"},
         {"green", "hsb(0.21, 0.13, 0.96)", "hsb(0.5, 0.38, 0.15)", "hsb(0.49, 0.77, 0.24)"},
         "hsb(0.5, 0.38, 0.15); hsb(0.43, 0.37, 0.34); hsb(0.34, 0.31, 0.47); hsb(0.23, 0.31, 0.67); hsb(0.21, 0.4, 0.84); hsb(0.21, 0.4, 0.84)"},
        {"Slime", 2, S::roundedRect, 1, false, "rgb(0.114, 0.102, 0.09)",
         {"hsb(0.1, 0.78, 1.0)", "rgb(0.114, 0.102, 0.09)", "rgb(0.737, 0.992, 0.314)", "hsb(0.23, 0.1, 1.0)"},
         {"rgb(0.737, 0.992, 0.314)", "rgb(0.114, 0.102, 0.09)", "rgb(0.737, 0.992, 0.314)", "hsb(0.23, 0.1, 1.0)"},
         "rgb(0.737, 0.992, 0.314); rgb(0.651, 0.988, 0.588); rgb(0.514, 0.98, 0.761); rgb(0.573, 0.89, 0.988); rgb(0.969, 0.812, 0.349); rgb(1.0, 1.0, 0.475); rgb(0.827, 0.992, 0.384); rgb(0.737, 0.992, 0.682)"},
        {"Spectral", 4, S::roundedRect, 1, false, "#471337", {"#FF5349", "#B13254", "#FF5349", "#FFD327"},
         {"#FF5349", "#B13254", "#FF5349", "#FFD327"}, "#FF5349; #FF7249; #FF9248; #FFD327"},
        {"Sunset", 1, S::roundedRect, 1, true, "#F0FFFF", {"#3E9CBF", "#3E9CBF", "#3E9CBF", "#000000"},
         {"orange", "systemPink", "#3E9CBF", "#000000"}, "#3E9CBF; #A7ECF2; #F2C43D; #F17C37; #F26D50"},
        {"Tasty", 3, S::roundedRect, 3, true, "#FFFFFF", CALIGRAPHY_ROOT, CALIGRAPHY_MAIN, caligraphyPalette},
    };
    return presets;
}

void expectLevel(const NodeStyle& style, const char* const colors[4], const Font& font, const StrokeSet& strokes,
                 const std::string& where)
{
    SCOPED_TRACE(where);
    EXPECT_EQ(style.borderColor, color(colors[0]));
    EXPECT_EQ(style.fillColor, color(colors[1]));
    EXPECT_EQ(style.branchColor, color(colors[2]));
    EXPECT_EQ(style.textColor, color(colors[3]));
    EXPECT_EQ(style.font, font);
    EXPECT_EQ(style.borderWidth, strokes.width);
    EXPECT_EQ(style.branchStyle, strokes.branchStyle);
    EXPECT_EQ(style.branchWidth, strokes.branchWidth);
    EXPECT_EQ(style.borderStyle, StrokeStyle::solid);
    EXPECT_EQ(style.textAlignment, 1);  // centred
    EXPECT_TRUE(style.userOverrides.isEmpty());
    EXPECT_FALSE(style.isUnderlined);
    EXPECT_FALSE(style.isStrikeThrough);
    EXPECT_EQ(style.imagePosition, ImagePosition::trailing);
}

bool bitIdentical(const Color& a, const Color& b)
{
    if (a.colorSpaceName() != b.colorSpaceName() || a.components().size() != b.components().size())
        return false;
    for (std::size_t i = 0; i < a.components().size(); ++i)
        if (std::bit_cast<std::uint64_t>(a.components()[i]) != std::bit_cast<std::uint64_t>(b.components()[i]))
            return false;
    return true;
}

std::vector<Color> allColors(const ProjectStyleValues& values)
{
    std::vector<Color> colors{values.backgroundColor};
    for (const NodeStyle* style : {&values.rootNodeStyle, &values.mainNodeStyle, &values.subNodeStyle})
        for (const Color* c : {&style->borderColor, &style->fillColor, &style->branchColor, &style->textColor})
            colors.push_back(*c);
    for (const PaletteEntry& entry : values.palette) {
        colors.push_back(entry.fillColor);
        colors.push_back(entry.strokeColor);
    }
    return colors;
}

} // namespace

TEST(BuiltInStyles, TwentyFourInCodePointOrder)
{
    const std::vector<ProjectStyle> styles = ProjectStyle::builtInStyles();
    std::vector<std::string> names;
    for (const ProjectStyle& style : styles)
        names.push_back(style.name);
    EXPECT_EQ(names, (std::vector<std::string>{
                         "Atlantis", "Bright", "Caligraphy", "Caligraphy Mono", "Casual", "Cyber", "Dark", "Espresso",
                         "LCD", "Midnight", "Monochrome", "Natural", "Omaha", "Omaha Light", "Omaha XL", "Outrun",
                         "Patagonia", "Patagonia Light", "Sandbox", "Seaweed", "Slime", "Spectral", "Sunset",
                         "Tasty"}));
    ASSERT_EQ(styles.size(), 24u);
    EXPECT_EQ(styles[12].name, "Omaha");
}

TEST(BuiltInStyles, EachPresetHasItsFontsStrokesColorsAndPalette)
{
    const std::vector<ProjectStyle> styles = ProjectStyle::builtInStyles();
    const std::vector<Expected>& expected = expectedPresets();
    ASSERT_EQ(styles.size(), expected.size());
    for (std::size_t i = 0; i < styles.size(); ++i) {
        const ProjectStyle& style = styles[i];
        const Expected& e = expected[i];
        SCOPED_TRACE(e.name);
        EXPECT_EQ(style.name, e.name);
        EXPECT_EQ(style.current, style.defaults);
        const ProjectStyleValues& v = style.current;
        const FontSet fonts = fontSet(e.fonts);
        const StrokeSet strokes = strokeSet(e.strokes);
        EXPECT_EQ(v.backgroundColor, color(e.background));
        expectLevel(v.rootNodeStyle, e.root, fonts.root, strokes, "root");
        expectLevel(v.mainNodeStyle, e.main, fonts.main, strokes, "main");
        expectLevel(v.subNodeStyle, e.main, fonts.sub, strokes, "sub");
        EXPECT_EQ(v.dynamicMainNodeColors, e.dynamic);
        EXPECT_EQ(v.rootNodeShape, e.shape);
        EXPECT_EQ(v.mainNodeShape, e.shape);
        EXPECT_EQ(v.subNodeShape, NodeShape::underline);
        EXPECT_EQ(v.palette, palette(e.palette));
        if (e.dynamic) {
            // Two-colour presets read their branch colour from the first palette entry.
            EXPECT_EQ(v.rootNodeStyle.branchColor, v.palette.front().strokeColor);
            EXPECT_EQ(v.mainNodeStyle.branchColor, v.palette.front().strokeColor);
        }
    }
}

TEST(BuiltInStyles, ColorKindsAndFontFallbacks)
{
    // Hexadecimal colours are calibrated RGB, rgb() colours sRGB, literals single precision widened.
    const ProjectStyle dark = ProjectStyle::dark();
    EXPECT_EQ(dark.current.backgroundColor.colorSpaceName(), "kCGColorSpaceGenericRGB");
    EXPECT_EQ(dark.current.backgroundColor.components()[0], 32 / 255.0);
    EXPECT_EQ(dark.current.rootNodeStyle.borderColor.colorSpaceName(), "kCGColorSpaceSRGB");
    EXPECT_EQ(dark.current.rootNodeStyle.borderColor.components()[0], 0.31400001049041748);
    EXPECT_EQ(ProjectStyle::omaha().current.backgroundColor.components(),
              (std::vector<double>{0.983238, 0.978266, 0.972131, 1.0}));
    EXPECT_EQ(ProjectStyle::caligraphyMono().current.palette[1].strokeColor.colorSpaceName(),
              "kCGColorSpaceGenericGrayGamma2_2");

    // A face that is not installed is replaced by the system font of the same size.
    const ProjectStyle caligraphy = ProjectStyle::caligraphy();
    if (!Font::isInstalled("Avenir Next Medium")) {
        EXPECT_EQ(caligraphy.current.rootNodeStyle.font, Font::systemFont(24.0));
    }
    if (!Font::isInstalled("Helvetica")) {
        EXPECT_EQ(ProjectStyle::omaha().current.subNodeStyle.font, Font::systemFont(14.0));
        EXPECT_EQ(ProjectStyle::omahaXL().current.rootNodeStyle.font, Font::systemFont(24.0));
    }
    // The monospaced presets need no fallback.
    EXPECT_EQ(ProjectStyle::cyber().current.rootNodeStyle.font.fontName(), Font::monospacedSystemFontName);
    EXPECT_EQ(ProjectStyle::lcd().current.mainNodeStyle.font.pointSize(), ProjectStyle::presetNodeFontSize);
    EXPECT_EQ(ProjectStyle::presetRootFontSize, 20.0);
    EXPECT_EQ(ProjectStyle::presetNodeFontSize, 16.0);
}

TEST(BuiltInStyles, PaletteDetails)
{
    const ProjectStyle seaweed = ProjectStyle::seaweed();
    ASSERT_EQ(seaweed.current.palette.size(), 6u);
    EXPECT_EQ(seaweed.current.palette[4], seaweed.current.palette[5]);

    const ProjectStyle omaha = ProjectStyle::omaha();
    ASSERT_EQ(omaha.current.palette.size(), 22u);
    EXPECT_EQ(omaha.current.palette[6], omaha.current.palette[0]);
    EXPECT_EQ(omaha.current.palette[21].strokeColor, Color::sRGB(0.509804, 0.803922, 0.670588));
    EXPECT_EQ(omaha.current.palette[21].fillColor, colorFromRGB(0xFFFFFF));

    const ProjectStyle lcd = ProjectStyle::lcd();
    ASSERT_EQ(lcd.current.palette.size(), 1u);
    EXPECT_EQ(lcd.current.palette[0], PaletteEntry::fromRGB(0x8BAD0D, 0x30622F));
    EXPECT_EQ(lcd.name, "LCD");
}

TEST(BuiltInStyles, BuildersMakeTheListedStyles)
{
    const std::vector<ProjectStyle> listed = ProjectStyle::builtInStyles();
    const std::vector<ProjectStyle> built = {
        ProjectStyle::atlantis(), ProjectStyle::bright(),   ProjectStyle::caligraphy(), ProjectStyle::caligraphyMono(),
        ProjectStyle::casual(),   ProjectStyle::cyber(),    ProjectStyle::dark(),       ProjectStyle::espresso(),
        ProjectStyle::lcd(),      ProjectStyle::midnight(), ProjectStyle::monochrome(), ProjectStyle::natural(),
        ProjectStyle::omaha(),    ProjectStyle::omahaLight(), ProjectStyle::omahaXL(),  ProjectStyle::outrun(),
        ProjectStyle::patagonia(), ProjectStyle::patagoniaLight(), ProjectStyle::sandbox(), ProjectStyle::seaweed(),
        ProjectStyle::slime(),    ProjectStyle::spectral(), ProjectStyle::sunset(),     ProjectStyle::tasty()};
    EXPECT_EQ(listed, built);
    // A new list at every call: changing one leaves the next untouched.
    std::vector<ProjectStyle> changed = ProjectStyle::builtInStyles();
    changed[0].current.backgroundColor = Color::red();
    EXPECT_EQ(ProjectStyle::builtInStyles()[0], listed[0]);

    const ProjectStyle custom = ProjectStyle::makePreset("my preset", StrokeThickness::thin, StrokeStyle::dotted,
                                                         StrokeThickness::thickest, NodeShape::ellipse,
                                                         NodeShape::cloud, 30, 25, 10);
    EXPECT_EQ(custom.name, "my preset");
    EXPECT_EQ(custom.current.rootNodeShape, NodeShape::ellipse);
    EXPECT_EQ(custom.current.mainNodeShape, NodeShape::cloud);
    EXPECT_EQ(custom.current.subNodeStyle.font.pointSize(), 10.0);
    EXPECT_EQ(custom.current.mainNodeStyle.branchStyle, StrokeStyle::dotted);
    EXPECT_EQ(custom.current.rootNodeStyle.borderWidth, StrokeThickness::thin);
    EXPECT_EQ(custom.current.subNodeStyle.branchWidth, StrokeThickness::thickest);
    EXPECT_EQ(custom.current.palette, ProjectStyle::omaha().current.palette);
}

TEST(BuiltInStyles, SurviveTheirJsonRoundTripBitForBit)
{
    for (const ProjectStyle& style : ProjectStyle::builtInStyles()) {
        SCOPED_TRACE(style.name);
        const std::string text = style.jsonValue();
        const ProjectStyle back = ProjectStyle::fromJsonString(text);
        EXPECT_EQ(back, style);
        for (const auto& [written, read] : {std::pair{&style.current, &back.current}, std::pair{&style.defaults, &back.defaults}}) {
            const std::vector<Color> before = allColors(*written);
            const std::vector<Color> after = allColors(*read);
            ASSERT_EQ(before.size(), after.size());
            for (std::size_t i = 0; i < before.size(); ++i)
                EXPECT_TRUE(bitIdentical(before[i], after[i])) << "colour " << i;
        }
        EXPECT_EQ(back.jsonValue(), text);
    }
}

TEST(DefaultProjectStyle, FollowsTheUserDefault)
{
    ScopedStandardUserDefaults scoped;
    EXPECT_EQ(defaultProjectStyle().name, "Omaha");  // no default at all

    scoped.defaults().registerDefaults({{"defaultProjectStyle", std::string("Omaha")}});
    EXPECT_EQ(defaultProjectStyle(), ProjectStyle::omaha());

    scoped.defaults().set("defaultProjectStyle", "lcd");
    EXPECT_EQ(defaultProjectStyle(), ProjectStyle::lcd());
    scoped.defaults().set("defaultProjectStyle", "OMAHA xl");
    EXPECT_EQ(defaultProjectStyle().name, "Omaha XL");
    scoped.defaults().set("defaultProjectStyle", "omaha");
    EXPECT_EQ(defaultProjectStyle().name, "Omaha");
    scoped.defaults().set("defaultProjectStyle", "Caligraphy");
    EXPECT_EQ(defaultProjectStyle().name, "Caligraphy");

    for (const char* unknown : {"No Such Theme", "", "Omaha ", "Tasty2"}) {
        scoped.defaults().set("defaultProjectStyle", unknown);
        EXPECT_EQ(defaultProjectStyle().name, "Omaha") << unknown;
    }
    scoped.defaults().remove("defaultProjectStyle");
    EXPECT_EQ(defaultProjectStyle().name, "Omaha");
}
