#include "support/QtWait.h"
#include "inspector/NodeStyleInspector.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

#include "document/VQDocument.h"
#include "inspector/FontFamilyPopUp.h"
#include "kit/ColorPanel.h"
#include "kit/Popover.h"
#include "kit/KVBorderedView.h"
#include "kit/KVMicroTitleBar.h"
#include "kit/SegmentedControl.h"
#include "kit/WindowAppearance.h"
#include "platform/FontManager.h"
#include "platform/RunLoop.h"
#include "UiTestSupport.h"

using namespace velquine;

namespace {

// A map of one root with three children, and the pane on it in a window of its own.
struct PaneWindow {
    ScopedStandardUserDefaults settings;
    std::shared_ptr<VQDocument> doc = std::make_shared<VQDocument>();
    bool building = (doc->beginEditingSession("Build"), true);
    Node root = doc->createRootNode("Root", {0, 0}, false);
    Node first = *doc->createChildNode(root, "First", std::nullopt, true, false);
    Node second = *doc->createChildNode(root, "Second", std::nullopt, true, false);
    Node third = *doc->createChildNode(root, "Third", std::nullopt, true, false);
    NodeStyleInspector pane;

    PaneWindow()
    {
        doc->commitEditingSession();
        doc->undoManager()->removeAllActions();
        pane.setDocument(doc);
        pane.loadViewIfNeeded();
        pane.resize(280, 900);
        pane.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&pane));
        pane.inspectorDidShow();
        EXPECT_EVENTUALLY(pane.hasFontNames());
    }
    Node node(const Node& n) const { return doc->project().graph.nodes({n.uid}).at(0); }
    void select(const std::vector<Node>& nodes)
    {
        doc->projectForLoading().setSelectedNodes(nodes);
        doc->notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidChangeSelection(); });
        RunLoop::drain();
    }
    void restyle(const Node& n, auto&& change)
    {
        Node changed = node(n);
        change(changed);
        doc->updateNodes({changed}, NodeUpdateOperation::style, false);
    }
    std::string undoLabel() const { return doc->undoManager()->undoActionName(); }
    // Clicks the item of an icon segment control.
    static void click(KVIconSegmentControl* control, int index)
    {
        QTest::mouseClick(control, Qt::LeftButton, {},
                          control->segmentRect(control->items().at(std::size_t(index))).center().toPoint());
    }
};

} // namespace

