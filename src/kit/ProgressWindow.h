#pragma once

// The progress window of long work (LongWork): a small window over the active one that says what the program
// is doing, with a bar that moves while it does, shown once the work has taken a second and gone when it ends.
// It takes no input: the user waits for the work.

#include <QPointer>
#include <QWidget>

#include "platform/LongWork.h"

class QLabel;

namespace velquine {

class ProgressWindow : public LongWork::ProgressIndicator {
public:
    // Makes it the progress window of every long work of the program.
    static void install();

    void show(const std::string& what) override;
    void hide() override;
    // The window while it is shown, else null.
    static QWidget* shownWindow();

private:
    QPointer<QWidget> window_;
};

} // namespace velquine
