// The real program, started with private settings folders and driven with real input events (xdotool) on the
// test's X display. Every wait is bounded and ends on something the program shows.

#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include "document/VQDocument.h"

using namespace velquine;

namespace {

QString xdotool(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    tool.waitForFinished(10000);
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

class RunningApp {
public:
    explicit RunningApp(const QString& home) : home_(home) {}
    ~RunningApp() { stop(); }

    void start(const QStringList& arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"}) {
            const QString folder = home_ + u'/' + QString::fromLatin1(name).toLower();
            QDir().mkpath(folder);
            environment.insert(QString::fromLatin1(name), name == std::string_view("HOME") ? home_ : folder);
        }
        const QString runtime = home_ + QStringLiteral("/runtime");
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        process_.setProcessEnvironment(environment);
        process_.setProcessChannelMode(QProcess::MergedChannels);
        process_.start(QStringLiteral(VELQUINE_APP_PATH), arguments);
        ASSERT_TRUE(process_.waitForStarted(10000));
    }
    // The id of the visible window whose whole title is title, waiting up to 20 s for it; empty when none came.
    QString waitForWindow(const QString& title)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 20000 && process_.state() == QProcess::Running) {
            const QString found = xdotool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                                           QStringLiteral("--pid"), QString::number(process_.processId()),
                                           QStringLiteral("--name"), u'^' + QRegularExpression::escape(title) + u'$'});
            if (!found.isEmpty())
                return found.section(u'\n', 0, 0);
            QThread::msleep(100);
        }
        return {};
    }
    // Gives the window the keyboard and sends it the keys.
    static void keys(const QString& window, const QStringList& keys)
    {
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
        xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("50")} + keys);
    }
    // A left click at the point of the window (its own coordinates).
    static void click(const QString& window, int x, int y)
    {
        xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), window, QString::number(x),
                 QString::number(y), QStringLiteral("click"), QStringLiteral("1")});
    }
    static QSize size(const QString& window)
    {
        const QString shell = xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
        const auto value = [&](const char* name) {
            return QRegularExpression(QString::fromLatin1(name) + QStringLiteral("=(\\d+)")).match(shell).captured(1).toInt();
        };
        return {value("WIDTH"), value("HEIGHT")};
    }
    static void screenshot(const char* name)
    {
        QDir().mkpath(QStringLiteral(VELQUINE_ARTEFACTS_DIR));
        QProcess::execute(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"),
                                                     QStringLiteral(VELQUINE_ARTEFACTS_DIR "/") + QLatin1String(name)});
    }
    // Keys reach the program in order, but the title editor opens on the turn after the command that asks for
    // it: a short pause lets that turn run before the next keys are sent.
    static void settle() { QThread::msleep(300); }
    static void type(const QString& window, const QString& text)
    {
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
        xdotool({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("20"), text});
    }
    // Ctrl+S on an untitled window, the path typed into the save dialog (with a screenshot of the dialog when
    // named); the window of the saved map, found by its title, or empty.
    QString saveWithCtrlS(const QString& window, const QString& path, const char* dialogScreenshot)
    {
        keys(window, {QStringLiteral("ctrl+s")});
        const QString dialog = waitForWindow(QStringLiteral("Save As"));
        if (dialog.isEmpty())
            return {};
        keys(dialog, {QStringLiteral("ctrl+a")});
        type(dialog, path);
        if (dialogScreenshot)
            screenshot(dialogScreenshot);
        keys(dialog, {QStringLiteral("Return")});
        return waitForWindow(QFileInfo(path).fileName() + QStringLiteral(".radovudo"));
    }
    bool waitForExit()
    {
        return process_.waitForFinished(20000) && process_.exitStatus() == QProcess::NormalExit
            && process_.exitCode() == 0;
    }
    // Whether the program printed the text within 20 s.
    bool waitForOutput(const QString& text)
    {
        QElapsedTimer clock;
        clock.start();
        while (!output_.contains(text) && clock.elapsed() < 20000 && process_.state() == QProcess::Running) {
            process_.waitForReadyRead(100);
            output_ += QString::fromUtf8(process_.readAll());
        }
        return output_.contains(text);
    }
    QString output() { return output_ + QString::fromUtf8(process_.readAll()); }
    void stop()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

private:
    QString home_;
    QProcess process_;
    QString output_;
};

} // namespace

TEST(EndToEnd, ANewMapSavedThroughTheSaveDialogOpensAgainAfterQuitting)
{
    QTemporaryDir home;
    const QString map = home.filePath(QStringLiteral("Plan.radovudo"));
    RunningApp app(home.path());
    app.start({});
    const QString untitled = app.waitForWindow(QStringLiteral("Untitled"));
    ASSERT_FALSE(untitled.isEmpty()) << app.output().toStdString();

    const QString saved = app.saveWithCtrlS(untitled, home.filePath(QStringLiteral("Plan")), "end-to-end-save-dialog.png");
    ASSERT_FALSE(saved.isEmpty()) << app.output().toStdString();
    ASSERT_TRUE(QFile::exists(map)) << QDir(home.path()).entryList().join(u' ').toStdString() << " " << xdotool({QStringLiteral("getwindowname"), saved}).toStdString();

    RunningApp::keys(saved, {QStringLiteral("ctrl+q")});
    ASSERT_TRUE(app.waitForExit()) << app.output().toStdString();

    app.start({map});
    const QString reopened = app.waitForWindow(QStringLiteral("Plan.radovudo"));
    ASSERT_FALSE(reopened.isEmpty()) << app.output().toStdString();
    const auto document = VQDocument::makeDocumentForURL(map.toStdString(), std::string(VQDocument::documentType));
    EXPECT_EQ(document->project.graph.count(), 0u);
    RunningApp::keys(reopened, {QStringLiteral("ctrl+q")});
    EXPECT_TRUE(app.waitForExit()) << app.output().toStdString();
}

