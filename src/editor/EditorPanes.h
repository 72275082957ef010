#pragma once

// The editor window's content: a three-pane split of the navigator bar, the editor content (the canvas in its
// scroll view above the note pane) and the inspector sidebar.
//
// The collapsed states of the navigator bar, the inspector and the note pane are read from the settings when
// a window builds its panes ("isNavigatorBarCollapsed", "isInspectorCollapsed", "isNoteViewCollapsed") and
// written after every toggle, so each new window opens as the user last left one. The side panes and the note
// pane keep their size when the window is resized; the canvas takes up the change. A side pane can be dragged
// between its width as built and twice that, the note pane between its height and three times that.

#include <QPointer>
#include <QSplitter>
#include <QWidget>

#include <memory>

#include "platform/ActionDispatcher.h"

class QVariantAnimation;

namespace velquine {

class GraphViewController;
class GraphView;
class InspectorSidebar;
class NoteViewController;
class ScrollView;
class VQDocument;

// A split's move to new sizes when a pane opens or closes: animated over `duration`, or at once when the
// "disableAnimations" setting is on or the split is not shown.
class PaneAnimation {
public:
    static constexpr int duration = 200; // milliseconds

    void run(QSplitter* split, const QList<int>& target, QWidget* pane);
    // Ends a running move at its target.
    void finish();
    bool isRunning() const;
    // The sizes a running move ends at.
    const QList<int>& target() const { return target_; }

private:
    QPointer<QVariantAnimation> animation_;
    QList<int> target_;
};

// The navigator bar: a plain sidebar whose width sets its pane's limits.
class NavbarController : public QWidget {
    Q_OBJECT
public:
    explicit NavbarController(const std::shared_ptr<VQDocument>& document, QWidget* parent = nullptr);
    static constexpr int barWidth = 180;

private:
    std::weak_ptr<VQDocument> document_;
};

// The canvas above the note pane.
class EditorContentViewController : public QWidget, public Responder {
    Q_OBJECT
public:
    explicit EditorContentViewController(const std::shared_ptr<VQDocument>& document, QWidget* parent = nullptr);
    ~EditorContentViewController() override;

    QSplitter* splitView() const { return split_; }
    ScrollView* scrollView() const { return scrollView_; }
    GraphView* graphView() const { return graphView_; }
    NoteViewController* noteViewController() const { return noteViewController_; }
    // The responder that carries the canvas's commands.
    GraphViewController* graphViewController() const;

    bool isNoteViewCollapsed() const;
    void toggleNoteView();
    void showNoteView();

    bool validateToolbarItem(ActionItem&) override { return true; }

private:
    void setNoteViewCollapsed(bool collapsed);

    std::weak_ptr<VQDocument> document_;
    QSplitter* split_;
    ScrollView* scrollView_;
    GraphView* graphView_;
    NoteViewController* noteViewController_;
    int noteHeight_ = 0;
    PaneAnimation noteAnimation_;
    std::shared_ptr<GraphViewController> graphViewController_;
};

class MindMapEditorWindowContentViewController : public QSplitter, public Responder {
    Q_OBJECT
public:
    explicit MindMapEditorWindowContentViewController(const std::shared_ptr<VQDocument>& document,
                                                      QWidget* parent = nullptr);
    ~MindMapEditorWindowContentViewController() override;

    NavbarController* navbarController() const { return navbar_; }
    EditorContentViewController* editorContentViewController() const { return editorContent_; }
    InspectorSidebar* inspectorBarController() const { return inspectorBar_; }

    bool isPaneCollapsed(int index) const;
    void toggleSidebar();
    void myToggleInspector();
    void switchSidebarInspector(const ActionItem* sender);
    // The navigator bar's background takes the appearance of the "userInterfaceStyle" setting at once
    // (didChangeUIMode), or, when the setting follows the system, the application's appearance on the next
    // turn of the main loop after a change of the system's theme (interfaceModeChanged).
    void didChangeUIMode();
    void interfaceModeChanged();

    bool validateToolbarItem(ActionItem&) override { return true; }

private:
    void setPaneCollapsed(int index, bool collapsed);
    // Side panes keep their width while the window resizes.
    void addSidePane(QWidget* pane, int width);

    NavbarController* navbar_ = nullptr;
    EditorContentViewController* editorContent_ = nullptr;
    InspectorSidebar* inspectorBar_ = nullptr;
    int paneWidths_[3] = {0, 0, 0};
    PaneAnimation paneAnimation_;
};

} // namespace velquine
