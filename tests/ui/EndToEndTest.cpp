// The real program, started with private settings folders and driven with real input events (xdotool) on the
// test's X display. Every wait is bounded and ends on something the program shows.

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <iostream>
#include <optional>
#include <utility>

#include "document/DocumentFactory.h"
#include "document/DocumentPictures.h"
#include "document/VQDocument.h"
#include "picture/CraftedPictures.h"
#include "picture/PictureReader.h"
#include "picture/PictureSandbox.h"

#include <csignal>

using namespace velquine;
using namespace velquine::testing;

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

    // Starts see the variable set so.
    void setEnvironment(const QString& name, const QString& value) { extraEnvironment_.emplace_back(name, value); }
    // Files the program writes may grow to this many bytes at most (none: no limit of the test's own).
    void limitFileSize(std::optional<rlim_t> bytes) { fileSizeLimit_ = bytes; }
    // The next start sees a small empty disk of that many bytes at the folder of the home folder ("xdg_cache_home"),
    // in mounts of its own that nobody else sees; the start after it sees the folder as it was.
    void mountSmallDisk(const QString& folder, std::size_t bytes)
    {
        smallDisk_ = (home_ + u'/' + folder).toStdString();
        smallDiskOptions_ = "size=" + std::to_string(bytes);
    }
    // Whether a process may have mounts of its own here (the superuser's right to mount in a namespace).
    static bool mountsOfItsOwnPossible()
    {
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(::unshare(CLONE_NEWNS) == 0 ? 0 : 1);
        int status = 0;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

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
        for (const auto& [name, value] : extraEnvironment_)
            environment.insert(name, value);
        process_.setProcessEnvironment(environment);
        process_.setProcessChannelMode(QProcess::MergedChannels);
        const std::optional<rlim_t> limit = fileSizeLimit_;
        const std::string disk = std::exchange(smallDisk_, {});
        const std::string diskOptions = smallDiskOptions_;
        process_.setChildProcessModifier([limit, disk, diskOptions] {
            rlimit fileSize{};
            ::getrlimit(RLIMIT_FSIZE, &fileSize);
            if (limit)
                fileSize.rlim_cur = *limit;
            ::setrlimit(RLIMIT_FSIZE, &fileSize);
            if (!disk.empty() && (::unshare(CLONE_NEWNS) != 0
                                  || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
                                  || ::mount("tmpfs", disk.c_str(), "tmpfs", 0, diskOptions.c_str()) != 0))
                ::_exit(77);
        });
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
            QThread::msleep(100); // a poll of another process's windows
        }
        std::cerr << "No window titled \"" << title.toStdString() << "\": " << whyNoWindow().toStdString() << '\n';
        return {};
    }
    // What the program shows instead of an awaited window: its end, or every window it has, visible or not,
    // with its title.
    QString whyNoWindow()
    {
        if (process_.state() != QProcess::Running || process_.waitForFinished(0))
            return QStringLiteral("the program ended (%1 %2)")
                .arg(process_.exitStatus() == QProcess::NormalExit ? QStringLiteral("status") : QStringLiteral("signal"))
                .arg(process_.exitCode());
        QString windows;
        const QString pid = QString::number(process_.processId());
        for (const QString& window : xdotool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--pid"), pid,
                                              QStringLiteral("--name"), QStringLiteral("")})
                                         .split(u'\n', Qt::SkipEmptyParts)) {
            QProcess info;
            info.start(QStringLiteral("xwininfo"), {QStringLiteral("-id"), window});
            info.waitForFinished(10000);
            const QString state = QRegularExpression(QStringLiteral("Map State: (\\w+)"))
                                      .match(QString::fromUtf8(info.readAllStandardOutput()))
                                      .captured(1);
            windows += QStringLiteral(" %1 \"%2\" %3;").arg(window, xdotool({QStringLiteral("getwindowname"), window}), state);
        }
        return QStringLiteral("the program runs; its windows:") + (windows.isEmpty() ? QStringLiteral(" none") : windows);
    }
    // Gives the window the keyboard and sends it the keys.
    static void keys(const QString& window, const QStringList& keys)
    {
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
        typeKeys(keys);
    }
    // Gives the window the keyboard and sends it the keys with no pause between them: they reach the program in
    // one batch, as a fast typist's do on a busy machine.
    static void keysAtOnce(const QString& window, const QStringList& keys)
    {
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});
        xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("0")} + keys);
    }
    // Sends the keys wherever the X server sends them, as a keyboard does.
    static void typeKeys(const QStringList& keys)
    {
        xdotool(QStringList{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("50")} + keys);
    }
    // Whether no visible window has the whole title within 20 s.
    bool waitForWindowGone(const QString& title)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 20000) {
            if (xdotool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"), QStringLiteral("--pid"),
                         QString::number(process_.processId()), QStringLiteral("--name"),
                         u'^' + QRegularExpression::escape(title) + u'$'})
                    .isEmpty())
                return true;
            QThread::msleep(100); // a poll of another process's windows
        }
        return false;
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
    // it: a short pause lets that turn run before the next keys are sent. Nothing outside the program shows
    // when that turn has run, so the pause is fixed.
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
    // Sends the signal (SIGKILL or SIGTERM) and waits for the end; true when the program ended by itself with 0.
    bool endWith(int signalNumber)
    {
        if (signalNumber == SIGKILL)
            process_.kill();
        else
            ::kill(pid_t(process_.processId()), signalNumber);
        return waitForExit();
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
    // What the program printed so far. Nothing reads its pipe between the test's calls, so it is read here.
    QString output()
    {
        while (process_.waitForReadyRead(0))
            ;
        output_ += QString::fromUtf8(process_.readAll());
        return output_;
    }
    void stop()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(5000);
        }
    }

    bool running() const { return process_.state() == QProcess::Running; }

