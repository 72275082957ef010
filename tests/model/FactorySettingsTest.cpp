#include "model/project/FactorySettings.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "model/style/ProjectStyle.h"

using namespace velquine;

TEST(FactorySettings, NineteenKeysInTheirOrderWithTheirFactoryValues)
{
    const auto table = factoryDefaults();
    ASSERT_EQ(table.size(), 19u);
    std::vector<std::string> keys;
    for (const auto& entry : table)
        keys.push_back(entry.first);
    EXPECT_EQ(keys, (std::vector<std::string>{
                        "NSShowAppCentricOpenPanelInsteadOfUntitledFile", "userInterfaceStyle", "disableAnimations",
                        "showWelcomeWindow", "lastSelectedInspectorTab", "isNoteViewCollapsed",
                        "isNavigatorBarCollapsed", "isInspectorCollapsed", "defaultGridStyle", "defaultGridSize",
                        "defaultProjectStyle", "shouldApplyThemeShapes", "shouldAutosizeNodesOnThemeChange",
                        "showsCheatSheetOnStart", "copyRichTextToPasteboard", "copyNodeTitleColorsToPasteboard",
                        "isCollisionDetectionEnabled", "RichTextExporterModuleViewController.keepColors",
                        "SUEnableAutomaticChecks"}));

    ScopedStandardUserDefaults scope;
    registerFactoryDefaults();
    const UserDefaults& d = scope.defaults();
    EXPECT_FALSE(d.boolForKey("NSShowAppCentricOpenPanelInsteadOfUntitledFile"));
    EXPECT_EQ(d.stringForKey("userInterfaceStyle"), "UserInterfaceStyleSystemDefault");
    EXPECT_FALSE(d.boolForKey("disableAnimations"));
    EXPECT_TRUE(d.objectForKey("showWelcomeWindow").has_value());
    EXPECT_FALSE(d.boolForKey("showWelcomeWindow"));
    EXPECT_EQ(d.integerForKey("lastSelectedInspectorTab"), 0);
    EXPECT_TRUE(d.boolForKey("isNoteViewCollapsed"));
    EXPECT_TRUE(d.boolForKey("isNavigatorBarCollapsed"));
    EXPECT_FALSE(d.boolForKey("isInspectorCollapsed"));
    EXPECT_EQ(d.stringForKey("defaultGridStyle"), "noGrid");
    EXPECT_EQ(d.integerForKey("defaultGridSize"), 24);
    EXPECT_EQ(d.stringForKey("defaultProjectStyle"), ProjectStyle::omaha().name);
    EXPECT_EQ(d.stringForKey("defaultProjectStyle"), "Omaha");
    EXPECT_TRUE(d.boolForKey("shouldApplyThemeShapes"));
    EXPECT_TRUE(d.boolForKey("shouldAutosizeNodesOnThemeChange"));
    EXPECT_FALSE(d.boolForKey("showsCheatSheetOnStart"));
    EXPECT_TRUE(d.boolForKey("copyRichTextToPasteboard"));
    EXPECT_TRUE(d.boolForKey("copyNodeTitleColorsToPasteboard"));
    EXPECT_TRUE(d.boolForKey("isCollisionDetectionEnabled"));
    EXPECT_TRUE(d.boolForKey("RichTextExporterModuleViewController.keepColors"));
    EXPECT_TRUE(d.boolForKey("SUEnableAutomaticChecks"));
}

TEST(FactorySettings, RegistrationWritesNothingToTheUsersFile)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("Velquine.ini").toStdString();
    ScopedStandardUserDefaults scope(UserDefaults::settingsFile(path));
    registerFactoryDefaults();
    scope.defaults().synchronize();
    QFile file(QString::fromStdString(path));
    EXPECT_TRUE(!file.exists() || (file.open(QIODevice::ReadOnly) && !file.readAll().contains("defaultGridSize")));

    setDefaultGridSize(24.9);
    EXPECT_EQ(scope.defaults().integerForKey("defaultGridSize"), 24);
    setDefaultGridSize(-7.5);
    EXPECT_EQ(scope.defaults().integerForKey("defaultGridSize"), -7);
    setDefaultGridSize(std::numeric_limits<double>::quiet_NaN());
    setDefaultGridSize(1e300);
    EXPECT_EQ(scope.defaults().integerForKey("defaultGridSize"), -7);
    setDefaultGridStyle(GridType::hexagons);
    EXPECT_EQ(scope.defaults().stringForKey("defaultGridStyle"), "hexagons");

    // A set value reaches the file; the factory ones still do not.
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("defaultGridStyle"));
    EXPECT_FALSE(text.contains("copyRichTextToPasteboard"));
}
