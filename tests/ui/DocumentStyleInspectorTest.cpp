#include "support/QtWait.h"
#include "inspector/DocumentStyleInspector.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QToolButton>
#include <QWheelEvent>

#include "document/VQDocument.h"
#include "platform/RunLoop.h"
#include "UiTestSupport.h"

using namespace velquine;

namespace {

// A root with three children, and the pane on it in a window of its own.
struct DocumentPaneWindow {
    ScopedStandardUserDefaults settings;
    std::shared_ptr<VQDocument> doc = std::make_shared<VQDocument>();
    bool building = (doc->beginEditingSession("Build"), true);
    Node root = doc->createRootNode("Root", {0, 0}, false);
    Node first = *doc->createChildNode(root, "First", std::nullopt, true, false);
    Node second = *doc->createChildNode(root, "Second", std::nullopt, true, false);
    DocumentStyleInspector pane;

    DocumentPaneWindow()
    {
        doc->commitEditingSession();
        doc->undoManager()->removeAllActions();
        pane.setDocument(doc);
        pane.loadViewIfNeeded();
        pane.resize(300, 700);
        pane.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&pane));
        pane.inspectorDidShow();
    }
    std::string undoLabel() const { return doc->undoManager()->undoActionName(); }
    static void choose(QComboBox* box, const QString& title)
    {
        const int index = box->findText(title);
        ASSERT_GE(index, 0) << title.toStdString();
        box->setCurrentIndex(index);
        emit box->activated(index);
        RunLoop::drain();
    }
};

} // namespace

TEST(DocumentStyleInspector, ThemePopUpStripAndButtonsApplyOneUndoableStepAndStoreDefaults)
{
    DocumentPaneWindow w;
    DocumentStyleInspector& p = w.pane;
    const std::vector<ProjectStyle> styles = ProjectStyle::builtInStyles();
    ASSERT_EQ(p.themeSelector->count(), 24);
    ASSERT_EQ(p.themePreview->availableStyles.size(), 24u);
    for (int i = 0; i < 24; ++i)
        EXPECT_EQ(p.themeSelector->itemText(i).toStdString(), styles[std::size_t(i)].name);
    const std::string before = w.doc->project().projectStyle.name;
    EXPECT_EQ(p.themeSelector->currentText().toStdString(), before);

    p.applyShapesCheckbox->setChecked(false);
    p.autosizeNodesCheckbox->setChecked(true);
    w.choose(p.themeSelector, QStringLiteral("Midnight"));
    EXPECT_EQ(w.doc->project().projectStyle.name, "Midnight");
    EXPECT_EQ(w.undoLabel(), "Apply Theme \"Midnight\"");
    UserDefaults& defaults = UserDefaults::standard();
    EXPECT_EQ(defaults.stringForKey("defaultProjectStyle"), "Midnight");
    EXPECT_FALSE(defaults.boolForKey("shouldApplyThemeShapes"));
    EXPECT_TRUE(defaults.boolForKey("shouldAutosizeNodesOnThemeChange"));
    // The strip follows the document.
    EXPECT_EQ(p.themePreview->selectedStyleIndex, int(*indexOfTheme("midnight", styles)));
    w.doc->undoManager()->undo();
    RunLoop::drain();
    EXPECT_EQ(w.doc->project().projectStyle.name, before);
    EXPECT_EQ(p.themeSelector->currentText().toStdString(), before);

    // A click at the strip's right end applies the next theme, at its left end the previous one.
    const int start = p.themePreview->selectedStyleIndex;
    QTest::mouseClick(p.themePreview, Qt::LeftButton, {}, QPoint(p.themePreview->width() - 5, 40));
    RunLoop::drain();
    EXPECT_EQ(w.doc->project().projectStyle.name, styles[std::size_t((start + 1) % 24)].name);
    QTest::mouseClick(p.themePreview, Qt::LeftButton, {}, QPoint(5, 40));
    RunLoop::drain();
    EXPECT_EQ(w.doc->project().projectStyle.name, styles[std::size_t(start)].name);

    // Stepping wraps around both ends; the arrow keys step while the strip has the focus.
    w.choose(p.themeSelector, QString::fromStdString(styles.back().name));
    p.findChild<QToolButton*>(QStringLiteral("nextThemeButton"))->click();
    RunLoop::drain();
    EXPECT_EQ(w.doc->project().projectStyle.name, styles.front().name);
    EXPECT_TRUE(p.themePreview->overflow);
    p.themePreview->setFocus();
    QTest::keyClick(p.themePreview, Qt::Key_Left);
    RunLoop::drain();
    EXPECT_EQ(w.doc->project().projectStyle.name, styles.back().name);
    EXPECT_EQ(w.undoLabel(), "Apply Theme \"" + styles.back().name + "\"");
    test::saveScreenshot(&p, QStringLiteral("document-style-inspector"));
}

