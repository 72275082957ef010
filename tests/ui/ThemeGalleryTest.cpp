#include "support/QtWait.h"
#include "inspector/DocumentStyleInspector.h"
#include "inspector/ThemeGalleryViewController.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QWheelEvent>

#include "canvas/ThemePreview.h"
#include "document/VQDocument.h"
#include "kit/Popover.h"
#include "kit/WindowAppearance.h"
#include "platform/Clock.h"
#include "platform/RunLoop.h"
#include "UiTestSupport.h"

using namespace velquine;

namespace {

// The document style pane on a small map, in a window at the right of the screen, as in the sidebar.
struct GalleryFixture {
    ScopedStandardUserDefaults settings;
    std::shared_ptr<VQDocument> doc = std::make_shared<VQDocument>();
    DocumentStyleInspector pane;
    std::vector<ProjectStyle> styles = ProjectStyle::builtInStyles();

    GalleryFixture()
    {
        doc->beginEditingSession("Build");
        const Node root = doc->createRootNode("Root", {0, 0}, false);
        doc->createChildNode(root, "First", std::nullopt, true, false);
        doc->commitEditingSession();
        doc->undoManager()->removeAllActions();
        pane.setDocument(doc);
        pane.loadViewIfNeeded();
        pane.setGeometry(1400, 100, 300, 700);
        pane.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&pane));
        pane.inspectorDidShow();
        RunLoop::drain();
    }
    ThemePreviewView& strip() const { return *pane.themePreview; }
    void wheel(QPoint delta, Qt::ScrollPhase phase = Qt::NoScrollPhase)
    {
        QWheelEvent event(QPointF(100, 50), strip().mapToGlobal(QPointF(100, 50)), QPoint(), delta, Qt::NoButton,
                          Qt::NoModifier, phase, false);
        QApplication::sendEvent(&strip(), &event);
        RunLoop::drain();
    }
};

} // namespace

TEST(ThemeGallery, ShowsEveryThemeInOrderAndAppliesTheClickedOneInOneStep)
{
    GalleryFixture f;
    ThemePreviewView& strip = f.strip();
    f.pane.applyTheme(f.styles[9]);
    RunLoop::drain();
    f.doc->undoManager()->removeAllActions();
    ASSERT_EQ(strip.selectedStyleIndex, 9);

    // A right click opens the gallery on the strip's theme, scrolled to the top.
    QTest::mouseClick(&strip, Qt::RightButton, {}, QPoint(150, 60));
    ASSERT_NE(strip.galleryPopover(), nullptr);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(strip.galleryPopover()->window()));
    ThemeGalleryViewController* gallery = strip.galleryController();
    ASSERT_NE(gallery, nullptr);
    ASSERT_EQ(gallery->numberOfItems(), 24);
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(gallery->cell(i)->textField()->text().toStdString(), f.styles[std::size_t(i)].name) << i;
    EXPECT_EQ(gallery->selectedIndex(), 9);
    EXPECT_EQ(gallery->cell(9)->borderWidth(), 4);
    QScrollArea* collection = gallery->collectionView();
    EXPECT_GT(collection->verticalScrollBar()->value(), 0);
    EXPECT_NEAR(gallery->cell(9)->mapTo(collection->viewport(), QPoint(0, 0)).y(), 12, 1);
    // The preview is a rendered map, not an empty box.
    const QImage cellImage = gallery->cell(9)->imageView()->grab().toImage();
    EXPECT_NE(cellImage.pixelColor(140, 95), cellImage.pixelColor(20, 20));
    test::saveScreenshot(strip.galleryPopover()->window(), QStringLiteral("theme-gallery"));

    // Clicking a cell applies its theme at once, as one undo step, and the gallery stays open.
    ThemeGalleryCell* chosen = gallery->cell(10);
    QTest::mouseClick(chosen, Qt::LeftButton, {}, QPoint(100, 80));
    RunLoop::drain();
    EXPECT_EQ(f.doc->project().projectStyle.name, f.styles[10].name);
    EXPECT_EQ(f.doc->undoManager()->undoActionName(), "Apply Theme \"" + f.styles[10].name + "\"");
    EXPECT_EQ(UserDefaults::standard().stringForKey("defaultProjectStyle"), f.styles[10].name);
    EXPECT_EQ(strip.selectedStyleIndex, 10);
    EXPECT_FALSE(strip.isSliding());
    EXPECT_EQ(strip.previewOffset(), -10.0 * strip.width());
    EXPECT_TRUE(strip.galleryPopover()->isShown());
    EXPECT_EQ(chosen->borderWidth(), 4);
    EXPECT_EQ(gallery->cell(9)->borderWidth(), 0);
    f.doc->undoManager()->undo();
    RunLoop::drain();
    EXPECT_EQ(f.doc->project().projectStyle.name, f.styles[9].name);
    EXPECT_FALSE(f.doc->undoManager()->canUndo());

    // Showing it again toggles it closed; reopening selects the strip's theme again, found by lower-cased name.
    strip.showGallery();
    EXPECT_FALSE(strip.galleryPopover()->isShown());
    strip.select("MIDNIGHT", false, false);
    strip.showGallery();
    EXPECT_TRUE(strip.galleryPopover()->isShown());
    EXPECT_EQ(strip.galleryController(), gallery);
    EXPECT_EQ(f.styles[std::size_t(gallery->selectedIndex())].name, "Midnight");

    setWindowAppearance(&f.pane, UserInterfaceStyle::dark);
    strip.showGallery();
    strip.showGallery();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(strip.galleryPopover()->window()));
    test::saveScreenshot(strip.galleryPopover()->window(), QStringLiteral("theme-gallery-dark"));
    const QColor background = strip.galleryPopover()->window()->grab().toImage().pixelColor(4, 300);
    EXPECT_LT(background.lightness(), 110);
    strip.galleryPopover()->close();
}

