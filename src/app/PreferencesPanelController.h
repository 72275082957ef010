#pragma once

// The preferences window: a toolbar that switches between the General and Help panes, the window resizing
// to each pane while its top edge stays in place (and the window stays wholly on the screen). One per
// process, made on first use; it opens over the active window. Ctrl+W and Escape close it.

#include <QMainWindow>
#include <QPointer>

class QAction;
class QPropertyAnimation;

namespace velquine {

class GeneralPreferencesViewController;
class HelpPreferencesViewController;

class PreferencesPanelController : public QMainWindow {
    Q_OBJECT
public:
    explicit PreferencesPanelController(QWidget* parent = nullptr);

    // Shows and raises the window.
    void showWindow();

    void showGeneralPanel();
    void showHelpPanel();
    // Selects the pane's toolbar item and shows the pane, animated.
    void showPane(QWidget* pane);
    // Puts pane in the content area and resizes the window to it, keeping the top edge.
    void setContentViewAnimated(QWidget* pane, bool animate);

    GeneralPreferencesViewController* generalPane();
    HelpPreferencesViewController* helpPane();
    QWidget* currentPane() const { return current_; }
    QAction* generalItem() const { return generalItem_; }
    QAction* helpItem() const { return helpItem_; }

protected:
    void changeEvent(QEvent* event) override;
    // Escape closes the window, as it does a dialog.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void updateItemIcons();

    QAction* generalItem_;
    QAction* helpItem_;
    QWidget* content_;
    QPointer<GeneralPreferencesViewController> general_;
    QPointer<HelpPreferencesViewController> help_;
    QPointer<QWidget> current_;
    QPointer<QPropertyAnimation> animation_;
};

} // namespace velquine
