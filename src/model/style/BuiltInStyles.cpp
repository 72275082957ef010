// The built-in styles.

#include "model/style/ColorOperations.h"
#include "model/style/ProjectStyle.h"
#include "platform/Font.h"

#include <QString>

#include <algorithm>
#include <initializer_list>
#include <utility>

namespace velquine {

namespace {

// Colour kinds the styles are written in.
Color hex(std::uint32_t rgb) { return colorFromRGB(rgb); }
Color hsb(double h, double s, double b) { return Color::calibratedHSB(h, s, b, 1.0); }
Color rgb(double r, double g, double b) { return Color::sRGB(r, g, b, 1.0); }
Color lit(float r, float g, float b) { return Color::literal(r, g, b, 1.0f); }
Color brace(const char* text) { return colorFromBraceString(text); }

// Border width, branch style and branch width, the same at all three levels.
struct Strokes {
    StrokeThickness borderWidth;
    StrokeStyle branchStyle;
    StrokeThickness branchWidth;
};
const Strokes S1{StrokeThickness::medium, StrokeStyle::solid, StrokeThickness::medium};
const Strokes S2{StrokeThickness::invisible, StrokeStyle::dashed3, StrokeThickness::thinnest};
const Strokes S3{StrokeThickness::thick, StrokeStyle::solid, StrokeThickness::thick};

struct Fonts {
    Font root;
    Font main;
    Font sub;
};

Fonts namedFonts(std::string_view rootName, double rootSize, std::string_view nodeName, double nodeSize)
{
    return {Font::named(rootName, rootSize), Font::named(nodeName, nodeSize), Font::named(nodeName, nodeSize)};
}

Fonts F1() { return namedFonts("Helvetica Neue Bold", ProjectStyle::presetRootFontSize, "Helvetica Neue Light", ProjectStyle::presetNodeFontSize); }
Fonts F2() { return namedFonts("Avenir Next Medium", ProjectStyle::presetRootFontSize, "Avenir Next Regular", ProjectStyle::presetNodeFontSize); }
Fonts F3() { return namedFonts("Avenir Next Medium", 24.0, "Avenir Next Regular", 20.0); }
Fonts F4() { return namedFonts("Gill Sans Bold", ProjectStyle::presetRootFontSize, "Gill Sans", ProjectStyle::presetNodeFontSize); }
Fonts F5()
{
    return {Font::monospacedSystemFont(ProjectStyle::presetRootFontSize),
            Font::monospacedSystemFont(ProjectStyle::presetNodeFontSize),
            Font::monospacedSystemFont(ProjectStyle::presetNodeFontSize)};
}

// Border, fill, branch and text colour of one level.
struct LevelColors {
    Color border;
    Color fill;
    Color branch;
    Color text;
};

NodeStyle levelStyle(const Strokes& strokes, const LevelColors& colors, const Font& font)
{
    NodeStyle style;
    style.borderWidth = strokes.borderWidth;
    style.borderColor = colors.border;
    style.fillColor = colors.fill;
    style.borderStyle = StrokeStyle::solid;
    style.branchColor = colors.branch;
    style.branchStyle = strokes.branchStyle;
    style.branchWidth = strokes.branchWidth;
    style.textColor = colors.text;
    style.textAlignment = static_cast<std::int64_t>(TextAlignment::center);
    style.font = font;
    style.userOverrides = NodeStyle::UserOverride();
    style.isUnderlined = false;
    style.isStrikeThrough = false;
    style.imagePosition = ImagePosition::trailing;
    return style;
}

struct Definition {
    std::string name;
    Fonts fonts;
    NodeShape levelShape;  // root and main nodes
    Strokes strokes;
    bool dynamicMainNodeColors;
    Color background;
    LevelColors root;
    LevelColors main;  // main and sub nodes
    std::vector<PaletteEntry> palette;
};

ProjectStyle make(Definition d)
{
    ProjectStyleValues values;
    values.backgroundColor = std::move(d.background);
    values.rootNodeStyle = levelStyle(d.strokes, d.root, d.fonts.root);
    values.mainNodeStyle = levelStyle(d.strokes, d.main, d.fonts.main);
    values.dynamicMainNodeColors = d.dynamicMainNodeColors;
    values.subNodeStyle = levelStyle(d.strokes, d.main, d.fonts.sub);
    values.rootNodeShape = d.levelShape;
    values.mainNodeShape = d.levelShape;
    values.subNodeShape = NodeShape::underline;
    values.palette = std::move(d.palette);
    return ProjectStyle{std::move(d.name), values, values};
}

// First letter of every word upper case, the rest lower case.
std::string capitalized(std::string_view text)
{
    QString string = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toLower();
    bool wordStart = true;
    for (qsizetype i = 0; i < string.size(); ++i) {
        if (string[i].isSpace()) {
            wordStart = true;
        } else if (wordStart) {
            string[i] = string[i].toUpper();
            wordStart = false;
        }
    }
    return string.toStdString();
}

std::vector<PaletteEntry> single(std::initializer_list<Color> colors) { return PaletteEntry::entries(colors); }

// Two-colour presets read their branch colour back from the first palette entry.
const Color& firstStroke(const std::vector<PaletteEntry>& palette) { return palette.front().strokeColor; }

// The strokes of Caligraphy and Tasty, each under a calibrated white fill.
std::vector<PaletteEntry> caligraphyPalette()
{
    static const char* const strokes[] = {
        "{0.686275, 0.313725, 0.784314, 1.000000}", "{1.000000, 0.588235, 0.352941, 1.000000}",
        "{0.913703, 0.525844, 1.000000, 1.000000}", "{0.686275, 0.313725, 0.784314, 1.000000}",
        "{0.450980, 0.784314, 1.000000, 1.000000}", "{1.000000, 0.803922, 0.235294, 1.000000}",
        "{1.000000, 0.372549, 0.411765, 1.000000}", "{0.392157, 0.784314, 0.803922, 1.000000}",
        "{1.000000, 0.694771, 0.453007, 1.000000}", "{0.569047, 0.894248, 1.000000, 1.000000}",
        "{0.798933, 0.419345, 0.895589, 1.000000}", "{1.000000, 0.913839, 0.350117, 1.000000}",
        "{1.000000, 0.484131, 0.510264, 1.000000}", "{0.506782, 0.895020, 0.914387, 1.000000}",
        "{1.000000, 0.803950, 0.555922, 1.000000}", "{0.686037, 1.000000, 1.000000, 1.000000}",
    };
    std::vector<PaletteEntry> palette;
    for (const char* stroke : strokes)
        palette.push_back({hex(0xFFFFFF), brace(stroke)});
    return palette;
}

ProjectStyle caligraphyLike(std::string name, NodeShape shape, const Strokes& strokes)
{
    std::vector<PaletteEntry> palette = caligraphyPalette();
    const Color branch = firstStroke(palette);
    return make({std::move(name), F3(), shape, strokes, true, hex(0xFFFFFF),
                 {brace("{0.686275, 0.313725, 0.784314, 1.000000}"), hex(0xFFFFFF), branch,
                  brace("{0.294118, 0.294118, 0.294118, 1.000000}")},
                 {Color::orange(), Color::systemPink(), branch, brace("{0.428090, 0.428100, 0.428094, 1.000000}")},
                 std::move(palette)});
}

ProjectStyle monochromeLike(std::string name, NodeShape shape, const Strokes& strokes)
{
    const LevelColors colors{Color::black(), Color::white(), Color::black(), Color::black()};
    return make({std::move(name), F1(), shape, strokes, false, Color::white(), colors, colors,
                 single({Color::black(), Color::darkGray(), Color::gray(), Color::lightGray()})});
}

ProjectStyle patagoniaLike(std::string name, NodeShape shape, const Strokes& strokes)
{
    const LevelColors colors{hex(0x586C5C), hex(0x85937A), hex(0x586C5C), hex(0xDFDCB9)};
    return make({std::move(name), F1(), shape, strokes, false, hex(0x202E32), colors, colors,
                 single({hex(0x586C5C), hex(0xA9AF90), hex(0xDFDCB9)})});
}

} // namespace

ProjectStyle ProjectStyle::seaweed()
{
    return make({capitalized("seaweed"), F1(), NodeShape::roundedRect, S1, false, hsb(0.29, 0.05, 0.99),
                 {hsb(0.29, 0.67, 0.09), hsb(0.21, 0.13, 0.96), hsb(0.5, 0.38, 0.15), hsb(0.29, 0.67, 0.09)},
                 {Color::green(), hsb(0.21, 0.13, 0.96), hsb(0.5, 0.38, 0.15), hsb(0.49, 0.77, 0.24)},
                 single({hsb(0.5, 0.38, 0.15), hsb(0.43, 0.37, 0.34), hsb(0.34, 0.31, 0.47), hsb(0.23, 0.31, 0.67),
                         hsb(0.21, 0.4, 0.84), hsb(0.21, 0.4, 0.84)})});
}

ProjectStyle ProjectStyle::caligraphy() { return caligraphyLike(capitalized("caligraphy"), NodeShape::underline, S2); }

ProjectStyle ProjectStyle::caligraphyMono() { return monochromeLike("Caligraphy Mono", NodeShape::underline, S2); }

ProjectStyle ProjectStyle::cyber()
{
    const LevelColors colors{Color::green(), Color::black(), Color::green(), Color::green()};
    return make({capitalized("cyber"), F5(), NodeShape::rect, S1, false, Color::black(), colors, colors,
                 single({Color::green(), Color::white(), Color::lightGray(), Color::gray()})});
}

ProjectStyle ProjectStyle::espresso()
{
    return make({capitalized("espresso"), F1(), NodeShape::roundedRect, S1, false, hsb(0.08, 0.21, 0.11),
                 {hsb(0.1, 0.78, 1.0), hsb(0.08, 0.21, 0.18), hsb(0.36, 0.58, 0.98), hsb(0.23, 0.1, 1.0)},
                 {hsb(0.36, 0.58, 0.98), hsb(0.08, 0.21, 0.15), hsb(0.36, 0.58, 0.98), hsb(0.23, 0.1, 1.0)},
                 single({hsb(0.36, 0.58, 0.98), hsb(0.46, 1.0, 0.87), hsb(0.54, 0.72, 0.98), hsb(0.1, 0.78, 1.0),
                         hsb(0.16, 0.64, 1.0), hsb(0.24, 0.74, 0.98)})});
}

ProjectStyle ProjectStyle::slime()
{
    return make({capitalized("slime"), F2(), NodeShape::roundedRect, S1, false, rgb(0.114, 0.102, 0.09),
                 {hsb(0.1, 0.78, 1.0), rgb(0.114, 0.102, 0.09), rgb(0.737, 0.992, 0.314), hsb(0.23, 0.1, 1.0)},
                 {rgb(0.737, 0.992, 0.314), rgb(0.114, 0.102, 0.09), rgb(0.737, 0.992, 0.314), hsb(0.23, 0.1, 1.0)},
                 single({rgb(0.737, 0.992, 0.314), rgb(0.651, 0.988, 0.588), rgb(0.514, 0.98, 0.761),
                         rgb(0.573, 0.89, 0.988), rgb(0.969, 0.812, 0.349), rgb(1.0, 1.0, 0.475),
                         rgb(0.827, 0.992, 0.384), rgb(0.737, 0.992, 0.682)})});
}

ProjectStyle ProjectStyle::atlantis()
{
    return make({capitalized("atlantis"), F1(), NodeShape::roundedRect, S1, false, hsb(0.53, 0.95, 0.16),
                 {hsb(0.54, 0.29, 0.38), hsb(0.53, 0.86, 0.2), hsb(0.11, 0.8, 0.65), hsb(0.12, 0.11, 0.95)},
                 {Color::green(), hsb(0.53, 0.86, 0.2), hsb(0.11, 0.8, 0.65), hsb(0.12, 0.11, 0.95)},
                 single({hsb(0.11, 0.8, 0.65), hsb(0.2, 0.75, 0.53), hsb(0.03, 0.81, 0.76), hsb(0.49, 0.79, 0.56),
                         hsb(0.56, 1.0, 0.76), hsb(0.93, 0.51, 0.72)})});
}

ProjectStyle ProjectStyle::sandbox()
{
    return make({capitalized("sandbox"), F2(), NodeShape::roundedRect, S1, false, hsb(0.11, 0.13, 1.0),
                 {hsb(0.07, 0.89, 0.4), hsb(0.0, 0.0, 1.0), hsb(0.05, 0.85, 1.0), hsb(0.0, 0.0, 0.4)},
                 {Color::green(), hsb(0.0, 0.0, 1.0), hsb(0.05, 0.85, 1.0), hsb(0.12, 0.11, 0.35)},
                 single({hsb(0.05, 0.85, 1.0), hsb(0.12, 0.77, 1.0), hsb(0.16, 0.75, 0.61), hsb(0.5, 0.26, 0.8),
                         hsb(0.5, 1.0, 0.6), hsb(0.07, 0.89, 0.4)})});
}

ProjectStyle ProjectStyle::outrun()
{
    const LevelColors colors{hex(0xFF8172), hex(0x3A579A), hex(0xFFFC40), hex(0xFFFC40)};
    return make({capitalized("outrun"), F1(), NodeShape::roundedRect, S1, false, hex(0x36244F), colors, colors,
                 single({hex(0xFFFC40), hex(0xFABA61), hex(0xFF8172), hex(0xFF2FA9)})});
}

ProjectStyle ProjectStyle::casual()
{
    return make({capitalized("casual"), F2(), NodeShape::underline, S2, false, hex(0x4F6A8F),
                 {hex(0xF0DBB0), hex(0x88A2BC), hex(0xF0DBB0), Color::white()},
                 {hex(0xF0DBB0), hex(0x88A2BC), hex(0xEFB680), Color::white()},
                 single({hex(0xEFB680), hex(0xD99477)})});
}

ProjectStyle ProjectStyle::spectral()
{
    const LevelColors colors{hex(0xFF5349), hex(0xB13254), hex(0xFF5349), hex(0xFFD327)};
    return make({capitalized("spectral"), F4(), NodeShape::roundedRect, S1, false, hex(0x471337), colors, colors,
                 single({hex(0xFF5349), hex(0xFF7249), hex(0xFF9248), hex(0xFFD327)})});
}

ProjectStyle ProjectStyle::midnight()
{
    const LevelColors colors{hex(0x4A6D88), hex(0x001E38), hex(0x4A6D88), hex(0xD5D9E0)};
    return make({capitalized("midnight"), F4(), NodeShape::roundedRect, S1, false, hex(0x010C1E), colors, colors,
                 single({hex(0x4A6D88), hex(0xC6CDD7), hex(0xD5D9E0)})});
}

ProjectStyle ProjectStyle::patagonia() { return patagoniaLike(capitalized("patagonia"), NodeShape::roundedRect, S1); }

ProjectStyle ProjectStyle::patagoniaLight() { return patagoniaLike("Patagonia Light", NodeShape::underline, S2); }

ProjectStyle ProjectStyle::monochrome() { return monochromeLike(capitalized("monochrome"), NodeShape::roundedRect, S1); }

ProjectStyle ProjectStyle::bright()
{
    std::vector<PaletteEntry> palette = {
        PaletteEntry::fromRGB(0xFFCCC1, 0xFF2600), PaletteEntry::fromRGB(0xFFDDA6, 0xFFA900),
        PaletteEntry::fromRGB(0xFFF6B8, 0xFDCA39), PaletteEntry::fromRGB(0xB8FCA7, 0x2EFA00),
        PaletteEntry::fromRGB(0xC4F4FF, 0x00D5FF), PaletteEntry::fromRGB(0xEAC8FF, 0xAC39FF),
        PaletteEntry::fromRGB(0xFFCFE6, 0xFF98CB)};
    const Color branch = firstStroke(palette);
    return make({capitalized("bright"), F1(), NodeShape::roundedRect, S1, true, lit(1, 1, 1),
                 {lit(0.314f, 0.357f, 0.906f), lit(0.8f, 0.847f, 1), branch, lit(0.125f, 0.125f, 0.122f)},
                 {Color::orange(), Color::systemPink(), branch, lit(0.125f, 0.125f, 0.122f)}, std::move(palette)});
}

ProjectStyle ProjectStyle::dark()
{
    std::vector<PaletteEntry> palette;
    for (std::uint32_t stroke : {0xFF2600u, 0xFFA900u, 0xFDCA39u, 0x2EFA00u, 0x00D5FFu, 0xAC39FFu, 0xFF98CBu})
        palette.push_back(PaletteEntry::fromRGB(0x202020, stroke));
    const Color branch = firstStroke(palette);
    return make({capitalized("dark"), F1(), NodeShape::roundedRect, S1, true, hex(0x202020),
                 {lit(0.314f, 0.357f, 0.906f), hex(0x202020), branch, hex(0xFEFEFE)},
                 {Color::orange(), Color::systemPink(), branch, hex(0xFEFEFE)}, std::move(palette)});
}

ProjectStyle ProjectStyle::natural()
{
    std::vector<PaletteEntry> palette;
    for (std::uint32_t stroke : {0xE01F00u, 0xFC9E00u, 0xFFDB00u, 0xBBEA00u, 0x84FA00u, 0x00CD66u, 0x00BFFFu,
                                 0x367CFFu, 0xA58CD6u, 0xBB63C8u})
        palette.push_back(PaletteEntry::fromRGB(0xFFFFFF, stroke));
    const Color branch = firstStroke(palette);
    const Color text = lit(0.12550521f, 0.12548268f, 0.12546009f);
    return make({capitalized("natural"), F1(), NodeShape::roundedRect, S1, true, lit(1, 1, 1),
                 {lit(0.30933246f, 0.41029033f, 0.7640433f), lit(1, 0.99995595f, 0.99982405f), branch, text},
                 {Color::orange(), Color::systemPink(), branch, text}, std::move(palette)});
}

ProjectStyle ProjectStyle::sunset()
{
    std::vector<PaletteEntry> palette;
    for (std::uint32_t color : {0x3E9CBFu, 0xA7ECF2u, 0xF2C43Du, 0xF17C37u, 0xF26D50u})
        palette.push_back(PaletteEntry::fromRGB(color, color));
    const Color branch = firstStroke(palette);
    return make({capitalized("sunset"), F1(), NodeShape::roundedRect, S1, true, hex(0xF0FFFF),
                 {hex(0x3E9CBF), hex(0x3E9CBF), branch, hex(0x000000)},
                 {Color::orange(), Color::systemPink(), branch, hex(0x000000)}, std::move(palette)});
}

ProjectStyle ProjectStyle::lcd()
{
    std::vector<PaletteEntry> palette = {PaletteEntry::fromRGB(0x8BAD0D, 0x30622F)};
    const Color branch = firstStroke(palette);
    return make({"LCD", F5(), NodeShape::roundedRect, S1, true, hex(0x9BBC0E),
                 {hex(0x0F370E), hex(0x8BAD0D), branch, hex(0x0F370E)},
                 {Color::orange(), Color::systemPink(), branch, hex(0x0F370E)}, std::move(palette)});
}

ProjectStyle ProjectStyle::tasty() { return caligraphyLike(capitalized("tasty"), NodeShape::roundedRect, S3); }

ProjectStyle ProjectStyle::omaha()
{
    return makePreset("Omaha", StrokeThickness::medium, StrokeStyle::solid, StrokeThickness::medium,
                      NodeShape::roundedRect, NodeShape::roundedRect, 20.0, 16.0, 14.0);
}

ProjectStyle ProjectStyle::omahaLight()
{
    return makePreset("Omaha Light", StrokeThickness::invisible, StrokeStyle::dashed3, StrokeThickness::thinnest,
                      NodeShape::underline, NodeShape::underline, 24.0, 20.0, 18.0);
}

ProjectStyle ProjectStyle::omahaXL()
{
    return makePreset("Omaha XL", StrokeThickness::thick, StrokeStyle::solid, StrokeThickness::thick,
                      NodeShape::roundedRect, NodeShape::roundedRect, 24.0, 20.0, 18.0);
}

ProjectStyle ProjectStyle::makePreset(std::string name, StrokeThickness borderWidth, StrokeStyle branchStyle,
                                      StrokeThickness branchWidth, NodeShape rootNodeShape,
                                      NodeShape mainNodeShape, double rootFontSize, double mainFontSize,
                                      double subFontSize)
{
    static const char* const strokes[] = {
        "{0.569986, 0.645467, 0.818343, 1.000000}", "{0.976985, 0.610565, 0.367225, 1.000000}",
        "{0.996292, 0.796193, 0.532023, 1.000000}", "{0.509804, 0.803922, 0.670588, 1.000000}",
        "{0.267094, 0.679422, 0.683265, 1.000000}", "{0.891784, 0.735265, 0.511590, 1.000000}",
    };
    std::vector<PaletteEntry> palette;
    for (int i = 0; i < 22; ++i)
        palette.push_back({hex(0xFFFFFF), brace(strokes[i % 6])});

    const Strokes lines{borderWidth, branchStyle, branchWidth};
    const Color branch = firstStroke(palette);
    const Color text = brace("{0.349020, 0.349020, 0.349020, 1.000000}");
    const LevelColors main{Color::orange(), Color::systemPink(), branch, text};

    ProjectStyleValues values;
    values.backgroundColor = brace("{0.983238, 0.978266, 0.972131, 1.000000}");
    values.rootNodeStyle = levelStyle(lines, {branch, brace("{0.974568, 0.867150, 0.688408, 1.000000}"), branch, text},
                                      Font::named("Helvetica", rootFontSize));
    values.mainNodeStyle = levelStyle(lines, main, Font::named("Helvetica", mainFontSize));
    values.dynamicMainNodeColors = true;
    values.subNodeStyle = levelStyle(lines, main, Font::named("Helvetica", subFontSize));
    values.rootNodeShape = rootNodeShape;
    values.mainNodeShape = mainNodeShape;
    values.subNodeShape = NodeShape::underline;
    values.palette = std::move(palette);
    return ProjectStyle{std::move(name), values, values};
}

std::vector<ProjectStyle> ProjectStyle::builtInStyles()
{
    std::vector<ProjectStyle> styles;
    styles.reserve(24);
    styles.push_back(seaweed());
    styles.push_back(caligraphy());
    styles.push_back(caligraphyMono());
    styles.push_back(cyber());
    styles.push_back(espresso());
    styles.push_back(slime());
    styles.push_back(atlantis());
    styles.push_back(sandbox());
    styles.push_back(outrun());
    styles.push_back(casual());
    styles.push_back(spectral());
    styles.push_back(midnight());
    styles.push_back(patagonia());
    styles.push_back(patagoniaLight());
    styles.push_back(monochrome());
    styles.push_back(bright());
    styles.push_back(dark());
    styles.push_back(natural());
    styles.push_back(sunset());
    styles.push_back(lcd());
    styles.push_back(tasty());
    styles.push_back(omaha());
    styles.push_back(omahaLight());
    styles.push_back(omahaXL());
    // UTF-8 byte order is code point order.
    std::stable_sort(styles.begin(), styles.end(),
                     [](const ProjectStyle& a, const ProjectStyle& b) { return a.name < b.name; });
    return styles;
}

} // namespace velquine
