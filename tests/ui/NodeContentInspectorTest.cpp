#include "inspector/NodeContentInspector.h"

#include <QDir>
#include <QImage>
#include <QAbstractButton>
#include <QTemporaryDir>
#include <QLocale>
#include <QMessageBox>
#include <QTextCursor>
#include <QTimer>

#include "kit/EditingTextView.h"
#include "kit/ImageWell.h"
#include "kit/OpenPanel.h"
#include "platform/Log.h"
#include "InspectorTestSupport.h"
#include "PictureFiles.h"
#include "UiTestSupport.h"

using namespace velquine;

namespace {

class NodeContentInspectorTest : public test::InspectorWindowTest {
protected:
    void SetUp() override
    {
        InspectorWindowTest::SetUp();
        host(pane);
        select({root});
    }
    void typeInto(QWidget* view, const QString& text)
    {
        view->setFocus(Qt::MouseFocusReason);
        if (auto* textView = qobject_cast<EditingTextView*>(view))
            textView->moveCursor(QTextCursor::End);
        QTest::keyClicks(view, text);
        settle();
    }
    void leave()
    {
        canvas->setFocus(Qt::MouseFocusReason);
        settle();
    }

    NodeContentInspector* pane = new NodeContentInspector(&window); // owned by the window, hosted or not
};

struct OpenPanelAnswer {
    explicit OpenPanelAnswer(std::optional<QString> path)
        : previous(OpenPanel::setHandler([path](QWidget*, const QString&, const QString&, const QString&) { return path; }))
    {
    }
    ~OpenPanelAnswer() { OpenPanel::setHandler(previous); }
    OpenPanel::Handler previous;
};

} // namespace

TEST_F(NodeContentInspectorTest, TypingATitleIsOneStepTheCanvasFollowsEveryKeystrokeAndTheNodeKeepsItsCentre)
{
    EXPECT_EQ(pane->titleView()->toPlainText(), QStringLiteral("Root"));
    const Point centre = stored(root).center;
    typeInto(pane->titleView(), QStringLiteral("ab"));
    EXPECT_EQ(stored(root).title, "Rootab");
    EXPECT_TRUE(doc->isInEditingSession());
    EXPECT_EQ(doc->editingLabel(), "Change Label");
    typeInto(pane->titleView(), QStringLiteral(" long title"));
    EXPECT_EQ(stored(root).center, centre);
    EXPECT_GT(stored(root).size.width, root.size.width);
    EXPECT_EQ(pane->titleView()->textCursor().position(), 17); // the echoed title keeps the cursor
    test::saveScreenshot(&window, QStringLiteral("node-content-inspector-typing"));

    leave();
    EXPECT_FALSE(doc->isInEditingSession());
    EXPECT_EQ(undoName(), "Change Label");
    EXPECT_FALSE(pane->titleView()->document()->isUndoAvailable());
    doc->undoManager()->undo();
    settle();
    EXPECT_EQ(stored(root).title, "Root");
    EXPECT_EQ(pane->titleView()->toPlainText(), QStringLiteral("Root"));
    EXPECT_FALSE(doc->undoManager()->canUndo());
}

TEST_F(NodeContentInspectorTest, EscapeAbandonsTheTypingWithEverythingChangedSinceTheFirstKeystroke)
{
    typeInto(pane->noteView(), QStringLiteral("a note"));
    EXPECT_EQ(doc->editingLabel(), "Change Note");
    doc->setProjectTitle("Changed meanwhile");
    QTest::keyClick(pane->noteView(), Qt::Key_Escape);
    settle();
    EXPECT_FALSE(doc->isInEditingSession());
    EXPECT_EQ(stored(root).note, "");
    EXPECT_EQ(doc->project().title, "");
    EXPECT_FALSE(doc->undoManager()->canUndo());
    EXPECT_TRUE(pane->noteView()->toPlainText().isEmpty());
    EXPECT_TRUE(canvas->hasFocus());
}

TEST_F(NodeContentInspectorTest, EscapeInASessionOpenedElsewhereTakesBackOnlyTheTyping)
{
    doc->beginEditingSession("Change Fill Color");
    doc->setProjectTitle("Someone else's change");
    typeInto(pane->noteView(), QStringLiteral("typed"));
    QTest::keyClick(pane->noteView(), Qt::Key_Escape);
    settle();
    EXPECT_EQ(stored(root).note, "");
    EXPECT_EQ(doc->project().title, "Someone else's change");
    EXPECT_TRUE(doc->isInEditingSession());
    EXPECT_EQ(doc->editingLabel(), "Change Fill Color");
    EXPECT_EQ(pane->noteView()->toPlainText(), QString());
}

