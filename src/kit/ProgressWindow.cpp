#include "kit/ProgressWindow.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

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
    window->adjustSize();
    if (over)
        window->move(over->geometry().center() - window->rect().center());
    window->show();
    window_ = window;
}

void ProgressWindow::hide()
{
    if (window_)
        window_->close();
    window_ = nullptr;
}

} // namespace velquine
