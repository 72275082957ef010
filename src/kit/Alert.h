#pragma once

// An alert shown as a window-modal sheet on a window that blocks the caller until a button is clicked, and
// answers which: 1000 for the first button added, 1001 for the second, and so on. Escape picks a button
// titled "Cancel" when there is one, else the last button. A report (Report) tells of something that happened,
// with an OK button alone.

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>

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

// A report with an OK button over a window (on its own without one), which it blocks while up, closing and
// deleting itself when answered. Every report of the program is made here.
struct Report {
    QMessageBox::Icon icon = QMessageBox::Warning;
    // The box's object name, by which it can be found among the window's children.
    QString objectName = {};
    QString messageText = {};
    QString informativeText = {};
    // The box's window title; the program's name when empty.
    QString windowTitle = {};

    // Left up without waiting: the window it covers is blocked, and with it that window's menu, so the report
    // takes the Quit command's keys itself (takeQuitKeys), and Ctrl+Q on it quits as the Quit command does.
    void showOver(QWidget* window) const;
    // Returns once answered: a step of work under way, which a quit would cut short, waits on it, so its keys are
    // left alone.
    void runOver(QWidget* window) const;

private:
    QMessageBox* make(QWidget* window) const;
};

} // namespace velquine
