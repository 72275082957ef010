#include "kit/ProgressWindow.h"

#include <QApplication>
#include <QKeySequence>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWindow>

namespace velquine {

namespace {

ProgressWindow* installed = nullptr;

} // namespace

void ProgressWindow::install()
{
    auto indicator = std::make_unique<ProgressWindow>();
    installed = indicator.get();
    LongWork::setProgressIndicator(std::move(indicator));
}

QWidget* ProgressWindow::shownWindow()
{
    return installed && installed->window_ && installed->window_->isVisible() ? installed->window_.data() : nullptr;
}

void ProgressWindow::show(const std::string& what)
{
    show(what, LongWork::Offer{});
}

void ProgressWindow::show(const std::string& what, const LongWork::Offer& offer)
{
    hide();
    QWidget* over = QApplication::activeWindow();
    auto* window = new QWidget(over, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    window->setObjectName(QStringLiteral("ProgressWindow"));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QApplication::applicationDisplayName());
    auto* layout = new QVBoxLayout(window);
    auto* label = new QLabel(QString::fromStdString(what), window);
    label->setObjectName(QStringLiteral("ProgressText"));
    auto* bar = new QProgressBar(window);
    bar->setRange(0, 0); // no end known: the bar moves to and fro
    bar->setTextVisible(false);
    bar->setMinimumWidth(320);
    layout->addWidget(label);
    layout->addWidget(bar);
    if (offer.cancel) {
        auto* cancel = new QPushButton(QObject::tr("Cancel"), window);
        cancel->setObjectName(QStringLiteral("ProgressCancel"));
        layout->addWidget(cancel, 0, Qt::AlignRight);
        // Pressed once: the work stops as soon as it can.
        QObject::connect(cancel, &QPushButton::clicked, window, [cancel, function = offer.cancel] {
            if (!cancel->isEnabled())
                return;
            cancel->setEnabled(false);
            function();
        });
        for (const QKeySequence& keys : {QKeySequence(QKeySequence::Close), QKeySequence(Qt::Key_Escape)})
            QObject::connect(new QShortcut(keys, window), &QShortcut::activated, cancel, &QPushButton::click);
    }
    if (offer.quit)
        QObject::connect(new QShortcut(QKeySequence::Quit, window), &QShortcut::activated, window, offer.quit);
    window->adjustSize();
    if (over)
        window->move(over->geometry().center() - window->rect().center());
    window->show();
    window_ = window;
}

bool ProgressWindow::takesInput(const QObject* target) const
{
    if (!window_ || !target)
        return false;
    // The window's input reaches its platform window first, then the widget it is meant for.
    if (target == window_->windowHandle())
        return true;
    for (const QObject* object = target; object; object = object->parent())
        if (object == window_)
            return true;
    return false;
}

void ProgressWindow::hide()
{
    if (window_)
        window_->close();
    window_ = nullptr;
}

} // namespace velquine
