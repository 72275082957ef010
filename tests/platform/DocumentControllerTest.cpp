#include "platform/DocumentController.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <deque>
#include <fstream>
#include <sstream>

#include "platform/RecentDocuments.h"
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

// A document of one line of text; "broken" files fail to read.
class TextDocument : public Document {
public:
    std::string text;
    bool failedRead = false;
    bool session = false;

    void edit(const std::string& newText)
    {
        text = newText;
        updateChangeCount(DocumentChange::done);
    }
    bool writeToURL(const std::string& url, const std::string&, std::optional<std::string>* error) override
    {
        std::ofstream out(url, std::ios::binary | std::ios::trunc);
        if (!out) {
            *error = "cannot write " + url;
            return false;
        }
        out << text;
        return true;
    }
    bool revertToContentsOfURL(const std::string& url, const std::string&, std::optional<std::string>*) override
    {
        text = readFile(url);
        return true;
    }
    bool readFailed() const override { return failedRead; }
    bool hasOpenEditingSession() const override { return session; }
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
    int terminated = 0;
    DocumentController* controller = nullptr;

    std::shared_ptr<Document> makeUntitledDocument() override { return std::make_shared<TextDocument>(); }
    std::shared_ptr<Document> makeDocument(const std::string& path) override
    {
        auto document = std::make_shared<TextDocument>();
        document->text = readFile(path);
        if (document->text == "broken")
            throw std::runtime_error("Document Archive doesn't contain a sqlite database!");
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
    void showSaveError(Document& d, const std::string& reason) override
    {
        log.push_back("save error " + name(d) + ": " + reason);
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
        QThread::msleep(2);
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
    QThread::msleep(20);
    std::ofstream(file, std::ios::app) << "more";
    EXPECT_TRUE(document.fileChangedOnDisk());
    ASSERT_TRUE(document.revertToSaved(&error));
    EXPECT_EQ(document.text, "bmore");
    EXPECT_FALSE(document.isDocumentEdited());
    EXPECT_FALSE(document.fileChangedOnDisk());
}

TEST_F(ControllerTest, AutosavesInPlaceAfterAQuietMomentButNeverAFailedReadOrDuringASession)
{
    TextDocument& document = open("a.txt", "one");
    document.edit("two");
    document.session = true;
    spin(120);
    EXPECT_EQ(readFile(path("a.txt")), "one"); // not while a change is under way
    document.session = false;
    ASSERT_TRUE(waitUntil([&] { return readFile(path("a.txt")) == "two"; }));
    EXPECT_FALSE(document.isDocumentEdited());

    TextDocument& failed = open("b.txt", "kept");
    failed.failedRead = true;
    failed.edit("empty");
    spin(120);
    EXPECT_EQ(readFile(path("b.txt")), "kept");
    EXPECT_TRUE(failed.isDocumentEdited());

    // Another program changed the file: the automatic save leaves it alone and the next save asks.
    QThread::msleep(20);
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
    QThread::msleep(20);
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
    EXPECT_NE(std::find(host.log.begin(), host.log.end(), "save error b.txt: cannot write " + path("gone/b.txt")),
              host.log.end());
}