private:
    QString home_;
    QProcess process_;
    std::optional<rlim_t> fileSizeLimit_;
    std::string smallDisk_;
    std::string smallDiskOptions_;
    std::vector<std::pair<QString, QString>> extraEnvironment_;
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
    const auto document = DocumentFactory::makeDocumentForURL(map.toStdString(), std::string(VQDocument::documentType));
    EXPECT_EQ(document->project().graph.count(), 0u);
    RunningApp::keys(reopened, {QStringLiteral("ctrl+q")});
    EXPECT_TRUE(app.waitForExit()) << app.output().toStdString();
}

// A save that meets the file size limit is reported with its cause, and the program goes on.
TEST(EndToEnd, ASaveBeyondTheFileSizeLimitIsReportedAndTheProgramGoesOn)
{
    QTemporaryDir home;
    RunningApp app(home.path());
    // Less than the tables of an empty map take.
    app.limitFileSize(8192);
    app.start({});
    const QString untitled = app.waitForWindow(QStringLiteral("Untitled"));
    ASSERT_FALSE(untitled.isEmpty()) << app.output().toStdString();
    RunningApp::keys(untitled, {QStringLiteral("ctrl+s")});
    const QString dialog = app.waitForWindow(QStringLiteral("Save As"));
    ASSERT_FALSE(dialog.isEmpty()) << app.output().toStdString();
    RunningApp::keys(dialog, {QStringLiteral("ctrl+a")});
    RunningApp::type(dialog, home.filePath(QStringLiteral("Limited")));
    RunningApp::keys(dialog, {QStringLiteral("Return")});

    const QString report = app.waitForWindow(QStringLiteral("Velquine"));
    RunningApp::screenshot("end-to-end-save-beyond-file-size-limit.png");
    EXPECT_FALSE(report.isEmpty()) << app.output().toStdString();
    EXPECT_TRUE(app.running());
    EXPECT_EQ(QDir(home.path()).entryList({QStringLiteral("*Limited*")}, QDir::Files | QDir::Hidden), QStringList{});
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
    for (const Node& node : document.project().graph.allNodes())
        if (node.title == title)
            return node;
    return std::nullopt;
}

} // namespace

// With no window manager to hand the keyboard on, Ctrl+O and Escape, the preferences and Ctrl+W or Escape, and
// the export window and Escape each leave the map's window with the keyboard: the next command's keys work.
TEST(EndToEnd, WithoutAWindowManagerTheMapWindowGetsTheKeyboardBackWhenADialogCloses)
{
    QTemporaryDir home;
    RunningApp app(home.path());
    app.start({});
    const QString untitled = app.waitForWindow(QStringLiteral("Untitled"));
    ASSERT_FALSE(untitled.isEmpty()) << app.output().toStdString();
    const QSize size = RunningApp::size(untitled);
    xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), untitled, QString::number(size.width() / 2),
             QString::number(size.height() / 2)});

    // Each dialog and window is opened and closed with keys alone; the next command's keys must work at once.
    RunningApp::keys(untitled, {QStringLiteral("ctrl+o")});
    const struct {
        const char* opened;
        const char* closeKeys;
        const char* nextKeys;
    } steps[] = {{"Open", "Escape", "ctrl+o"}, {"Open", "Escape", "ctrl+comma"}, {"Preferences", "ctrl+w", "ctrl+e"},
                 {"Export", "Escape", "ctrl+comma"}, {"Preferences", "Escape", "ctrl+o"}, {"Open", "Escape", nullptr}};
    for (const auto& step : steps) {
        const QString opened = QString::fromLatin1(step.opened);
        ASSERT_FALSE(app.waitForWindow(opened).isEmpty()) << step.opened << " did not open";
        RunningApp::typeKeys({QString::fromLatin1(step.closeKeys)});
        ASSERT_TRUE(app.waitForWindowGone(opened)) << step.opened << " did not close with " << step.closeKeys;
        if (step.nextKeys)
            RunningApp::typeKeys({QString::fromLatin1(step.nextKeys)});
    }
    // The map took no key meant for a dialog: it is as it started.
    EXPECT_FALSE(app.waitForWindow(QStringLiteral("Untitled")).isEmpty());
    EXPECT_TRUE(app.waitForWindowGone(QStringLiteral("Untitled*")));
}

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
    const auto document = DocumentFactory::makeDocumentForURL(map.toStdString(), std::string(VQDocument::documentType));
    EXPECT_EQ(document->project().graph.count(), 3u);
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


namespace {

// Whether the condition holds within the time, asked every 200 ms: the files another process writes.
bool within(int milliseconds, const std::function<bool()>& condition)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > milliseconds)
            return false;
        QThread::msleep(200); // a poll of another process's files
    }
    return true;
}

