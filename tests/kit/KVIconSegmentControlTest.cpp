#include "support/QtWait.h"
#include "kit/KVIconSegmentControl.h"
#include "kit/SymbolImages.h"

#include "kit/KitTestSupport.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QToolTip>

using namespace velquine;
using Template = KVIconSegmentControl::IconTemplate;

namespace {

struct CountingDelegate : KVIconSegmentControlDelegate {
    int calls = 0;
    void iconSegmentSelectionChanged(KVIconSegmentControl*) override { ++calls; }
};

QStringList selectedIds(const KVIconSegmentControl& control)
{
    QStringList ids;
    for (const auto& item : control.selectedItems())
        ids.append(item.identifier);
    return ids;
}

struct SegmentFixture {
    QWidget window;
    KVIconSegmentControl* control = new KVIconSegmentControl(&window);
    CountingDelegate delegate;
    SegmentFixture()
    {
        control->setGeometry(10, 10, 150, 24);
        control->setDelegate(&delegate);
        control->addItem("rect", "Rect", Template::rect);
        control->addItem("roundedRect", "Rounded Rect", Template::roundedRect);
        control->addItem("ellipse", "Ellipse", Template::oval);
        window.resize(170, 44);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    void click(int segment) { QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(segment * 50 + 25, 12)); }
};

} // namespace

TEST(KVIconSegmentControl, ItemsTakeTheNextIndexAndOnlyTheFirstStartsSelected)
{
    KVIconSegmentControl control;
    control.addItem("a", "Alpha");
    control.addItem("b", "Beta");
    EXPECT_EQ(control.items()[1].index, 1);
    EXPECT_EQ(selectedIds(control), QStringList{"a"});
    control.items().push_back({7, "Seven", {}, {}, "seven", false, true});
    control.addItem("c", "Gamma");
    EXPECT_EQ(control.items().back().index, 8);

    control.setSelectedItems({"b", "b", "nobody"});
    EXPECT_EQ(selectedIds(control), QStringList{"b"});
    control.setSelectedItems({"nobody"});
    const auto placeholder = control.selectedItem();
    EXPECT_EQ(placeholder.identifier, "empty");
    EXPECT_EQ(placeholder.title, "Empty");
    EXPECT_FALSE(placeholder.enabled);
}

TEST(KVIconSegmentControl, SingleSelectionClicksCountOncePerClickEvenOnADisabledSegment)
{
    SegmentFixture f;
    f.click(2);
    EXPECT_EQ(selectedIds(*f.control), QStringList{"ellipse"});
    EXPECT_EQ(f.delegate.calls, 1);

    f.control->items()[1].enabled = false;
    f.control->items()[1].isSelected = true;
    f.click(1); // deselects the enabled ones, leaves the disabled one, still counts
    EXPECT_EQ(selectedIds(*f.control), QStringList{"roundedRect"});
    EXPECT_EQ(f.delegate.calls, 2);

    for (auto& item : f.control->items())
        item.enabled = false;
    f.click(0);
    EXPECT_EQ(f.delegate.calls, 2);
}

TEST(KVIconSegmentControl, MultipleSelectionTogglesAndSegmentsFollowTheirIndex)
{
    SegmentFixture f;
    f.control->setAllowsMultiSelection(true);
    f.click(1);
    f.click(2);
    EXPECT_EQ(selectedIds(*f.control), (QStringList{"rect", "roundedRect", "ellipse"}));
    f.click(0);
    EXPECT_EQ(selectedIds(*f.control), (QStringList{"roundedRect", "ellipse"}));
    f.control->items()[2].enabled = false;
    f.click(2);
    EXPECT_EQ(f.delegate.calls, 3);
    EXPECT_EQ(f.control->selectedItem().identifier, "roundedRect");

    // Placement goes by index: the first item in the list sits in the last segment.
    std::swap(f.control->items()[0].index, f.control->items()[2].index);
    f.control->setAllowsMultiSelection(false);
    f.control->items()[2].enabled = true;
    f.click(2);
    EXPECT_EQ(selectedIds(*f.control), QStringList{"rect"});
}

TEST(KVIconSegmentControl, ToolTipsShowTheTitleOfTheSegmentUnderThePointer)
{
    SegmentFixture f;
    QHelpEvent help(QEvent::ToolTip, QPoint(75, 12), f.control->mapToGlobal(QPoint(75, 12)));
    QApplication::sendEvent(f.control, &help);
    EXPECT_EVENTUALLY_EQ(QToolTip::text(), QString("Rounded Rect"));
    QHelpEvent edge(QEvent::ToolTip, QPoint(51, 12), f.control->mapToGlobal(QPoint(51, 12)));
    QApplication::sendEvent(f.control, &edge); // within 2 points of the segment's side: none
    EXPECT_EVENTUALLY(!QToolTip::isVisible());
}

TEST(KVIconSegmentControl, DrawsInLightAndDarkAppearance)
{
    for (bool dark : {false, true}) {
        KVIconSegmentControl control;
        control.setPalette(test::appearancePalette(dark));
        control.resize(200, 24);
        control.show(); // the appearance is the window's
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&control));
        control.addItem("solid", "Solid", Template::solidLine);
        control.addItem("dashed", "Dashed", Template::dashedLine);
        control.addItem("underline", "underline", Template::underline);
        control.addItem("cloud", "Cloud", std::nullopt,
                        SymbolImages::render("segm_cloud", QSizeF(24, 24), 1.0, Qt::black));
        control.addItem("bold", "bold");
        control.items()[3].enabled = false;
        const QImage shot = control.grab().toImage();
        EXPECT_TRUE(test::saveArtefact(shot, dark ? "segment-control-dark.png" : "segment-control-light.png"));
        const QColor accent = test::appearancePalette(dark).color(QPalette::Highlight);
        const QColor selected = shot.pixelColor(6, 6); // the selected first segment's gradient
        EXPECT_GT(selected.blue(), selected.red() + 40);
        EXPECT_NEAR(selected.hue(), accent.hue(), 12);
        const QColor line = shot.pixelColor(20, 11); // its solid line: white on the selection
        EXPECT_GT(line.lightness(), 200);
        const QColor unselected = shot.pixelColor(60, 6);
        EXPECT_EQ(unselected.lightness() > 128, !dark);
        const QColor underline = shot.pixelColor(100, 18); // the underline glyph in the content colour
        EXPECT_EQ(underline.lightness() > 128, dark);
    }
}
