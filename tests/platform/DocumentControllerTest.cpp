#include "platform/DocumentController.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/Log.h"
#include "platform/RecentDocuments.h"
#include "platform/RunLoop.h"
#include "platform/UserDefaults.h"

using namespace velquine;

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A document of one line of text; "broken" files fail to read. Typed text is a change under way until it is
// committed or given up.
class TextDocument : public Document {
public:
    std::string text;
    std::optional<std::string> typed;

    void edit(const std::string& newText)
    {
        text = newText;
        updateChangeCount(DocumentChange::done);
    }
    void type(const std::string& newText)
    {
        typed = newText;
        uncommittedChangesChanged();
    }
    void giveUpTyping()
    {
        typed.reset();
        uncommittedChangesChanged();
    }
    // The text as it is when the write is taken, written when it runs.
    struct TextWrite : DocumentWrite {
        std::string url, content;
        bool run(std::optional<std::string>* error, std::string*) override { return writeText(url, content, error); }
    };
    std::unique_ptr<DocumentWrite> makeWrite(const std::string& url, const std::string&, WriteContent content,
                                             std::optional<std::string>*) override
    {
        auto write = std::make_unique<TextWrite>();
        write->url = url;
        write->content = content == WriteContent::asItStands ? typed.value_or(text) : text;
        return write;
    }
    static bool writeText(const std::string& url, const std::string& content, std::optional<std::string>* error)
    {
        std::ofstream out(url, std::ios::binary | std::ios::trunc);
        if (!out) {
            *error = "cannot write " + url;
            return false;
        }
        out << content;
        return true;
    }
    bool revertToContentsOfURL(const std::string& url, const std::string&, std::optional<std::string>*) override
    {
        text = readFile(url);
        return true;
    }
    void failRead() { setReadFailed(true); }
    bool hasOpenEditingSession() const override { return typed.has_value(); }
    bool hasUncommittedChanges() const override { return typed.has_value(); }
    std::string defaultSaveType() const override { return "text"; }
    std::string defaultSaveExtension() const override { return "txt"; }
};

// Windows and questions as a test sees them: answers given in advance, everything asked recorded.
class ScriptedHost : public DocumentControllerHost {
public:
    std::vector<std::string> log;
    std::deque<std::optional<std::string>> savePaths;
    std::deque<SaveChangesAnswer> saveAnswers;
    bool overwrite = false;
    bool roomToOpen = true;
    int terminated = 0;
    DocumentController* controller = nullptr;
    // Runs while a question about saving is open, as the main loop does under a dialog.
    std::function<void(Document&)> whileAsking;

