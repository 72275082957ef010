#include "support/QtWait.h"
#include "kit/Beep.h"
#include "kit/KeyPolicy.h"
#include "kit/WindowActions.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>
#include <QVBoxLayout>

#include <memory>

using namespace velquine;

namespace {

// The canvas's key handling as the graph view does it: reserved keys are its own, Tab through event().
class CanvasStandIn : public QWidget {
public:
    QList<int> keys;
    CanvasStandIn() { setFocusPolicy(Qt::StrongFocus); setMinimumSize(200, 120); }

protected:
    bool event(QEvent* event) override
    {
        if (KeyPolicy::acceptReservedShortcutOverride(event))
            return true;
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
                keys.append(key->key());
                return true;
            }
        }
        return QWidget::event(event);
    }
    void keyPressEvent(QKeyEvent* event) override { keys.append(event->key()); }
};

class Controller : public Responder {
public:
    QStringList ran;
    bool enabled = true;
    ControlState state = ControlState::off;
    std::string title;
    bool hidden = false;
    Controller(std::initializer_list<const char*> selectors)
    {
        for (const char* selector : selectors)
            addAction(selector, [this, selector](const ActionItem*) { ran.append(selector); });
    }
    bool validateMenuItem(ActionItem& item) override
    {
        if (item.action == "toggleNodeBold:")
            item.state = state;
        if (item.action == "autoLayoutSelectedNode:") {
            item.hidden = hidden;
            if (!title.empty())
                item.title = title;
        }
        return enabled;
    }
};

struct TestWindow {
    QWidget window;
    QMenuBar* menuBar = new QMenuBar(&window);
    QWidget* pane = new QWidget(&window);
    QLineEdit* titleField = new QLineEdit(pane);
    QTextEdit* noteView = new QTextEdit(&window);
    CanvasStandIn* canvas = new CanvasStandIn;
    WindowActions* actions = new WindowActions(&window);
    Controller paneResponder{"changeTitle:"};
    Controller graph{"copy:", "newRootNode:", "toggleNodeBold:", "autoLayoutSelectedNode:", "delete:"};
    QMenu* menu = menuBar->addMenu("&Node");

    TestWindow()
    {
        auto* layout = new QVBoxLayout(&window);
        layout->setMenuBar(menuBar);
        (new QVBoxLayout(pane))->addWidget(titleField);
        layout->addWidget(pane);
        layout->addWidget(noteView);
        layout->addWidget(canvas);
        attachResponder(pane, &paneResponder);
        actions->dispatcher().setChain({&graph});
        actions->watchMenu(menu);
        window.resize(400, 400);
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }
    void focus(QWidget* widget)
    {
        widget->setFocus(Qt::OtherFocusReason);
        EXPECT_EVENTUALLY(widget->hasFocus());
    }
};

} // namespace

TEST(WindowActions, TheFocusedTextWidgetAndItsPanesComeFirstInTheChain)
{
    TestWindow w;
    w.titleField->setText("Title");
    w.focus(w.titleField);
    auto chain = w.actions->dispatcher().chain();
    ASSERT_EQ(chain.size(), 3u);
    EXPECT_EQ(chain[1], &w.paneResponder);
    EXPECT_EQ(chain[2], &w.graph);

    // Editing commands reach the text field; the rest pass on.
    EXPECT_TRUE(w.actions->dispatcher().sendAction("selectAll:"));
    EXPECT_EQ(w.titleField->selectedText(), "Title");
    w.actions->dispatcher().sendAction("changeTitle:");
    w.actions->dispatcher().sendAction("copy:");
    EXPECT_EQ(w.paneResponder.ran, QStringList{"changeTitle:"});
    EXPECT_TRUE(w.graph.ran.isEmpty());
    // Nothing typed: undo passes on to the next responder.
    EXPECT_FALSE(w.actions->dispatcher().targetForAction("undo:") == chain[0]);

    w.focus(w.canvas);
    EXPECT_EQ(w.actions->dispatcher().chain(), std::vector<Responder*>{&w.graph});
    w.actions->dispatcher().sendAction("copy:");
    EXPECT_EQ(w.graph.ran, QStringList{"copy:"});
}

TEST(WindowActions, TextCommandsAreEnabledByTheFocusedFieldsState)
{
    TestWindow w;
    QAction* copy = w.actions->addAction(w.menu, "Copy", "copy:");
    QAction* paste = w.actions->addAction(w.menu, "Paste", "paste:");
    QAction* cut = w.actions->addAction(w.menu, "Cut", "cut:");
    w.titleField->setText("Title");
    w.titleField->deselect();
    w.focus(w.titleField);
    QApplication::clipboard()->setText("clip");
    EXPECT_FALSE(w.actions->validateAction(copy)); // nothing selected: the field says no, the graph is not asked
    EXPECT_TRUE(w.actions->validateAction(paste));
    w.titleField->selectAll();
    EXPECT_TRUE(w.actions->validateAction(cut));
    w.titleField->setReadOnly(true);
    EXPECT_FALSE(w.actions->validateAction(cut));
    EXPECT_FALSE(w.actions->validateAction(paste));
    EXPECT_TRUE(w.actions->validateAction(copy));
    EXPECT_TRUE(w.actions->trigger(copy));
    EXPECT_TRUE(w.graph.ran.isEmpty());
}