TEST(NodeStyleInspector, RefreshShowsSingleAndMixedSelectionsAndEnablesByRule)
{
    PaneWindow w;
    NodeStyleInspector& p = w.pane;
    EXPECT_EQ(p.fontSizeTextField->objectName(), "fontSizeTextField");
    EXPECT_EQ(p.findChild<QGroupBox*>("layoutBox"), p.layoutBox);
    ASSERT_EQ(p.shapeSegment->items().size(), 5u);
    EXPECT_EQ(p.shapeSegment->items()[4].identifier, "cloud");
    EXPECT_EQ(p.branchStyleSegment->items()[2].identifier, "dashed2");

    // Nothing selected: the direct controls are disabled, those in the layout box keep their state.
    w.select({});
    EXPECT_FALSE(p.fontSizeTextField->isEnabled());
    EXPECT_FALSE(p.fillColorWell->isEnabled());
    EXPECT_FALSE(p.shapeSegment->items()[0].enabled);
    EXPECT_TRUE(p.layoutTypeSelector->isEnabled());

    w.doc->beginEditingSession("Styles");
    w.restyle(w.first, [](Node& n) {
        n.shape = NodeShape::rect;
        n.style.fillColor = Color::deviceRGB(1, 0, 0);
        n.style.borderWidth = StrokeThickness::thin;
        n.style.textAlignment = int(TextAlignment::natural);
        n.childrenShouldInheritShape = true;
    });
    w.restyle(w.second, [](Node& n) {
        n.shape = NodeShape::cloud;
        n.style.font = FontManager::convert(n.style.font, FontTrait::bold);
        n.style.isUnderlined = true;
        n.style.textAlignment = int(TextAlignment::right);
        n.style.borderStyle = StrokeStyle::dotted;
    });
    w.doc->commitEditingSession();
    w.select({w.first, w.second});
    EXPECT_TRUE(p.fontSizeTextField->isEnabled());
    EXPECT_EQ(p.shapeSegment->selectedItems().size(), 2u);
    EXPECT_EQ(p.fillColorWell->selectedColor(), Color::deviceRGB(1, 0, 0));
    EXPECT_EQ(p.borderThicknessSlider->value(), 2);
    EXPECT_EQ(p.borderStyleSegment->selectedItems().size(), 2u);
    EXPECT_FALSE(p.shapeInheritanceChecker->isChecked()); // only one of the two inherits
    EXPECT_TRUE(p.shapeInheritanceChecker->isEnabled());
    EXPECT_TRUE(p.fontVariantSegment->isSelected(0)); // the last node's traits
    EXPECT_TRUE(p.fontVariantSegment->isSelected(2));
    EXPECT_TRUE(p.fontAlignmentSegment->isSelected(0));
    EXPECT_FALSE(p.fontAlignmentSegment->isSelected(1));
    EXPECT_TRUE(p.fontAlignmentSegment->isSelected(2));
    EXPECT_EQ(p.setAsDefaultStyleButton->text(), "Set as default for main nodes");
    EXPECT_EQ(p.layoutBox->title(), "Layout (Base)");
    EXPECT_FALSE(p.useBaseLayoutButton->isEnabled());
    EXPECT_EQ(p.fontNameDropdown->currentText(), "DejaVu Sans");
    test::saveScreenshot(&p, QStringLiteral("node-style-mixed"));
    // The pane's title sits in a micro title bar: centred title over a one-pixel line along its bottom edge.
    auto* bar = qobject_cast<KVMicroTitleBar*>(p.findChild<QWidget*>(QStringLiteral("titleBar")));
    ASSERT_TRUE(bar);
    EXPECT_EQ(bar->title(), QStringLiteral("Node Style"));
    const QImage barShot = bar->grab().toImage();
    const int last = barShot.height() - 1;
    EXPECT_NE(barShot.pixelColor(barShot.width() / 2, last), barShot.pixelColor(barShot.width() / 2, last - 1));
    EXPECT_EQ(barShot.pixelColor(2, last), barShot.pixelColor(barShot.width() - 3, last));
    setWindowAppearance(&p, UserInterfaceStyle::dark);
    QApplication::processEvents();
    test::saveScreenshot(&p, QStringLiteral("node-style-mixed-dark"));
    setWindowAppearance(&p, UserInterfaceStyle::light);

    // A root among the selection disables the inheritance box; a tree with options of its own shows them.
    w.doc->beginEditingSession("Vertical");
    w.restyle(w.root, [](Node& n) {
        n.layoutOptions = LayoutOptions{LayoutOptions::LayoutType::vertical, LayoutOptions::LayoutDirection::descending,
                                        LayoutOptions::BranchType::line, true};
    });
    w.doc->commitEditingSession();
    w.select({w.root, w.third});
    EXPECT_FALSE(p.shapeInheritanceChecker->isEnabled());
    EXPECT_EQ(p.setAsDefaultStyleButton->text(), "Set as default for root nodes");
    EXPECT_EQ(p.layoutBox->title(), "Layout");
    EXPECT_TRUE(p.useBaseLayoutButton->isEnabled());
    EXPECT_EQ(p.layoutDirectionSelector->itemText(0), "Top-Down");
    EXPECT_EQ(p.layoutDirectionSelector->currentText(), "Bottom-Up");
    EXPECT_EQ(p.branchTypeSelector->currentText(), "Line");
    EXPECT_FALSE(p.isLayoutManualCheckbox->isChecked());

    // While the size field is typed in, a refresh keeps what is typed and enables nothing.
    p.disableControls();
    w.doc->beginEditingSession("Typing");
    p.fontSizeTextField->setText("77");
    p.sync();
    EXPECT_EQ(p.fontSizeTextField->text(), "77");
    EXPECT_FALSE(p.fillColorWell->isEnabled());
    w.doc->cancelEditingSession();
    RunLoop::drain();
    EXPECT_TRUE(p.fillColorWell->isEnabled());
    EXPECT_EQ(p.fontSizeTextField->text(), "20"); // the root's font
}