    std::shared_ptr<Document> makeUntitledDocument() override { return std::make_shared<TextDocument>(); }
    std::shared_ptr<Document> makeDocument(const std::string& path) override
    {
        auto document = std::make_shared<TextDocument>();
        document->text = readFile(path);
        if (document->text == "broken")
            throw std::runtime_error("Document Archive doesn't contain a sqlite database!");
        if (document->text.starts_with("roomy") && !roomToOpen)
            throw EnvironmentError("There is not enough free space to open the document.");
        document->setFileURL(path);
        document->setFileType("text");
        return document;
    }
    void showDocument(const std::shared_ptr<Document>& d) override { log.push_back("show " + name(*d)); }
    void bringDocumentForward(Document& d) override { log.push_back("front " + name(d)); }
    void closeDocumentWindow(Document& d) override
    {
        log.push_back("close " + name(d));
        if (controller->shouldCloseDocument(d))
            controller->documentWindowClosed(d);
    }
    void documentStateChanged(Document&) override {}
    void terminate() override { ++terminated; }
    std::vector<std::string> runOpenPanel() override { return {}; }
    std::optional<std::string> runSavePanel(Document&, const std::string& suggested) override
    {
        log.push_back("save panel " + suggested);
        auto path = savePaths.front();
        savePaths.pop_front();
        return path;
    }
    SaveChangesAnswer askToSaveChanges(Document& d, bool quitting) override
    {
        log.push_back(std::string(quitting ? "ask quit " : "ask close ") + name(d));
        if (whileAsking)
            whileAsking(d);
        auto answer = saveAnswers.front();
        saveAnswers.pop_front();
        return answer;
    }
    bool askToOverwriteChangedFile(Document& d) override
    {
        log.push_back("ask overwrite " + name(d));
        return overwrite;
    }
    bool askToRevert(Document&) override { return true; }
    void showOpenError(const std::string& path, const std::string& reason) override
    {
        log.push_back("open error " + QFileInfo(QString::fromStdString(path)).fileName().toStdString() + ": " + reason);
    }
    void showOpenWarning(Document& d, const std::string& path, const std::string& reason) override
    {
        log.push_back("open warning " + name(d) + " from " + QFileInfo(QString::fromStdString(path)).fileName().toStdString()
                      + ": " + reason);
    }
    void showSaveError(Document& d, const std::string& reason, ReportTiming timing) override
    {
        log.push_back(std::string(timing == ReportTiming::untilRead ? "read " : "") + "save error " + name(d) + ": "
                      + reason);
    }
    void showRecoveryCopyError(Document& d, const std::string& reason) override
    {
        log.push_back("copy error " + name(d) + ": " + reason);
    }
    void showRecoveredCopiesLeft(std::size_t count, const std::string& folder) override
    {
        log.push_back(std::to_string(count) + " copies left in " + folder);
    }
    std::string name(const Document& d) const { return controller->displayName(d); }
};

bool waitUntil(const std::function<bool()>& done, int milliseconds = 3000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > milliseconds)
            return false;
        QCoreApplication::processEvents();
        QThread::msleep(2); // a poll
    }
    return true;
}

void spin(int milliseconds)
{
    waitUntil([] { return false; }, milliseconds);
}

struct ControllerTest : ::testing::Test {
    ScopedStandardUserDefaults settings;
    QTemporaryDir dir;
    ScriptedHost host;
    DocumentController controller{host};
    ControllerTest()
    {
        host.controller = &controller;
        controller.setAutosaveDelay(std::chrono::milliseconds(30));
    }
    std::string path(const char* name) const { return dir.filePath(QString::fromLatin1(name)).toStdString(); }
    std::string write(const char* name, const std::string& text) const
    {
        std::ofstream(path(name), std::ios::binary) << text;
        return path(name);
    }
    TextDocument& open(const char* name, const std::string& text)
    {
        return static_cast<TextDocument&>(*controller.openDocumentWithContentsOfURL(write(name, text)));
    }
};

} // namespace

TEST(DocumentEditedState, DoneUndoneRedoneMoveTheCountAndSavingClearsItOnlyOnSuccess)
{
    QTemporaryDir dir;
    TextDocument document;
    int calls = 0;
    document.setChangeCountCallback([&] { ++calls; });
    document.edit("a");
    document.edit("b");
    document.updateChangeCount(DocumentChange::undone);
    EXPECT_EQ(document.changeCount(), 1);
    document.updateChangeCount(DocumentChange::redone);
    EXPECT_EQ(document.changeCount(), 2);
    EXPECT_EQ(calls, 4);

    std::optional<std::string> error;
    EXPECT_FALSE(document.saveToURL(dir.filePath("no/such/folder.txt").toStdString(), "text", SaveOperation::saveAs, &error));
    EXPECT_TRUE(document.isDocumentEdited());
    EXPECT_FALSE(document.fileURL());
    EXPECT_TRUE(error && error->starts_with("cannot write"));

    const std::string file = dir.filePath("a.txt").toStdString();
    ASSERT_TRUE(document.saveToURL(file, "text", SaveOperation::saveAs, &error));
    EXPECT_FALSE(document.isDocumentEdited());
    EXPECT_EQ(document.fileURL(), file);
    // Undoing past the saved state is a change too.
    document.updateChangeCount(DocumentChange::undone);
    EXPECT_TRUE(document.isDocumentEdited());

    EXPECT_FALSE(document.fileChangedOnDisk());
    QThread::msleep(20); // fixed: the clock moves on, so another program's write changes the modification time
    std::ofstream(file, std::ios::app) << "more";
    EXPECT_TRUE(document.fileChangedOnDisk());
    ASSERT_TRUE(document.revertToSaved(&error));
    EXPECT_EQ(document.text, "bmore");
    EXPECT_FALSE(document.isDocumentEdited());
    EXPECT_FALSE(document.fileChangedOnDisk());
}

