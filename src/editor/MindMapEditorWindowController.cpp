#include "editor/MindMapEditorWindowController.h"

#include <algorithm>
#include <cmath>

#include <QComboBox>
#include <QStatusBar>
#include <QToolBar>

#include "document/DocumentLayout.h"
#include "document/VQDocument.h"
#include "editor/CanvasContextMenus.h"
#include "editor/EditorPanes.h"
#include "editor/GraphViewController.h"
#include "editor/EditorWindowHooks.h"
#include "editor/EmojiPalette.h"
#include "editor/InspectorSidebar.h"
#include "editor/ToolbarController.h"
#include "kit/Beep.h"
#include "kit/CommandTable.h"
#include "kit/OpenPanel.h"
#include "kit/ScrollView.h"
#include "kit/WindowActions.h"
#include "kit/WindowAppearance.h"
#include "layout/NodeSizing.h"
#include "platform/Log.h"
#include "platform/NumberText.h"
#include "platform/UndoManager.h"

namespace velquine {

namespace {

std::optional<QString> chooseImageFile(QWidget* parent)
{
    return OpenPanel::chooseImage(parent, QObject::tr("Add Photo"));
}

MindMapEditorWindowController::ImageFileChooser& imageFileChooser()
{
    static MindMapEditorWindowController::ImageFileChooser chooser = chooseImageFile;
    return chooser;
}

MindMapEditorWindowController::ExportWindowOpener& exportWindowOpener()
{
    static MindMapEditorWindowController::ExportWindowOpener opener;
    return opener;
}

} // namespace

void MindMapEditorWindowController::setImageFileChooser(ImageFileChooser chooser)
{
    imageFileChooser() = chooser ? std::move(chooser) : ImageFileChooser(chooseImageFile);
}

void MindMapEditorWindowController::setExportWindowOpener(ExportWindowOpener opener)
{
    exportWindowOpener() = std::move(opener);
}

MindMapEditorWindowController::MindMapEditorWindowController(std::shared_ptr<VQDocument> document,
                                                             const QString& title,
                                                             std::unique_ptr<Responder> documentCommands)
    : document_(std::move(document)), actions_(new WindowActions(this)), commands_(std::move(documentCommands))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("MindMapEditorWindowController"));
    setWindowTitle(title);
    resize(1200, 800);
    if (!document_) {
        debugLog(__FILE__, "windowDidLoad()", __LINE__, "no document instance");
        return;
    }
    cvc_ = new MindMapEditorWindowContentViewController(document_, this);
    setCentralWidget(cvc_);
    toolbarController_ = std::make_unique<ToolbarController>(cvc_, actions_, document_);
    addToolBar(Qt::TopToolBarArea, toolbarController_->toolBar());
    setUnifiedTitleAndToolBarOnMac(true);
    buildZoomPopUp();
    registerActions();

    EditorContentViewController* content = cvc_->editorContentViewController();
    std::vector<Responder*> chain{cvc_, cvc_->inspectorBarController()};
    if (Responder* graph = content->graphViewController())
        chain.push_back(graph);
    chain.push_back(content);
    chain.push_back(this);
    if (commands_)
        chain.push_back(commands_.get());
    actions_->dispatcher().setChain(chain);
    if (editorWindowHooks().installMenus)
        editorWindowHooks().installMenus(this, actions_);
    CanvasContextMenus::install(content->graphView(), actions_);
    registerForAppearanceChanges(this);
    if (editorWindowHooks().scheduleCheatSheetOnStart)
        editorWindowHooks().scheduleCheatSheetOnStart(this);
    toolbarController_->validate();
}

MindMapEditorWindowController::~MindMapEditorWindowController() = default;

void MindMapEditorWindowController::buildZoomPopUp()
{
    zoomLevelSelectorButton_ = new QComboBox(this);
    zoomLevelSelectorButton_->setObjectName(QStringLiteral("zoomLevelSelectorButton"));
    for (double factor : zoomFactors)
        zoomLevelSelectorButton_->addItem(QStringLiteral("%1%").arg(qRound(factor * 100)));
    zoomLevelSelectorButton_->setCurrentIndex(3);
    connect(zoomLevelSelectorButton_, &QComboBox::activated, this, [this] { changeZoomLevel(); });
    // The pop-up shows the canvas's magnification however it was reached (menus, keys, gestures): a factor of
    // the table selects its item, any other shows its percentage with no item chosen.
    connect(cvc_->editorContentViewController()->scrollView(), &ScrollView::magnificationChanged,
            zoomLevelSelectorButton_, [button = zoomLevelSelectorButton_](double magnification) {
                const auto match = std::find_if(std::begin(zoomFactors), std::end(zoomFactors), [&](double factor) {
                    return std::abs(factor - magnification) < 0.001;
                });
                button->setPlaceholderText(QStringLiteral("%1%").arg(qRound(magnification * 100)));
                button->setCurrentIndex(match == std::end(zoomFactors) ? -1 : int(match - std::begin(zoomFactors)));
            });
    statusBar()->addPermanentWidget(zoomLevelSelectorButton_);
    statusBar()->setSizeGripEnabled(true);
}