// Every node of the maps kept for recovery under the home folder.
std::vector<Node> recoveredNodes(const QString& home)
{
    std::vector<Node> nodes;
    QDirIterator copies(home + QStringLiteral("/xdg_data_home/io.kelvarn.velquine/Recovery"),
                        {QStringLiteral("*.radovudo")}, QDir::Files, QDirIterator::Subdirectories);
    while (copies.hasNext()) {
        try {
            const auto document = DocumentFactory::makeDocumentForURL(copies.next().toStdString(),
                                                                      std::string(VQDocument::documentType));
            for (const Node& node : document->project().graph.allNodes())
                nodes.push_back(node);
        } catch (const std::exception&) {
            // A copy being put in place is read at the next look.
        }
    }
    return nodes;
}

bool anyNode(const std::vector<Node>& nodes, const std::function<bool(const Node&)>& test)
{
    return std::any_of(nodes.begin(), nodes.end(), test);
}

std::vector<Node> nodesOfFile(const QString& path)
{
    try {
        return DocumentFactory::makeDocumentForURL(path.toStdString(), std::string(VQDocument::documentType))
            ->project()
            .graph.allNodes();
    } catch (const std::exception&) {
        return {};
    }
}

bool titledIn(const std::vector<Node>& nodes, const std::string& title)
{
    return anyNode(nodes, [&](const Node& node) { return node.title == title; });
}

// The titles of the maps kept for recovery under the home folder.
std::vector<std::string> recoveredTitles(const QString& home)
{
    std::vector<std::string> titles;
    for (const Node& node : recoveredNodes(home))
        titles.push_back(node.title);
    return titles;
}

bool contains(const std::vector<std::string>& titles, const std::string& title)
{
    return std::find(titles.begin(), titles.end(), title) != titles.end();
}

// A root node typed into the map.
void typeRootNode(const QString& window, const QString& title)
{
    RunningApp::keys(window, {QStringLiteral("ctrl+Return")});
    RunningApp::settle();
    RunningApp::type(window, title);
    RunningApp::keys(window, {QStringLiteral("Return")});
}

// A new map's root "Trip" typed and entered, then its child's title "Tickets" typed, the editor left open.
void typeTripAndTickets(const QString& window)
{
    typeRootNode(window, QStringLiteral("Trip"));
    RunningApp::keys(window, {QStringLiteral("Tab")});
    RunningApp::settle();
    RunningApp::type(window, QStringLiteral("Tickets"));
}

} // namespace

// Killed 8 s after typing into a new map, the next start shows the map again; edited every 3 s for 30 s and
// killed, no more than the last 10 s of work are lost; ended with SIGTERM 1 s after an edit, the file holds the
// edit and a new map is kept. The delays are the program's own (5 s after the last change, 10 s after the first).
TEST(EndToEnd, WorkSurvivesKillsAndTerminationSignals)
{
    QTemporaryDir home;
    RunningApp app(home.path());
    app.start({});
    const QString untitled = app.waitForWindow(QStringLiteral("Untitled"));
    ASSERT_FALSE(untitled.isEmpty()) << app.output().toStdString();
    typeTripAndTickets(untitled);
    RunningApp::keys(untitled, {QStringLiteral("Return")});
    QThread::sleep(8); // the scenario: killed 8 s after the last key
    EXPECT_FALSE(app.endWith(SIGKILL));
    const std::vector<std::string> kept = recoveredTitles(home.path());
    EXPECT_TRUE(contains(kept, "Trip") && contains(kept, "Tickets")) << kept.size();

    app.start({});
    const QString recovered = app.waitForWindow(QStringLiteral("Untitled*"));
    ASSERT_FALSE(recovered.isEmpty()) << app.output().toStdString();
    RunningApp::settle();
    RunningApp::screenshot("end-to-end-recovered.png");

    // Steady work: a node every 3 s for 30 s, then killed.
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> entered;
    for (int step = 0; step <= 10; ++step) {
        QThread::msleep(std::max<qint64>(0, step * 3000 - clock.elapsed())); // the pace of the work, not a wait
        typeRootNode(recovered, QStringLiteral("Step %1").arg(step));
        entered.push_back(clock.elapsed());
    }
    const qint64 killed = clock.elapsed();
    EXPECT_FALSE(app.endWith(SIGKILL));
    const std::vector<std::string> steady = recoveredTitles(home.path());
    for (int step = 0; step <= 10; ++step) {
        if (killed - entered[std::size_t(step)] > 11000) { // 10 s, and 1 s for a loaded machine
            EXPECT_TRUE(contains(steady, "Step " + std::to_string(step))) << step << " of " << steady.size();
        }
    }

    // Saved, the map's copy goes; SIGTERM 1 s after an edit ends the program as Quit does.
    app.start({});
    const QString again = app.waitForWindow(QStringLiteral("Untitled*"));
    ASSERT_FALSE(again.isEmpty()) << app.output().toStdString();
    const QString map = home.filePath(QStringLiteral("Trip.radovudo"));
    const QString saved = app.saveWithCtrlS(again, home.filePath(QStringLiteral("Trip")), nullptr);
    ASSERT_FALSE(saved.isEmpty()) << app.output().toStdString();
    EXPECT_TRUE(recoveredTitles(home.path()).empty());
    typeRootNode(saved, QStringLiteral("Last"));
    RunningApp::keys(saved, {QStringLiteral("ctrl+n")});
    const QString fresh = app.waitForWindow(QStringLiteral("Untitled"));
    ASSERT_FALSE(fresh.isEmpty()) << app.output().toStdString();
    typeRootNode(fresh, QStringLiteral("Loose"));
    QThread::sleep(1); // the scenario: 1 s after the edit
    EXPECT_TRUE(app.endWith(SIGTERM)) << app.output().toStdString();
    const auto document = DocumentFactory::makeDocumentForURL(map.toStdString(), std::string(VQDocument::documentType));
    for (const char* title : {"Trip", "Tickets", "Step 0", "Last"})
        EXPECT_TRUE(titled(*document, title)) << title;
    EXPECT_EQ(recoveredTitles(home.path()), std::vector<std::string>{"Loose"});
}

