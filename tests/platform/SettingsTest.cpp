#include "platform/Settings.h"

#include <gtest/gtest.h>

#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

using namespace velquine;

namespace {

// Counts the two setting notifications on the default centre while alive.
struct NotificationCount {
    int uiMode = 0;
    int collision = 0;
    NotificationCount()
    {
        auto& center = NotificationCenter::defaultCenter();
        center.addObserver("UIModeDidSwitch", [this](const Notification&) { ++uiMode; }, this);
        center.addObserver("collisionDedectionModeDidSwitch", [this](const Notification&) { ++collision; }, this);
    }
    ~NotificationCount() { NotificationCenter::defaultCenter().removeObserversOf(this); }
};

} // namespace

TEST(Settings, AppearanceTextsParseExactlyAndEverythingElseIsTheSystemDefault)
{
    EXPECT_EQ(userInterfaceStyle("UserInterfaceStyleSystemDefault"), UserInterfaceStyle::systemDefault);
    EXPECT_EQ(userInterfaceStyle("UserInterfaceStyleLight"), UserInterfaceStyle::light);
    EXPECT_EQ(userInterfaceStyle("UserInterfaceStyleDark"), UserInterfaceStyle::dark);
    EXPECT_EQ(userInterfaceStyle("userinterfacestyledark"), UserInterfaceStyle::systemDefault);
    EXPECT_EQ(userInterfaceStyle(""), UserInterfaceStyle::systemDefault);
    EXPECT_EQ(userInterfaceStyleName(UserInterfaceStyle::dark), "UserInterfaceStyleDark");
    EXPECT_EQ(static_cast<int>(UserInterfaceStyle::light), 1);
    EXPECT_EQ(userInterfaceStyleTag(UserInterfaceStyle::systemDefault), 1);
    EXPECT_EQ(userInterfaceStyleTag(UserInterfaceStyle::dark), 3);
}

TEST(Settings, AppearanceSetterPostsOnlyWhenTheStoredCaseChanges)
{
    ScopedStandardUserDefaults scope;
    NotificationCount count;
    EXPECT_EQ(currentUserInterfaceStyle(), UserInterfaceStyle::systemDefault); // absent

    setUserInterfaceStyle(UserInterfaceStyle::systemDefault);
    EXPECT_EQ(count.uiMode, 0);
    setUserInterfaceStyle(UserInterfaceStyle::dark);
    EXPECT_EQ(count.uiMode, 1);
    EXPECT_EQ(scope.defaults().stringForKey("userInterfaceStyle"), "UserInterfaceStyleDark");
    setUserInterfaceStyle(UserInterfaceStyle::dark);
    EXPECT_EQ(count.uiMode, 1);

    // An unknown stored text counts as the system default.
    scope.defaults().set("userInterfaceStyle", "Purple");
    setUserInterfaceStyle(UserInterfaceStyle::systemDefault);
    EXPECT_EQ(count.uiMode, 1);
    EXPECT_EQ(scope.defaults().stringForKey("userInterfaceStyle"), "UserInterfaceStyleSystemDefault");
    EXPECT_EQ(count.collision, 0);
}

TEST(Settings, CollisionSetterPostsOnlyOnChange)
{
    ScopedStandardUserDefaults scope;
    scope.defaults().registerDefaults({{"isCollisionDetectionEnabled", true}});
    NotificationCount count;

    setCollisionDetectionEnabled(true);
    EXPECT_EQ(count.collision, 0);
    setCollisionDetectionEnabled(false);
    setCollisionDetectionEnabled(false);
    setCollisionDetectionEnabled(true);
    EXPECT_EQ(count.collision, 2);
    EXPECT_TRUE(isCollisionDetectionEnabled());
    EXPECT_EQ(count.uiMode, 0);
}
