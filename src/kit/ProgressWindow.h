#pragma once

// The progress window of long work (LongWork): a small window over the active one that says what the program
// is doing, with a bar that moves while it does, shown once the work has taken a second and gone when it ends.
// It takes no input, unless the work offers a way out: then it has a Cancel button (Escape and Ctrl+W press it)
// and takes Ctrl+Q as a quit asked for once the work has ended.

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
    void show(const std::string& what, const LongWork::Offer& offer) override;
    void hide() override;
    bool takesInput(const QObject* target) const override;
    // The window while it is shown, else null.
    static QWidget* shownWindow();

private:
    QPointer<QWidget> window_;
};

} // namespace velquine