namespace {

// A saved map of a root and one child, the child selected.
void writeSmallMap(const QString& path)
{
    auto document = DocumentFactory::makeUntitledDocument();
    const Node root = document->createRootNode("Root", {0, 0}, false);
    const std::optional<Node> alpha = document->createChildNode(root, "Alpha", std::nullopt, true, false);
    document->projectForLoading().setSelectedNodes({*alpha});
    std::optional<std::string> error;
    ASSERT_TRUE(document->writeToURL(path.toStdString(), std::string(VQDocument::documentType), &error))
        << error.value_or("");
}

// How the work is left under way after a committed edit.
enum class UnderWay { titleEditor, newChildEditor, inspectorNote };

// In a saved map: a child named "Zcommitted" (Tab and the title in one batch, Return), then work left under
// way: the root's title typed as "Typed" without Return, a new child's title "Child typed", or "Noted" in the
// inspector's note box. Once the program has kept it, it is killed: the file holds the committed edit, the
// recovery copy the work under way too, and the next start shows it.
void killedWhileTyping(RunningApp& app, const QString& home, UnderWay underWay, const char* screenshot)
{
    const QString map = home + QStringLiteral("/Map.radovudo");
    writeSmallMap(map);
    app.start({map});
    const QString window = app.waitForWindow(QStringLiteral("Map.radovudo"));
    ASSERT_FALSE(window.isEmpty()) << app.output().toStdString();
    // The new child marks the map edited once it is there; its title editor opens on the turn after, and the
    // title typed at once, before that turn, goes into it.
    RunningApp::keysAtOnce(window, QStringList{QStringLiteral("Tab"), QStringLiteral("shift+z")}
                                       + QStringLiteral("committed").split(QString(), Qt::SkipEmptyParts));
    ASSERT_FALSE(app.waitForWindow(QStringLiteral("Map.radovudo*")).isEmpty()) << app.output().toStdString();
    RunningApp::keys(window, {QStringLiteral("Return")});
    RunningApp::settle();
    std::function<bool(const Node&)> typed;
    switch (underWay) {
    case UnderWay::titleEditor:
        // Up to the child's parent and the root, whose title a printable key starts to edit.
        RunningApp::keys(window, {QStringLiteral("Left"), QStringLiteral("Left")});
        RunningApp::settle();
        RunningApp::type(window, QStringLiteral("Typed"));
        typed = [](const Node& node) { return node.title == "Typed"; };
        break;
    case UnderWay::newChildEditor:
        RunningApp::keys(window, {QStringLiteral("Tab")});
        RunningApp::settle();
        RunningApp::type(window, QStringLiteral("Child typed"));
        typed = [](const Node& node) { return node.title == "Child typed"; };
        break;
    case UnderWay::inspectorNote: {
        // The inspector's content tab, at the right edge, then its note box.
        const QSize size = RunningApp::size(window);
        RunningApp::click(window, size.width() - 17, 101);
        RunningApp::settle();
        RunningApp::click(window, size.width() - 210, 400);
        RunningApp::type(window, QStringLiteral("Noted"));
        typed = [](const Node& node) { return node.title == "Zcommitted" && node.note == "Noted"; };
        break;
    }
    }
    RunningApp::screenshot(screenshot);
    // Within the program's own delays: 5 s after the last key, 10 s after the first change at the latest.
    EXPECT_TRUE(within(20000, [&] { return titledIn(nodesOfFile(map), "Zcommitted"); }))
        << app.output().toStdString();
    EXPECT_TRUE(within(20000, [&] { return anyNode(recoveredNodes(home), typed); })) << app.output().toStdString();
    EXPECT_FALSE(app.endWith(SIGKILL));
    const std::vector<Node> saved = nodesOfFile(map);
    EXPECT_TRUE(titledIn(saved, "Zcommitted") && titledIn(saved, "Alpha") && titledIn(saved, "Root")
                && !anyNode(saved, typed));

    app.start({});
    const QString recovered = app.waitForWindow(QStringLiteral("Map.radovudo*"));
    EXPECT_FALSE(recovered.isEmpty()) << app.output().toStdString();
    app.stop();
}

} // namespace

