// Test main for layers that touch fonts, images or widgets: the Qt application object must exist first.
#include <gtest/gtest.h>

#include <QDir>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

#ifdef VELQUINE_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif
#ifdef VELQUINE_TEST_APP
#include "app/Application.h"
#endif

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir runtimeDir;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR") && runtimeDir.isValid()) {
        QFile::setPermissions(runtimeDir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toUtf8());
    }
    // Settings, caches and scratch folders of tests go to a throw-away home of this process, never the user's
    // and never one another test program running at the same time could clean up.
    QTemporaryDir homeDir;
    if (homeDir.isValid()) {
        qputenv("HOME", homeDir.path().toUtf8());
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
            qunsetenv(name);
    }
    QStandardPaths::setTestModeEnabled(true);

    TestApplication app(argc, argv);
#ifdef VELQUINE_TEST_APP
    velquine::installEditorWindowHooks(); // editor windows get their menus and inspector as in the program
#endif
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    // Ends as the program does: the event loop's last turn runs what waits for the application to quit and
    // deletes what was left to it, so nothing the tests made outlives the application object.
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    app.exec();
    return result;
}
