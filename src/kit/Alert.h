#pragma once

// An alert shown as a window-modal sheet on a window that blocks the caller until a button is clicked, and
// answers which: 1000 for the first button added, 1001 for the second, and so on. Escape picks a button
// titled "Cancel" when there is one, else the last button.

#include <QPointer>
#include <QString>
#include <QStringList>

class QMessageBox;
class QWidget;

namespace velquine {

class Alert {
public:
    static constexpr int firstButtonReturn = 1000;
    // The sheet is never narrower than this, in pixels.
    static constexpr int minimumWidth = 380;

    QString messageText;
    QString informativeText;
    // The sheet's window title; the program's name when empty.
    QString windowTitle;
    // Shows a "Do not show this message again" check box; suppressionButtonChecked() tells its state
    // after the sheet ended.
    bool showsSuppressionButton = false;
    bool suppressionButtonChecked() const { return suppressionChecked_; }

    void addButton(const QString& title) { buttons_.append(title); }
    const QStringList& buttonTitles() const { return buttons_; }

    // Runs the sheet on the window (the application's active window when null) and returns the code of the
    // clicked button.
    int runModalSheetForWindow(QWidget* window);
    int runModalSheet() { return runModalSheetForWindow(nullptr); }

    // The message box while the sheet runs (for tests and callers that add detail); null otherwise.
    QMessageBox* box() const { return box_; }

private:
    QStringList buttons_;
    QPointer<QMessageBox> box_;
    bool suppressionChecked_ = false;
};

} // namespace velquine
