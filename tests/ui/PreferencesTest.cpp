#include "support/QtWait.h"
#include "app/PreferencesPanelController.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QTest>

#include "app/GeneralPreferencesViewController.h"
#include "app/HelpPreferencesViewController.h"
#include "kit/WindowAppearance.h"
#include "model/project/FactorySettings.h"
#include "platform/NotificationCenter.h"
#include "platform/Settings.h"
#include "UiTestSupport.h"

using namespace velquine;

namespace {

struct Posts {
    int uiMode = 0, collision = 0;
    Posts()
    {
        NotificationCenter::defaultCenter().addObserver("UIModeDidSwitch", [this](const Notification&) { ++uiMode; }, this);
        NotificationCenter::defaultCenter().addObserver("collisionDedectionModeDidSwitch",
                                                        [this](const Notification&) { ++collision; }, this);
    }
    ~Posts() { NotificationCenter::defaultCenter().removeObserversOf(this); }
};

void chooseAppearance(QComboBox* dropdown, int tag)
{
    dropdown->setCurrentIndex(dropdown->findData(tag));
    emit dropdown->activated(dropdown->currentIndex()); // what a choice in the open list sends
}

} // namespace

TEST(Preferences, TheGeneralPaneSavesAtOnceAndAnnouncesOnlyChanges)
{
    ScopedStandardUserDefaults scope;
    registerFactoryDefaults();
    scope.defaults().set("userInterfaceStyle", "Sepia"); // unknown: shows as the system's
    PreferencesPanelController window;
    window.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(window.generalItem()->isChecked());
    EXPECT_EQ(window.currentPane(), window.generalPane());
    auto* pane = window.generalPane();
    auto* dropdown = pane->findChild<QComboBox*>(QStringLiteral("userInterfaceStyleDropdown"));
    auto* collision = pane->findChild<QCheckBox*>(QStringLiteral("collisionDetectionCheckbox"));
    auto* richText = pane->findChild<QCheckBox*>(QStringLiteral("copyRichTextCheckbox"));
    ASSERT_TRUE(dropdown && collision && richText && pane->findChild<QCheckBox*>(QStringLiteral("copyNodeColorsCheckbox")));
    EXPECT_EQ(dropdown->currentData().toInt(), 1);
    EXPECT_TRUE(collision->isChecked());
    test::saveScreenshot(&window, QStringLiteral("preferences-general-light"));

    Posts posts;
    QTest::mouseClick(collision, Qt::LeftButton, {}, QPoint(8, collision->height() / 2));
    EXPECT_FALSE(scope.defaults().boolForKey("isCollisionDetectionEnabled"));
    QTest::mouseClick(collision, Qt::LeftButton, {}, QPoint(8, collision->height() / 2));
    EXPECT_EQ(posts.collision, 2);
    QTest::mouseClick(richText, Qt::LeftButton, {}, QPoint(8, richText->height() / 2));
    EXPECT_FALSE(scope.defaults().boolForKey("copyRichTextToPasteboard"));
    EXPECT_EQ(posts.collision, 2); // saving all four settings again changed nothing else
    // The unknown text stays until the user chooses an appearance.
    EXPECT_EQ(scope.defaults().stringForKey("userInterfaceStyle"), "UserInterfaceStyleSystemDefault");
    EXPECT_EQ(posts.uiMode, 0);

    chooseAppearance(dropdown, 3);
    EXPECT_EQ(scope.defaults().stringForKey("userInterfaceStyle"), "UserInterfaceStyleDark");
    EXPECT_EQ(posts.uiMode, 1);
    EXPECT_LT(window.palette().color(QPalette::Window).lightness(), 80); // the window followed at once
    // Its toolbar symbols are drawn light on the dark window.
    const QImage symbol = window.generalItem()->icon().pixmap(QSize(24, 24)).toImage();
    int lightest = 0;
    for (int y = 0; y < symbol.height(); ++y)
        for (int x = 0; x < symbol.width(); ++x)
            if (symbol.pixelColor(x, y).alpha() > 200)
                lightest = std::max(lightest, symbol.pixelColor(x, y).lightness());
    EXPECT_GT(lightest, 180);
    test::saveScreenshot(&window, QStringLiteral("preferences-general-dark"));
    chooseAppearance(dropdown, 2);
    EXPECT_EQ(posts.uiMode, 2);
    EXPECT_GT(window.palette().color(QPalette::Window).lightness(), 180);
    window.close();
}

TEST(Preferences, DialogsAndMenusTakeTheChosenAppearanceToo)
{
    ScopedStandardUserDefaults scope;
    registerFactoryDefaults();
    const QColor systemWindow = QApplication::palette().color(QPalette::Window);
    auto windowLightness = [] { return QDialog().palette().color(QPalette::Window).lightness(); };
    setUserInterfaceStyle(UserInterfaceStyle::dark);
    followAppearanceInApplication();
    EXPECT_LT(windowLightness(), 80); // a window with no appearance of its own
    setUserInterfaceStyle(UserInterfaceStyle::light);
    EXPECT_GT(windowLightness(), 180);
    setUserInterfaceStyle(UserInterfaceStyle::systemDefault);
    EXPECT_EQ(QApplication::palette().color(QPalette::Window), systemWindow);
    NotificationCenter::defaultCenter().removeObserversOf(qApp);
}

TEST(Preferences, SwitchingPanesKeepsTheTopEdgeAndFitsThePane)
{
    ScopedStandardUserDefaults scope;
    registerFactoryDefaults();
    PreferencesPanelController window;
    window.showWindow();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    window.move(200, 150);
    EXPECT_EVENTUALLY_EQ(window.pos(), QPoint(200, 150));
    const int top = window.geometry().top();
    const int toolbar = window.height() - window.generalPane()->height();

    window.helpItem()->trigger();
    EXPECT_TRUE(window.helpItem()->isChecked());
    EXPECT_FALSE(window.generalPane()->isVisible()); // leaving General saved and hid it
    EXPECT_EVENTUALLY_EQ(window.height(), toolbar + window.helpPane()->height(), 2000);
    EXPECT_EQ(window.geometry().top(), top);
    test::saveScreenshot(&window, QStringLiteral("preferences-help"));

    window.generalItem()->trigger(); // taller to shorter
    EXPECT_EVENTUALLY_EQ(window.height(), toolbar + window.generalPane()->height(), 2000);
    EXPECT_EQ(window.geometry().top(), top);
    EXPECT_EQ(window.width(), window.generalPane()->width());

    auto* showOnStart = window.helpPane()->findChild<QCheckBox*>(QStringLiteral("showsCheatSheetOnStartCheckbox"));
    ASSERT_NE(showOnStart, nullptr);
    showOnStart->setChecked(true);
    EXPECT_TRUE(scope.defaults().boolForKey("showsCheatSheetOnStart"));
    // Ctrl+W and Escape close it.
    for (const QKeyCombination key : {Qt::CTRL | Qt::Key_W, QKeyCombination(Qt::Key_Escape)}) {
        window.showWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(&window, key.key(), key.keyboardModifiers());
        EXPECT_FALSE(window.isVisible()) << QKeySequence(key).toString().toStdString();
    }
}