TEST_F(NodeContentInspectorTest, TheFinalTitleIsUndoableEvenWhenTheTypingsSessionWasClosedElsewhere)
{
    typeInto(pane->titleView(), QStringLiteral("X"));
    doc->commitEditingSession(); // say, a command elsewhere committed the open session
    settle();
    LogCapture log;
    leave();
    EXPECT_FALSE(log.contains("not being in an editing session"));
    EXPECT_FALSE(doc->isInEditingSession());
    EXPECT_EQ(undoName(), "Change Label");
}

TEST_F(NodeContentInspectorTest, ARestoredTitleSelectionIsClampedToTheNewText)
{
    typeInto(pane->titleView(), QStringLiteral("abc"));
    Node shorter = stored(root);
    shorter.title = "R";
    doc->updateNodes({shorter}, NodeUpdateOperation::title, true);
    settle();
    EXPECT_EQ(pane->titleView()->toPlainText(), QStringLiteral("R"));
    EXPECT_EQ(pane->titleView()->textCursor().position(), 1);
    leave();
}

TEST_F(NodeContentInspectorTest, ALinkIsStoredAsTypedAndOnlyWebAndMailLinksAreOpened)
{
    test::DesktopRecorder desktop;
    // Without a link there is nothing to open or clear; Clear comes with the first typed character.
    EXPECT_FALSE(pane->linkButton()->isEnabled());
    EXPECT_FALSE(pane->clearLinkButton()->isEnabled());
    typeInto(pane->linkView(), QStringLiteral("javascript:alert(1)"));
    EXPECT_TRUE(pane->clearLinkButton()->isEnabled());
    QTest::keyClick(pane->linkView(), Qt::Key_Return);
    settle();
    EXPECT_EQ(stored(root).url, "javascript:alert(1)");
    EXPECT_EQ(undoName(), "Set Link");
    ASSERT_TRUE(pane->linkButton()->isEnabled());
    {
        LogCapture log;
        QTest::mouseClick(pane->linkButton(), Qt::LeftButton);
        EXPECT_TRUE(log.contains("refusing to open a link of scheme \"javascript\""));
    }
    EXPECT_EQ(Beep::count(), 1);
    EXPECT_TRUE(desktop.urls().empty());

    pane->linkView()->clear();
    typeInto(pane->linkView(), QStringLiteral("not a url"));
    leave();
    EXPECT_EQ(stored(root).url, "not a url");
    pane->linkView()->setText(QStringLiteral("mailto:someone@example.org"));
    QTest::mouseClick(pane->linkButton(), Qt::LeftButton);
    EXPECT_EQ(desktop.urls(), std::vector<std::string>{"mailto:someone@example.org"});

    // A mail link that asks the mail program to attach a file is refused, however its keys are written.
    for (const char* link : {"mailto:a@example.org?attach=/etc/passwd", "mailto:a@example.org?subject=Hi&Attachment=~/.ssh/id_rsa",
                             "mailto:a@example.org?%61ttach=/etc/shadow"}) {
        pane->linkView()->setText(QString::fromLatin1(link));
        LogCapture log;
        QTest::mouseClick(pane->linkButton(), Qt::LeftButton);
        EXPECT_TRUE(log.contains("refusing to open a mail link that attaches a file")) << link;
    }
    EXPECT_EQ(Beep::count(), 4);
    EXPECT_EQ(desktop.urls(), std::vector<std::string>{"mailto:someone@example.org"});

    QTest::mouseClick(pane->clearLinkButton(), Qt::LeftButton);
    settle();
    EXPECT_EQ(stored(root).url, "");
    EXPECT_EQ(undoName(), "Clear Link");
    EXPECT_FALSE(pane->linkButton()->isEnabled());
    EXPECT_FALSE(pane->clearLinkButton()->isEnabled());
}