TEST_F(ControllerTest, AutosavesInPlaceAfterAQuietMomentButNeverAFailedRead)
{
    TextDocument& document = open("a.txt", "one");
    document.edit("two");
    ASSERT_TRUE(waitUntil([&] { return readFile(path("a.txt")) == "two" && !controller.isWriting(document); }));
    EXPECT_FALSE(document.isDocumentEdited());

    TextDocument& failed = open("b.txt", "kept");
    failed.failRead();
    failed.edit("empty");
    spin(120);
    EXPECT_EQ(readFile(path("b.txt")), "kept");
    EXPECT_TRUE(failed.isDocumentEdited());

    // Another program changed the file: the automatic save leaves it alone and the next save asks.
    QThread::msleep(20); // fixed: the clock moves on, so another program's write changes the modification time
    write("a.txt", "theirs");
    document.edit("mine");
    spin(120);
    EXPECT_EQ(readFile(path("a.txt")), "theirs");
    host.overwrite = false;
    EXPECT_FALSE(controller.saveDocument(document));
    EXPECT_EQ(readFile(path("a.txt")), "theirs");
    host.overwrite = true;
    EXPECT_TRUE(controller.saveDocument(document));
    EXPECT_EQ(readFile(path("a.txt")), "mine");
    EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "ask overwrite a.txt"), 2);

    // Ending without questions: what may be saved in place is, a file changed by another program is not.
    controller.setAutosaveDelay(std::chrono::hours(1));
    TextDocument& other = open("c.txt", "one");
    document.edit("last");
    other.edit("two");
    QThread::msleep(20); // fixed: the clock moves on, so another program's write changes the modification time
    write("c.txt", "theirs");
    controller.autosaveAllQuietly();
    EXPECT_EQ(readFile(path("a.txt")), "last");
    EXPECT_EQ(readFile(path("c.txt")), "theirs");
    EXPECT_EQ(readFile(path("b.txt")), "kept");
}

TEST_F(ControllerTest, OpeningTwiceBringsTheWindowForwardAndFailuresAreShownWithTheReadersMessage)
{
    open("a.txt", "one");
    controller.openDocumentWithContentsOfURL(dir.path().toStdString() + "/./a.txt");
    EXPECT_FALSE(controller.openDocumentWithContentsOfURL(write("bad.txt", "broken")));
    controller.openDocumentWithContentsOfURL(path("missing.txt"));
    controller.openDocumentWithContentsOfURL(dir.path().toStdString());
    EXPECT_EQ(host.log, (std::vector<std::string>{"show a.txt", "front a.txt",
                                                  "open error bad.txt: Document Archive doesn't contain a sqlite database!",
                                                  "open error missing.txt: There is no such file.",
                                                  "open error " + dir.path().section('/', -1).toStdString()
                                                      + ": It is a folder, not a file."}));
    EXPECT_EQ(controller.documents().size(), 1u);

    // Recent documents: newest first, files gone dropped.
    open("b.txt", "two");
    open("c.txt", "three");
    QFile::remove(QString::fromStdString(path("b.txt")));
    EXPECT_EQ(RecentDocuments::paths(), (std::vector<std::string>{path("c.txt"), path("a.txt")}));
}

