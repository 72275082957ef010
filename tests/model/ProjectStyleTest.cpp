#include "model/style/ColorOperations.h"
#include "model/style/ProjectStyle.h"

#include <gtest/gtest.h>

#include <vector>

using namespace velquine;

namespace {

Color grey(int i) { return Color::calibratedWhite(i / 100.0); }
Color stroke(int i) { return Color::sRGB(i / 100.0, 0.5, 0.5); }

// A style whose `defaults` palette has n entries with fills unlike their strokes; `current` differs from
// `defaults` everywhere the lists could wrongly read it.
ProjectStyle styleWithPalette(std::size_t n, bool dynamic)
{
    ProjectStyleValues defaults;
    defaults.backgroundColor = Color::calibratedRGB(0.1, 0.2, 0.3);
    defaults.rootNodeStyle.borderColor = Color::calibratedRGB(0.4, 0.5, 0.6);
    defaults.rootNodeStyle.fillColor = Color::calibratedRGB(0.7, 0.8, 0.9);
    defaults.dynamicMainNodeColors = dynamic;
    for (std::size_t i = 0; i < n; ++i)
        defaults.palette.push_back({grey(static_cast<int>(i)), stroke(static_cast<int>(i))});

    ProjectStyleValues current = defaults;
    current.backgroundColor = Color::red();
    current.rootNodeStyle.borderColor = Color::red();
    current.rootNodeStyle.fillColor = Color::red();
    current.dynamicMainNodeColors = !dynamic;
    current.palette = PaletteEntry::entries({Color::red(), Color::red(), Color::red(), Color::red(), Color::red(),
                                             Color::red(), Color::red()});
    return ProjectStyle{"Lists", current, defaults};
}

std::vector<Color> strokes(std::size_t n)
{
    std::vector<Color> colors;
    for (std::size_t i = 0; i < n; ++i)
        colors.push_back(stroke(static_cast<int>(i)));
    return colors;
}

std::vector<Color> plus(std::vector<Color> colors, const Color& last)
{
    colors.push_back(last);
    return colors;
}

} // namespace

TEST(PreviewColors, EmptyPalette)
{
    const ProjectStyle fixed = styleWithPalette(0, false);
    EXPECT_EQ(fixed.previewColors(), std::vector<Color>{fixed.defaults.rootNodeStyle.borderColor});
    EXPECT_EQ(fixed.previewColors2(), std::vector<Color>{fixed.defaults.rootNodeStyle.fillColor});
    EXPECT_EQ(fixed.previewColors3(), std::vector<Color>{fixed.defaults.backgroundColor});

    const ProjectStyle dynamic = styleWithPalette(0, true);
    EXPECT_TRUE(dynamic.previewColors().empty());
    EXPECT_TRUE(dynamic.previewColors2().empty());
    EXPECT_EQ(dynamic.previewColors3(), std::vector<Color>{dynamic.defaults.backgroundColor});
}

TEST(PreviewColors, ShortPaletteKeepsEveryStroke)
{
    const ProjectStyle fixed = styleWithPalette(3, false);
    EXPECT_EQ(fixed.previewColors(), plus(strokes(3), fixed.defaults.rootNodeStyle.borderColor));
    EXPECT_EQ(fixed.previewColors2(), plus(strokes(3), fixed.defaults.rootNodeStyle.fillColor));
    EXPECT_EQ(fixed.previewColors3(), plus(strokes(3), fixed.defaults.backgroundColor));

    const ProjectStyle dynamic = styleWithPalette(3, true);
    EXPECT_EQ(dynamic.previewColors(), strokes(3));
    EXPECT_EQ(dynamic.previewColors2(), strokes(3));
    EXPECT_EQ(dynamic.previewColors3(), plus(strokes(3), dynamic.defaults.backgroundColor));
}