TEST_F(NodeContentInspectorTest, AnImageIsSetFromAFileAndAnUnreadableFileChangesNothing)
{
    QTemporaryDir folder;
    const QString picture = folder.filePath(QStringLiteral("picture.png"));
    QImage bitmap(300, 200, QImage::Format_ARGB32);
    bitmap.fill(QColor(30, 140, 200));
    ASSERT_TRUE(bitmap.save(picture));
    const Size before = stored(root).size;
    EXPECT_FALSE(pane->imageClearButton()->isEnabled()); // no image to remove
    {
        OpenPanelAnswer answer(picture);
        QTest::mouseClick(pane->imageBrowseButton(), Qt::LeftButton);
    }
    settle();
    ASSERT_TRUE(stored(root).image());
    const Size imageSize = stored(root).image()->size();
    EXPECT_DOUBLE_EQ(imageSize.width / imageSize.height, 1.5);
    EXPECT_EQ(pane->imageWell()->image(), stored(root).image());
    EXPECT_TRUE(pane->imageClearButton()->isEnabled());
    EXPECT_EQ(undoName(), "Set Image");
    EXPECT_GT(stored(root).size.height, before.height);
    test::saveScreenshot(&window, QStringLiteral("node-content-inspector-image"));

    const QString junk = folder.filePath(QStringLiteral("junk.png"));
    QFile file(junk);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("not an image");
    file.close();
    doc->undoManager()->removeAllActions();
    {
        OpenPanelAnswer answer(junk);
        QTest::mouseClick(pane->imageBrowseButton(), Qt::LeftButton);
    }
    settle();
    EXPECT_EQ(stored(root).image(), pane->imageWell()->image());
    EXPECT_EQ(stored(root).image()->size(), imageSize);
    EXPECT_FALSE(doc->undoManager()->canUndo());
    EXPECT_FALSE(window.findChild<QMessageBox*>(QStringLiteral("imageTooLargeMessage")));

    // A picture of 50,000 × 50,000 pixels is beyond what the reader takes: the user hears so, and how large.
    const QString huge = folder.filePath(QStringLiteral("huge.png"));
    QFile hugeFile(huge);
    ASSERT_TRUE(hugeFile.open(QIODevice::WriteOnly));
    hugeFile.write(test::pngOfSize(50000, 50000));
    hugeFile.close();
    {
        OpenPanelAnswer answer(huge);
        QTest::mouseClick(pane->imageBrowseButton(), Qt::LeftButton);
    }
    settle();
    auto* tooLarge = window.findChild<QMessageBox*>(QStringLiteral("imageTooLargeMessage"));
    ASSERT_TRUE(tooLarge);
    EXPECT_TRUE(tooLarge->isVisible());
    EXPECT_EQ(tooLarge->text(), QStringLiteral("The image “huge.png” is too large to be used."));
    EXPECT_TRUE(tooLarge->informativeText().startsWith(
        QStringLiteral("It has %1 × %1 pixels;").arg(QLocale().toString(50000))))
        << tooLarge->informativeText().toStdString();
    test::saveScreenshot(tooLarge, QStringLiteral("node-content-inspector-image-too-large"));
    tooLarge->close();
    EXPECT_EQ(stored(root).image()->size(), imageSize);

    const Size withImage = stored(root).size;
    QTest::mouseClick(pane->imageClearButton(), Qt::LeftButton);
    settle();
    EXPECT_FALSE(stored(root).image());
    EXPECT_EQ(stored(root).size, withImage);
    EXPECT_EQ(undoName(), "Clear Image");
    EXPECT_FALSE(pane->imageWell()->image());
    EXPECT_FALSE(pane->imageClearButton()->isEnabled());
}

// A chosen picture is decoded while the window's loop goes on (its timers run during the choice), and one
// whose SVG entities would expand to 60 million characters is refused with the reason.
TEST_F(NodeContentInspectorTest, AChosenPictureIsDecodedOffTheWindowsThreadAndACostlyOneIsRefused)
{
    QTemporaryDir folder;
    const QString photo = folder.filePath(QStringLiteral("photo.png"));
    QImage bitmap(3000, 2000, QImage::Format_RGB32);
    for (int y = 0; y < bitmap.height(); ++y)
        for (int x = 0; x < bitmap.width(); ++x)
            bitmap.setPixel(x, y, qRgb(x * 7, y * 13, (x ^ y) & 0xff));
    ASSERT_TRUE(bitmap.save(photo));
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(1);
    int ticksWhileChoosing = 0;
    {
        OpenPanelAnswer answer(photo);
        const int before = ticks;
        QTest::mouseClick(pane->imageBrowseButton(), Qt::LeftButton);
        ticksWhileChoosing = ticks - before;
    }
    timer.stop();
    settle();
    EXPECT_GT(ticksWhileChoosing, 0);
    ASSERT_TRUE(stored(root).image());
    EXPECT_EQ(undoName(), "Set Image");

    const QString bomb = folder.filePath(QStringLiteral("bomb.svg"));
    QByteArray svg = "<?xml version=\"1.0\"?><!DOCTYPE svg [<!ENTITY e \"" + QByteArray(4000, 'a')
        + "\">]><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"40\" height=\"40\"><text>";
    for (int i = 0; i < 15000; ++i)
        svg += "&e;";
    QFile file(bomb);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(svg + "</text></svg>");
    file.close();
    const Size imageSize = stored(root).image()->size();
    {
        OpenPanelAnswer answer(bomb);
        QTest::mouseClick(pane->imageBrowseButton(), Qt::LeftButton);
    }
    settle();
    auto* refused = window.findChild<QMessageBox*>(QStringLiteral("imageRefusedMessage"));
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->text(), QStringLiteral("The image “bomb.svg” cannot be used."));
    EXPECT_TRUE(refused->informativeText().contains(QStringLiteral("with its entities expanded, runs to 60,0")))
        << refused->informativeText().toStdString();
    test::saveScreenshot(refused, QStringLiteral("node-content-inspector-image-refused"));
    refused->close();
    EXPECT_EQ(stored(root).image()->size(), imageSize);
}

