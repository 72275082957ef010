#include "exportui/ExportWindowController.h"

#include <QAction>
#include <QActionGroup>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>

#include "document/VQDocument.h"
#include "exportui/ImageExporterModuleViewController.h"
#include "exportui/MarkdownExporterModuleViewController.h"
#include "exportui/OPMLExporterModuleViewController.h"
#include "exportui/PDFExporterModuleViewController.h"
#include "exportui/PlainTextExporterModuleViewController.h"
#include "exportui/RichTextExporterModuleViewController.h"
#include "exportui/YAMLExporterModuleViewController.h"
#include "kit/Alert.h"
#include "kit/WindowAppearance.h"
#include "platform/Log.h"
#include "platform/UserDefaults.h"

namespace velquine {

ExportWindowController::ExportWindowController(QWidget* parent)
    : QDialog(parent)
    , plainTextModule(new PlainTextExporterModuleViewController(this))
    , richTextModule(new RichTextExporterModuleViewController(this))
    , markdownModule(new MarkdownExporterModuleViewController(this))
    , yamlModule(new YAMLExporterModuleViewController(this))
    , pdfModule(new PDFExporterModuleViewController(this))
    , imageModule(new ImageExporterModuleViewController(this))
    , opmlModule(new OPMLExporterModuleViewController(this))
    , toolbar(new QToolBar(this))
    , exportToFileButton(new QPushButton(tr("Export…"), this))
    , exportToPasteboardButton(new QPushButton(tr("Copy to Clipboard"), this))
    , cancelButton(new QPushButton(tr("Cancel"), this))
    , moduleHostView(new QWidget(this))
    , toolbarItems_(new QActionGroup(this))
{
    setObjectName(QStringLiteral("ExportWindowController"));
    setWindowTitle(tr("Export"));
    const QStringList labels{tr("Plain Text"), tr("Rich Text"), tr("Markdown"), tr("OPML"), tr("YAML"), tr("PDF"), tr("Image")};
    const std::vector<ExportWindowModuleViewController*> all = modules();
    for (std::size_t i = 0; i < all.size(); ++i) {
        all[i]->hide();
        QAction* item = toolbar->addAction(labels[int(i)]);
        item->setObjectName(QString::fromStdString(all[i]->toolbarItemIdentifier()));
        item->setCheckable(true);
        toolbarItems_->addAction(item);
    }
    toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    connect(toolbar, &QToolBar::actionTriggered, this, &ExportWindowController::toolbarActionTrigger);

    auto* hostLayout = new QVBoxLayout(moduleHostView);
    hostLayout->setContentsMargins(0, 0, 0, 0);
    moduleHostView->setMinimumSize(440, 150);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(exportToPasteboardButton);
    buttons->addStretch();
    buttons->addWidget(cancelButton);
    buttons->addWidget(exportToFileButton);
    exportToFileButton->setDefault(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(toolbar);
    layout->addWidget(moduleHostView, 1);
    layout->addLayout(buttons);
    connect(exportToFileButton, &QPushButton::clicked, this, &ExportWindowController::performExport);
    connect(exportToPasteboardButton, &QPushButton::clicked, this, &ExportWindowController::copyToPasteBoard);
    connect(cancelButton, &QPushButton::clicked, this, &ExportWindowController::cancel);
    windowDidLoad();
}

ExportWindowController::~ExportWindowController() = default;

std::vector<ExportWindowModuleViewController*> ExportWindowController::modules() const
{
    return {plainTextModule, richTextModule, markdownModule, opmlModule, yamlModule, pdfModule, imageModule};
}

void ExportWindowController::windowDidLoad()
{
    const std::int64_t index = UserDefaults::standard().integerForKey(lastShownModuleIndexKey);
    const std::vector<ExportWindowModuleViewController*> all = modules();
    showModule(index >= 0 && index < std::int64_t(all.size()) ? all[std::size_t(index)] : plainTextModule);
}

void ExportWindowController::setDoc(const std::shared_ptr<VQDocument>& document)
{
    doc_ = document;
    if (currentModule_)
        currentModule_->setDocument(document);
}

void ExportWindowController::showModule(ExportWindowModuleViewController* module)
{
    if (currentModule_) {
        moduleHostView->layout()->removeWidget(currentModule_);
        currentModule_->hide();
        currentModule_->setDocument(nullptr);
        currentModule_ = nullptr;
    }
    const QString identifier = QString::fromStdString(module->toolbarItemIdentifier());
    for (QAction* item : toolbarItems_->actions()) {
        if (item->objectName() == identifier && !item->isChecked())
            item->setChecked(true);
    }
    currentModule_ = module;
    module->setDocument(doc());
    module->loadViewIfNeeded();
    module->setParent(moduleHostView);
    moduleHostView->layout()->addWidget(module);
    module->show();
    exportToPasteboardButton->setEnabled(module->supportsPasteboardExport());
    const std::vector<ExportWindowModuleViewController*> all = modules();
    const auto position = std::find(all.begin(), all.end(), module);
    UserDefaults::standard().set(lastShownModuleIndexKey, std::int64_t(position - all.begin()));
}

void ExportWindowController::toolbarActionTrigger(QAction* sender)
{
    if (!sender)
        return;
    for (ExportWindowModuleViewController* module : modules()) {
        if (sender->objectName() == QString::fromStdString(module->toolbarItemIdentifier())) {
            showModule(module);
            return;
        }
    }
}

void ExportWindowController::endSheet(int code)
{
    if (isVisible())
        done(code);
}

void ExportWindowController::cancel()
{
    endSheet(0);
}

void ExportWindowController::presentError(const char* domain, const char* failure, const std::exception& error)
{
    Alert alert;
    alert.windowTitle = tr(domain);
    alert.messageText = tr(failure);
    alert.informativeText = QString::fromStdString(error.what());
    alert.runModalSheetForWindow(this);
}

void ExportWindowController::performExport()
{
    if (!currentModule_) {
        endSheet(1);
        return;
    }
    try {
        if (currentModule_->exportToFile() == ExportResult::done)
            endSheet(1);
    } catch (const std::exception& error) {
        presentError("File Export Error", "Can not export file", error);
    }
}

void ExportWindowController::copyToPasteBoard()
{
    if (!currentModule_)
        return;
    try {
        currentModule_->exportToPaseboard();
    } catch (const std::exception& error) {
        presentError("Clipboard Export Error", "Can not export to clipboard", error);
        return;
    }
    if (UserDefaults::standard().boolForKey(copySuccessAlertSuppressionKey)) {
        endSheet(1);
        return;
    }
    const QString title = QString::fromStdString(currentModule_->moduleTitle());
    Alert alert;
    alert.messageText = QStringLiteral("Contents copied to clipboard");
    alert.informativeText = QStringLiteral("The contents have been copied to the clipboard as %1. You can paste the "
                                           "contents into any app that supports %1.")
                                .arg(title);
    alert.showsSuppressionButton = true;
    alert.runModalSheetForWindow(this);
    copySuccessAlertDidEnd(alert.suppressionButtonChecked());
}

void ExportWindowController::copySuccessAlertDidEnd(bool suppressionChecked)
{
    UserDefaults::standard().set(copySuccessAlertSuppressionKey, suppressionChecked);
    endSheet(1);
}

void showExportWindow(QWidget* editorWindow, const std::shared_ptr<VQDocument>& document)
{
    if (!document)
        return;
    auto* controller = editorWindow ? editorWindow->findChild<ExportWindowController*>(QString(), Qt::FindDirectChildrenOnly)
                                    : nullptr;
    if (!controller) {
        controller = new ExportWindowController(editorWindow);
        registerForAppearanceChanges(controller);
        QObject::connect(controller, &QDialog::finished, controller, [](int code) {
            VQ_LOG("showExportWindow(_:)", "export window ended with " + std::to_string(code));
        });
    }
    controller->setDoc(document);
    controller->setWindowModality(Qt::WindowModal);
    controller->open();
}

} // namespace velquine