TEST(DocumentStyleInspector, GridBackgroundAndLayoutEditTheDocument)
{
    DocumentPaneWindow w;
    DocumentStyleInspector& p = w.pane;
    w.doc->beginEditingSession("Grid");
    w.doc->setGrid(Grid{GridType::noGrid, Size{30, 30}});
    w.doc->commitEditingSession();
    RunLoop::drain();
    EXPECT_EQ(p.gridSizeSelector->currentIndex(), 5);
    EXPECT_EQ(DocumentStyleInspector::gridSizeIndex(10, 7), 0);
    EXPECT_EQ(DocumentStyleInspector::gridSizeIndex(100, 7), 6);

    w.choose(p.gridSelector, QStringLiteral("Dots"));
    EXPECT_EQ(w.doc->project().grid.type, GridType::dots);
    EXPECT_EQ(w.doc->project().grid.size.width, 30);
    EXPECT_EQ(w.undoLabel(), "Change Grid Style");
    EXPECT_EQ(UserDefaults::standard().stringForKey("defaultGridStyle"), "dots");
    w.choose(p.gridSizeSelector, QStringLiteral("16 pt"));
    EXPECT_EQ(w.doc->project().grid.type, GridType::dots);
    EXPECT_EQ(w.doc->project().grid.size.height, 16);
    EXPECT_EQ(w.undoLabel(), "Change Grid Size");
    EXPECT_EQ(UserDefaults::standard().integerForKey("defaultGridSize"), 16);

    // A colour drag is one undo step, committed by the final colour.
    const Color original = w.doc->project().projectStyle.current.backgroundColor;
    p.colorWellDidChange(p.backgroundColorWell, Color::sRGB(0.2, 0.3, 0.4), false);
    p.colorWellDidChange(p.backgroundColorWell, Color::sRGB(0.5, 0.3, 0.4), true);
    RunLoop::drain();
    EXPECT_EQ(w.undoLabel(), "Change Background Color");
    EXPECT_EQ(w.doc->project().projectStyle.current.backgroundColor, Color::sRGB(0.5, 0.3, 0.4));
    EXPECT_EQ(p.backgroundColorWell->selectedColor(), Color::sRGB(0.5, 0.3, 0.4));
    w.doc->undoManager()->undo();
    RunLoop::drain();
    EXPECT_EQ(w.doc->project().projectStyle.current.backgroundColor, original);
    EXPECT_EQ(w.undoLabel(), "Change Grid Size");
    w.doc->undoManager()->redo();
    RunLoop::drain();

    // A vertical layout renames the direction items after the refresh and keeps the direction.
    w.choose(p.layoutDirectionSelector, QStringLiteral("Left to Right"));
    w.choose(p.layoutTypeSelector, QStringLiteral("Vertical"));
    const LayoutOptions& options = w.doc->project().baseLayoutOptions;
    EXPECT_EQ(options.layoutType, LayoutOptions::LayoutType::vertical);
    EXPECT_EQ(options.layoutDirection, LayoutOptions::LayoutDirection::ascending);
    EXPECT_EQ(w.undoLabel(), "Change Layout Options");
    EXPECT_EQ(p.layoutDirectionSelector->currentText(), QStringLiteral("Top-Down"));
    EXPECT_EQ(p.layoutDirectionSelector->itemText(1), QStringLiteral("Bottom-Up"));
    p.isLayoutManualCheckbox->click();
    RunLoop::drain();
    EXPECT_TRUE(w.doc->project().baseLayoutOptions.isManual);
    EXPECT_FALSE(p.isLayoutManualCheckbox->isChecked());
}

TEST(DocumentStyleInspector, StripWithoutStylesIgnoresStepsClicksAndScrolls)
{
    ThemePreviewView strip;
    strip.resize(200, 100);
    strip.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&strip));
    strip.selectNext();
    strip.selectPrevious();
    QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(5, 50));
    QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(195, 50));
    QWheelEvent wheel(QPointF(100, 50), strip.mapToGlobal(QPointF(100, 50)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&strip, &wheel);
    strip.setFocus();
    QTest::keyClick(&strip, Qt::Key_Right);
    QTest::mouseClick(&strip, Qt::LeftButton, {}, QPoint(100, 50));
    QTest::mouseClick(&strip, Qt::RightButton, {}, QPoint(100, 50));
    EXPECT_EQ(strip.selectedStyleIndex, 0);
    EXPECT_FALSE(strip.overflow);
    EXPECT_EQ(strip.galleryPopover(), nullptr);
}
