#include "support/QtWait.h"
#include "kit/EditingTextView.h"
#include "kit/SystemTheme.h"
#include "kit/WindowActions.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using namespace velquine;

namespace {

struct EditingWindow {
    QWidget window;
    EditingTextView* view = new EditingTextView(&window);
    QLineEdit* other = new QLineEdit(&window);
    WindowActions* actions = new WindowActions(&window);
    QSignalSpy began{view, &EditingTextView::textDidBeginEditing};
    QSignalSpy changed{view, &EditingTextView::textDidChange};
    QSignalSpy ended{view, &EditingTextView::textDidEndEditing};
    QSignalSpy cancelled{view, &EditingTextView::cancelOperation};

    EditingWindow()
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(view);
        layout->addWidget(other);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    void focusView()
    {
        view->setFocus(Qt::MouseFocusReason);
        EXPECT_EVENTUALLY(view->hasFocus());
    }
    void sendFocusOut(Qt::FocusReason reason)
    {
        QFocusEvent out(QEvent::FocusOut, reason);
        QApplication::sendEvent(view, &out);
    }
};

} // namespace

TEST(EditingTextView, OnlyTheUsersChangesOpenAndFeedASession)
{
    EditingWindow w;
    w.view->setPlainText("from the model");
    w.focusView();
    w.view->append("more from the model");
    EXPECT_EQ(w.began.count() + w.changed.count(), 0);
    EXPECT_FALSE(w.view->isEditing());

    QTest::keyClicks(w.view, "ab");
    EXPECT_EQ(w.began.count(), 1);
    EXPECT_EQ(w.changed.count(), 2);
    EXPECT_TRUE(w.view->isEditing());
    w.view->setPlainText("echo of our own update"); // while editing, code changes still do not count
    EXPECT_EQ(w.changed.count(), 2);

    // Editing commands from the window count as the user's.
    QApplication::clipboard()->setText("pasted");
    EXPECT_TRUE(w.actions->dispatcher().sendAction("paste:"));
    EXPECT_EQ(w.changed.count(), 3);
    QTest::keyClick(w.view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(w.changed.count(), 4);
    EXPECT_EQ(w.began.count(), 1);

    w.view->removeAllUndoActions();
    EXPECT_FALSE(w.view->document()->isUndoAvailable());
}

TEST(EditingTextView, FocusLossEndsEditingExceptForPopupsAndWindowActivation)
{
    EditingWindow w;
    w.focusView();
    w.sendFocusOut(Qt::OtherFocusReason); // nothing was typed: no session to end
    EXPECT_EQ(w.ended.count(), 0);

    QTest::keyClicks(w.view, "x");
    w.sendFocusOut(Qt::PopupFocusReason);
    w.sendFocusOut(Qt::ActiveWindowFocusReason);
    EXPECT_EQ(w.ended.count(), 0);
    EXPECT_TRUE(w.view->isEditing());

    w.other->setFocus(Qt::TabFocusReason);
    EXPECT_EVENTUALLY_EQ(w.ended.count(), 1);
    EXPECT_FALSE(w.view->isEditing());
}

TEST(EditingTextView, EscapeCancelsWithoutEndingAndTheNextEditBeginsAgain)
{
    EditingWindow w;
    w.focusView();
    QTest::keyClicks(w.view, "typed");
    QTest::keyClick(w.view, Qt::Key_Escape);
    EXPECT_EQ(w.cancelled.count(), 1);
    EXPECT_FALSE(w.view->isEditing());
    w.other->setFocus(Qt::TabFocusReason);
    EXPECT_EVENTUALLY(w.other->hasFocus());
    EXPECT_EQ(w.ended.count(), 0);

    w.focusView();
    QTest::keyClicks(w.view, "!");
    EXPECT_EQ(w.began.count(), 2);
}

TEST(SystemTheme, ThemeChangesOfAllWindowsBecomeOneNotification)
{
    SystemTheme::watch();
    SystemTheme::watch();
    int received = 0;
    auto token = NotificationCenter::defaultCenter().addObserver(systemThemeChangedNotification,
                                                                 [&](const Notification&) { ++received; });
    QWidget first, second;
    QEvent change(QEvent::ThemeChange);
    QApplication::sendEvent(&first, &change);
    QApplication::sendEvent(&second, &change);
    RunLoop::drain();
    EXPECT_EQ(received, 1);
    QApplication::sendEvent(&first, &change);
    RunLoop::drain();
    EXPECT_EQ(received, 2);
    NotificationCenter::defaultCenter().removeObserver(token);
}