TEST_F(ControllerTest, ClosingAsksOnlyForUntitledChangesAndTheLastWindowQuits)
{
    TextDocument& saved = open("a.txt", "one");
    saved.edit("two");
    EXPECT_TRUE(controller.shouldCloseDocument(saved)); // saved in place, no question
    EXPECT_EQ(readFile(path("a.txt")), "two");

    auto& untitled = static_cast<TextDocument&>(*controller.newDocument());
    auto& second = static_cast<TextDocument&>(*controller.newDocument());
    EXPECT_EQ(controller.displayName(second), "Untitled 2");
    untitled.edit("draft");
    host.saveAnswers = {SaveChangesAnswer::cancel, SaveChangesAnswer::save};
    host.savePaths = {std::nullopt};
    EXPECT_FALSE(controller.shouldCloseDocument(untitled)); // Cancel
    EXPECT_FALSE(controller.shouldCloseDocument(untitled)); // Save, then the panel cancelled
    host.saveAnswers = {SaveChangesAnswer::save};
    host.savePaths = {path("draft")};
    EXPECT_TRUE(controller.shouldCloseDocument(untitled));
    EXPECT_EQ(readFile(path("draft.txt")), "draft"); // the extension added
    EXPECT_EQ(host.log.back(), "save panel Untitled.txt");

    controller.documentWindowClosed(saved);
    controller.documentWindowClosed(untitled);
    EXPECT_EQ(host.terminated, 0);
    EXPECT_TRUE(controller.shouldCloseDocument(second)); // unchanged: no question
    controller.documentWindowClosed(second);
    EXPECT_EQ(host.terminated, 1);
}

TEST_F(ControllerTest, QuittingReviewsEveryDocumentAndCancelStopsIt)
{
    TextDocument& file = open("a.txt", "one");
    auto& untitled = static_cast<TextDocument&>(*controller.newDocument());
    file.edit("two");
    untitled.edit("draft");
    host.saveAnswers = {SaveChangesAnswer::cancel};
    EXPECT_FALSE(controller.terminate());
    EXPECT_EQ(host.terminated, 0);
    EXPECT_EQ(controller.documents().size(), 2u);
    EXPECT_EQ(readFile(path("a.txt")), "two"); // the file's changes are saved on the way

    host.saveAnswers = {SaveChangesAnswer::dontSave};
    EXPECT_TRUE(controller.terminate());
    EXPECT_EQ(host.terminated, 1);
    EXPECT_TRUE(controller.documents().empty());
    EXPECT_EQ(std::count(host.log.begin(), host.log.end(), "ask quit Untitled"), 2);

    // A file that cannot be written: the error is shown and the user picks another place.
    TextDocument& locked = open("b.txt", "one");
    locked.edit("two");
    locked.setFileURL(path("gone/b.txt"));
    host.saveAnswers = {SaveChangesAnswer::save};
    host.savePaths = {path("c.txt")};
    EXPECT_TRUE(controller.shouldCloseDocument(locked));
    EXPECT_EQ(readFile(path("c.txt")), "two");
    // The error is read before the question comes.
    const auto failed = std::find(host.log.begin(), host.log.end(),
                                  "read save error b.txt: cannot write " + path("gone/b.txt"));
    ASSERT_NE(failed, host.log.end());
    EXPECT_EQ(*std::next(failed), "ask close b.txt");
}

TEST_F(ControllerTest, SteadyWorkIsSavedNoLaterThanTheLongestDelayAfterItsFirstChange)
{
    controller.setAutosaveDelay(std::chrono::milliseconds(200));
    controller.setLongestAutosaveDelay(std::chrono::milliseconds(300));
    TextDocument& document = open("a.txt", "one");
    // A change every 50 ms never leaves a quiet moment of 200 ms.
    QElapsedTimer clock;
    clock.start();
    std::string savedWhileEditing;
    for (int edit = 0; clock.elapsed() < 1200; ++edit) {
        document.edit("edit " + std::to_string(edit));
        spin(50);
        if (readFile(path("a.txt")) != "one")
            savedWhileEditing = readFile(path("a.txt"));
    }
    EXPECT_FALSE(savedWhileEditing.empty());
}

