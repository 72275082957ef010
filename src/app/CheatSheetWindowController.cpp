#include "app/CheatSheetWindowController.h"

#include <QAction>
#include <QEvent>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "kit/CommandTable.h"
#include "kit/WindowAppearance.h"
#include "kit/WindowPlacement.h"
#include "platform/Resources.h"
#include "base/Utf8.h"

namespace velquine {

CheatSheetPanel::CheatSheetPanel(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("CheatSheetPanel"));
    setWindowTitle(tr("Keyboard Shortcuts"));
    auto* close = new QAction(this);
    close->setObjectName(QStringLiteral("closeCheatSheet"));
    close->setShortcuts(QList<QKeySequence>{QKeySequence(Qt::Key_Escape)} + commandShortcuts(Command::showCheatSheet));
    close->setShortcutContext(Qt::WindowShortcut);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
}

CheatSheetWindowController::CheatSheetWindowController(QObject* parent)
    : QObject(parent), panel_(new CheatSheetPanel), webView_(new QTextBrowser(panel_))
{
    setObjectName(QStringLiteral("CheatSheetWindowController"));
    webView_->setObjectName(QStringLiteral("webView"));
    // Focused, the page scrolls with the keys.
    webView_->setFocusPolicy(Qt::StrongFocus);
    webView_->viewport()->installEventFilter(this);
    webView_->setOpenExternalLinks(true);
    webView_->setFrameShape(QFrame::NoFrame);
    auto* layout = new QVBoxLayout(panel_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(webView_);
    panel_->resize(420, 640);
    panel_->installEventFilter(this);
    registerForAppearanceChanges(panel_);
}

CheatSheetWindowController::~CheatSheetWindowController()
{
    delete panel_;
}

std::optional<std::string> CheatSheetWindowController::cheatSheetText() const
{
    std::optional<std::string> text = resourceData("CheatSheet", "html");
    if (text && !isValidUtf8(*text))
        return std::nullopt;
    return text;
}

void CheatSheetWindowController::loadCheatSheet()
{
    if (const std::optional<std::string> text = cheatSheetText())
        webView_->setHtml(QString::fromStdString(*text));
}

void CheatSheetWindowController::showWindow(Keyboard keyboard)
{
    // Beside the maps, at the right edge of the screen, the first time; wholly on the screen every time.
    WindowPlacement::placeForShowing(panel_, WindowPlacement::FirstSpot::rightEdge);
    fitsOnceFramed_ = true;
    panel_->setAttribute(Qt::WA_ShowWithoutActivating, keyboard == Keyboard::leave);
    panel_->show();
    panel_->raise();
    if (keyboard == Keyboard::take) {
        panel_->activateWindow();
        webView_->setFocus(Qt::ActiveWindowFocusReason);
    }
    updateWindowAppearance(panel_);
    // Exactly one appearance registration however often the panel is shown.
    unregisterForAppearanceChanges(panel_);
    registerForAppearanceChanges(panel_);
}

void CheatSheetWindowController::windowWillClose()
{
    unregisterForAppearanceChanges(panel_);
}

bool CheatSheetWindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == panel_ && event->type() == QEvent::Close)
        windowWillClose();
    // Before its first showing the panel is placed without its frame (a window manager's title bar), which
    // would then stick out above the screen's top edge: fitted again as soon as the frame is known.
    if (watched == panel_ && fitsOnceFramed_ && panel_->isVisible()
        && (event->type() == QEvent::Move || event->type() == QEvent::Resize || event->type() == QEvent::WindowActivate)) {
        WindowPlacement::fitOnScreen(panel_);
        fitsOnceFramed_ = WindowPlacement::frameMargins(panel_).isNull();
    }
    // A click into the page gives the panel the keyboard, also where no window manager activates it.
    if (event->type() == QEvent::MouseButtonPress && watched->parent() == webView_ && !panel_->isActiveWindow())
        panel_->activateWindow();
    return QObject::eventFilter(watched, event);
}

} // namespace velquine