// Work left under way in an editor is kept like any other: the title editor, a new child's editor and the
// inspector's note box, each in a saved map killed once the program has kept it.
TEST(EndToEnd, WorkUnderWayInAnEditorSurvivesAKill)
{
    for (const auto& [underWay, screenshot] :
         {std::pair{UnderWay::titleEditor, "end-to-end-typing-title.png"},
          std::pair{UnderWay::newChildEditor, "end-to-end-typing-new-child.png"},
          std::pair{UnderWay::inspectorNote, "end-to-end-typing-inspector-note.png"}}) {
        QTemporaryDir home;
        RunningApp app(home.path());
        killedWhileTyping(app, home.path(), underWay, screenshot);
    }
}

// A new map: a committed title, then a child's title editor left open; killed, the next start shows both.
TEST(EndToEnd, ANewMapWithAnOpenTitleEditorSurvivesAKill)
{
    QTemporaryDir home;
    RunningApp app(home.path());
    app.start({});
    const QString untitled = app.waitForWindow(QStringLiteral("Untitled"));
    ASSERT_FALSE(untitled.isEmpty()) << app.output().toStdString();
    typeTripAndTickets(untitled);
    EXPECT_TRUE(within(20000, [&] {
        const std::vector<Node> kept = recoveredNodes(home.path());
        return titledIn(kept, "Trip") && titledIn(kept, "Tickets");
    })) << app.output().toStdString();
    EXPECT_FALSE(app.endWith(SIGKILL));
    app.start({});
    EXPECT_FALSE(app.waitForWindow(QStringLiteral("Untitled*")).isEmpty()) << app.output().toStdString();
    RunningApp::settle();
    RunningApp::screenshot("end-to-end-recovered-open-editor.png");
}

namespace {

// A window manager (Openbox) on the test's display while alive; running() is false when it did not come up, and
// failure() says why.
class WindowManager {
public:
    WindowManager()
    {
        // Openbox runs its start-up command once it manages windows, and the command's words come down its pipe.
        // The root window's _NET_SUPPORTING_WM_CHECK would not do: an Openbox that has ended leaves it behind, and
        // a new one names itself there before it takes windows in. A program started meanwhile maps its window
        // while Openbox comes up, and the window stays unmapped.
        process_.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable"), QStringLiteral("--startup"),
                                                   QStringLiteral("echo managing windows")});
        if (!process_.waitForStarted(10000))
            return;
        QElapsedTimer clock;
        clock.start();
        QByteArray said;
        while (!said.contains("managing windows") && clock.elapsed() < 10000 && process_.state() == QProcess::Running
               && process_.waitForReadyRead(int(10000 - clock.elapsed())))
            said += process_.readAllStandardOutput();
        running_ = said.contains("managing windows");
    }
    ~WindowManager()
    {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
        process_.waitForFinished(5000);
    }
    bool running() const { return running_; }
    std::string failure()
    {
        return "openbox did not come up (" + process_.errorString().toStdString() + "): "
            + process_.readAllStandardError().toStdString();
    }

private:
    QProcess process_;
    bool running_ = false;
};

} // namespace

// The same under a window manager, which places, frames and focuses the windows itself.
TEST(EndToEnd, WorkUnderWayInAnEditorSurvivesAKillUnderAWindowManager)
{
    WindowManager manager;
    ASSERT_TRUE(manager.running()) << manager.failure();
    QTemporaryDir home;
    RunningApp app(home.path());
    killedWhileTyping(app, home.path(), UnderWay::titleEditor, "end-to-end-typing-title-window-manager.png");
}

// Under a window manager the keyboard shortcuts panel opens with its frame wholly on the screen, has the
// keyboard, and closes on Escape and on Ctrl+/ again.
TEST(EndToEnd, UnderAWindowManagerTheShortcutsPanelOpensOnTheScreenAndClosesWithItsKeys)
{
    WindowManager manager;
    ASSERT_TRUE(manager.running()) << manager.failure();
    QTemporaryDir home;
    RunningApp app(home.path());
    app.start({});
    const QString untitled = app.waitForWindow(QStringLiteral("Untitled"));
    ASSERT_FALSE(untitled.isEmpty()) << app.output().toStdString();
    const QString title = QStringLiteral("Keyboard Shortcuts");
    for (const QString& closeKey : {QStringLiteral("Escape"), QStringLiteral("ctrl+slash")}) {
        RunningApp::keys(untitled, {QStringLiteral("ctrl+slash")});
        const QString panel = app.waitForWindow(title);
        ASSERT_FALSE(panel.isEmpty()) << app.output().toStdString();
        RunningApp::settle();
        // The panel's inner top edge on the screen and the frame's margins (left, right, top, bottom).
        const QString geometry = xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), panel});
        QProcess xprop;
        xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), panel, QStringLiteral("_NET_FRAME_EXTENTS")});
        xprop.waitForFinished(5000);
        const QString frame = QString::fromLocal8Bit(xprop.readAllStandardOutput());
        const QRegularExpressionMatch top = QRegularExpression(QStringLiteral("Y=(-?\\d+)")).match(geometry);
        const QRegularExpressionMatch margins = QRegularExpression(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)")).match(frame);
        ASSERT_TRUE(top.hasMatch() && margins.hasMatch()) << geometry.toStdString() << frame.toStdString();
        EXPECT_GT(margins.captured(3).toInt(), 0) << "no title bar";
        EXPECT_GE(top.captured(1).toInt() - margins.captured(3).toInt(), 0) << "the title bar is above the screen";
        RunningApp::screenshot("end-to-end-shortcuts-panel-window-manager.png");
        RunningApp::typeKeys({closeKey}); // wherever the keyboard is
        EXPECT_TRUE(app.waitForWindowGone(title)) << closeKey.toStdString();
    }
    EXPECT_FALSE(app.waitForWindow(QStringLiteral("Untitled")).isEmpty()); // the map stays open
}

