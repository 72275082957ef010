// The node style pane's edits: each control gives every selected node its value and writes the nodes back
// in the document's editing session.

#include "inspector/NodeStyleInspector.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

#include "document/DocumentLayout.h"
#include "document/VQDocument.h"
#include "inspector/FontFamilyPopUp.h"
#include "kit/CommandTable.h"
#include "kit/SegmentedControl.h"
#include "kit/WindowActions.h"
#include "layout/NodeSizing.h"
#include "platform/FontManager.h"
#include "platform/Log.h"

namespace velquine {

namespace {

// Opens (or joins) the session, writes the changed nodes, runs further steps, and commits when asked.
template <class Change>
void editSelectedNodes(VQDocument& document, const std::string& label, NodeUpdateOperation code, bool notify,
                       bool commit, Change&& change, const std::function<void(VQDocument&)>& further = {})
{
    std::vector<Node> nodes = document.project().graph.nodes(document.project().selectedNodeUIDs);
    for (Node& node : nodes)
        change(node);
    document.beginEditingSession(label);
    document.updateNodes(std::move(nodes), code, notify);
    if (further)
        further(document);
    if (commit && document.isInEditingSession())
        document.commitEditingSession();
}

// The font at a new size; the node is re-sized to its text around its centre and keeps its size through
// later theme changes.
void resizeFont(Node& node, double size)
{
    node.style.font = FontManager::convert(node.style.font, size);
    node.style.userOverrides.formUnion(NodeStyle::UserOverride::fontSize);
    node = autosizeNode(node, autosizeKeepCenter);
}

} // namespace

void NodeStyleInspector::connectControls()
{
    connect(shapeInheritanceChecker, &QCheckBox::clicked, this, [this] { toggleShapeInheritance(); });
    // Clicks and keys set the thickness at once; a drag sets it where the knob is let go.
    for (QSlider* slider : {borderThicknessSlider, branchThicknessSlider}) {
        const auto apply = [this, slider] {
            const auto thickness = StrokeThickness(slider->sliderPosition());
            slider == borderThicknessSlider ? setBorderThickness(thickness) : setBranchThickness(thickness);
        };
        connect(slider, &QSlider::actionTriggered, this, [slider, apply](int action) {
            if (action != QAbstractSlider::SliderMove && !slider->isSliderDown())
                apply();
        });
        connect(slider, &QSlider::sliderReleased, this, apply);
    }
    connect(fontVariantSegment, &SegmentedControl::activated, this, [this] { fontVariantSegmentDidChange(); });
    connect(fontAlignmentSegment, &SegmentedControl::activated, this, [this] { fontAlignmentSegmentDidChange(); });
    connect(fontSizeStepper, &Stepper::activated, this, [this] { fontSizeStepperAction(); });
    connect(fontSizeTextField, &QLineEdit::textEdited, this, [this] { controlTextDidChange(); });
    connect(fontSizeTextField, &QLineEdit::editingFinished, this, [this] { controlTextDidEndEditing(); });
    connect(fontNameDropdown, &QComboBox::activated, this, [this] { fontNameDropdownAction(); });
    connect(fontNameDropdown, &FontFamilyPopUp::menuWillOpen, this, [this] { menuWillOpen(); });
    connect(fontNameDropdown, &FontFamilyPopUp::menuDidClose, this, [this] { menuDidClose(); });
    for (QComboBox* selector : {layoutTypeSelector, layoutDirectionSelector, branchTypeSelector})
        connect(selector, &QComboBox::activated, this, [this, selector] { changeLayout(selector); });
    connect(isLayoutManualCheckbox, &QCheckBox::clicked, this, [this] { changeLayout(isLayoutManualCheckbox); });
    connect(useBaseLayoutButton, &QPushButton::clicked, this, [this] { resetLayout(); });
    connect(setAsDefaultStyleButton, &QPushButton::clicked, this, [this] { setNodeStyleAsDefault(); });
    // The reset buttons send their commands along the window's chain to the map's controller.
    const std::pair<QPushButton*, Command> resets[] = {{resetNodeStyleButton, Command::resetNodeStyle},
                                                       {resetNodeColorsButton, Command::resetNodeColors},
                                                       {resetNodeSizeButton, Command::resetNodeSize}};
    for (const auto& [button, command] : resets) {
        connect(button, &QPushButton::clicked, this, [this, selector = std::string(commandSelector(command))] {
            if (WindowActions* actions = WindowActions::of(this))
                actions->dispatcher().sendAction(selector);
        });
    }

    Responder::addAction(commandSelector(Command::toggleShapeInheritance),
                         [this](const ActionItem*) { toggleShapeInheritance(); });
    Responder::addAction(commandSelector(Command::minBorderThicknessAction),
                         [this](const ActionItem*) { setBorderThickness(StrokeThickness::invisible); });
    Responder::addAction(commandSelector(Command::maxBorderThicknessAction),
                         [this](const ActionItem*) { setBorderThickness(StrokeThickness::thickest); });
    Responder::addAction(commandSelector(Command::minBranchThicknessAction),
                         [this](const ActionItem*) { setBranchThickness(StrokeThickness::thinnest); });
    Responder::addAction(commandSelector(Command::maxBranchThicknessAction),
                         [this](const ActionItem*) { setBranchThickness(StrokeThickness::thickest); });
    Responder::addAction(commandSelector(Command::changeLayout), [this](const ActionItem* sender) {
        changeLayout(sender ? sender->object : nullptr);
    });
    Responder::addAction(commandSelector(Command::resetLayout), [this](const ActionItem*) { resetLayout(); });
    Responder::addAction(commandSelector(Command::setNodeStyleAsDefault),
                         [this](const ActionItem*) { setNodeStyleAsDefault(); });
}

void NodeStyleInspector::iconSegmentSelectionChanged(KVIconSegmentControl* control)
{
    if (control == shapeSegment)
        applyShape();
    else if (control == borderStyleSegment)
        applyStrokeStyle(false);
    else if (control == branchStyleSegment)
        applyStrokeStyle(true);
}

void NodeStyleInspector::colorWellDidChange(KVColorWell* well, const Color&, bool)
{
    if (well == borderColorWell)
        applyBorderColor();
    else if (well == fillColorWell)
        applyFillColor();
    else if (well == branchColorWell)
        applyBranchColor();
    else if (well == fontColorWell)
        applyTextColor(fontColorWell->selectedColorIsFinalColor());
}

void NodeStyleInspector::applyShape()
{
    const std::shared_ptr<VQDocument> doc = document();
    if (!doc)
        return;
    const NodeShape shape = nodeShapeFromString(shapeSegment->selectedItem().identifier.toStdString());
    editSelectedNodes(*doc, "Change Node Shape", NodeUpdateOperation::shape, false, true,
                      [&](Node& node) { node.shape = shape; },
                      [](VQDocument& d) { DocumentLayout(d).autolayoutSelectedNodes(false); });
}

void NodeStyleInspector::applyBorderStyle()
{
    applyStrokeStyle(false);
}

void NodeStyleInspector::applyBranchStyle()
{
    applyStrokeStyle(true);
}

void NodeStyleInspector::applyStrokeStyle(bool branch)
{
    const std::shared_ptr<VQDocument> doc = document();
    if (!doc)
        return;
    const std::string identifier =
        (branch ? branchStyleSegment : borderStyleSegment)->selectedItem().identifier.toStdString();
    std::optional<StrokeStyle> style;
    for (StrokeStyle candidate : allStrokeStyles)
        if (textName(candidate) == identifier)
            style = candidate;
    if (!style) {
        VQ_LOG(branch ? "applyBranchStyle()" : "applyBorderStyle()",
               (branch ? "cant apply branch style with identifier " : "cant apply border style with identifier ")
                   + identifier);
        return;
    }
    editSelectedNodes(*doc, branch ? "Change Branch Style" : "Change Border Style",
                      branch ? NodeUpdateOperation::branchStyle : NodeUpdateOperation::borderStyle, false, true,
                      [&](Node& node) { (branch ? node.style.branchStyle : node.style.borderStyle) = *style; });
}

void NodeStyleInspector::applyColor(KVColorWell* well, Color NodeStyle::*field, const char* label,
                                    NodeUpdateOperation code)
{
    const std::shared_ptr<VQDocument> doc = document();
    if (!doc)
        return;
    const Color colour = well->selectedColor();
    editSelectedNodes(*doc, label, code, true, well->selectedColorIsFinalColor(),
                      [&](Node& node) { node.style.*field = colour; });
}

void NodeStyleInspector::applyFillColor()
{
    applyColor(fillColorWell, &NodeStyle::fillColor, "Change Fill Color", NodeUpdateOperation::fillColor);
}

void NodeStyleInspector::applyBorderColor()
{
    applyColor(borderColorWell, &NodeStyle::borderColor, "Change Border Color", NodeUpdateOperation::borderColor);
}

void NodeStyleInspector::applyBranchColor()
{
    applyColor(branchColorWell, &NodeStyle::branchColor, "Change Branch Color", NodeUpdateOperation::branchColor);
}

void NodeStyleInspector::applyTextColor(bool)
{
    applyColor(fontColorWell, &NodeStyle::textColor, "Change Text Color", NodeUpdateOperation::textColor);
}

void NodeStyleInspector::toggleShapeInheritance()
{
    const std::shared_ptr<VQDocument> doc = document();
    if (!doc)
        return;
    const bool inherit = shapeInheritanceChecker->isChecked();
    editSelectedNodes(*doc, "Change Shape Inheritance", NodeUpdateOperation::shapeInheritance, false, true,
                      [&](Node& node) { node.childrenShouldInheritShape = inherit; });
}

void NodeStyleInspector::setBorderThickness(StrokeThickness thickness)
{
    const std::shared_ptr<VQDocument> doc = document();
    if (!doc)
        return;
    editSelectedNodes(*doc, "Change Border Thickness", NodeUpdateOperation::borderThickness, false, true,
                      [&](Node& node) { node.style.borderWidth = thickness; });
}

void NodeStyleInspector::setBranchThickness(StrokeThickness thickness)
{
    const std::shared_ptr<VQDocument> doc = document();
    if (!doc)
        return;
    editSelectedNodes(*doc, "Change Branch Thickness", NodeUpdateOperation::branchThickness, false, true,
                      [&](Node& node) { node.style.branchWidth = thickness; });
}

void NodeStyleInspector::fontVariantSegmentDidChange()
{
    const std::shared_ptr<VQDocument> doc = document();
    if (!doc)
        return;
    const bool bold = fontVariantSegment->isSelected(0);
    const bool italic = fontVariantSegment->isSelected(1);
    const bool underline = fontVariantSegment->isSelected(2);
    // A bold or italic face takes more or less room: nodes sized to their titles are sized again, and their
    // trees laid out around the new sizes.
    editSelectedNodes(
        *doc, "Change Font Style", NodeUpdateOperation::fontStyle, false, true,
        [&](Node& node) {
            Font font = FontManager::convert(node.style.font, bold ? FontTrait::bold : FontTrait::unbold);
            node.style.font = FontManager::convert(font, italic ? FontTrait::italic : FontTrait::unitalic);
            node.style.isUnderlined = underline;
            node = autosizeNodeAfterFontChange(node);
        },
        [](VQDocument& d) { DocumentLayout(d).autolayoutSelectedNodes(false); });
}

void NodeStyleInspector::fontAlignmentSegmentDidChange()
{
    const std::shared_ptr<VQDocument> doc = document();
    if (!doc)
        return;
    TextAlignment alignment = TextAlignment::left;
    if (fontAlignmentSegment->isSelected(3))
        alignment = TextAlignment::justified;
    else if (fontAlignmentSegment->isSelected(2))
        alignment = TextAlignment::right;
    else if (fontAlignmentSegment->isSelected(1) || !fontAlignmentSegment->isSelected(0))
        alignment = TextAlignment::center;
    editSelectedNodes(*doc, "Change Text Alignment", NodeUpdateOperation::textAlignment, false, true,
                      [&](Node& node) { node.style.textAlignment = static_cast<std::int64_t>(alignment); });
}

void NodeStyleInspector::applyFontFamily()
{
    const std::shared_ptr<VQDocument> doc = document();
    if (!doc || fontNameDropdown->currentIndex() < 0)
        return;
    const std::string family = fontNameDropdown->currentText().toStdString();
    editSelectedNodes(
        *doc, "Change Font", NodeUpdateOperation::font, false, true,
        [&](Node& node) {
            node.style.font = FontManager::convert(node.style.font, family);
            node = autosizeNodeAfterFontChange(node);
        },
        [](VQDocument& d) { DocumentLayout(d).autolayoutSelectedNodes(false); });
}

void NodeStyleInspector::fontSizeStepperAction()
{
    const std::shared_ptr<VQDocument> doc = document();
    if (!doc)
        return;
    const int size = fontSizeStepper->value();
    fontSizeTextField->setText(QString::number(size));
    editSelectedNodes(*doc, "Change Font Size", NodeUpdateOperation::fontSize, false, true,
                      [&](Node& node) { resizeFont(node, size); },
                      [](VQDocument& d) { DocumentLayout(d).autolayoutSelectedNodes(false); });
}

void NodeStyleInspector::controlTextDidChange()
{
    const std::shared_ptr<VQDocument> doc = document();
    if (!doc)
        return;
    bool ok = false;
    const qlonglong size = fontSizeTextField->text().toLongLong(&ok);
    // An empty field, 0, or a size the stepper could not reach changes nothing.
    if (!ok || size < minimumFontSize || size > maximumFontSize)
        return;
    fontSizeFieldIsEditing_ = true;
    editSelectedNodes(*doc, "Change Font Size", NodeUpdateOperation::fontSize, false, false,
                      [&](Node& node) { resizeFont(node, double(size)); });
}

void NodeStyleInspector::controlTextDidEndEditing()
{
    const std::shared_ptr<VQDocument> doc = document();
    if (!doc || !fontSizeFieldIsEditing_)
        return;
    fontSizeFieldIsEditing_ = false;
    if (!doc->isInEditingSession())
        return;
    // The nodes grew or shrank while the size was typed: their trees are laid out again, as a step of the
    // stepper lays them out, so that no node covers its parent or its siblings.
    DocumentLayout(*doc).autolayoutSelectedNodes(false);
    doc->commitEditingSession();
}

} // namespace velquine