void MindMapEditorWindowController::registerActions()
{
    Responder::addAction(commandSelector(Command::pickEmoji), [this](const ActionItem*) { pickEmoji(); });
    Responder::addAction(commandSelector(Command::pickPhoto), [this](const ActionItem*) { pickPhoto(); });
    Responder::addAction(commandSelector(Command::showExportWindow), [this](const ActionItem*) { showExportWindow(); });
    Responder::addAction(commandSelector(Command::changeZoomLevel), [this](const ActionItem*) { changeZoomLevel(); });
    Responder::addAction(commandSelector(Command::performClose), [this](const ActionItem*) { close(); });
    Responder::addAction(commandSelector(Command::performMiniaturize), [this](const ActionItem*) { showMinimized(); });
    Responder::addAction(commandSelector(Command::shareDocument), [](const ActionItem*) {});
    Responder::addAction(commandSelector(Command::honkhonk), [](const ActionItem*) {});
    Responder::addAction(commandSelector(Command::undo), [this](const ActionItem*) {
        if (UndoManager* undo = document_->undoManager())
            undo->undo();
    });
    Responder::addAction(commandSelector(Command::redo), [this](const ActionItem*) {
        if (UndoManager* undo = document_->undoManager())
            undo->redo();
    });
}

bool MindMapEditorWindowController::validateMenuItem(ActionItem& item)
{
    UndoManager* undo = document_ ? document_->undoManager() : nullptr;
    const std::optional<Command> command = commandForSelector(item.action);
    if (command == Command::undo || command == Command::redo) {
        const bool isUndo = command == Command::undo;
        const std::string name = !undo ? std::string() : isUndo ? undo->undoActionName() : undo->redoActionName();
        item.title = commandPlainTitle(*command).toStdString() + (name.empty() ? "" : " " + name);
        return undo && (isUndo ? undo->canUndo() : undo->canRedo());
    }
    if (command == Command::showExportWindow)
        return bool(exportWindowOpener());
    return true;
}

bool MindMapEditorWindowController::validateToolbarItem(ActionItem& item)
{
    debugLog(__FILE__, "validateToolbarItem(_:)", __LINE__, item.title);
    return true;
}

void MindMapEditorWindowController::changeZoomLevel()
{
    const int index = zoomLevelSelectorButton_ ? zoomLevelSelectorButton_->currentIndex() : -1;
    if (index < 0 || index >= int(std::size(zoomFactors)))
        return;
    systemLog("new zoom factor is: " + formatDouble(zoomFactors[index]));
    if (GraphViewController* graph = cvc_->editorContentViewController()->graphViewController())
        graph->layoutView().zoomTo(zoomFactors[index], false);
}

void MindMapEditorWindowController::pickEmoji()
{
    EmojiPalette::show(this);
}

void MindMapEditorWindowController::pickPhoto()
{
    const std::vector<std::int64_t> selected = document_->project().selectedNodeUIDs;
    const std::optional<QString> path = imageFileChooser()(this);
    if (!path)
        return;
    QImage bitmap(*path);
    if (bitmap.isNull()) {
        Beep::beep();
        return;
    }
    insertImageIntoSelectedNodes(Image(bitmap), selected);
}

void MindMapEditorWindowController::insertImageIntoSelectedNodes(const Image& image,
                                                                 const std::vector<std::int64_t>& nodeUIDs)
{
    std::vector<Node> nodes = document_->project().graph.nodes(nodeUIDs);
    if (nodes.empty())
        return;
    for (Node& node : nodes) {
        node.setImage(image);
        node = autosizeNode(node);
    }
    if (!document_->isInEditingSession())
        document_->beginEditingSession("Set Image");
    const std::vector<Node> stored = document_->updateNodes(nodes, NodeUpdateOperation::imageSet, false);
    DocumentLayout(*document_).autoLayoutWholeNodeTrees(stored, false);
    DocumentLayout(*document_).resolveCollisions();
    if (document_->isInEditingSession())
        document_->commitEditingSession();
}

void MindMapEditorWindowController::showExportWindow()
{
    if (exportWindowOpener())
        exportWindowOpener()(this, document_);
    else
        Beep::beep();
}

} // namespace velquine
