#pragma once

// Keys and clicks find done the work posted before them. A command often finishes on the next turn of the run
// loop: Tab makes a child and opens its title editor on the turn after. The toolkit hands over every key the X
// server has queued before it runs that turn, so on a busy or slow machine the keys typed right after Tab
// reached the canvas, which took them as typing over the node selected before. Here each key press or release,
// shortcut check, click and wheel turn first runs the calls posted so far; a key meant for a widget that has
// lost the keyboard meanwhile goes to the one that has it now (the new title editor).
//
// Installed once on the application.

#include <QObject>

namespace velquine {

class InputInOrder : public QObject {
public:
    // Installs the one filter on the application (again: nothing).
    static void install();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit InputInOrder(QObject* parent);
    bool running_ = false; // the posted calls run now (one of them may wait in a dialog for input)
};

} // namespace velquine
