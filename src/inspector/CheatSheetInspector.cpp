#include "inspector/CheatSheetInspector.h"

#include <QTextBrowser>
#include <QVBoxLayout>

#include "document/VQDocument.h"
#include "document/VQDocumentEventListener.h"
#include "platform/Resources.h"

namespace velquine {

class CheatSheetInspector::Listener : public VQDocumentEventListener {};

CheatSheetInspector::CheatSheetInspector(QWidget* parent)
    : InspectorController(parent), listener_(std::make_unique<Listener>())
{
    setObjectName(QStringLiteral("CheatSheetInspector"));
}

CheatSheetInspector::~CheatSheetInspector()
{
    unregisterEventListener();
}

void CheatSheetInspector::viewDidLoad()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* page = new QTextBrowser(this);
    page->setObjectName(QStringLiteral("webView"));
    page->setOpenLinks(false);
    layout->addWidget(page);
    if (std::optional<std::string> html = resourceData("CheatSheet", "html"))
        page->setHtml(QString::fromStdString(*html));
}

void CheatSheetInspector::inspectorDidShow()
{
    if (documentOrLog("inspectorDidShow()"))
        registerEventListener(listener_.get());
}

void CheatSheetInspector::inspectorDidHide()
{
    if (documentOrLog("inspectorDidHide()"))
        unregisterEventListener();
}

} // namespace velquine
