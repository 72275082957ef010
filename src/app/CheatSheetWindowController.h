#pragma once

// The keyboard shortcuts panel: the "CheatSheet" HTML resource in a panel beside the maps. Shown, or clicked
// into, it takes the keyboard, so its own keys reach it with or without a window manager: Escape and the
// command's own key (Ctrl+/) close it, and the map windows' shortcuts do not act on a map behind it. One per
// process, made on first use; closing it only hides it.

#include <QWidget>

#include <optional>
#include <string>

class QTextBrowser;

namespace velquine {

// A tool window that stays above the maps and closes on Escape or on the key that showed it.
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
    // Whether a showing gives the panel the keyboard: the help command's does; the automatic one when a map
    // window opens leaves it with the map, where the user may already be typing.
    enum class Keyboard { take, leave };
    // Shows the panel wholly on the screen's available area, applies the appearance setting and follows it
    // while shown.
    void showWindow(Keyboard keyboard = Keyboard::take);

    // Set once the panel was shown automatically when a map window opened; never cleared.
    bool autoFiredOnce = false;

protected:
    // The page's text, or nothing when the resource is missing or is not UTF-8.
    virtual std::optional<std::string> cheatSheetText() const;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void windowWillClose();

    // Set by showWindow() until the window manager's frame around the panel is known and the panel was fitted
    // on the screen with it (the frame is known only once the panel is on show).
    bool fitsOnceFramed_ = false;

    CheatSheetPanel* panel_;
    QTextBrowser* webView_;
};

} // namespace velquine
