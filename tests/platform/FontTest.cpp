#include "platform/Font.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>

#include <cmath>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using namespace velquine;

namespace {

// A bitmap whose logical resolution is the given DPI.
QImage deviceAt(int dpi)
{
    QImage image(8, 8, QImage::Format_ARGB32_Premultiplied);
    image.setDotsPerMeterX(int(std::lround(dpi / 0.0254)));
    image.setDotsPerMeterY(int(std::lround(dpi / 0.0254)));
    return image;
}

} // namespace

TEST(Font, ValuesCompareByNameAndSize)
{
    EXPECT_EQ(Font::systemFont(32), Font::systemFont(32));
    EXPECT_NE(Font::systemFont(32), Font::systemFont(32.5));
    EXPECT_NE(Font::systemFont(16), Font::monospacedSystemFont(16));
    EXPECT_EQ(Font::systemFont(32).fontName(), "DejaVu Sans");
    EXPECT_EQ(Font::systemFont(32).pointSize(), 32.0);
    EXPECT_EQ(Font::monospacedSystemFont(16).fontName(), "DejaVu Sans Mono");
    EXPECT_EQ(Font(), Font::systemFont(12));
    EXPECT_EQ(Font::systemFont(32).withPointSize(12), Font::systemFont(12));
    EXPECT_EQ(Font("Helvetica", 14).withPointSize(20), Font("Helvetica", 20));
}

TEST(Font, SizesMustBeFiniteAndPositive)
{
    EXPECT_THROW(Font("DejaVu Sans", 0), std::invalid_argument);
    EXPECT_THROW(Font("DejaVu Sans", -3), std::invalid_argument);
    EXPECT_THROW(Font::systemFont(std::nan("")), std::invalid_argument);
    EXPECT_THROW(Font::systemFont(32).withPointSize(INFINITY), std::invalid_argument);
}

TEST(Font, FullNamesOfInstalledFacesAreFound)
{
    EXPECT_TRUE(Font::isInstalled("DejaVu Sans"));
    EXPECT_TRUE(Font::isInstalled("DejaVu Sans Bold"));
    EXPECT_TRUE(Font::isInstalled("DejaVuSans-Bold"));  // PostScript name
    EXPECT_FALSE(Font::isInstalled("dejavu sans bold"));
    EXPECT_FALSE(Font::isInstalled("DejaVu"));
    EXPECT_FALSE(Font::isInstalled(""));

    const Font bold = Font::named("DejaVu Sans Bold", 20);
    EXPECT_EQ(bold.fontName(), "DejaVu Sans Bold");
    EXPECT_EQ(bold.pointSize(), 20.0);
    const QFontInfo info(bold.toQFont());
    EXPECT_EQ(info.family(), "DejaVu Sans");
    EXPECT_EQ(info.styleName(), "Bold");
    EXPECT_GT(QFontMetricsF(bold.toQFont()).horizontalAdvance("Hello"),
              QFontMetricsF(Font::systemFont(20).toQFont()).horizontalAdvance("Hello"));

    EXPECT_TRUE(QFontInfo(Font::monospacedSystemFont(16).toQFont()).fixedPitch());
    EXPECT_EQ(QFontInfo(Font::systemFont(16).toQFont()).family(), "DejaVu Sans");
}

TEST(Font, MissingFacesFallBackToTheSystemFont)
{
    ASSERT_FALSE(Font::isInstalled("Avenir Next Medium"));
    // Looking a face up by name gives the system font of the same size when it is missing.
    EXPECT_EQ(Font::named("Avenir Next Medium", 24), Font::systemFont(24));
    if (!Font::isInstalled("Helvetica")) {
        EXPECT_EQ(Font::named("Helvetica", 14), Font::systemFont(14));
    }

    // A stored font keeps its name; only drawing and measuring use the system font.
    const Font stored("Avenir Next Medium", 24);
    EXPECT_EQ(stored.fontName(), "Avenir Next Medium");
    EXPECT_FALSE(stored.isInstalled());
    EXPECT_NE(stored, Font::systemFont(24));
    EXPECT_EQ(QFontInfo(stored.toQFont()).family(), "DejaVu Sans");
    const QImage device = deviceAt(72);
    EXPECT_EQ(QFontMetricsF(stored.toQFont(&device), &device).horizontalAdvance("Avenir"),
              QFontMetricsF(Font::systemFont(24).toQFont(&device), &device).horizontalAdvance("Avenir"));
}

TEST(Font, OnePointIsOneLogicalPixelOnEveryDevice)
{
    const QImage at72 = deviceAt(72);
    const QImage at96 = deviceAt(96);
    const QImage at144 = deviceAt(144);
    ASSERT_EQ(at72.logicalDpiY(), 72);
    ASSERT_EQ(at96.logicalDpiY(), 96);

    const Font font = Font::systemFont(32);
    EXPECT_DOUBLE_EQ(font.toQFont(&at72).pointSizeF(), 32.0);
    EXPECT_DOUBLE_EQ(font.toQFont(&at96).pointSizeF(), 24.0);
    EXPECT_DOUBLE_EQ(font.toQFont(&at144).pointSizeF(), 16.0);

    const QString text = "Hello World";
    const double width72 = QFontMetricsF(font.toQFont(&at72), &at72).horizontalAdvance(text);
    const double width96 = QFontMetricsF(font.toQFont(&at96), &at96).horizontalAdvance(text);
    const double width144 = QFontMetricsF(font.toQFont(&at144), &at144).horizontalAdvance(text);
    EXPECT_EQ(width72, width96);
    EXPECT_EQ(width72, width144);
    EXPECT_NEAR(width72, 183.0, 2.5);  // DejaVu Sans, 32 pixels
    EXPECT_EQ(QFontMetricsF(font.toQFont(&at72), &at72).height(), QFontMetricsF(font.toQFont(&at96), &at96).height());

    // No device: Qt's default resolution, still one point per pixel.
    const QFont plain = font.toQFont();
    EXPECT_EQ(QFontMetricsF(plain).horizontalAdvance(text), width72);
}

TEST(Font, ConversionIsCachedAndStable)
{
    const Font font("DejaVu Sans Bold", 17.5);
    const QFont first = font.toQFont();
    const QFont second = font.toQFont();
    EXPECT_EQ(first, second);
    EXPECT_DOUBLE_EQ(QFontMetricsF(first).horizontalAdvance("abc"), QFontMetricsF(second).horizontalAdvance("abc"));
}

// Names are kept once each: fonts named alike on different threads, from texts made apart and longer than a short
// string holds, are equal and give back their names; the system font's name is the one every default font has.
TEST(Font, NamesMadeApartOnSeveralThreadsCompareEqual)
{
    const auto nameOf = [](int i) { return "A face name longer than a short string " + std::to_string(i % 40); };
    std::vector<std::vector<Font>> made(4);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < made.size(); ++t) {
        threads.emplace_back([&made, &nameOf, t] {
            for (int i = 0; i < 400; ++i)
                made[t].push_back(Font(nameOf(i), 10.0 + static_cast<double>(i % 3)));
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int i = 0; i < 400; ++i) {
        EXPECT_EQ(made[0][static_cast<std::size_t>(i)].fontName(), nameOf(i));
        for (std::size_t t = 1; t < made.size(); ++t)
            EXPECT_EQ(made[t][static_cast<std::size_t>(i)], made[0][static_cast<std::size_t>(i)]);
    }
    EXPECT_NE(made[0][0], made[0][3]) << "same size, other name";
    EXPECT_EQ(made[0][0], made[0][120]);
    EXPECT_EQ(Font(std::string("DejaVu ") + "Sans", 12), Font());
}
