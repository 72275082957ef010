#include "app/CheatSheetWindowController.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QScreen>
#include <QTest>
#include <QTextBrowser>

#include "platform/NotificationCenter.h"
#include "platform/Settings.h"
#include "UiTestSupport.h"
#include "support/QtWait.h"

using namespace velquine;

namespace {

class UnreadableCheatSheet : public CheatSheetWindowController {
protected:
    std::optional<std::string> cheatSheetText() const override { return std::nullopt; }
};

} // namespace

namespace {

// A map window stand-in with a text field, shown and active.
struct ActiveWindow {
    QMainWindow main;
    QLineEdit* field = new QLineEdit(&main);
    ActiveWindow()
    {
        main.setCentralWidget(field);
        main.resize(400, 200);
        main.show();
        activate();
    }
    void activate()
    {
        main.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&main));
        field->setFocus();
    }
};

void press(QKeyCombination key)
{
    QWidget* focus = QApplication::focusWidget();
    ASSERT_TRUE(focus) << "no widget has the keyboard";
    QTest::keyClick(focus, key.key(), key.keyboardModifiers());
}

} // namespace

// Shown, the panel has the keyboard, so the map window's shortcuts (Ctrl+W) no longer act behind it; Escape or
// Ctrl+/ close it, and a click into it gives it the keyboard again.
TEST(CheatSheet, ThePanelTakesTheKeyboardAndEscapeOrItsOwnKeyClosesIt)
{
    ScopedStandardUserDefaults scope;
    ActiveWindow map;
    CheatSheetWindowController controller;
    CheatSheetPanel* panel = controller.window();
    controller.loadCheatSheet();
    controller.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel));
    EXPECT_TRUE(controller.webView()->toPlainText().contains(QStringLiteral("Tab")));
    EXPECT_TRUE(panel->screen()->availableGeometry().contains(panel->frameGeometry()));
    test::saveScreenshot(panel, QStringLiteral("cheatsheet-light"));
    press(Qt::Key_Escape);
    EXPECT_FALSE(panel->isVisible());

    map.activate();
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("still typing"));
    EXPECT_EQ(map.field->text(), QStringLiteral("still typing"));
    controller.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(panel));
    map.activate();
    QTest::mouseClick(controller.webView()->viewport(), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitForWindowActive(panel));
    press(Qt::CTRL | Qt::Key_Slash);
    EXPECT_FALSE(panel->isVisible());
}

// Following the appearance setting while shown: exactly one registration, none once closed.
TEST(CheatSheet, ThePanelFollowsTheAppearanceWhileShown)
{
    ScopedStandardUserDefaults scope;
    CheatSheetWindowController controller;
    controller.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.window()));
    auto& center = NotificationCenter::defaultCenter();
    const std::size_t before = center.observerCount();
    controller.showWindow();
    controller.showWindow();
    EXPECT_EQ(center.observerCount(), before);
    setUserInterfaceStyle(UserInterfaceStyle::dark);
    EXPECT_LT(controller.window()->palette().color(QPalette::Base).lightness(), 80);
    test::saveScreenshot(controller.window(), QStringLiteral("cheatsheet-dark"));
    controller.window()->close();
    EXPECT_EQ(center.observerCount(), before - 1);
    setUserInterfaceStyle(UserInterfaceStyle::light);
    EXPECT_LT(controller.window()->palette().color(QPalette::Base).lightness(), 80); // no longer follows
    controller.showWindow();
    EXPECT_GT(controller.window()->palette().color(QPalette::Base).lightness(), 180);
    EXPECT_EQ(center.observerCount(), before);
    controller.window()->close();
}

TEST(CheatSheet, AnUnreadablePageLeavesTheViewAsItWas)
{
    UnreadableCheatSheet controller;
    controller.webView()->setPlainText(QStringLiteral("earlier page"));
    controller.loadCheatSheet();
    EXPECT_EQ(controller.webView()->toPlainText(), QStringLiteral("earlier page"));
    EXPECT_FALSE(controller.autoFiredOnce);
}