TEST(ThemeGallery, StripSlidesOnStepsAndJumpsWhenWrappingOrChosen)
{
    GalleryFixture f;
    ThemePreviewView& strip = f.strip();
    const double w = strip.width();
    ASSERT_EQ(strip.selectedStyleIndex, int(*indexOfTheme(f.doc->project().projectStyle.name, f.styles)));
    strip.select(f.styles[3].name, false, false);
    EXPECT_EQ(strip.previewOffset(), -3 * w);

    // An ordinary step slides from one preview to the next.
    strip.selectNext();
    EXPECT_TRUE(strip.isSliding());
    EXPECT_EVENTUALLY(!strip.isSliding(), 2000);
    EXPECT_EQ(strip.previewOffset(), -4 * w);

    // Stepping past either end jumps.
    strip.select(f.styles.back().name, false, true);
    EXPECT_EVENTUALLY(!strip.isSliding(), 2000);
    strip.selectNext();
    EXPECT_TRUE(strip.overflow);
    EXPECT_FALSE(strip.isSliding());
    EXPECT_EQ(strip.previewOffset(), 0);
    strip.selectPrevious();
    EXPECT_FALSE(strip.isSliding());
    EXPECT_EQ(strip.previewOffset(), -23 * w);

    // The dots: one per theme, the selected one white with a black outline.
    const QImage image = strip.grab().toImage();
    const QPointF selected = strip.indicatorDotCenter(23);
    const QPointF other = strip.indicatorDotCenter(5);
    EXPECT_GT(image.pixelColor(selected.toPoint()).lightness(), 200);
    EXPECT_LT(image.pixelColor(other.toPoint()).lightness(), 60);
    EXPECT_LT(strip.indicatorDotCenter(0).x(), strip.indicatorDotCenter(1).x());
    EXPECT_NEAR(strip.indicatorDotCenter(23).x() - strip.indicatorDotCenter(0).x(), w / 2 * 23 / 24, 0.01);

    // While a divider is dragged the previews are stretched; they are drawn again for the new width once the
    // button is up.
    const int drawnWidth = strip.backingImage().width();
    QTest::mousePress(&f.pane, Qt::LeftButton, {}, QPoint(5, 690));
    f.pane.resize(380, 700);
    EXPECT_EVENTUALLY(strip.width() > w, 2000);
    EXPECT_TRUE(strip.isInLiveResize());
    EXPECT_EQ(strip.backingImage().width(), drawnWidth);
    EXPECT_EQ(strip.previewOffset(), -23.0 * strip.width());
    QTest::mouseRelease(&f.pane, Qt::LeftButton, {}, QPoint(5, 690));
    EXPECT_EVENTUALLY(!strip.isInLiveResize(), 2000);
    EXPECT_EQ(strip.backingImage().width(), 2 * 24 * strip.width());

    // With animations turned off every step jumps.
    UserDefaults::standard().set("disableAnimations", true);
    strip.select(f.styles[2].name, false, false);
    strip.selectNext();
    EXPECT_FALSE(strip.isSliding());
    EXPECT_EQ(strip.previewOffset(), -3.0 * strip.width());
}

