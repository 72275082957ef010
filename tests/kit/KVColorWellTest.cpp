#include "support/QtWait.h"
#include "kit/ColorPanel.h"
#include "kit/KVColorWell.h"
#include "kit/Popover.h"

#include "kit/KitTestSupport.h"

#include <gtest/gtest.h>

#include <QColorDialog>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

using namespace velquine;

namespace {

struct Report {
    Color colour;
    bool final;
};

struct RecordingDelegate : KVColorWellDelegate {
    std::vector<Report> reports;
    void colorWellDidChange(KVColorWell*, const Color& colour, bool isFinal) override
    {
        reports.push_back({colour, isFinal});
    }
};

struct WellWindow {
    QWidget window;
    KVColorWell* well = new KVColorWell(&window);
    QLineEdit* other = new QLineEdit(&window);
    RecordingDelegate delegate;
    WellWindow()
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(well);
        layout->addWidget(other);
        well->setFixedSize(80, 22);
        well->setDelegate(&delegate);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    ~WellWindow() { ColorPanel::shared().close(); }
    void clickAt(int x) { QTest::mouseClick(well, Qt::LeftButton, {}, QPoint(x, 11)); }
};

} // namespace

TEST(KVColorWell, TheSwatchGridDarkensRowByRowAndEndsInAGreyColumn)
{
    const std::vector<Color> seed = {Color::sRGB(1, 0, 0), Color::sRGB(0, 0.5, 1), Color::white()};
    const std::vector<Color> grid = KVColorWellSwatchViewController::swatchColors(seed);
    ASSERT_EQ(grid.size(), 15u);
    EXPECT_DOUBLE_EQ(grid[0].brightness(), 1.25); // handed on unclamped
    EXPECT_DOUBLE_EQ(grid[3].brightness(), 1.0);
    EXPECT_DOUBLE_EQ(grid[12].brightness(), 0.25);
    for (int row = 0; row < 5; ++row) {
        const Color grey = grid[std::size_t(row * 3 + 2)];
        EXPECT_EQ(grey.colorSpaceName(), "kCGColorSpaceDeviceRGB");
        EXPECT_DOUBLE_EQ(grey.components()[0], 1.0 - 0.25 * row);
        EXPECT_DOUBLE_EQ(grey.components()[2], grey.components()[0]);
    }
    EXPECT_EQ(appendingWhiteSwatch({Color::red()}).back(), Color::white());
}

TEST(KVColorWell, AClickOnTheColourOpensSwatchesAndAPickIsFinal)
{
    WellWindow w;
    w.clickAt(80 - 20); // where the button and the swatch area overlap: swatches win
    ASSERT_TRUE(w.well->swatchPopOver());
    EXPECT_EVENTUALLY(w.well->swatchPopOver()->isShown());
    EXPECT_FALSE(ColorPanel::shared().isVisible());
    auto* grid = static_cast<KVColorWellSwatchViewController*>(w.well->swatchPopOver()->contentWidget());
    ASSERT_EQ(grid->swatchCells().size(), 20u);
    EXPECT_TRUE(test::saveArtefact(w.well->swatchPopOver()->window()->grab().toImage(), "swatch-popover-light.png"));

    QWidget* cell = grid->swatchCells()[5]; // row 1, column 1: system green as it is
    QTest::mouseClick(cell, Qt::LeftButton, {}, QPoint(5, 5));
    ASSERT_EQ(w.delegate.reports.size(), 1u);
    EXPECT_TRUE(w.delegate.reports[0].final);
    EXPECT_NEAR(w.delegate.reports[0].colour.brightness(), Color::sRGB(0.204, 0.780, 0.349).brightness(), 1e-9);
    EXPECT_EQ(w.well->selectedColor(), w.delegate.reports[0].colour);
    EXPECT_TRUE(w.well->selectedColorIsFinalColor());
    EXPECT_EQ(w.well->swatchPopOver(), nullptr); // discarded: the next click builds a fresh grid
}