// With too little room in the cache folder to unpack a map while keeping the 100 MB reserve, the map is not
// called damaged: the program says how much room it needs, where; the copy of a map kept from a killed session
// stays where it is and opens at the next start that has the room.
TEST(EndToEnd, WithoutRoomToOpenNothingIsCalledDamagedAndTheRecoveryCopyWaits)
{
    if (!RunningApp::mountsOfItsOwnPossible())
        GTEST_SKIP() << "no mounts of its own for the program here";
    QTemporaryDir home;
    RunningApp app(home.path());
    app.start({});
    const QString untitled = app.waitForWindow(QStringLiteral("Untitled"));
    ASSERT_FALSE(untitled.isEmpty()) << app.output().toStdString();
    typeRootNode(untitled, QStringLiteral("Kept"));
    ASSERT_TRUE(within(20000, [&] { return titledIn(recoveredNodes(home.path()), "Kept"); }));
    EXPECT_FALSE(app.endWith(SIGKILL));

    const QString map = home.filePath(QStringLiteral("Map.radovudo"));
    writeSmallMap(map);
    app.mountSmallDisk(QStringLiteral("xdg_cache_home"), 8 << 20);
    app.start({map});
    EXPECT_FALSE(app.waitForWindow(QStringLiteral("Velquine")).isEmpty()) << app.output().toStdString();
    EXPECT_TRUE(app.waitForOutput(QStringLiteral("cannot open ") + map
                                  + QStringLiteral(": There is not enough free space to open the document")));
    EXPECT_TRUE(app.waitForOutput(QStringLiteral("cannot read the copy of Untitled now: There is not enough free "
                                                 "space to open the document")));
    RunningApp::screenshot("end-to-end-no-room-to-open.png");
    EXPECT_FALSE(app.output().contains(QStringLiteral("damaged"))) << app.output().toStdString();
    app.stop();
    EXPECT_TRUE(titledIn(recoveredNodes(home.path()), "Kept"));
    EXPECT_FALSE(QFileInfo::exists(home.filePath(QStringLiteral("xdg_data_home/io.kelvarn.velquine/Recovery/Unreadable"))));

    // Room again: both open.
    app.start({map});
    EXPECT_FALSE(app.waitForWindow(QStringLiteral("Map.radovudo")).isEmpty()) << app.output().toStdString();
    EXPECT_FALSE(app.waitForWindow(QStringLiteral("Untitled*")).isEmpty()) << app.output().toStdString();
}

// With the data folder full, a map is saved all the same where the user chose, and the copy that could not be
// kept for recovery meanwhile is told, not only logged.
TEST(EndToEnd, AFullDataFolderCostsNoSaveAndAFailedRecoveryCopyIsShown)
{
    if (!RunningApp::mountsOfItsOwnPossible())
        GTEST_SKIP() << "no mounts of its own for the program here";
    QTemporaryDir home;
    RunningApp app(home.path());
    app.mountSmallDisk(QStringLiteral("xdg_data_home"), 4096);
    app.start({});
    const QString untitled = app.waitForWindow(QStringLiteral("Untitled"));
    ASSERT_FALSE(untitled.isEmpty()) << app.output().toStdString();
    typeRootNode(untitled, QStringLiteral("Plan"));
    const QString report = app.waitForWindow(QStringLiteral("Velquine"));
    ASSERT_FALSE(report.isEmpty()) << app.output().toStdString();
    EXPECT_TRUE(app.waitForOutput(QStringLiteral("the unsaved changes of Untitled could not be copied")));
    RunningApp::screenshot("end-to-end-recovery-copy-failed.png");
    RunningApp::keys(report, {QStringLiteral("Return")});

    const QString saved = app.saveWithCtrlS(untitled, home.filePath(QStringLiteral("Plan")), nullptr);
    ASSERT_FALSE(saved.isEmpty()) << app.output().toStdString();
    EXPECT_TRUE(titledIn(nodesOfFile(home.filePath(QStringLiteral("Plan.radovudo"))), "Plan"));
    EXPECT_EQ(QDir(home.path()).entryList({QStringLiteral(".Plan*")}, QDir::Hidden | QDir::AllEntries), QStringList{});
}

