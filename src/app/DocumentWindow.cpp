#include "app/DocumentWindow.h"

#include <QLabel>

#include "app/AppDelegate.h"
#include "app/MainMenu.h"
#include "app/WindowAppearance.h"
#include "document/VQDocument.h"
#include "kit/WindowActions.h"

namespace velquine {

DocumentWindow::DocumentWindow(std::shared_ptr<VQDocument> document, const QString& title)
    : document_(std::move(document)), actions_(new WindowActions(this))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("DocumentWindow"));
    setWindowTitle(title);
    setWindowFilePath(title);
    auto* placeholder = new QLabel(this);
    placeholder->setAlignment(Qt::AlignCenter);
    placeholder->setFocusPolicy(Qt::StrongFocus);
    const std::size_t nodes = document_ ? document_->project.graph.count() : 0;
    placeholder->setText(nodes == 0   ? tr("Empty map")
                         : nodes == 1 ? tr("1 node")
                                      : tr("%1 nodes").arg(static_cast<qulonglong>(nodes)));
    setCentralWidget(placeholder);
    resize(1024, 720);

    Responder::addAction("performClose:", [this](const ActionItem*) { close(); });
    Responder::addAction("performMiniaturize:", [this](const ActionItem*) { showMinimized(); });
    actions_->dispatcher().setChain({this});
    MainMenu::install(this, actions_);
    registerForAppearanceChanges(this);
    AppDelegate::scheduleCheatSheetOnStart(this);
}

DocumentWindow::~DocumentWindow() = default;

} // namespace velquine
