#include "platform/KeyedArchive.h"
#include "platform/PropertyList.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <limits>

using namespace velquine;

namespace {

KeyedArchiveError::Kind failure(const Bytes& data, bool asColor)
{
    try {
        if (asColor)
            KeyedArchive::unarchiveColor(data);
        else
            KeyedArchive::unarchiveFont(data);
    } catch (const KeyedArchiveError& error) {
        EXPECT_NE(std::string(error.what()), "");
        return error.kind();
    }
    ADD_FAILURE() << "no error";
    return KeyedArchiveError::Kind::damaged;
}

Bytes archiveOf(KeyedValue value) { return PropertyList::write(value); }

} // namespace

TEST(KeyedArchive, EveryKindOfColourRoundTripsExactly)
{
    const Color colors[] = {
        Color::black(),
        Color::white(),
        Color::gray(),
        Color::darkGray(),
        Color::lightGray(),
        Color::clear(),
        Color::green(),
        Color::orange(),
        Color::red(),
        Color::systemPink(),
        Color::calibratedRGB(0x4F / 255.0, 0x6A / 255.0, 0x8F / 255.0),
        Color::sRGB(0.569986, 0.645467, 0.818343),
        Color::literal(0.30933246f, 0.41029033f, 0.7640433f),
        Color::calibratedHSB(0.53, 0.95, 0.16),
        Color::hsb(0.1, 0.78, 1.0, 0.25),
        Color::calibratedWhite(1.0 / 3.0, 0.5),
        Color::deviceRGB(0.1, 0.2, 0.3),
        *Color::make("kCGColorSpaceExtendedSRGB", {1.25, -0.5, 0.0, 1.0}),
        *Color::make("kCGColorSpaceGenericCMYK", {0.1, 0.2, 0.3, 0.4, 1.0}),
        *Color::make("kCGColorSpaceDisplayP3", {0.1 + 0.2, 1e-300, 0.7, 1.0}),
    };
    for (const Color& color : colors) {
        const Bytes data = KeyedArchive::archivedData(color);
        ASSERT_GT(data.size(), 8u);
        EXPECT_EQ(std::string(data.begin(), data.begin() + 8), "bplist00");
        const Color back = KeyedArchive::unarchiveColor(data);
        EXPECT_EQ(back, color) << color.colorSpaceName();
        EXPECT_EQ(back.colorSpaceName(), color.colorSpaceName());
        EXPECT_EQ(back.components(), color.components());
    }
    // Read again in the other order, the last ones read among them: each comes back as itself.
    for (auto color = std::rbegin(colors); color != std::rend(colors); ++color) {
        const Color back = KeyedArchive::unarchiveColor(KeyedArchive::archivedData(*color));
        EXPECT_EQ(back.colorSpaceName(), color->colorSpaceName());
        EXPECT_EQ(back.components(), color->components());
    }
    // Same colour, same bytes.
    EXPECT_EQ(KeyedArchive::archivedData(Color::orange()), KeyedArchive::archivedData(Color::orange()));
    EXPECT_NE(KeyedArchive::archivedData(Color::sRGB(1, 1, 1)), KeyedArchive::archivedData(Color::calibratedRGB(1, 1, 1)));
}

TEST(KeyedArchive, FontsRoundTripWithNameAndSize)
{
    const Font fonts[] = {Font::systemFont(32), Font::systemFont(12), Font::monospacedSystemFont(16),
                          Font::named("DejaVu Sans Bold", 20), Font("Avenir Next Medium", 24),
                          Font("Helvetica", 14.5), Font("Ünïcödé Face", 0.25)};
    for (const Font& font : fonts) {
        const Font back = KeyedArchive::unarchiveFont(KeyedArchive::archivedData(font));
        EXPECT_EQ(back, font) << font.fontName();
    }
    // A face that is not installed keeps its stored name.
    const Font missing = KeyedArchive::unarchiveFont(KeyedArchive::archivedData(Font("Gill Sans Bold", 20)));
    EXPECT_EQ(missing.fontName(), "Gill Sans Bold");
    EXPECT_EQ(missing.pointSize(), 20.0);
    EXPECT_FALSE(missing.isInstalled());
}

TEST(KeyedArchive, AnArchiveOfAnotherClassFails)
{
    const Bytes color = KeyedArchive::archivedData(Color::red());
    const Bytes font = KeyedArchive::archivedData(Font::systemFont(12));
    EXPECT_EQ(failure(color, false), KeyedArchiveError::Kind::wrongClass);
    EXPECT_EQ(failure(font, true), KeyedArchiveError::Kind::wrongClass);
    EXPECT_EQ(failure(archiveOf(KeyedValue::object({{"$class", "NSImage"}})), true),
              KeyedArchiveError::Kind::wrongClass);
}

