#include "kit/SymbolImages.h"
#include "kit/SystemColors.h"
#include "platform/AssetColors.h"

#include "kit/KitTestSupport.h"

#include <gtest/gtest.h>

#include <QPainter>

using namespace velquine;

namespace {

// Opaque-enough pixels and their mean lightness.
struct Ink {
    int pixels = 0;
    double lightness = 0;
};

Ink inkOf(const QImage& image)
{
    Ink ink;
    const QImage plain = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < plain.height(); ++y)
        for (int x = 0; x < plain.width(); ++x) {
            const QColor c = plain.pixelColor(x, y);
            if (c.alpha() > 128) {
                ++ink.pixels;
                ink.lightness += c.lightnessF();
            }
        }
    if (ink.pixels)
        ink.lightness /= ink.pixels;
    return ink;
}

} // namespace

TEST(SymbolImages, EveryNamedImageExistsAndDrawsInBothAppearances)
{
    const QStringList required = {
        "sidebar.leading", "sidebar.trailing", "eye", "viewfinder", "face.smiling", "photo", "textformat.abc",
        "arrow.left.and.line.vertical.and.arrow.right",
        "arrowtriangle.left.and.line.vertical.and.arrowtriangle.right", "questionmark.circle",
        "square.and.arrow.up", "note.text", "paintbrush", "doc.richtext", "plus.circle.fill", "segm_cloud",
        "gearshape", "NSColorPanel", "NESWCursor", "NWSECursor"};
    EXPECT_EQ(SymbolImages::names().size(), required.size());
    EXPECT_FALSE(SymbolImages::exists("no.such.symbol"));
    EXPECT_TRUE(SymbolImages::icon("no.such.symbol", false).isNull());

    QImage sheet(required.size() * 36 + 8, 2 * 36 + 8, QImage::Format_ARGB32);
    QPainter painter(&sheet);
    for (bool dark : {false, true}) {
        const int row = dark ? 1 : 0;
        painter.fillRect(0, 4 + row * 36, sheet.width(), 36, test::appearancePalette(dark).color(QPalette::Window));
        for (int i = 0; i < required.size(); ++i) {
            const QString& name = required[i];
            ASSERT_TRUE(SymbolImages::exists(name)) << name.toStdString();
            const QImage image = SymbolImages::icon(name, dark).pixmap(QSize(32, 32)).toImage();
            const Ink ink = inkOf(image);
            EXPECT_GT(ink.pixels, 20) << name.toStdString();
            if (SymbolImages::isTemplate(name)) { // drawn in the appearance's label colour
                EXPECT_EQ(ink.lightness > 0.5, dark) << name.toStdString();
            }
            painter.drawImage(QPoint(4 + i * 36, 6 + row * 36), image);
        }
    }
    painter.end();
    EXPECT_TRUE(test::saveArtefact(sheet, "symbol-images.png"));
}

TEST(SymbolImages, TemplatesTakeTheirColoursAndTintingKeepsAlpha)
{
    const QImage plus = SymbolImages::render("plus.circle.fill", QSizeF(24, 24), 2.0, QColor(200, 0, 0),
                                             QColor(0, 0, 255));
    ASSERT_EQ(plus.size(), QSize(48, 48));
    EXPECT_EQ(plus.pixelColor(24, 24), QColor(0, 0, 255));  // the "+" in the second colour
    EXPECT_EQ(plus.pixelColor(24, 8), QColor(200, 0, 0)); // the disc
    EXPECT_EQ(plus.pixelColor(0, 0).alpha(), 0);

    const QImage tint = tinted(plus, QColor(0, 160, 0));
    EXPECT_EQ(tint.pixelColor(24, 24), QColor(0, 160, 0));
    EXPECT_EQ(tint.pixelColor(0, 0).alpha(), 0);

    // The colour panel icon keeps its own colours whatever it is given.
    const QImage wheel = SymbolImages::render("NSColorPanel", QSizeF(16, 16), 1.0, Qt::black);
    EXPECT_GT(wheel.pixelColor(10, 3).red(), 200);
}

TEST(AssetColors, NamedColoursHaveLightAndDarkValues)
{
    for (const char* name : {"dividerColor", "tabBarDividerColor"}) {
        const auto light = assetColor(name, false), dark = assetColor(name, true);
        ASSERT_TRUE(light && dark) << name;
        EXPECT_LT(light->lightness(), 128);
        EXPECT_GT(dark->lightness(), 128);
    }
    EXPECT_FALSE(assetColor("noSuchColor", false));
    EXPECT_TRUE(SystemColors::isDark(test::appearancePalette(true)));
    EXPECT_FALSE(SystemColors::isDark(test::appearancePalette(false)));
}
