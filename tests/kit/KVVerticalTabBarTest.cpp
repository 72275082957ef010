#include "support/QtWait.h"
#include "kit/KVVerticalTabBar.h"
#include "kit/SymbolImages.h"
#include "platform/Log.h"

#include "kit/KitTestSupport.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QToolTip>

using namespace velquine;

namespace {

struct RecordingDelegate : KVVerticalTabBarDelegate {
    QStringList selected;
    void selectInspectorTab(const QString& identifier) override { selected.append(identifier); }
};

} // namespace

TEST(KVVerticalTabBar, ClicksAndSelectionByPositionReachTheDelegate)
{
    QWidget window;
    auto* bar = new KVVerticalTabBar(&window);
    RecordingDelegate delegate;
    bar->setDelegate(&delegate);
    bar->setGeometry(0, 0, 30, 200);
    bar->addItem("style", "Style");
    bar->addItem("content", "Content");
    bar->addItem("info", "Info");
    window.resize(30, 200);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_EQ(bar->items()[2].index, 2);
    EXPECT_EQ(bar->selectedItemIndex(), 0);
    EXPECT_TRUE(delegate.selected.isEmpty());

    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(15, 45)); // second square
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(15, 45)); // again: reported again
    QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(15, 150)); // below the tabs
    EXPECT_EQ(delegate.selected, (QStringList{"content", "content"}));
    EXPECT_EQ(bar->selectedItemIndex(), 1);

    LogCapture log;
    bar->selectItemAtIndex(3);
    bar->selectItemAtIndex(-1);
    EXPECT_TRUE(log.contains("can not select item with index 3 because it is out of bounds!"));
    EXPECT_TRUE(log.contains("can not select item with index -1 because it is out of bounds!"));
    bar->selectItemAtIndex(2);
    EXPECT_EQ(delegate.selected.back(), "info");

    QHelpEvent outside(QEvent::ToolTip, QPoint(15, 150), bar->mapToGlobal(QPoint(15, 150)));
    QApplication::sendEvent(bar, &outside);
    EXPECT_EVENTUALLY_EQ(QToolTip::text(), QString("LOLOLOL"));
    QHelpEvent onTab(QEvent::ToolTip, QPoint(15, 5), bar->mapToGlobal(QPoint(15, 5)));
    QApplication::sendEvent(bar, &onTab);
    EXPECT_EVENTUALLY_EQ(QToolTip::text(), QString("Style"));
}

TEST(KVVerticalTabBar, DrawsTheSelectedTabInTheAccentColourWithoutItsEdgeLine)
{
    for (bool dark : {false, true}) {
        KVVerticalTabBar bar;
        bar.setPalette(test::appearancePalette(dark));
        bar.resize(32, 120);
        bar.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
        bar.addItem("style", "Style", SymbolImages::render("paintbrush", QSizeF(28, 28), 1.0, Qt::black));
        bar.addItem("content", "content");
        bar.selectItemAtIndex(1);
        QImage shot(bar.size(), QImage::Format_ARGB32);
        shot.fill(test::appearancePalette(dark).color(QPalette::Window));
        bar.render(&shot);
        EXPECT_TRUE(test::saveArtefact(shot, dark ? "vertical-tab-bar-dark.png" : "vertical-tab-bar-light.png"));

        const QColor window = test::appearancePalette(dark).color(QPalette::Window);
        const QColor accent = test::appearancePalette(dark).color(QPalette::Highlight);
        EXPECT_NE(shot.pixelColor(0, 16), window);  // the edge line beside the unselected first tab
        EXPECT_EQ(shot.pixelColor(0, 48), window);  // none beside the selected second tab
        EXPECT_NE(shot.pixelColor(0, 100), window); // and again below the last tab
        EXPECT_NE(shot.pixelColor(16, 31), window); // the divider under the first tab
        int accentPixels = 0;                       // the letter "C" of the selected tab
        for (int y = 33; y < 63; ++y)
            for (int x = 1; x < 32; ++x)
                if (std::abs(shot.pixelColor(x, y).hue() - accent.hue()) < 10 && shot.pixelColor(x, y).saturation() > 100)
                    ++accentPixels;
        EXPECT_GT(accentPixels, 10);
        // The unselected tab's symbol stands out from the bar in both appearances.
        int strongest = 0;
        for (int y = 6; y < 26; ++y)
            for (int x = 6; x < 26; ++x)
                strongest = std::max(strongest, std::abs(shot.pixelColor(x, y).lightness() - window.lightness()));
        EXPECT_GT(strongest, 100) << (dark ? "dark" : "light");
    }
}