TEST(WindowActions, MenusAreValidatedWhenTheyOpenAndLiveAgainWhenClosed)
{
    TestWindow w;
    QAction* bold = w.actions->addAction(w.menu, "&Bold", "toggleNodeBold:");
    QAction* layout = w.actions->addAction(w.menu, "Auto Layout", "autoLayoutSelectedNode:");
    QAction* orphan = w.actions->addAction(w.menu, "Nobody", "noOneHandlesThis:");
    w.graph.state = ControlState::mixed;
    w.graph.title = "Layout \"R & D\" and Children";
    w.focus(w.canvas);

    w.menu->popup(w.window.mapToGlobal(QPoint(10, 10)));
    EXPECT_EVENTUALLY(w.menu->isVisible());
    EXPECT_TRUE(bold->isEnabled());
    EXPECT_FALSE(bold->isCheckable());
    EXPECT_FALSE(bold->icon().isNull()); // the mixed dash
    EXPECT_EQ(layout->text(), "Layout \"R && D\" and Children");
    EXPECT_EQ(WindowActions::itemFor(layout, ActionItemKind::menuItem).title, "Layout \"R & D\" and Children");
    EXPECT_FALSE(orphan->isEnabled());
    QDir().mkpath(VELQUINE_ARTEFACTS_DIR);
    EXPECT_TRUE(w.menu->grab().save(VELQUINE_ARTEFACTS_DIR "/menu-mixed-state.png"));
    w.menu->hide();
    EXPECT_TRUE(orphan->isEnabled());

    w.graph.state = ControlState::on;
    w.graph.enabled = false;
    w.graph.hidden = true;
    w.menu->popup(w.window.mapToGlobal(QPoint(10, 10)));
    EXPECT_EVENTUALLY(w.menu->isVisible());
    EXPECT_TRUE(bold->isCheckable());
    EXPECT_TRUE(bold->isChecked());
    EXPECT_TRUE(bold->icon().isNull());
    EXPECT_FALSE(bold->isEnabled());
    EXPECT_FALSE(layout->isVisible());
    w.menu->hide();
}

TEST(WindowActions, ShortcutsAreValidatedBeforeTheyFire)
{
    TestWindow w;
    QAction* add = w.actions->addAction(w.menu, "New Root Node", "newRootNode:",
                                        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N)});
    QAction* bold = w.actions->addAction(w.menu, "Bold", "toggleNodeBold:", {QKeySequence(Qt::CTRL | Qt::Key_B)});
    bold->setCheckable(true);
    w.focus(w.canvas);
    Beep::resetCount();
    w.graph.enabled = false;
    QTest::keyClick(w.canvas, Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(w.graph.ran.isEmpty());
    EXPECT_EQ(Beep::count(), 1);
    w.graph.enabled = true;
    QTest::keyClick(w.canvas, Qt::Key_N, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(w.canvas, Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(w.graph.ran, (QStringList{"newRootNode:", "toggleNodeBold:"}));
    EXPECT_FALSE(bold->isChecked()); // the responder, not the click, decides the check mark
    EXPECT_EQ(Beep::count(), 1);
    EXPECT_TRUE(add->isEnabled());
}

TEST(WindowActions, NoWindowShortcutTakesReturnTabOrDeleteFromTheFocusedWidget)
{
    EXPECT_TRUE(KeyPolicy::standardShortcuts(QKeySequence::Delete).isEmpty());
    EXPECT_EQ(KeyPolicy::standardShortcuts(QKeySequence::SaveAs).value(0), QKeySequence("Ctrl+Shift+S"));
    EXPECT_FALSE(KeyPolicy::standardShortcuts(QKeySequence::Preferences).isEmpty());
    EXPECT_FALSE(KeyPolicy::isReservedKey(QKeyCombination(Qt::ControlModifier, Qt::Key_Return)));
    EXPECT_TRUE(KeyPolicy::isReservedKey(QKeyCombination(Qt::ShiftModifier, Qt::Key_A)));

    TestWindow w;
    QAction* grabby = w.actions->addAction(w.menu, "Grabby", "delete:",
        {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Tab), QKeySequence(Qt::Key_Delete),
         QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_Delete)});
    EXPECT_EQ(grabby->shortcuts(), QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_Delete)});
    // Even an action bound past the policy loses reserved keys to the canvas.
    auto* raw = new QAction(&w.window);
    raw->setShortcuts({QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Return)});
    w.window.addAction(raw);
    QSignalSpy rawSpy(raw, &QAction::triggered);

    w.focus(w.titleField);
    QSignalSpy returned(w.titleField, &QLineEdit::returnPressed);
    QTest::keyClick(w.titleField, Qt::Key_Return);
    EXPECT_EQ(returned.count(), 1);

    w.focus(w.noteView);
    QTest::keyClick(w.noteView, Qt::Key_Tab);
    QTest::keyClicks(w.noteView, "ab");
    QTest::keyClick(w.noteView, Qt::Key_Left);
    QTest::keyClick(w.noteView, Qt::Key_Delete);
    QTest::keyClick(w.noteView, Qt::Key_Return);
    EXPECT_EQ(w.noteView->toPlainText(), "\ta\n");

    w.focus(w.canvas);
    for (Qt::Key key : {Qt::Key_Tab, Qt::Key_Return, Qt::Key_Delete, Qt::Key_Escape, Qt::Key_Home, Qt::Key_Up})
        QTest::keyClick(w.canvas, key);
    EXPECT_EQ(w.canvas->keys, (QList<int>{Qt::Key_Tab, Qt::Key_Return, Qt::Key_Delete, Qt::Key_Escape,
                                          Qt::Key_Home, Qt::Key_Up}));
    EXPECT_TRUE(w.canvas->hasFocus()); // Tab did not move the focus
    EXPECT_EQ(rawSpy.count(), 0);
    EXPECT_TRUE(w.graph.ran.isEmpty());
}