TEST(KeyedArchive, DamagedArchivesFailCleanly)
{
    const Bytes good = KeyedArchive::archivedData(Color::sRGB(0.1, 0.2, 0.3));
    EXPECT_EQ(failure({}, true), KeyedArchiveError::Kind::damaged);
    EXPECT_EQ(failure(Bytes{'h', 'e', 'l', 'l', 'o'}, true), KeyedArchiveError::Kind::damaged);
    // Cut short, and every byte flipped in turn: an error or a valid colour, never a crash.
    EXPECT_EQ(failure(Bytes(good.begin(), good.begin() + long(good.size() / 2)), true),
              KeyedArchiveError::Kind::damaged);
    for (std::size_t i = 0; i < good.size(); ++i) {
        Bytes bent = good;
        bent[i] ^= 0xA5;
        try {
            const Color c = KeyedArchive::unarchiveColor(bent);
            EXPECT_EQ(c.numberOfComponents(), c.colorSpace().componentCount + 1u);
        } catch (const KeyedArchiveError&) {
        }
    }

    // Well-formed property lists that are no colour archives.
    EXPECT_EQ(failure(archiveOf(KeyedValue::array({1, 2})), true), KeyedArchiveError::Kind::damaged);
    EXPECT_EQ(failure(archiveOf(KeyedValue::object({{"colorSpaceName", "kCGColorSpaceSRGB"}})), true),
              KeyedArchiveError::Kind::damaged);
    auto colorArchive = [](KeyedValue space, KeyedValue comps) {
        return archiveOf(KeyedValue::object({{"$class", "NSColor"}, {"colorSpaceName", space}, {"components", comps}}));
    };
    EXPECT_EQ(failure(colorArchive("kCGColorSpaceSRGB", KeyedValue::array({0.1, 0.2, 1.0})), true),
              KeyedArchiveError::Kind::damaged);  // one component short
    EXPECT_EQ(failure(colorArchive("kCGColorSpaceGenericGrayGamma2_2", KeyedValue::array({0.1, 0.2, 0.3, 1.0})), true),
              KeyedArchiveError::Kind::damaged);
    EXPECT_EQ(failure(colorArchive("kCGColorSpaceNowhere", KeyedValue::array({0.1, 1.0})), true),
              KeyedArchiveError::Kind::damaged);
    EXPECT_EQ(failure(colorArchive(12, KeyedValue::array({0.1, 1.0})), true), KeyedArchiveError::Kind::damaged);
    EXPECT_EQ(failure(colorArchive("kCGColorSpaceSRGB", KeyedValue::array({"a", "b", "c", "d"})), true),
              KeyedArchiveError::Kind::damaged);
    EXPECT_EQ(failure(colorArchive("kCGColorSpaceSRGB", "0.1 0.2 0.3 1"), true), KeyedArchiveError::Kind::damaged);
    EXPECT_EQ(failure(colorArchive("kCGColorSpaceSRGB", KeyedValue::array({0.1, std::nan(""), 0.3, 1.0})), true),
              KeyedArchiveError::Kind::damaged);
    // Whole numbers are read as components.
    EXPECT_EQ(KeyedArchive::unarchiveColor(colorArchive("kCGColorSpaceGenericGrayGamma2_2", KeyedValue::array({0, 1}))),
              Color::black());

    auto fontArchive = [](KeyedValue name, KeyedValue size) {
        return archiveOf(KeyedValue::object({{"$class", "NSFont"}, {"name", name}, {"size", size}}));
    };
    EXPECT_EQ(failure(fontArchive("", 12.0), false), KeyedArchiveError::Kind::damaged);
    EXPECT_EQ(failure(fontArchive("DejaVu Sans", 0.0), false), KeyedArchiveError::Kind::damaged);
    EXPECT_EQ(failure(fontArchive("DejaVu Sans", -4.0), false), KeyedArchiveError::Kind::damaged);
    EXPECT_EQ(failure(fontArchive("DejaVu Sans", std::numeric_limits<double>::infinity()), false),
              KeyedArchiveError::Kind::damaged);
    EXPECT_EQ(failure(fontArchive("DejaVu Sans", "12"), false), KeyedArchiveError::Kind::damaged);
    EXPECT_EQ(failure(fontArchive(KeyedValue(), 12.0), false), KeyedArchiveError::Kind::damaged);
    EXPECT_EQ(failure(archiveOf(KeyedValue::object({{"$class", "NSFont"}, {"name", "DejaVu Sans"}})), false),
              KeyedArchiveError::Kind::damaged);
    EXPECT_EQ(KeyedArchive::unarchiveFont(fontArchive("DejaVu Sans", 16)), Font::systemFont(16));
}
