#pragma once

// The keyboard shortcuts panel: the "CheatSheet" HTML resource in a panel that never takes the keyboard,
// so it can stay open beside a map while the user works in the map's window. One per process, made on
// first use; closing it only hides it.

#include <QWidget>

#include <optional>
#include <string>

class QTextBrowser;

namespace velquine {

// A tool window that never becomes the active window and never takes the focus.
class CheatSheetPanel : public QWidget {
    Q_OBJECT
public:
    explicit CheatSheetPanel(QWidget* parent = nullptr);
};

class CheatSheetWindowController : public QObject {
    Q_OBJECT
public:
    explicit CheatSheetWindowController(QObject* parent = nullptr);
    ~CheatSheetWindowController() override;

    CheatSheetPanel* window() const { return panel_; }
    QTextBrowser* webView() const { return webView_; }

    // Reads the cheat sheet again and shows it; an unreadable resource leaves the view as it was.
    virtual void loadCheatSheet();
    // Shows the panel without activating it, applies the appearance setting and follows it while shown.
    void showWindow();

    // Set once the panel was shown automatically when a map window opened; never cleared.
    bool autoFiredOnce = false;

protected:
    // The page's text, or nothing when the resource is missing or is not UTF-8.
    virtual std::optional<std::string> cheatSheetText() const;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void windowWillClose();

    CheatSheetPanel* panel_;
    QTextBrowser* webView_;
};

} // namespace velquine
