#pragma once

// Gives the keyboard back to the window that had it before, when the window that has it now (a dialog, the
// preferences, another document's window) is hidden or closed. A window manager does this itself. Without
// one nothing does: the X server leaves the keyboard with no window of the program, keys typed then still
// reach the window under the pointer, but the toolkit matches window shortcuts only in the active window, so
// Ctrl+O and the like do nothing until the window is clicked, while plain keys edit the map.
//
// Installed once on the application; it remembers the windows in the order they were activated.

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace velquine {

class FocusReturn : public QObject {
public:
    // Installs the one watcher on the application (again: nothing).
    static void install();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit FocusReturn(QObject* parent);
    // Activates the newest window activated before, still shown, when no shown window is active.
    void returnFocus();

    std::vector<QPointer<QWidget>> activated_; // oldest first
};

} // namespace velquine
