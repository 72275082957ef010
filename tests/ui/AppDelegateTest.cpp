#include "document/DocumentFactory.h"
#include "support/QtWait.h"
#include "app/AppDelegate.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QSysInfo>
#include <QTextBrowser>
#include <QTest>

#include <fstream>

#include "app/Application.h"
#include "app/CheatSheetWindowController.h"
#include "app/PreferencesPanelController.h"
#include "app/Updater.h"
#include "document/VQDocument.h"
#include "platform/SystemInformation.h"
#include "UiTestSupport.h"

using namespace velquine;

namespace {

std::string afterPrefix(const std::string& line)
{
    return line.substr(line.find("] ") + 2);
}

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result(1);
    for (char c : text) {
        if (c == '\n')
            result.emplace_back();
        else
            result.back() += c;
    }
    return result;
}

} // namespace

TEST(AppDelegate, LaunchRegistersTheSettingsAndWritesTheBannerToTheSystemLog)
{
    ScopedStandardUserDefaults scope;
    test::DesktopRecorder recorder;
    AppDelegate delegate;
    delegate.launchWorker();
    EXPECT_TRUE(scope.defaults().boolForKey("isCollisionDetectionEnabled")); // registered
    ASSERT_EQ(recorder.systemLines.size(), 5u);
    EXPECT_EQ(afterPrefix(recorder.systemLines[0]), std::string(88, '-'));
    EXPECT_EQ(afterPrefix(recorder.systemLines[4]), std::string(88, '-'));
    const std::string welcome = afterPrefix(recorder.systemLines[1]);
    EXPECT_TRUE(welcome.starts_with("Welcome to Velquine v0.1.0 (")) << welcome;
    EXPECT_TRUE(welcome.ends_with("!") && welcome.find(") - built on 20") != std::string::npos) << welcome;
    // The system that runs, in its own words ("Debian GNU/Linux 12 (bookworm)").
    EXPECT_EQ(afterPrefix(recorder.systemLines[2]), "Running on: " + QSysInfo::prettyProductName().toStdString());
    EXPECT_EQ(recorder.systemLines[2].find("macOS"), std::string::npos);
    EXPECT_EQ(afterPrefix(recorder.systemLines[3]), "Build Mode: DIRECT BUILD");
    // The prefix a system log line carries: date, time, program and process.
    EXPECT_EQ(recorder.systemLines[3].substr(4, 1), "-");
    EXPECT_NE(recorder.systemLines[3].find(" test_ui["), std::string::npos) << recorder.systemLines[3];

    // Every launch turns automatic update checks on again.
    scope.defaults().set("SUEnableAutomaticChecks", false);
    const int checks = Updater::shared().backgroundChecks();
    delegate.setUpUpdates();
    EXPECT_TRUE(scope.defaults().boolForKey("SUEnableAutomaticChecks"));
    EXPECT_EQ(Updater::shared().backgroundChecks(), checks + 1);
    EXPECT_EQ(afterPrefix(recorder.systemLines.back()), Updater::noUpdateSourceMessage);
}

TEST(AppDelegate, SupportMailCarriesTheSystemInformationSafelyEncoded)
{
    const std::string body = AppDelegate::supportMailBody("Velquine", "0.1.0", "7", "Debian 12 & more", std::nullopt);
    EXPECT_EQ(lines(body), (std::vector<std::string>{"----", "Application: Velquine 0.1.0 (Build 7) (DP)",
                                                     "System: Debian 12 & more", "Model: Unknown", "----", "",
                                                     "<Your message here>"}));
    EXPECT_EQ(lines(AppDelegate::supportMailBody("A", "1", "2", "S", "ThinkPad"))[3], "Model: ThinkPad");

    test::DesktopRecorder recorder;
    AppDelegate delegate;
    ActionDispatcher chain;
    EXPECT_TRUE(chain.sendAction("contactSupport:"));
    ASSERT_EQ(recorder.urls().size(), 1u);
    const std::string url = recorder.urls()[0];
    EXPECT_TRUE(url.starts_with("mailto:support@kelvarn.io?subject=Velquine%20Support&body=----%0AApplication:%20Velquine%20"))
        << url;
    EXPECT_TRUE(url.ends_with("%0A----%0A%0A%3CYour%20message%20here%3E")) << url;
    EXPECT_EQ(url.find('&', url.find("&body=") + 1), std::string::npos); // the body adds no field

    EXPECT_TRUE(chain.sendAction("showManual:"));
    EXPECT_TRUE(chain.sendAction("visitProductWebsite:"));
    EXPECT_EQ(recorder.urls()[1], AppDelegate::manualURL);
    EXPECT_EQ(recorder.urls()[2], AppDelegate::productWebsiteURL);
}