TEST(KVColorWell, ThePanelReportsDragStepsThenAFinalColourOnReleaseAndOnClose)
{
    WellWindow w;
    ColorPanel& panel = ColorPanel::shared();
    w.clickAt(80 - 8);
    EXPECT_TRUE(w.well->isActive());
    EXPECT_EVENTUALLY(panel.isVisible());
    EXPECT_EQ(panel.color(), w.well->selectedColor());

    // A drag in the panel's colour field: steps while the button is down, final when it comes up (the
    // dialog itself reports nothing on release).
    QWidget* field = nullptr;
    for (QWidget* child : panel.dialog()->findChildren<QWidget*>())
        if (QByteArray(child->metaObject()->className()).endsWith("QColorPicker"))
            field = child;
    ASSERT_TRUE(field);
    QTest::mousePress(field, Qt::LeftButton, {}, QPoint(20, 20));
    QTest::mouseMove(field, QPoint(60, 40));
    QTest::mouseRelease(field, Qt::LeftButton, {}, QPoint(60, 40));
    ASSERT_EQ(w.delegate.reports.size(), 3u);
    EXPECT_FALSE(w.delegate.reports[0].final);
    EXPECT_FALSE(w.delegate.reports[1].final);
    EXPECT_TRUE(w.delegate.reports[2].final);
    EXPECT_EQ(w.delegate.reports[2].colour, w.delegate.reports[1].colour);
    EXPECT_EQ(w.well->selectedColor(), w.delegate.reports[2].colour);

    // Code moves the open panel along without telling the delegate.
    w.well->setSelectedColor(Color::deviceRGB(1, 0, 0));
    EXPECT_EQ(panel.color(), Color::deviceRGB(1, 0, 0));
    EXPECT_EQ(w.delegate.reports.size(), 3u);

    // A drag cut short by closing the panel still ends with a final colour; the well goes inactive.
    panel.userChangedColor(Color::deviceRGB(0, 1, 0), false);
    panel.close();
    ASSERT_EQ(w.delegate.reports.size(), 5u);
    EXPECT_TRUE(w.delegate.reports[4].final);
    EXPECT_FALSE(w.well->isActive());

    // Once inactive, the panel's changes no longer reach the well.
    panel.userChangedColor(Color::deviceRGB(0, 0, 1), true);
    EXPECT_EQ(w.delegate.reports.size(), 5u);
}

TEST(KVColorWell, TheButtonTogglesThePanelAndLosingFocusUnlinksTheWell)
{
    WellWindow w;
    w.clickAt(80 - 8);
    EXPECT_EVENTUALLY(ColorPanel::shared().isVisible());
    w.clickAt(80 - 8);
    EXPECT_EVENTUALLY(!ColorPanel::shared().isVisible());
    EXPECT_FALSE(w.well->isActive());

    w.clickAt(80 - 8);
    EXPECT_TRUE(w.well->isActive());
    w.other->setFocus(Qt::TabFocusReason);
    EXPECT_EVENTUALLY(!w.well->isActive());
}

TEST(KVColorWell, ADisabledWellIgnoresClicksAndDrawsInGreys)
{
    for (bool dark : {false, true}) {
        WellWindow w;
        w.window.setPalette(test::appearancePalette(dark));
        w.well->setSelectedColor(Color::sRGB(0.9, 0.2, 0.1));
        const QImage enabled = w.well->grab().toImage();
        EXPECT_TRUE(test::saveArtefact(enabled, dark ? "color-well-dark.png" : "color-well-light.png"));
        const QColor fill = enabled.pixelColor(20, 11);
        EXPECT_GT(fill.red(), 200);
        EXPECT_LT(fill.green(), 80);
        EXPECT_EQ(enabled.pixelColor(64, 3).lightness() > 128, !dark); // the button strip

        w.well->setIsEnabled(false);
        w.clickAt(20);
        w.clickAt(80 - 8);
        EXPECT_EQ(w.well->swatchPopOver(), nullptr);
        EXPECT_FALSE(w.well->isActive());
        EXPECT_EQ(w.well->focusPolicy(), Qt::NoFocus);
        const QImage disabled = w.well->grab().toImage();
        EXPECT_TRUE(test::saveArtefact(disabled, dark ? "color-well-disabled-dark.png" : "color-well-disabled-light.png"));
        const QColor grey = disabled.pixelColor(20, 11);
        EXPECT_EQ(grey.red(), grey.green());
        EXPECT_EQ(grey.green(), grey.blue());
    }
}