TEST(ThemeGallery, WheelStepsAtMostOncePerIntervalAndIgnoresCoasting)
{
    GalleryFixture f;
    ThemePreviewView& strip = f.strip();
    double now = 1000;
    ScopedClock clock([&now] { return now; });
    strip.select(f.styles[5].name, false, false);

    f.wheel(QPoint(0, 120)); // up: on
    EXPECT_EQ(f.doc->project().projectStyle.name, f.styles[6].name);
    now += 0.2;
    f.wheel(QPoint(0, 120));
    EXPECT_EQ(strip.selectedStyleIndex, 6);
    now += 0.31;
    f.wheel(QPoint(0, -120)); // down: back
    EXPECT_EQ(strip.selectedStyleIndex, 5);
    EXPECT_EQ(f.doc->project().projectStyle.name, f.styles[5].name);

    // Coasting after a fling never steps; an event without movement steps nothing but restarts the wait.
    now += 1;
    f.wheel(QPoint(0, 120), Qt::ScrollMomentum);
    EXPECT_EQ(strip.selectedStyleIndex, 5);
    f.wheel(QPoint(0, 0));
    now += 0.2;
    f.wheel(QPoint(0, 120));
    EXPECT_EQ(strip.selectedStyleIndex, 5);

    // A diagonal event steps back, then on.
    now += 1;
    f.wheel(QPoint(120, -120));
    EXPECT_EQ(strip.selectedStyleIndex, 5);
    EXPECT_FALSE(strip.overflow);
}

TEST(ThemeGallery, BackgroundSwatchesAreTheThemesFillsItsBackgroundAndWhite)
{
    GalleryFixture f;
    const ProjectStyle bright = ProjectStyle::bright();
    f.pane.applyTheme(bright);
    RunLoop::drain();
    std::vector<Color> expected;
    for (std::size_t i = 0; i < 4; ++i)
        expected.push_back(bright.defaults.palette[i].fillColor);
    expected.push_back(bright.defaults.backgroundColor);
    expected.push_back(Color::white());
    EXPECT_EQ(f.pane.backgroundColorWell->swatchPaletteSeed(), expected);
    EXPECT_NE(expected.front(), bright.defaults.palette.front().strokeColor);
}

// A strip loaded in a pane nobody has opened draws its previews only when it is first shown.
TEST(ThemeGallery, PreviewsAreDrawnWhenTheStripIsFirstShown)
{
    ScopedStandardUserDefaults settings;
    auto doc = std::make_shared<VQDocument>();
    DocumentStyleInspector pane;
    pane.setDocument(doc);
    pane.loadViewIfNeeded();
    pane.setGeometry(1400, 100, 300, 700);
    ThemePreviewView& strip = *pane.themePreview;
    EXPECT_TRUE(strip.backingImage().isNull());
    pane.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&pane));
    ASSERT_FALSE(strip.backingImage().isNull());
    EXPECT_EQ(strip.backingImage().width(), 2 * int(strip.availableStyles.size()) * strip.width());
}

TEST(ThemeGallery, OnlyThePreviewsThatComeIntoViewAreDrawn)
{
    GalleryFixture f;
    ThemePreviewView& strip = f.strip();
    UserDefaults::standard().set("disableAnimations", true);
    strip.select(f.styles[3].name, false, false);
    strip.repaint();
    const auto drawn = [&] {
        std::vector<int> indices;
        for (int i = 0; i < int(f.styles.size()); ++i)
            if (strip.isPreviewDrawn(i))
                indices.push_back(i);
        return indices;
    };
    // Shown at the first theme, then stepped to the fourth: those two, and nothing in between.
    EXPECT_EQ(drawn(), (std::vector<int>{0, 3}));
    const QImage& image = strip.backingImage();
    const int tile = image.width() / int(f.styles.size());
    const auto opaqueIn = [&](int index) {
        int opaque = 0;
        for (int y = 0; y < image.height(); y += 7)
            for (int x = index * tile; x < (index + 1) * tile; x += 7)
                opaque += qAlpha(image.pixel(x, y)) > 0;
        return opaque;
    };
    EXPECT_GT(opaqueIn(3), 100);
    EXPECT_EQ(opaqueIn(2), 0);

    // What the strip shows is the selected preview, as it would be had every preview been drawn at once.
    const QImage shown = strip.grab().toImage();
    const QImage alone = themePreviewImage(f.styles[3], Size{double(strip.width()), double(strip.height())}, 2.0);
    const QPoint centre(strip.width() / 2, strip.height() / 3);
    EXPECT_EQ(shown.pixelColor(centre), alone.pixelColor(centre * 2));
    shown.save(QStringLiteral(VELQUINE_ARTEFACTS_DIR "/theme-strip-fourth-theme.png"));

    // A new width starts over: only what is shown is drawn again.
    f.pane.resize(360, 700);
    EXPECT_EVENTUALLY(strip.width() > 300 && strip.isPreviewDrawn(3) && !strip.isPreviewDrawn(0), 2000);
}
