#include "app/PreferencesPanelController.h"

#include <QActionGroup>
#include <QApplication>
#include <QKeyEvent>
#include <QPropertyAnimation>
#include <QStyle>
#include <QToolBar>

#include "app/GeneralPreferencesViewController.h"
#include "app/HelpPreferencesViewController.h"
#include "kit/SymbolImages.h"
#include "kit/SystemColors.h"
#include "kit/WindowAppearance.h"
#include "kit/WindowPlacement.h"

namespace velquine {

PreferencesPanelController::PreferencesPanelController(QWidget* parent)
    : QMainWindow(parent), content_(new QWidget(this))
{
    setObjectName(QStringLiteral("PreferencesPanelController"));
    setWindowTitle(tr("Preferences"));
    setCentralWidget(content_);

    auto* toolbar = addToolBar(tr("Panes"));
    toolbar->setObjectName(QStringLiteral("preferencesToolbar"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar->toggleViewAction()->setEnabled(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    auto* group = new QActionGroup(this);
    toolbar->setIconSize(QSize(24, 24));
    generalItem_ = toolbar->addAction(tr("General"));
    helpItem_ = toolbar->addAction(tr("Help"));
    generalItem_->setObjectName(QStringLiteral("generalItem"));
    helpItem_->setObjectName(QStringLiteral("helpItem"));
    for (QAction* item : {generalItem_, helpItem_}) {
        item->setCheckable(true);
        group->addAction(item);
    }
    connect(generalItem_, &QAction::triggered, this, &PreferencesPanelController::showGeneralPanel);
    connect(helpItem_, &QAction::triggered, this, &PreferencesPanelController::showHelpPanel);

    auto* closeWindow = new QAction(tr("Close"), this);
    closeWindow->setShortcuts(QKeySequence::Close);
    connect(closeWindow, &QAction::triggered, this, &QWidget::close);
    QMainWindow::addAction(closeWindow);

    // What loading the window does: select General, follow the appearance setting, show General unanimated.
    generalItem_->setChecked(true);
    registerForAppearanceChanges(this);
    updateItemIcons();
    setContentViewAnimated(generalPane(), false);
}

void PreferencesPanelController::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        updateItemIcons();
}

void PreferencesPanelController::updateItemIcons()
{
    // Symbols of one size and style, in the label colour of the window's appearance.
    const bool dark = SystemColors::isDark(palette());
    generalItem_->setIcon(SymbolImages::icon(QStringLiteral("gearshape"), dark));
    helpItem_->setIcon(SymbolImages::icon(QStringLiteral("questionmark.circle"), dark));
}

void PreferencesPanelController::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        close();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void PreferencesPanelController::showWindow()
{
    WindowPlacement::placeForShowing(this, WindowPlacement::FirstSpot::centred);
    show();
    raise();
    activateWindow();
}

GeneralPreferencesViewController* PreferencesPanelController::generalPane()
{
    if (!general_) {
        general_ = new GeneralPreferencesViewController(content_);
        general_->hide();
    }
    return general_;
}

HelpPreferencesViewController* PreferencesPanelController::helpPane()
{
    if (!help_) {
        help_ = new HelpPreferencesViewController(content_);
        help_->hide();
    }
    return help_;
}

void PreferencesPanelController::showGeneralPanel()
{
    showPane(generalPane());
}

void PreferencesPanelController::showHelpPanel()
{
    showPane(helpPane());
}

void PreferencesPanelController::showPane(QWidget* pane)
{
    (pane == help_ ? helpItem_ : generalItem_)->setChecked(true);
    setContentViewAnimated(pane, true);
}

void PreferencesPanelController::setContentViewAnimated(QWidget* pane, bool animate)
{
    if (!pane)
        return;
    const int d = pane->height() - content_->height();
    if (current_ && current_ != pane)
        current_->hide();
    current_ = pane;
    pane->move(0, 0);
    pane->show();
    if (animation_)
        animation_->stop();
    if (!animate || !isVisible()) {
        content_->setFixedSize(pane->size());
        adjustSize(); // resizing keeps the top-left corner
        return;
    }
    // The window's top edge stays; it grows or shrinks downward and takes the pane's width, and moves up where
    // it would pass the bottom of the screen.
    const QRect frame = geometry();
    const QRect target = WindowPlacement::fitted(
        QRect(frame.x(), frame.y(), frame.width() - content_->width() + pane->width(), frame.height() + d),
        WindowPlacement::frameMargins(this), WindowPlacement::availableArea(this));
    content_->setMinimumSize(0, 0);
    content_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    animation_ = new QPropertyAnimation(this, "geometry", this);
    animation_->setDuration(180);
    animation_->setEndValue(target);
    connect(animation_, &QPropertyAnimation::finished, this, [this, pane = QPointer<QWidget>(pane)] {
        if (pane && pane == current_)
            content_->setFixedSize(pane->size());
    });
    animation_->start(QAbstractAnimation::DeleteWhenStopped);
}

} // namespace velquine