TEST(PreviewColors, LongPaletteIsCut)
{
    const ProjectStyle fixed = styleWithPalette(8, false);
    EXPECT_EQ(fixed.previewColors(), plus(strokes(4), fixed.defaults.rootNodeStyle.borderColor));
    EXPECT_EQ(fixed.previewColors2(), plus(strokes(4), fixed.defaults.rootNodeStyle.fillColor));
    EXPECT_EQ(fixed.previewColors3(), plus(strokes(4), fixed.defaults.backgroundColor));

    const ProjectStyle dynamic = styleWithPalette(8, true);
    EXPECT_EQ(dynamic.previewColors(), strokes(5));
    EXPECT_EQ(dynamic.previewColors2(), strokes(5));
    EXPECT_EQ(dynamic.previewColors3(), plus(strokes(4), dynamic.defaults.backgroundColor));
}

TEST(PreviewColors, DuplicatesStandAndBackgroundEditsDoNotShow)
{
    ProjectStyle style = styleWithPalette(2, false);
    style.defaults.rootNodeStyle.borderColor = stroke(1);
    EXPECT_EQ(style.previewColors(), (std::vector<Color>{stroke(0), stroke(1), stroke(1)}));

    const std::vector<Color> before = style.previewColors3();
    style.current.backgroundColor = Color::green();
    EXPECT_EQ(style.previewColors3(), before);
    EXPECT_EQ(before.back(), Color::calibratedRGB(0.1, 0.2, 0.3));
}

TEST(PreviewColors, OfBuiltInStyles)
{
    const ProjectStyle omaha = ProjectStyle::omaha();
    const std::vector<Color> omahaStrokes = {
        Color::sRGB(0.569986, 0.645467, 0.818343), Color::sRGB(0.976985, 0.610565, 0.367225),
        Color::sRGB(0.996292, 0.796193, 0.532023), Color::sRGB(0.509804, 0.803922, 0.670588),
        Color::sRGB(0.267094, 0.679422, 0.683265)};
    EXPECT_EQ(omaha.previewColors(), omahaStrokes);
    EXPECT_EQ(omaha.previewColors2(), omahaStrokes);
    EXPECT_EQ(omaha.previewColors3(),
              (std::vector<Color>{omahaStrokes[0], omahaStrokes[1], omahaStrokes[2], omahaStrokes[3],
                                  Color::sRGB(0.983238, 0.978266, 0.972131)}));

    const ProjectStyle cyber = ProjectStyle::cyber();
    const std::vector<Color> cyberStrokes = {Color::green(), Color::white(), Color::lightGray(), Color::gray()};
    EXPECT_EQ(cyber.previewColors(), plus(cyberStrokes, Color::green()));
    EXPECT_EQ(cyber.previewColors2(), plus(cyberStrokes, Color::black()));
    EXPECT_EQ(cyber.previewColors3(), plus(cyberStrokes, Color::black()));

    // Bright shows its strokes, not its pale fills.
    const ProjectStyle bright = ProjectStyle::bright();
    EXPECT_EQ(bright.previewColors2().front(), colorFromRGB(0xFF2600));
    EXPECT_EQ(bright.previewColors2().size(), 5u);
}

TEST(PaletteEntries, MadeFromColorsAndIntegers)
{
    EXPECT_TRUE(PaletteEntry::entries({}).empty());
    const std::vector<PaletteEntry> entries = PaletteEntry::entries({Color::black(), Color::orange()});
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].fillColor, Color::orange());
    EXPECT_EQ(entries[1].strokeColor, Color::orange());

    const PaletteEntry entry = PaletteEntry::fromRGB(0x202020, 0xFF000080);
    EXPECT_EQ(entry.fillColor, Color::calibratedRGB(32 / 255.0, 32 / 255.0, 32 / 255.0, 1.0));
    EXPECT_EQ(entry.strokeColor, Color::calibratedRGB(0.0, 0.0, 128 / 255.0, 1.0));
    EXPECT_EQ(PaletteEntry::fromJsonString(entry.jsonValue()), entry);
}