TEST(NodeStyleInspector, EveryControlEditsTheSelectionAsOneUndoStep)
{
    PaneWindow w;
    NodeStyleInspector& p = w.pane;
    w.select({w.first, w.second});

    PaneWindow::click(p.shapeSegment, 4);
    EXPECT_EQ(w.undoLabel(), "Change Node Shape");
    EXPECT_EQ(w.node(w.second).shape, NodeShape::cloud);
    PaneWindow::click(p.borderStyleSegment, 2);
    EXPECT_EQ(w.undoLabel(), "Change Border Style");
    EXPECT_EQ(w.node(w.first).style.borderStyle, StrokeStyle::dashed2);

    // With no style segment selected the control answers "empty", which names no stroke style.
    for (KVIconSegmentControl::Item& item : p.borderStyleSegment->items())
        item.isSelected = false;
    {
        LogCapture log;
        p.iconSegmentSelectionChanged(p.borderStyleSegment);
        EXPECT_TRUE(log.contains("cant apply border style with identifier empty"));
    }
    EXPECT_EQ(w.node(w.first).style.borderStyle, StrokeStyle::dashed2);
    EXPECT_FALSE(w.doc->isInEditingSession());

    QTest::mouseClick(p.minBorderthicknessButton, Qt::LeftButton);
    EXPECT_EQ(w.node(w.first).style.borderWidth, StrokeThickness::invisible);
    QTest::mouseClick(p.minBranchThicknessButton, Qt::LeftButton);
    EXPECT_EQ(w.node(w.first).style.branchWidth, StrokeThickness::thinnest);
    EXPECT_EQ(w.undoLabel(), "Change Branch Thickness");
    QTest::mouseClick(p.maxBorderthicknessButton, Qt::LeftButton);
    EXPECT_EQ(w.node(w.second).style.borderWidth, StrokeThickness::thickest);
    RunLoop::drain();
    p.borderThicknessSlider->setFocus();
    QTest::keyClick(p.borderThicknessSlider, Qt::Key_Left);
    EXPECT_EQ(w.node(w.second).style.borderWidth, StrokeThickness::thicker);
    EXPECT_EQ(w.undoLabel(), "Change Border Thickness");

    QTest::mouseClick(p.shapeInheritanceChecker, Qt::LeftButton);
    EXPECT_TRUE(w.node(w.second).childrenShouldInheritShape);
    EXPECT_EQ(w.undoLabel(), "Change Shape Inheritance");

    // Bold on, then off again: the font loses its bold face.
    QTest::mouseClick(p.fontVariantSegment->segmentButton(0), Qt::LeftButton);
    EXPECT_TRUE(FontManager::traits(w.node(w.first).style.font) & FontTrait::bold);
    QTest::mouseClick(p.fontVariantSegment->segmentButton(0), Qt::LeftButton);
    EXPECT_FALSE(FontManager::traits(w.node(w.first).style.font) & FontTrait::bold);
    QTest::mouseClick(p.fontVariantSegment->segmentButton(2), Qt::LeftButton);
    EXPECT_TRUE(w.node(w.second).style.isUnderlined);
    EXPECT_EQ(w.undoLabel(), "Change Font Style");

    // Alignment: right, then no segment at all, which means centred.
    RunLoop::drain();
    QTest::mouseClick(p.fontAlignmentSegment->segmentButton(2), Qt::LeftButton);
    EXPECT_EQ(w.node(w.first).style.textAlignment, int(TextAlignment::right));
    for (int i = 0; i < 4; ++i)
        p.fontAlignmentSegment->setSelected(false, i);
    emit p.fontAlignmentSegment->activated(0);
    EXPECT_EQ(w.node(w.first).style.textAlignment, int(TextAlignment::center));
    EXPECT_EQ(w.undoLabel(), "Change Text Alignment");

    // A swatch pick is final: one update, one undo step; the refresh lets the popover go for a fresh palette.
    QTest::mouseClick(p.borderColorWell, Qt::LeftButton, {}, QPoint(10, 10));
    ASSERT_TRUE(p.borderColorWell->swatchPopOver());
    EXPECT_EVENTUALLY(p.borderColorWell->swatchPopOver()->isShown());
    auto* grid = static_cast<KVColorWellSwatchViewController*>(p.borderColorWell->swatchPopOver()->contentWidget());
    QTest::mouseClick(grid->swatchCells()[5], Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_FALSE(w.doc->isInEditingSession());
    EXPECT_EQ(w.undoLabel(), "Change Border Color");
    EXPECT_EQ(w.node(w.second).style.borderColor, p.borderColorWell->selectedColor());
    p.borderColorWell->setSwatchPaletteSeed({});
    RunLoop::drain();
    EXPECT_FALSE(p.borderColorWell->swatchPopOver());
    EXPECT_EQ(p.borderColorWell->swatchPaletteSeed().back(), Color::white());

    // A drag in the colour panel: every step reaches the nodes, one undo step at the end.
    w.doc->undoManager()->removeAllActions();
    const Color fill = w.node(w.first).style.fillColor;
    ColorPanel& panel = ColorPanel::shared();
    QTest::mouseClick(p.fillColorWell, Qt::LeftButton, {}, p.fillColorWell->buttonRect().center().toPoint());
    EXPECT_EVENTUALLY(panel.isVisible());
    panel.userChangedColor(Color::deviceRGB(0, 0.5, 0), false);
    EXPECT_TRUE(w.doc->isInEditingSession());
    EXPECT_EQ(w.node(w.first).style.fillColor, Color::deviceRGB(0, 0.5, 0));
    panel.userChangedColor(Color::deviceRGB(0, 0, 1), false);
    panel.userChangedColor(Color::deviceRGB(0, 0, 1), true);
    EXPECT_FALSE(w.doc->isInEditingSession());
    EXPECT_EQ(w.node(w.second).style.fillColor, Color::deviceRGB(0, 0, 1));
    EXPECT_EQ(w.undoLabel(), "Change Fill Color");
    w.doc->undoManager()->undo();
    EXPECT_FALSE(w.doc->undoManager()->canUndo());
    EXPECT_EQ(w.node(w.first).style.fillColor, fill);

    // A shape edit that finds a drag's session open joins it: one step under the colour's label.
    RunLoop::drain();
    panel.userChangedColor(Color::deviceRGB(1, 1, 0), false);
    ASSERT_TRUE(w.doc->isInEditingSession());
    PaneWindow::click(p.shapeSegment, 1);
    EXPECT_FALSE(w.doc->isInEditingSession());
    EXPECT_EQ(w.undoLabel(), "Change Fill Color");
    EXPECT_EQ(w.node(w.first).shape, NodeShape::rect);
    panel.close();
}

TEST(NodeStyleInspector, TypedSizesInRangeAreOneUndoStepAndMarkTheSizeAsSetByHand)
{
    PaneWindow w;
    NodeStyleInspector& p = w.pane;
    w.select({w.first, w.second});
    const Size before = w.node(w.first).size;

    p.fontSizeTextField->setFocus();
    p.fontSizeTextField->selectAll();
    QTest::keyClick(p.fontSizeTextField, Qt::Key_1);
    EXPECT_EQ(w.node(w.first).style.font.pointSize(), 1.0);
    QTest::keyClick(p.fontSizeTextField, Qt::Key_4);
    EXPECT_EQ(w.node(w.second).style.font.pointSize(), 14.0);
    EXPECT_TRUE(w.node(w.second).style.userOverrides.contains(NodeStyle::UserOverride::fontSize));
    EXPECT_LT(w.node(w.first).size.height, before.height);
    // Sizes outside the stepper's range change nothing, like 0.
    for (const char* typed : {"0", "-12", "1000", "9223372036854775807"}) {
        p.fontSizeTextField->setText(typed);
        emit p.fontSizeTextField->textEdited(typed);
        EXPECT_EQ(w.node(w.first).style.font.pointSize(), 14.0) << typed;
    }
    EXPECT_TRUE(w.doc->isInEditingSession());
    QTest::keyClick(p.fontSizeTextField, Qt::Key_Return);
    EXPECT_FALSE(w.doc->isInEditingSession());
    EXPECT_EQ(w.undoLabel(), "Change Font Size");
    w.doc->undoManager()->undo();
    EXPECT_FALSE(w.doc->undoManager()->canUndo());
    EXPECT_EQ(w.node(w.first).style.font.pointSize(), 16.0);
    EXPECT_FALSE(w.node(w.first).style.userOverrides.contains(NodeStyle::UserOverride::fontSize));
    RunLoop::drain();

    // The stepper: one step up, the field follows, the override is added.
    EXPECT_EQ(p.fontSizeStepper->value(), 16);
    QTest::mouseClick(p.fontSizeStepper->upButton(), Qt::LeftButton);
    EXPECT_EQ(p.fontSizeTextField->text(), "17");
    EXPECT_EQ(w.node(w.second).style.font.pointSize(), 17.0);
    EXPECT_TRUE(w.node(w.first).style.userOverrides.contains(NodeStyle::UserOverride::fontSize));
    EXPECT_EQ(w.undoLabel(), "Change Font Size");
}

TEST(NodeStyleInspector, TheFamilyListComesOnceSortedAndOffersTheFamilysFaces)
{
    PaneWindow w;
    NodeStyleInspector& p = w.pane;
    w.select({w.first});
    std::vector<std::string> listed;
    for (int i = 0; i < p.fontNameDropdown->count(); ++i)
        listed.push_back(p.fontNameDropdown->itemText(i).toStdString());
    EXPECT_EQ(listed, FontManager::availableFontFamilies());
    EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end()));
    EXPECT_TRUE(NodeStyleInspector::isBoldFaceName("bold oblique"));
    EXPECT_FALSE(NodeStyleInspector::isBoldFaceName("bold condensed"));
    EXPECT_TRUE(NodeStyleInspector::isItalicFaceName("oblique"));
    EXPECT_FALSE(NodeStyleInspector::isItalicFaceName("light"));

    // Previews while the list is open; the chosen family shows its plain title afterwards.
    p.fontNameDropdown->showPopup();
    EXPECT_TRUE(p.fontNameDropdown->itemData(0, Qt::FontRole).isValid());
    p.fontNameDropdown->hidePopup();
    EXPECT_FALSE(p.fontNameDropdown->itemData(p.fontNameDropdown->currentIndex(), Qt::FontRole).isValid());

    const int mono = p.fontNameDropdown->findText("DejaVu Sans Mono");
    ASSERT_GE(mono, 0);
    p.fontNameDropdown->setCurrentIndex(mono);
    emit p.fontNameDropdown->activated(mono);
    EXPECT_EQ(FontManager::familyName(w.node(w.first).style.font), "DejaVu Sans Mono");
    EXPECT_EQ(w.undoLabel(), "Change Font");
    EXPECT_TRUE(p.fontVariantSegment->isEnabled(0));
    EXPECT_TRUE(p.fontVariantSegment->isEnabled(1));
}