namespace {

std::vector<std::string> filesIn(const QString& folder)
{
    std::vector<std::string> names;
    QDirIterator files(folder, QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext())
        names.push_back(QDir(folder).relativeFilePath(files.next()).toStdString());
    std::sort(names.begin(), names.end());
    return names;
}

// The texts of the copies kept in the recovery folder, in order.
std::vector<std::string> copiedTexts(const QString& folder)
{
    std::vector<std::string> texts;
    for (const std::string& name : filesIn(folder))
        if (!name.ends_with(".json"))
            texts.push_back(readFile((folder + u'/').toStdString() + name));
    std::sort(texts.begin(), texts.end());
    return texts;
}

} // namespace

// A program killed with unsaved changes: the next one shows them again, named as before, and lets them go once
// they are saved or the user does not want them.
TEST_F(ControllerTest, UnsavedChangesAreKeptApartAndComeBackAtTheNextStart)
{
    const QString folder = dir.filePath(QStringLiteral("recovery"));
    ScriptedHost firstHost;
    auto first = std::make_unique<DocumentController>(firstHost);
    firstHost.controller = first.get();
    first->setAutosaveDelay(std::chrono::milliseconds(30));
    first->setRecoveryFolder(folder.toStdString());
    first->newDocument();
    auto& draft = static_cast<TextDocument&>(*first->newDocument());
    auto& unwanted = static_cast<TextDocument&>(*first->newDocument());
    draft.edit("draft");
    unwanted.edit("unwanted");
    ASSERT_TRUE(waitUntil([&] { return filesIn(folder).size() == 4; })); // a copy and a description each
    firstHost.saveAnswers = {SaveChangesAnswer::dontSave};
    EXPECT_TRUE(first->shouldCloseDocument(unwanted));
    first->documentWindowClosed(unwanted);
    EXPECT_EQ(filesIn(folder).size(), 2u);
    // A file another program changed meanwhile is left alone; the changes are kept apart.
    auto& file = static_cast<TextDocument&>(*first->openDocumentWithContentsOfURL(write("a.txt", "one")));
    QThread::msleep(20); // fixed: the clock moves on, so another program's write changes the modification time
    write("a.txt", "theirs");
    file.edit("mine");
    // Ended by a signal: a question still open counts as Cancel.
    firstHost.saveAnswers = {SaveChangesAnswer::dontSave};
    first->endQuietly();
    EXPECT_FALSE(first->shouldCloseDocument(draft));
    EXPECT_EQ(filesIn(folder).size(), 4u);

    // The next program, while this one still runs, leaves its copies alone.
    controller.setRecoveryFolder(folder.toStdString());
    EXPECT_EQ(controller.reopenRecoveredDocuments(), 0);
    first.reset();
    ASSERT_EQ(controller.reopenRecoveredDocuments(), 2);
    auto& keptDraft = static_cast<TextDocument&>(*controller.documents()[0]);
    auto& keptFile = static_cast<TextDocument&>(*controller.documents()[1]);
    EXPECT_EQ(controller.displayName(keptDraft), "Untitled 2");
    EXPECT_EQ(keptDraft.text, "draft");
    EXPECT_TRUE(keptDraft.isDocumentEdited());
    EXPECT_FALSE(keptDraft.fileURL());
    EXPECT_EQ(keptFile.text, "mine");
    EXPECT_EQ(keptFile.fileURL(), path("a.txt"));
    EXPECT_TRUE(keptFile.fileChangedOnDisk());
    EXPECT_EQ(filesIn(folder).size(), 4u);

    // Saved: its copy goes. Not saved over the other program's file and then not wanted: its copy goes too.
    host.savePaths = {path("draft")};
    EXPECT_TRUE(controller.saveDocument(keptDraft));
    EXPECT_EQ(filesIn(folder).size(), 2u);
    host.saveAnswers = {SaveChangesAnswer::dontSave};
    EXPECT_TRUE(controller.shouldCloseDocument(keptFile));
    controller.documentWindowClosed(keptFile);
    EXPECT_EQ(readFile(path("a.txt")), "theirs");
    EXPECT_TRUE(filesIn(folder).empty());

    // A copy that cannot be read is put aside and reported once.
    const QString ended = folder + QStringLiteral("/0A4E8C16-1F52-4E43-9C35-3A8E2A1B7D00");
    QDir().mkpath(ended);
    std::ofstream((ended + QStringLiteral("/6B0C3D0E-5A43-4E7F-8B7C-2C7C8D0F1A2B.txt")).toStdString()) << "broken";
    EXPECT_EQ(controller.reopenRecoveredDocuments(), 0);
    EXPECT_EQ(controller.reopenRecoveredDocuments(), 0);
    RunLoop::drain();
    EXPECT_EQ(std::count_if(host.log.begin(), host.log.end(),
                            [](const std::string& line) { return line.starts_with("open error Untitled: The copy"); }),
              1);
    EXPECT_EQ(filesIn(folder), (std::vector<std::string>{"Unreadable/6B0C3D0E-5A43-4E7F-8B7C-2C7C8D0F1A2B.txt"}));
}