TEST(AppDelegate, WindowsAreMadeOnceAndTheCheatSheetIsReadAgainOnEveryShow)
{
    ScopedStandardUserDefaults scope;
    AppDelegate delegate;
    ActionDispatcher chain;
    EXPECT_FALSE(delegate.hasCheatSheetController());
    ASSERT_TRUE(chain.sendAction("showPreferencesPanel:"));
    PreferencesPanelController* preferences = delegate.preferencesPanelController();
    EXPECT_TRUE(preferences->isVisible());
    chain.sendAction("showPreferencesPanel:");
    EXPECT_EQ(delegate.preferencesPanelController(), preferences);

    chain.sendAction("showCheatSheet:");
    CheatSheetWindowController* sheet = delegate.cheatSheetController();
    EXPECT_TRUE(sheet->window()->isVisible());
    EXPECT_TRUE(sheet->webView()->toPlainText().contains(QStringLiteral("Keyboard Shortcuts")));
    sheet->webView()->setPlainText(QStringLiteral("scribbled"));
    chain.sendAction("showCheatSheet:");
    EXPECT_EQ(delegate.cheatSheetController(), sheet);
    EXPECT_TRUE(sheet->webView()->toPlainText().contains(QStringLiteral("New child of the selected node")));

    ActionItem updates{"checkUpdates:", ActionItemKind::menuItem, "Check for Updates…"};
    updates.hidden = true;
    updates.enabled = false;
    EXPECT_TRUE(chain.validateMenuItem(updates));
    EXPECT_FALSE(updates.hidden);
    preferences->close();
    sheet->window()->close();
}

TEST(AppDelegate, StartUpOpensAnUntitledWindowOrEachFileAndReportsFilesItCannotOpen)
{
    ScopedStandardUserDefaults scope;
    AppDelegate delegate;
    delegate.launchWorker();
    delegate.openDocuments({});
    ASSERT_EQ(delegate.documentWindows().size(), 1u);
    EXPECT_EQ(delegate.documentWindows()[0]->windowTitle(), QStringLiteral("Untitled"));

    QTemporaryDir dir;
    const std::string outline = dir.filePath("Plans.opml").toStdString();
    std::ofstream(outline) << "<?xml version=\"1.0\"?><opml version=\"2.0\"><head><title>Plans</title></head>"
                              "<body><outline text=\"A\"><outline text=\"B\"/></outline></body></opml>";
    const std::string broken = dir.filePath("Broken.radovudo").toStdString();
    std::ofstream(broken) << "not a document";
    const std::string map = dir.filePath("Map.radovudo").toStdString();
    ASSERT_TRUE(DocumentFactory::makeUntitledDocument()->writeToURL(map, "io.kelvarn.velquine.mindmap", nullptr));
    delegate.openDocuments({map, outline, broken, dir.filePath("missing.radovudo").toStdString(), dir.path().toStdString()});
    ASSERT_EQ(delegate.documentWindows().size(), 3u);
    EXPECT_EQ(delegate.documentWindows()[1]->windowTitle(), QStringLiteral("Map.radovudo"));
    QWidget* plans = delegate.documentWindows()[2];
    EXPECT_EQ(plans->windowTitle(), QStringLiteral("Untitled 2")); // an import is a new document
    ASSERT_TRUE(plans->findChild<QLabel*>());
    EXPECT_EQ(plans->findChild<QLabel*>()->text(), QStringLiteral("2 nodes"));
    test::saveScreenshot(plans, QStringLiteral("startup-document-window"));
    QStringList reasons;
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == QLatin1String("openFailureMessage") && widget->isVisible()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            reasons << box->text() + u'|' + box->informativeText();
            box->close();
        }
    reasons.sort();
    ASSERT_EQ(reasons.size(), 3);
    EXPECT_TRUE(reasons[0].startsWith(QStringLiteral("The document “Broken.radovudo” could not be opened.|"))) << reasons[0].toStdString();
    EXPECT_EQ(reasons[1], QStringLiteral("The document “missing.radovudo” could not be opened.|There is no such file."));
    EXPECT_TRUE(reasons[2].endsWith(QStringLiteral("|It is a folder, not a file."))) << reasons[2].toStdString();

    // Closing through the chain of a window.
    auto* window = delegate.documentWindows()[0];
    ActionDispatcher chain;
    chain.setChain({dynamic_cast<Responder*>(window)});
    EXPECT_TRUE(chain.sendAction("performClose:"));
    QTest::qWait(10); // fixed: no window may close meanwhile
    EXPECT_EQ(delegate.documentWindows().size(), 2u);

    EXPECT_EQ(documentArguments({"velquine", "--verbose", "a.radovudo", "--", "-dash.opml"}),
              (std::vector<std::string>{"a.radovudo", "-dash.opml"}));
}

TEST(AppDelegate, TheShortcutsShowByThemselvesOncePerRunWhenTheSettingIsOn)
{
    ScopedStandardUserDefaults scope;
    AppDelegate delegate;
    delegate.launchWorker();
    delegate.openDocuments({});
    QTest::qWait(1200); // fixed, here and below: the shortcuts must not show within the time given
    EXPECT_FALSE(delegate.hasCheatSheetController()); // the setting is off

    scope.defaults().set("showsCheatSheetOnStart", true);
    delegate.openDocuments({});
    delegate.openDocuments({});
    QTest::qWait(300);
    EXPECT_FALSE(delegate.hasCheatSheetController()); // about a second after the window
    EXPECT_EVENTUALLY(delegate.hasCheatSheetController() && delegate.cheatSheetController()->window()->isVisible(), 2000);
    EXPECT_TRUE(delegate.cheatSheetController()->autoFiredOnce);
    QTest::qWait(100); // fixed: the panel must not take the keyboard from the map meanwhile
    EXPECT_NE(QApplication::activeWindow(), delegate.cheatSheetController()->window());
    delegate.cheatSheetController()->window()->close();
    delegate.openDocuments({});
    QTest::qWait(1200);
    EXPECT_FALSE(delegate.cheatSheetController()->window()->isVisible());
}
