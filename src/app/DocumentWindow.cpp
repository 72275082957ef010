#include "app/DocumentWindow.h"

#include <QLabel>

#include "app/AppDelegate.h"
#include "app/MainMenu.h"
#include "document/VQDocument.h"
#include "kit/CommandTable.h"
#include "kit/WindowActions.h"
#include "kit/WindowAppearance.h"

namespace velquine {

DocumentWindow::DocumentWindow(std::shared_ptr<VQDocument> document, const QString& title,
                               std::unique_ptr<Responder> documentCommands)
    : document_(std::move(document)), actions_(new WindowActions(this)), content_(new QLabel(this)),
      commands_(std::move(documentCommands))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("DocumentWindow"));
    setWindowTitle(title);
    content_->setAlignment(Qt::AlignCenter);
    content_->setFocusPolicy(Qt::StrongFocus);
    refreshContent();
    setCentralWidget(content_);
    resize(1024, 720);

    Responder::addAction(commandSelector(Command::performClose), [this](const ActionItem*) { close(); });
    Responder::addAction(commandSelector(Command::performMiniaturize), [this](const ActionItem*) { showMinimized(); });
    std::vector<Responder*> chain{this};
    if (commands_)
        chain.push_back(commands_.get());
    actions_->dispatcher().setChain(chain);
    MainMenu::install(this, actions_);
    registerForAppearanceChanges(this);
    AppDelegate::scheduleCheatSheetOnStart(this);
}

DocumentWindow::~DocumentWindow() = default;

void DocumentWindow::refreshContent()
{
    const std::size_t nodes = document_ ? document_->project().graph.count() : 0;
    content_->setText(nodes == 0   ? tr("Empty map")
                      : nodes == 1 ? tr("1 node")
                                   : tr("%1 nodes").arg(static_cast<qulonglong>(nodes)));
}

} // namespace velquine