// Text being typed (a change under way) holds back neither the save of what is committed nor the recovery copy,
// which takes the typed text in; steady typing is copied no later than the longest delay; text given up takes
// its copy with it. The next start shows the typed text.
TEST_F(ControllerTest, AChangeUnderWayIsCopiedForRecoveryWhileWhatIsCommittedIsSaved)
{
    const QString folder = dir.filePath(QStringLiteral("recovery"));
    const auto copied = [&] { return copiedTexts(folder); };
    ScriptedHost firstHost;
    auto first = std::make_unique<DocumentController>(firstHost);
    firstHost.controller = first.get();
    first->setAutosaveDelay(std::chrono::milliseconds(100));
    first->setLongestAutosaveDelay(std::chrono::milliseconds(300));
    first->setRecoveryFolder(folder.toStdString());

    auto& saved = static_cast<TextDocument&>(*first->openDocumentWithContentsOfURL(write("a.txt", "one")));
    saved.edit("committed");
    saved.type("committed and typed");
    ASSERT_TRUE(waitUntil([&] { return readFile(path("a.txt")) == "committed"; }));
    ASSERT_TRUE(waitUntil([&] {
        return copied() == std::vector<std::string>{"committed and typed"} && !first->isWriting(saved);
    }));
    EXPECT_FALSE(saved.isDocumentEdited());
    // Typing every 50 ms never leaves a quiet moment of 100 ms; the copy follows all the same, within the
    // longest delay on an idle machine and within seconds on a loaded one.
    QElapsedTimer clock;
    clock.start();
    std::string copiedWhileTyping;
    for (int key = 0; copiedWhileTyping.empty() && clock.elapsed() < 10000; ++key) {
        saved.type("typed " + std::to_string(key));
        spin(50);
        if (const auto texts = copied(); texts.size() == 1 && texts.front() != "committed and typed")
            copiedWhileTyping = texts.front();
    }
    EXPECT_TRUE(copiedWhileTyping.starts_with("typed ")) << copiedWhileTyping;
    // Given up: nothing is left unsaved, and the copy goes.
    saved.giveUpTyping();
    EXPECT_TRUE(waitUntil([&] { return copied().empty(); }));

    // A new map: what is typed into it is all there is of it.
    auto& untitled = static_cast<TextDocument&>(*first->newDocument());
    untitled.edit("title");
    untitled.type("title and a child");
    ASSERT_TRUE(waitUntil([&] { return copied() == std::vector<std::string>{"title and a child"}; }));

    first.reset(); // killed
    controller.setRecoveryFolder(folder.toStdString());
    ASSERT_EQ(controller.reopenRecoveredDocuments(), 1);
    auto& recovered = static_cast<TextDocument&>(*controller.documents().front());
    EXPECT_EQ(recovered.text, "title and a child");
    EXPECT_TRUE(recovered.isDocumentEdited());
    EXPECT_FALSE(recovered.fileURL());
    EXPECT_TRUE(std::none_of(firstHost.log.begin(), firstHost.log.end(),
                             [](const std::string& line) { return line.find("error") != std::string::npos; }));
}

