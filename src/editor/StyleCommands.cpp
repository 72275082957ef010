#include "editor/StyleCommands.h"

#include "document/DocumentLayout.h"
#include "document/DocumentResets.h"
#include "editor/GraphViewController.h"
#include "kit/CommandTable.h"
#include "layout/NodeSizing.h"
#include "platform/FontManager.h"

namespace velquine {

namespace {

enum Reset { resetStyle = 0, resetColors = 1, resetSize = 2 };

} // namespace

void StyleCommands::registerActions(const AddAction& addAction)
{
    addAction(commandSelector(Command::toggleNodeBold),
              [this](const ActionItem*) { toggleFontTrait(FontTrait::bold, FontTrait::unbold, "Toggle Bold"); });
    addAction(commandSelector(Command::toggleNodeItalic), [this](const ActionItem*) {
        toggleFontTrait(FontTrait::italic, FontTrait::unitalic, "Toggle Italic");
    });
    addAction(commandSelector(Command::toggleNodeUnderline), [this](const ActionItem*) { toggleNodeUnderline(); });
    addAction(commandSelector(Command::resetNodeStyleAndSize), [this](const ActionItem*) { resetNodeStyleAndSize(); });
    addAction(commandSelector(Command::resetNodeStyle), [this](const ActionItem*) { resetNodes(resetStyle); });
    addAction(commandSelector(Command::resetNodeColors), [this](const ActionItem*) { resetNodes(resetColors); });
    addAction(commandSelector(Command::resetNodeSize), [this](const ActionItem*) { resetNodes(resetSize); });
}

// The first selected node decides whether every selected node gains or loses the trait.
void StyleCommands::toggleFontTrait(std::uint32_t trait, std::uint32_t reverse, const char* label)
{
    auto document = controller_.lockDocument();
    auto nodes = controller_.projectSelection();
    if (!document || nodes.empty())
        return;
    std::uint32_t mask = (FontManager::traits(nodes.front().style.font) & trait) ? reverse : trait;
    controller_.openSession(*document, label);
    // Nodes sized to their titles take the room of the new face, and their trees are laid out around it.
    for (Node& node : nodes) {
        node.style.font = FontManager::convert(node.style.font, mask);
        node = autosizeNodeAfterFontChange(node);
    }
    document->updateNodes(std::move(nodes), NodeUpdateOperation::fontStyle, false);
    DocumentLayout(*document).autolayoutSelectedNodes(false);
    controller_.commitSession(*document);
}

void StyleCommands::toggleNodeUnderline()
{
    auto document = controller_.lockDocument();
    auto nodes = controller_.projectSelection();
    if (!document || nodes.empty())
        return;
    bool underline = !nodes.front().style.isUnderlined;
    controller_.openSession(*document, "Toggle Underlined");
    for (Node& node : nodes)
        node.style.isUnderlined = underline;
    document->updateNodes(std::move(nodes), NodeUpdateOperation::fontStyle, false);
    controller_.commitSession(*document);
}

void StyleCommands::resetNodeStyleAndSize()
{
    auto document = controller_.lockDocument();
    if (!document)
        return;
    controller_.openSession(*document, "Reset Node Style and Size");
    DocumentResets(*document).resetNodeStyle(controller_.projectSelection());
    DocumentResets(*document).resetNodeSize(controller_.projectSelection());
    DocumentLayout(*document).autolayoutSelectedNodes(false);
    DocumentLayout(*document).resolveCollisions();
    controller_.commitSession(*document);
}

void StyleCommands::resetNodes(int which)
{
    auto document = controller_.lockDocument();
    if (!document)
        return;
    static const char* const labels[] = {"Reset Node Style", "Reset Node Colors", "Reset Node Size"};
    controller_.openSession(*document, labels[which]);
    if (which == resetStyle)
        DocumentResets(*document).resetNodeStyle(controller_.projectSelection());
    else if (which == resetColors)
        DocumentResets(*document).resetNodeColors(controller_.projectSelection());
    else
        DocumentResets(*document).resetNodeSize(controller_.projectSelection());
    if (which != resetColors) {
        DocumentLayout(*document).autolayoutSelectedNodes(false);
        DocumentLayout(*document).resolveCollisions();
    }
    controller_.commitSession(*document);
}

} // namespace velquine
