#include "app/CheatSheetWindowController.h"

#include <QEvent>
#include <QTextBrowser>
#include <QVBoxLayout>

#include "kit/WindowAppearance.h"
#include "kit/WindowPlacement.h"
#include "platform/Resources.h"
#include "base/Utf8.h"

namespace velquine {

CheatSheetPanel::CheatSheetPanel(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowDoesNotAcceptFocus | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("CheatSheetPanel"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setWindowTitle(tr("Keyboard Shortcuts"));
}

CheatSheetWindowController::CheatSheetWindowController(QObject* parent)
    : QObject(parent), panel_(new CheatSheetPanel), webView_(new QTextBrowser(panel_))
{
    setObjectName(QStringLiteral("CheatSheetWindowController"));
    webView_->setObjectName(QStringLiteral("webView"));
    webView_->setFocusPolicy(Qt::NoFocus);
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

void CheatSheetWindowController::showWindow()
{
    // Beside the maps, at the right edge of the screen, the first time; wholly on the screen every time.
    WindowPlacement::placeForShowing(panel_, WindowPlacement::FirstSpot::rightEdge);
    panel_->show();
    panel_->raise();
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
    return QObject::eventFilter(watched, event);
}

} // namespace velquine