TEST(NodeStyleInspector, LayoutOptionsGoOnTreeRootsAndTheDefaultStyleOnTheProject)
{
    PaneWindow w;
    NodeStyleInspector& p = w.pane;
    w.doc->beginEditingSession("Own options");
    w.restyle(w.first, [](Node& n) { n.layoutOptions = LayoutOptions{}; });
    w.doc->commitEditingSession();
    w.select({w.first, w.second});

    p.layoutTypeSelector->setCurrentText("Vertical");
    emit p.layoutTypeSelector->activated(1);
    EXPECT_EQ(w.undoLabel(), "Change Node Layout Options");
    ASSERT_TRUE(w.node(w.root).layoutOptions);
    EXPECT_EQ(w.node(w.root).layoutOptions->layoutType, LayoutOptions::LayoutType::vertical);
    EXPECT_FALSE(w.node(w.first).layoutOptions);
    RunLoop::drain();
    EXPECT_EQ(p.layoutBox->title(), "Layout");
    EXPECT_EQ(p.layoutDirectionSelector->itemText(1), "Bottom-Up");

    QTest::mouseClick(p.useBaseLayoutButton, Qt::LeftButton);
    EXPECT_EQ(w.undoLabel(), "Reset Node Layout Options");
    EXPECT_FALSE(w.node(w.root).layoutOptions);
    RunLoop::drain();
    EXPECT_EQ(p.layoutBox->title(), "Layout (Base)");
    EXPECT_EQ(p.layoutDirectionSelector->itemText(0), "Left to Right");

    // Balancing: the direction pop-up balances the selected root's children; the check box balances only
    // when it makes a balanced layout automatic.
    w.select({w.root});
    const auto childrenLeftOfRoot = [&w] {
        int left = 0;
        for (const Node& child : {w.node(w.first), w.node(w.second), w.node(w.third)})
            left += child.center.x < w.node(w.root).center.x;
        return left;
    };
    p.layoutDirectionSelector->setCurrentText("Left to Right");
    emit p.layoutDirectionSelector->activated(0);
    EXPECT_EQ(childrenLeftOfRoot(), 0);
    RunLoop::drain();
    p.layoutDirectionSelector->setCurrentText("Balanced");
    emit p.layoutDirectionSelector->activated(2);
    EXPECT_EQ(w.node(w.root).layoutOptions->layoutDirection, LayoutOptions::LayoutDirection::balanced);
    EXPECT_GT(childrenLeftOfRoot(), 0);

    // The first selected node's style and shape become its level's default; nothing else changes.
    w.doc->beginEditingSession("Look");
    w.restyle(w.second, [](Node& n) {
        n.shape = NodeShape::ellipse;
        n.style.fillColor = Color::deviceRGB(0, 1, 0);
    });
    w.doc->commitEditingSession();
    w.select({w.second, w.root});
    const ProjectStyle before = w.doc->project().projectStyle;
    QTest::mouseClick(p.setAsDefaultStyleButton, Qt::LeftButton);
    EXPECT_EQ(w.undoLabel(), "Set Node Style As Default");
    const ProjectStyle& after = w.doc->project().projectStyle;
    EXPECT_EQ(after.current.mainNodeShape, NodeShape::ellipse);
    EXPECT_EQ(after.current.mainNodeStyle.fillColor, Color::deviceRGB(0, 1, 0));
    EXPECT_EQ(after.current.rootNodeStyle, before.current.rootNodeStyle);
    EXPECT_EQ(after.name, before.name);
    EXPECT_EQ(after.defaults.mainNodeShape, before.defaults.mainNodeShape);
    EXPECT_EQ(w.node(w.second).style.fillColor, Color::deviceRGB(0, 1, 0));
}

