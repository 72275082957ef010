#include "app/CheatSheetWindowController.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QTest>
#include <QTextBrowser>

#include "platform/NotificationCenter.h"
#include "platform/Settings.h"
#include "UiTestSupport.h"

using namespace velquine;

namespace {

class UnreadableCheatSheet : public CheatSheetWindowController {
protected:
    std::optional<std::string> cheatSheetText() const override { return std::nullopt; }
};

} // namespace

TEST(CheatSheet, ThePanelNeverTakesTheKeyboardFromTheMapWindow)
{
    ScopedStandardUserDefaults scope;
    QMainWindow main;
    auto* field = new QLineEdit(&main);
    main.setCentralWidget(field);
    main.resize(400, 200);
    main.show();
    main.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    field->setFocus();

    CheatSheetWindowController controller;
    controller.loadCheatSheet();
    controller.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(controller.window()));
    QTest::qWait(50); // fixed: the sheet must not take the activation meanwhile
    EXPECT_EQ(QApplication::activeWindow(), &main);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("still typing"));
    EXPECT_EQ(field->text(), QStringLiteral("still typing"));
    EXPECT_TRUE(controller.webView()->toPlainText().contains(QStringLiteral("Tab")));
    test::saveScreenshot(controller.window(), QStringLiteral("cheatsheet-light"));

    // Following the appearance setting while shown: exactly one registration, none once closed.
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