// Thirty maps left unsaved by killed sessions: a start shows the ten most recent and tells once how many more are
// kept and where; they all stay on disk.
TEST(EndToEnd, ManyRecoveryCopiesOpenTenAtATimeAndTheRestAreTold)
{
    QTemporaryDir home;
    const QString recovery = home.filePath(QStringLiteral("xdg_data_home/io.kelvarn.velquine/Recovery"));
    const QString left = recovery + QStringLiteral("/0A4E8C16-1F52-4E43-9C35-3A8E2A1B7D00");
    ASSERT_TRUE(QDir().mkpath(left));
    auto document = DocumentFactory::makeUntitledDocument();
    document->createRootNode("Kept", {0, 0}, false);
    const QString copy = home.filePath(QStringLiteral("copy.radovudo"));
    ASSERT_TRUE(document->writeToURL(copy.toStdString(), std::string(VQDocument::documentType), nullptr));
    for (int number = 1; number <= 30; ++number) {
        const QString id = QStringLiteral("6B0C3D0E-5A43-4E7F-8B7C-2C7C8D0F1A%1").arg(number, 2, 10, QChar(u'0'));
        ASSERT_TRUE(QFile::copy(copy, left + u'/' + id + QStringLiteral(".radovudo")));
        QFile description(left + u'/' + id + QStringLiteral(".json"));
        ASSERT_TRUE(description.open(QIODevice::WriteOnly));
        description.write(QStringLiteral("{\"untitled\": %1}").arg(number).toUtf8());
    }
    RunningApp app(home.path());
    app.start({});
    const QString notice = app.waitForWindow(QStringLiteral("Velquine"));
    ASSERT_FALSE(notice.isEmpty()) << app.output().toStdString();
    // Windows just mapped are still black until their first paint.
    RunningApp::settle();
    RunningApp::screenshot("end-to-end-many-recovery-copies.png");
    const QStringList windows = xdotool({QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                                         QStringLiteral("--name"), QStringLiteral("^Untitled( [0-9]+)?\\*$")})
                                    .split(u'\n', Qt::SkipEmptyParts);
    EXPECT_EQ(windows.size(), 10);
    QDirIterator copies(recovery, {QStringLiteral("*.radovudo")}, QDir::Files, QDirIterator::Subdirectories);
    int kept = 0;
    while (copies.hasNext() && !copies.next().isEmpty())
        ++kept;
    EXPECT_EQ(kept, 30);
}

namespace {

// A map of a root with a child for each picture, written by the program's own document code, the pictures stored
// as the bytes given.
void writeMapOfPictures(const QString& path, const std::vector<QByteArray>& pictures)
{
    const std::shared_ptr<VQDocument> document = DocumentFactory::makeUntitledDocument();
    document->beginEditingSession("Pictures");
    const Node root = document->createRootNode("Pictures", {0, 0}, false);
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        std::optional<Node> child = document->createChildNode(root.uid, "Picture " + std::to_string(i + 1));
        ASSERT_TRUE(child);
        child->setUnreadPicture(Bytes(pictures[i].begin(), pictures[i].end()));
        document->updateNodes({*child}, NodeUpdateOperation::imageSet, false);
    }
    document->commitEditingSession();
    std::optional<std::string> error;
    ASSERT_TRUE(document->writeToURL(path.toStdString(), std::string(VQDocument::documentType), &error))
        << error.value_or("");
}

// The bytes of the pictures the map's file holds, by the titles of their nodes.
std::map<std::string, QByteArray> picturesOfFile(const QString& path)
{
    std::map<std::string, QByteArray> pictures;
    for (const Node& node : nodesOfFile(path))
        if (const Bytes* kept = node.keptPictureBytes())
            pictures[node.title] = QByteArray(reinterpret_cast<const char*>(kept->data()), qsizetype(kept->size()));
    return pictures;
}

// How long the program takes to show the map's window, and the window; an empty one after 20 s.
std::pair<qint64, QString> timeToWindow(RunningApp& app, const QString& map)
{
    QElapsedTimer clock;
    clock.start();
    app.start({map});
    const QString window = app.waitForWindow(QFileInfo(map).fileName());
    return {clock.elapsed(), window};
}

} // namespace