// A copy that cannot be made is shown once, and again only after one could be made in between.
TEST_F(ControllerTest, AFailedRecoveryCopyIsShownOnceUntilACopySucceeds)
{
    const QString folder = dir.filePath(QStringLiteral("recovery"));
    controller.setRecoveryFolder(folder.toStdString());
    auto& untitled = static_cast<TextDocument&>(*controller.newDocument());
    // The program's own folder of copies is replaced by a file: no copy can be written into it.
    const QString own = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot).value(0);
    ASSERT_FALSE(own.isEmpty());
    ASSERT_TRUE(QDir(folder + u'/' + own).removeRecursively());
    std::ofstream((folder + u'/' + own).toStdString()) << "in the way";
    const auto copyErrors = [&] {
        return std::count_if(host.log.begin(), host.log.end(),
                             [](const std::string& line) { return line.starts_with("copy error Untitled: "); });
    };
    untitled.edit("draft");
    ASSERT_TRUE(waitUntil([&] { return copyErrors() == 1; }));
    untitled.edit("draft 2");
    spin(150);
    EXPECT_EQ(copyErrors(), 1);
    QFile::remove(folder + u'/' + own);
    untitled.edit("draft 3");
    ASSERT_TRUE(waitUntil([&] { return filesIn(folder).size() == 2; }));
    std::ofstream((folder + u'/' + own + QStringLiteral("/blocked")).toStdString()) << "";
    ASSERT_TRUE(QDir(folder + u'/' + own).removeRecursively());
    std::ofstream((folder + u'/' + own).toStdString()) << "in the way";
    untitled.edit("draft 4");
    ASSERT_TRUE(waitUntil([&] { return copyErrors() == 2; }));
}

