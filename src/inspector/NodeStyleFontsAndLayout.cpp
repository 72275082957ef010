// The node style pane's family list and family pop-up, and its actions on tree layout options and on the
// project's default node styles.

#include "inspector/NodeStyleInspector.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPointer>
#include <QThread>

#include "document/DocumentLayout.h"
#include "document/VQDocument.h"
#include "inspector/FontFamilyPopUp.h"
#include "inspector/LayoutOptionsPopUps.h"
#include "kit/SegmentedControl.h"
#include "platform/FontManager.h"
#include "platform/RunLoop.h"

#include <algorithm>
#include <array>

namespace velquine {

namespace {

bool isOneOf(const std::string& name, const std::array<std::string_view, 6>& names)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

} // namespace

bool NodeStyleInspector::isBoldFaceName(const std::string& name)
{
    return isOneOf(name, {"bold", "strong", "bold italic", "bold oblique", "boldoblique", "bolditalic"});
}

bool NodeStyleInspector::isItalicFaceName(const std::string& name)
{
    return isOneOf(name, {"italic", "oblique", "bold italic", "bold oblique", "boldoblique", "bolditalic"});
}

void NodeStyleInspector::enumerateFonts()
{
    // One thread for the pane's one enumeration; the list comes back through the main run loop and is
    // dropped when the pane is gone by then.
    QPointer<NodeStyleInspector> pane(this);
    QThread* queue = QThread::create([pane] {
        std::vector<std::string> names = FontManager::availableFontFamilies();
        RunLoop::post([pane, names = std::move(names)] {
            if (pane)
                pane->setFontNames(names);
        });
    });
    queue->setObjectName(QStringLiteral("Font Enumeration Queue"));
    QObject::connect(queue, &QThread::finished, queue, &QObject::deleteLater);
    queue->start();
}

void NodeStyleInspector::setFontNames(const std::vector<std::string>& names)
{
    fontNameDropdown->clear();
    for (const std::string& name : names)
        fontNameDropdown->addItem(QString::fromStdString(name));
    fontNameDropdown->setCurrentIndex(-1);
    hasFontNames_ = true;
    syncFontControls();
}

void NodeStyleInspector::menuWillOpen()
{
    const double size = QFontInfo(fontNameDropdown->font()).pointSizeF();
    for (int i = 0; i < fontNameDropdown->count(); ++i) {
        if (fontNameDropdown->itemData(i, Qt::FontRole).isValid())
            continue;
        if (const std::optional<Font> face = FontManager::font(fontNameDropdown->itemText(i).toStdString(), size)) {
            QFont preview = face->toQFont(fontNameDropdown);
            preview.setPointSizeF(size);
            fontNameDropdown->setItemData(i, preview, Qt::FontRole);
        }
    }
}

void NodeStyleInspector::menuDidClose()
{
    const int selected = fontNameDropdown->currentIndex();
    if (selected >= 0)
        fontNameDropdown->setItemData(selected, QVariant(), Qt::FontRole);
}

void NodeStyleInspector::fontNameDropdownAction()
{
    const int selected = fontNameDropdown->currentIndex();
    if (selected < 0)
        return;
    fontNameDropdown->setItemData(selected, QVariant(), Qt::FontRole);
    updateFontVariantAvailability();
    applyFontFamily();
}

void NodeStyleInspector::updateFontVariantAvailability()
{
    if (fontNameDropdown->currentIndex() < 0)
        return;
    const std::vector<FontMember> members = FontManager::availableMembers(fontNameDropdown->currentText().toStdString());
    if (members.empty())
        return;
    bool bold = false, italic = false;
    for (const FontMember& member : members) {
        const std::string face = QString::fromStdString(member.faceName).toLower().toStdString();
        bold = bold || isBoldFaceName(face);
        italic = italic || isItalicFaceName(face);
    }
    fontVariantSegment->setEnabled(bold, 0);
    fontVariantSegment->setEnabled(italic, 1);
}

namespace {

// Each selected node's tree root with the options, then the node itself without options of its own; each
// node once, first entry kept.
std::vector<Node> treeRootsWithOptions(const VQProject& project, const std::vector<Node>& selected,
                                       const std::optional<LayoutOptions>& options)
{
    std::vector<Node> nodes;
    for (const Node& node : selected) {
        Node root = project.graph.rootAncestor(node);
        root.layoutOptions = options;
        nodes.push_back(std::move(root));
        Node own = node;
        own.layoutOptions.reset();
        nodes.push_back(std::move(own));
    }
    return uniquedByUID(nodes);
}

// Writes the options onto the selected nodes' trees in one session and lays those trees out again.
void writeTreeOptions(VQDocument& document, const std::vector<Node>& selected, const std::string& label,
                      const std::optional<LayoutOptions>& options, bool balance)
{
    document.beginEditingSession(label);
    document.updateNodes(treeRootsWithOptions(document.project(), selected, options), NodeUpdateOperation::style,
                         false);
    if (balance)
        DocumentLayout(document).balanceSelectedNode();
    DocumentLayout(document).autolayoutSelectedNodes(true);
    if (document.isInEditingSession())
        document.commitEditingSession();
}

} // namespace

std::shared_ptr<VQDocument> NodeStyleInspector::documentWithSelection(std::vector<Node>& selected) const
{
    std::shared_ptr<VQDocument> doc = document();
    if (doc)
        selected = selectedNodes(doc->project());
    return selected.empty() ? nullptr : doc;
}

void NodeStyleInspector::changeLayout(QObject* sender)
{
    std::vector<Node> selected;
    const std::shared_ptr<VQDocument> doc = documentWithSelection(selected);
    if (!doc)
        return;
    using Options = LayoutOptions;
    const Options options = layoutOptionsFromPopUps(doc->project().baseLayoutOptions, layoutTypeSelector,
                                                    layoutDirectionSelector, branchTypeSelector, isLayoutManualCheckbox);

    // The type and direction pop-ups balance; the check box only when it turns a balanced layout automatic.
    const bool isPopUp = qobject_cast<QComboBox*>(sender) != nullptr;
    const bool balance = isPopUp ? sender != branchTypeSelector
                                 : options.layoutDirection == Options::LayoutDirection::balanced && !options.isManual;
    writeTreeOptions(*doc, selected, "Change Node Layout Options", options, balance);
}

void NodeStyleInspector::resetLayout()
{
    std::vector<Node> selected;
    const std::shared_ptr<VQDocument> doc = documentWithSelection(selected);
    if (!doc)
        return;
    writeTreeOptions(*doc, selected, "Reset Node Layout Options", std::nullopt, false);
}

void NodeStyleInspector::setNodeStyleAsDefault()
{
    std::vector<Node> selected;
    const std::shared_ptr<VQDocument> doc = documentWithSelection(selected);
    if (!doc)
        return;
    const Node& node = selected.front();
    ProjectStyle style = doc->project().projectStyle;
    switch (doc->project().graph.nodeType(node)) {
    case NodeType::root:
        style.current.rootNodeStyle = node.style;
        style.current.rootNodeShape = node.shape;
        break;
    case NodeType::main:
        style.current.mainNodeStyle = node.style;
        style.current.mainNodeShape = node.shape;
        break;
    case NodeType::sub:
        style.current.subNodeStyle = node.style;
        style.current.subNodeShape = node.shape;
        break;
    }
    doc->beginEditingSession("Set Node Style As Default");
    doc->setProjectStyle(std::move(style));
    if (doc->isInEditingSession())
        doc->commitEditingSession();
}

} // namespace velquine