// A map whose pictures each take Qt's rasterizer tens of seconds (a filled path of a thousand edges across a
// 2,000-point picture) beside an MNG animation looping for ever over nothing: each is read in the picture
// reader, bounded by its processor time, while the window is up as soon as for a map of ordinary pictures and
// answers Ctrl+Q and SIGTERM at once; an edit saved keeps every picture's bytes in the file.
TEST(EndToEnd, PicturesThatNeverEndToReadLeaveTheWindowAnsweringAndStayInTheMap)
{
    QTemporaryDir home;
    std::vector<QByteArray> slow(20, zigzagSvg(1000));
    slow.push_back(mng(16, 16, {loop(0x7fffffff), endOfLoop()}));
    const QString map = home.filePath(QStringLiteral("Slow.radovudo"));
    const QString plain = home.filePath(QStringLiteral("Plain.radovudo"));
    writeMapOfPictures(map, slow);
    writeMapOfPictures(plain, {encoded(QImage(40, 30, QImage::Format_RGB32), "PNG")});
    const std::map<std::string, QByteArray> stored = picturesOfFile(map);
    ASSERT_EQ(stored.size(), 21u);
    RunningApp app(home.path());
    // The program built with the sanitizers starts, reads and ends a few times slower.
    const int slowdown = PictureSandbox::slowdown();

    // The window of a map of one ordinary picture, then of the slow one, each ended with Ctrl+Q at once.
    std::pair<qint64, QString> shown[2];
    for (int which : {0, 1}) {
        shown[which] = timeToWindow(app, which == 0 ? plain : map);
        ASSERT_FALSE(shown[which].second.isEmpty()) << app.output().toStdString();
        QElapsedTimer clock;
        clock.start();
        RunningApp::keys(shown[which].second, {QStringLiteral("ctrl+q")});
        EXPECT_TRUE(app.waitForExit()) << app.output().toStdString();
        EXPECT_LT(clock.elapsed(), 2000 * slowdown) << "Ctrl+Q while the pictures are read";
    }
    // The open waits for its pictures a moment at most, however long they take.
    EXPECT_LT(shown[1].first, shown[0].first + 3000 * slowdown) << shown[0].first;

    // SIGTERM a second into the open ends the program, the file as it was.
    app.start({map});
    QThread::msleep(1000 * slowdown); // the scenario: the open is under way
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(app.endWith(SIGTERM)) << app.output().toStdString();
    EXPECT_LT(clock.elapsed(), 3000 * slowdown) << "SIGTERM during the open";
    EXPECT_EQ(picturesOfFile(map), stored);

    // Read beside the window, the pictures are named in one report once all are answered; an edit saved keeps
    // every picture.
    const QString window = timeToWindow(app, map).second;
    ASSERT_FALSE(window.isEmpty()) << app.output().toStdString();
    EXPECT_FALSE(app.waitForWindow(QStringLiteral("Velquine")).isEmpty()) << "the report of the pictures not shown";
    RunningApp::settle();
    RunningApp::screenshot("end-to-end-pictures-not-shown.png");
    RunningApp::keys(app.waitForWindow(QStringLiteral("Velquine")), {QStringLiteral("Return")});
    typeRootNode(window, QStringLiteral("Edited"));
    RunningApp::keys(window, {QStringLiteral("ctrl+s")});
    EXPECT_FALSE(app.waitForWindow(QStringLiteral("Slow.radovudo")).isEmpty()) << "saved";
    RunningApp::keys(window, {QStringLiteral("ctrl+q")});
    EXPECT_TRUE(app.waitForExit()) << app.output().toStdString();
    // Each picture is refused for its processor time, or, on a machine too busy to give it that in time, for
    // the map's deadline (the log is read once the program has ended and flushed it).
    const QStringList refusals = app.output().split(u'\n').filter(QStringLiteral("is not shown: "));
    EXPECT_EQ(refusals.size(), 21) << app.output().toStdString();
    for (const QString& refusal : refusals)
        EXPECT_TRUE(refusal.endsWith(QString::fromStdString(PictureReader::tookTooLong(3)))
                    || refusal.endsWith(QString::fromStdString(PictureReading::pastDeadline(DocumentPictures::mapDeadline))))
            << refusal.toStdString();
    EXPECT_EQ(picturesOfFile(map), stored);
    EXPECT_TRUE(contains([&] {
        std::vector<std::string> titles;
        for (const Node& node : nodesOfFile(map))
            titles.push_back(node.title);
        return titles;
    }(), "Edited"));
}

// Pictures past the reader's memory bound (here set low, so that an ordinary photo passes it) and pictures whose
// decoder crashes are refused, each with its reason in the report, and the map opens with them kept.
TEST(EndToEnd, PicturesPastTheMemoryBoundOrWhoseDecoderCrashesAreReportedAndKept)
{
    QTemporaryDir home;
    QImage photo(3000, 2000, QImage::Format_RGB32);
    photo.fill(Qt::darkGreen);
    const QString map = home.filePath(QStringLiteral("Photos.radovudo"));
    writeMapOfPictures(map, {encoded(photo, "PNG"), encoded(photo, "JPEG")});
    const std::map<std::string, QByteArray> stored = picturesOfFile(map);
    const QString reader = home.filePath(QStringLiteral("reader"));
    const auto useReader = [&](const QString& script) {
        QFile file(reader);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("#!/bin/sh\n" + script.toUtf8() + "\n");
        file.close();
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    };
    RunningApp app(home.path());
    app.setEnvironment(QStringLiteral("VELQUINE_PICTURE_READER"), reader);
    const std::pair<QString, const char*> readers[] = {
        {QStringLiteral("exec '" VELQUINE_PICTURE_READER_PATH "' \"$@\" --memory-megabytes 20"), "needed more than 20 MB"},
        {QStringLiteral("head -c 100 >/dev/null; kill -SEGV $$"), "its decoder failed on it"}};
    for (const auto& [script, reason] : readers) {
        if (PictureSandbox::underSanitizer() && script.contains(QStringLiteral("--memory-megabytes")))
            continue; // the sanitizers' shadow memory leaves the reader without a memory bound
        useReader(script);
        const QString window = timeToWindow(app, map).second;
        ASSERT_FALSE(window.isEmpty()) << app.output().toStdString();
        const QString report = app.waitForWindow(QStringLiteral("Velquine"));
        ASSERT_FALSE(report.isEmpty()) << reason;
        RunningApp::settle();
        RunningApp::screenshot("end-to-end-pictures-refused.png");
        RunningApp::keys(report, {QStringLiteral("Return")});
        RunningApp::keys(window, {QStringLiteral("ctrl+q")});
        EXPECT_TRUE(app.waitForExit()) << app.output().toStdString();
        EXPECT_TRUE(app.output().contains(QString::fromLatin1(reason))) << app.output().toStdString();
        EXPECT_EQ(picturesOfFile(map), stored) << reason;
    }
}