// A size typed into the field grows the node; when the typing ends its tree is laid out again, as the stepper's
// step lays it out, so a child grown large keeps its distance from its parent instead of growing into it.
TEST(NodeStyleInspector, ATypedSizeLaysTheTreeOutWhenTheTypingEnds)
{
    PaneWindow w;
    w.select({w.second});
    const auto frame = [&w](const Node& n) {
        const Node now = w.node(n);
        return Rect(now.center.x - now.size.width / 2, now.center.y - now.size.height / 2, now.size.width,
                    now.size.height);
    };
    const double gapBefore = frame(w.second).minX() - frame(w.root).maxX();
    ASSERT_GT(gapBefore, 0);
    w.pane.fontSizeTextField->setFocus();
    w.pane.fontSizeTextField->selectAll();
    QTest::keyClicks(w.pane.fontSizeTextField, QStringLiteral("40"));
    QTest::keyClick(w.pane.fontSizeTextField, Qt::Key_Return);
    RunLoop::drain();
    EXPECT_FALSE(w.doc->isInEditingSession());
    EXPECT_EQ(w.undoLabel(), "Change Font Size");
    EXPECT_EQ(w.node(w.second).style.font.pointSize(), 40.0);
    // The grown child neither covers its parent nor its siblings, and stands as far from the parent as before.
    EXPECT_FALSE(frame(w.second).intersects(frame(w.root)));
    EXPECT_FALSE(frame(w.second).intersects(frame(w.first)));
    EXPECT_FALSE(frame(w.second).intersects(frame(w.third)));
    EXPECT_NEAR(frame(w.second).minX() - frame(w.root).maxX(), gapBefore, 1.0);
    // One undo step takes the size and the layout back.
    w.doc->undoManager()->undo();
    EXPECT_EQ(w.node(w.second).style.font.pointSize(), w.node(w.first).style.font.pointSize());
    EXPECT_NEAR(frame(w.second).minX() - frame(w.root).maxX(), gapBefore, 1.0);
}