// Starting with the settings as they come writes none of them: every write of the settings waits for the disk,
// and the window would wait with it.
TEST(EndToEnd, StartingWritesNoSettings)
{
    QTemporaryDir home;
    RunningApp app(home.path());
    app.start({});
    ASSERT_FALSE(app.waitForWindow(QStringLiteral("Untitled")).isEmpty()) << app.output().toStdString();
    // The check for updates reports itself once the start has stored what it stores.
    ASSERT_TRUE(app.waitForOutput(QStringLiteral("No update source is configured"))) << app.output().toStdString();
    EXPECT_FALSE(QFile::exists(home.filePath(QStringLiteral("xdg_config_home/Velquine/Velquine.ini"))));
}

namespace {

std::optional<Node> titled(const VQDocument& document, const std::string& title)
{
    for (const Node& node : document.project.graph.allNodes())
        if (node.title == title)
            return node;
    return std::nullopt;
}

} // namespace

// Tab names a child, Return a sibling; undo and redo; a note typed into the note pane; Ctrl+S through the save
// dialog; quit; the same map when the file is opened again.
TEST(EndToEnd, AMapTypedWithTheKeyboardIsTheMapThatOpensAgain)
{
    QTemporaryDir home;
    const QString map = home.filePath(QStringLiteral("Trip.radovudo"));
    RunningApp app(home.path());
    app.start({});
    const QString untitled = app.waitForWindow(QStringLiteral("Untitled"));
    ASSERT_FALSE(untitled.isEmpty()) << app.output().toStdString();

    RunningApp::keys(untitled, {QStringLiteral("ctrl+Return")});
    RunningApp::settle();
    RunningApp::type(untitled, QStringLiteral("Trip"));
    RunningApp::keys(untitled, {QStringLiteral("Return")});
    ASSERT_FALSE(app.waitForWindow(QStringLiteral("Untitled*")).isEmpty()) << app.output().toStdString();
    RunningApp::keys(untitled, {QStringLiteral("Tab")});
    RunningApp::settle();
    RunningApp::type(untitled, QStringLiteral("Tickets"));
    RunningApp::keys(untitled, {QStringLiteral("Return")});
    RunningApp::settle();
    RunningApp::keys(untitled, {QStringLiteral("Return")});
    RunningApp::settle();
    RunningApp::type(untitled, QStringLiteral("Hotel"));
    RunningApp::keys(untitled, {QStringLiteral("Return")});
    RunningApp::settle();
    // Undo takes the sibling away, redo brings it back.
    RunningApp::keys(untitled, {QStringLiteral("ctrl+z")});
    RunningApp::settle();
    RunningApp::screenshot("end-to-end-undone.png");
    RunningApp::keys(untitled, {QStringLiteral("ctrl+shift+z")});
    RunningApp::settle();

    // The note pane opens below the map; a click puts the caret in it, a click on the map ends the note.
    RunningApp::keys(untitled, {QStringLiteral("ctrl+alt+2")});
    RunningApp::settle();
    const QSize window = RunningApp::size(untitled);
    ASSERT_GT(window.height(), 300);
    RunningApp::click(untitled, window.width() / 4, window.height() - 100);
    RunningApp::type(untitled, QStringLiteral("Passport"));
    RunningApp::screenshot("end-to-end-note.png");
    RunningApp::click(untitled, 30, 110);
    RunningApp::settle();

    const QString saved = app.saveWithCtrlS(untitled, home.filePath(QStringLiteral("Trip")), nullptr);
    ASSERT_FALSE(saved.isEmpty()) << app.output().toStdString();
    RunningApp::keys(saved, {QStringLiteral("ctrl+q")});
    ASSERT_TRUE(app.waitForExit()) << app.output().toStdString();

    app.start({map});
    const QString reopened = app.waitForWindow(QStringLiteral("Trip.radovudo"));
    ASSERT_FALSE(reopened.isEmpty()) << app.output().toStdString();
    // A window just mapped is still black until its first paint.
    RunningApp::settle();
    RunningApp::screenshot("end-to-end-reopened.png");
    const auto document = VQDocument::makeDocumentForURL(map.toStdString(), std::string(VQDocument::documentType));
    EXPECT_EQ(document->project.graph.count(), 3u);
    const auto trip = titled(*document, "Trip");
    const auto tickets = titled(*document, "Tickets");
    const auto hotel = titled(*document, "Hotel");
    ASSERT_TRUE(trip && tickets && hotel) << app.output().toStdString();
    EXPECT_FALSE(trip->parentUID);
    EXPECT_EQ(tickets->parentUID, trip->uid);
    EXPECT_EQ(hotel->parentUID, trip->uid);
    EXPECT_EQ(trip->childrenUIDs, (std::vector<std::int64_t>{tickets->uid, hotel->uid}));
    EXPECT_EQ(hotel->note, "Passport");
    RunningApp::keys(reopened, {QStringLiteral("ctrl+q")});
    EXPECT_TRUE(app.waitForExit()) << app.output().toStdString();
}