// Many copies: a start reopens the ten most recent and tells once how many wait, and where; each copy stays
// until its map is saved or discarded. A copy that cannot be opened for want of room stays where it is and
// opens at a later start.
TEST_F(ControllerTest, AStartReopensTheTenMostRecentCopiesAndTheOthersWait)
{
    const QString folder = dir.filePath(QStringLiteral("recovery"));
    const QString ended = folder + QStringLiteral("/0A4E8C16-1F52-4E43-9C35-3A8E2A1B7D00");
    QDir().mkpath(ended);
    const auto now = std::filesystem::file_time_type::clock::now();
    for (int number = 1; number <= 25; ++number) {
        const std::string id = QStringLiteral("6B0C3D0E-5A43-4E7F-8B7C-2C7C8D0F1A%1").arg(number, 2, 10, QChar(u'0')).toStdString();
        const std::string content = ended.toStdString() + "/" + id + ".txt";
        std::ofstream(content) << (number == 25 ? "roomy" : "copy " + std::to_string(number));
        std::ofstream(ended.toStdString() + "/" + id + ".json") << "{\"untitled\": " << number << "}";
        std::filesystem::last_write_time(content, now - std::chrono::minutes(100 - number));
    }
    const auto texts = [&] {
        std::vector<std::string> shown;
        for (const auto& document : controller.documents())
            shown.push_back(static_cast<TextDocument&>(*document).text);
        std::sort(shown.begin(), shown.end());
        return shown;
    };

    host.roomToOpen = false;
    controller.setRecoveryFolder(folder.toStdString());
    EXPECT_EQ(controller.reopenRecoveredDocuments(), 9);
    EXPECT_EQ(texts(), (std::vector<std::string>{"copy 16", "copy 17", "copy 18", "copy 19", "copy 20", "copy 21",
                                                  "copy 22", "copy 23", "copy 24"}));
    RunLoop::drain();
    const std::vector<std::string> reports(host.log.end() - 2, host.log.end());
    EXPECT_TRUE(reports[0].starts_with("open error Untitled 25: The copy of its unsaved changes kept from an earlier "
                                       "session can not be opened now: There is not enough free space"))
        << reports[0];
    EXPECT_EQ(reports[1], "15 copies left in " + folder.toStdString());
    EXPECT_EQ(filesIn(folder).size(), 50u) << "every copy stays";

    // The nine are not wanted; the next start takes up the next ten, the copy kept for want of room among them.
    for (const auto& document : std::vector(controller.documents())) {
        host.saveAnswers = {SaveChangesAnswer::dontSave};
        ASSERT_TRUE(controller.shouldCloseDocument(*document));
        controller.documentWindowClosed(*document);
    }
    EXPECT_EQ(filesIn(folder).size(), 32u);
    ScriptedHost nextHost;
    DocumentController next(nextHost);
    nextHost.controller = &next;
    next.setRecoveryFolder(folder.toStdString());
    controller.setRecoveryFolder(dir.filePath(QStringLiteral("elsewhere")).toStdString()); // this program ended
    EXPECT_EQ(next.reopenRecoveredDocuments(), 10);
    std::vector<std::string> reopened;
    for (const auto& document : next.documents())
        reopened.push_back(static_cast<TextDocument&>(*document).text);
    std::sort(reopened.begin(), reopened.end());
    EXPECT_EQ(reopened, (std::vector<std::string>{"copy 10", "copy 11", "copy 12", "copy 13", "copy 14", "copy 15",
                                                  "copy 7", "copy 8", "copy 9", "roomy"}));
    RunLoop::drain();
    EXPECT_EQ(nextHost.log.back(), "6 copies left in " + folder.toStdString());
}

// Quitting asks about one map after the other: a map the user chose not to save is not copied while the next is
// asked about, and when the quit is cancelled after all its changes are copied as before.
TEST_F(ControllerTest, AMapNotToBeSavedIsLeftAloneWhileTheQuitAsksOnUnlessTheQuitIsCancelled)
{
    const QString folder = dir.filePath(QStringLiteral("recovery"));
    const auto copied = [&] { return copiedTexts(folder); };
    controller.setRecoveryFolder(folder.toStdString());
    auto& discarded = static_cast<TextDocument&>(*controller.newDocument());
    auto& kept = static_cast<TextDocument&>(*controller.newDocument());
    kept.edit("kept");
    ASSERT_TRUE(waitUntil([&] { return copied() == std::vector<std::string>{"kept"} && !controller.isWriting(kept); }));
    // Its copy comes due while the second question is open.
    discarded.edit("not wanted");
    std::vector<std::string> copiedWhileAsking;
    host.whileAsking = [&](Document& asked) {
        if (&asked == &kept) {
            spin(300);
            copiedWhileAsking = copied();
        }
    };
    host.saveAnswers = {SaveChangesAnswer::dontSave, SaveChangesAnswer::cancel};
    EXPECT_FALSE(controller.terminate());
    EXPECT_EQ(copiedWhileAsking, std::vector<std::string>{"kept"});
    // Both maps stay open, and the changes of the one the user did not want saved are kept apart again.
    EXPECT_EQ(controller.documents().size(), 2u);
    EXPECT_TRUE(waitUntil([&] { return copied() == std::vector<std::string>{"kept", "not wanted"}; }));
}