TEST_F(NodeContentInspectorTest, ControlsFollowTheSelectionAndTheCanvasTitleEditor)
{
    Node linked = stored(a);
    linked.url = "https://example.org";
    linked.note = "A's note";
    doc->updateNodes({linked}, NodeUpdateOperation::link, false);
    select({a, b});
    EXPECT_TRUE(pane->titleView()->toPlainText().isEmpty());
    EXPECT_TRUE(pane->titleView()->isReadOnly());
    EXPECT_FALSE(pane->linkView()->isEnabled());
    EXPECT_FALSE(pane->imageWell()->isEnabled());
    test::saveScreenshot(&window, QStringLiteral("node-content-inspector-disabled"));

    select({a});
    EXPECT_EQ(pane->titleView()->toPlainText(), QStringLiteral("A"));
    EXPECT_EQ(pane->noteView()->toPlainText(), QStringLiteral("A's note"));
    EXPECT_EQ(pane->linkView()->text(), QStringLiteral("https://example.org"));
    EXPECT_TRUE(pane->linkButton()->isEnabled());
    EXPECT_FALSE(pane->noteView()->isReadOnly());
    test::saveScreenshot(&window, QStringLiteral("node-content-inspector"));

    doc->notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidBeginEditingNodeTitle(); });
    settle();
    EXPECT_TRUE(pane->titleView()->isReadOnly());
    EXPECT_TRUE(pane->noteView()->isReadOnly());
    EXPECT_FALSE(pane->linkView()->isEnabled());
    EXPECT_FALSE(pane->imageBrowseButton()->isEnabled());
    doc->notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidEndEditingNodeTitle(); });
    settle();
    EXPECT_FALSE(pane->titleView()->isReadOnly());
    EXPECT_TRUE(pane->imageBrowseButton()->isEnabled());

    // An image set elsewhere shows with the commit, not with its update.
    doc->beginEditingSession("Set Node Image");
    Node pictured = stored(a);
    pictured.setImage(Image(QImage(40, 30, QImage::Format_ARGB32)));
    doc->updateNodes({pictured}, NodeUpdateOperation::imageSet, true);
    settle();
    EXPECT_FALSE(pane->imageWell()->image());
    doc->commitEditingSession();
    settle();
    EXPECT_TRUE(pane->imageWell()->image());
}

TEST_F(NodeContentInspectorTest, ImageWellFitsSmallImagesUntilAFileIsChosenThenFillsWithThem)
{
    QTemporaryDir folder;
    // The extent of the image's colour in the well, in pixels of the well's grab.
    auto shownSize = [this](QColor colour) {
        const QImage shot = pane->imageWell()->grab().toImage();
        QRect extent;
        for (int y = 0; y < shot.height(); ++y)
            for (int x = 0; x < shot.width(); ++x)
                if (shot.pixelColor(x, y) == colour)
                    extent |= QRect(x, y, 1, 1);
        return extent.size() / shot.devicePixelRatio();
    };
    const QColor small(200, 40, 90);
    const QString path = folder.filePath(QStringLiteral("small.png"));
    QImage bitmap(40, 30, QImage::Format_RGB32);
    bitmap.fill(small);
    ASSERT_TRUE(bitmap.save(path));
    // Set by code, a small image is shown at its own size (the file says 96 dots per inch: 30 by 22.5 points).
    const auto fromFile = ImageWell::imageFromFile(path);
    ASSERT_TRUE(fromFile);
    pane->imageWell()->setImage(fromFile);
    EXPECT_NEAR(shownSize(small).width(), 30, 1);
    {
        OpenPanelAnswer answer(path);
        QTest::mouseClick(pane->imageBrowseButton(), Qt::LeftButton);
    }
    settle();
    ASSERT_TRUE(stored(root).image());
    EXPECT_DOUBLE_EQ(stored(root).image()->size().width, 30);
    // Chosen from a file, it fills the well keeping its proportions.
    const QSize shown = shownSize(small);
    EXPECT_GT(shown.width(), 60);
    EXPECT_NEAR(double(shown.width()) / shown.height(), 4.0 / 3.0, 0.05);
    test::saveScreenshot(&window, QStringLiteral("node-content-inspector-small-image"));

    const QColor large(20, 160, 90);
    QImage wide(900, 300, QImage::Format_RGB32);
    wide.fill(large);
    pane->imageWell()->setImage(Image(wide));
    const QSize fitted = shownSize(large);
    EXPECT_LT(fitted.width(), pane->imageWell()->width());
    EXPECT_NEAR(double(fitted.width()) / fitted.height(), 3.0, 0.1);
}
