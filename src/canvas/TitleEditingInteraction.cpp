// Typing a node's title on the canvas: one text view, shared by all nodes, laid over the title of the node
// being edited. The node grows or shrinks with the text as it is typed, keeping the edge that faces its parent.
// The whole edit is one editing session of the document: opened (or joined, after a new-node command) when the
// edit begins, written at every change, and committed as one undo step when the edit ends, or abandoned when it
// is cancelled or the title did not change.

#include <QApplication>
#include <QKeyEvent>
#include <QResizeEvent>
#include <QTextBlock>
#include <QTextCursor>

#include "canvas/GraphView.h"
#include "canvas/CanvasSync.h"
#include "canvas/TitleEditingInteraction.h"
#include "canvas/NodeTitleEditor.h"
#include "canvas/layers/NodeLayer.h"
#include "kit/ScrollView.h"
#include "layout/NodeSizing.h"
#include "platform/layer/Transaction.h"

namespace velquine {

namespace {

Qt::Alignment editorAlignment(std::int64_t raw)
{
    switch (raw) {
    case static_cast<std::int64_t>(TextAlignment::left): return Qt::AlignLeft;
    case static_cast<std::int64_t>(TextAlignment::right): return Qt::AlignRight;
    case static_cast<std::int64_t>(TextAlignment::justified): return Qt::AlignJustify;
    default: return Qt::AlignHCenter;
    }
}

// The label's rectangle in canvas coordinates.
Rect labelRectOnCanvas(const Node& node)
{
    const Rect label = node.image() ? labelFrame(node).second : labelLayout(node).second;
    return label.offsetBy(node.center.x - node.size.width / 2, node.center.y - node.size.height / 2);
}

} // namespace

TitleEditingInteraction::TitleEditingInteraction(GraphView& view, CanvasSync& sync) : view_(view), sync_(sync) {}

TitleEditingInteraction::~TitleEditingInteraction() = default;

void TitleEditingInteraction::deleteTitleEditor()
{
    if (!nodeEditor_)
        return;
    nodeEditor_->disconnect(&view_);
    delete nodeEditor_;
    nodeEditor_ = nullptr;
}

void TitleEditingInteraction::didReload()
{
    if (isNodeEditorActive_)
        placeTitleEditor();
}

void TitleEditingInteraction::makeTitleEditor()
{
    if (nodeEditor_)
        return;
    nodeEditor_ = new NodeTitleEditor(&view_);
    QObject::connect(nodeEditor_, &EditingTextView::textDidChange, &view_, [this] { resizeTitleEditorToFit(); });
    QObject::connect(nodeEditor_, &NodeTitleEditor::endRequested, &view_, [this] { endEditingTitle(true); });
    QObject::connect(nodeEditor_, &NodeTitleEditor::focusLost, &view_, [this] { endEditingTitle(true); });
    QObject::connect(nodeEditor_, &EditingTextView::cancelOperation, &view_, [this] { endEditingTitle(false); });
}

std::uint8_t TitleEditingInteraction::growthAnchor(const Node& node) const
{
    const std::optional<Node> parent = view_.graph().parent(node);
    if (!parent)
        return autosizeKeepCenter;
    return parent->center.x < node.center.x ? autosizeGrowRight : autosizeGrowLeft;
}

void TitleEditingInteraction::placeTitleEditor()
{
    if (!nodeEditor_ || !editingNode_)
        return;
    const Node& node = *editingNode_;
    const Rect bounds = view_.boundsRect();
    const double scale = bounds.size.width > 0 ? view_.width() / bounds.size.width : 1.0;
    QFont font = node.style.font.toQFont(nodeEditor_);
    font.setPointSizeF(font.pointSizeF() * scale);
    font.setUnderline(node.style.isUnderlined);
    font.setStrikeOut(node.style.isStrikeThrough);
    if (nodeEditor_->font() != font) {
        nodeEditor_->setFont(font);
        nodeEditor_->document()->setDefaultFont(font);
    }
    nodeEditor_->setTextFrame(view_.widgetRectFromLayer(view_.centerScanRect(labelRectOnCanvas(node))));
}

// Like any text view in a scroll view, the editor scrolls the canvas as the text grows so that the node being
// typed stays wholly in view; the canvas moves as little as needed. A map shown whole while the title is typed
// is shown whole again whenever it fits: showing only the growing node would push the map's far side out of
// view, and keep it out when the title wraps and the node narrows again.
void TitleEditingInteraction::keepTitleEditorInView()
{
    if (!editingNode_)
        return;
    ScrollView* scrollView = ScrollView::enclosingScrollView(&view_);
    if (!scrollView || scrollView->documentView() != &view_)
        return;
    const Node& node = *editingNode_;
    Rect shown(node.center.x - node.size.width / 2, node.center.y - node.size.height / 2, node.size.width,
               node.size.height);
    mapWasWhole_ = mapWasWhole_ || showsWholeMap();
    const Rect map = view_.graph().boundingRect();
    const Rect grown = map.isNull() ? shown : map.unionWith(shown);
    const Size room = scrollView->targetVisibleRect().size;
    if (mapWasWhole_ && grown.size.width <= room.width && grown.size.height <= room.height)
        shown = grown;
    // What the node draws around it once typed stays in view too; when the view moves, it takes the view's margin
    // beside it, as for a node brought into view.
    if (!scrollView->holds(shown.insetBy(-selectionReach, -selectionReach)))
        scrollView->scrollRectToVisible(
            ScrollView::withRevealMargin(shown, selectionReach, room, scrollView->magnification()));
}

bool TitleEditingInteraction::showsWholeMap() const
{
    const ScrollView* scrollView = ScrollView::enclosingScrollView(&view_);
    const Rect map = view_.graph().boundingRect();
    return scrollView && !map.isNull() && scrollView->holds(map);
}

// Each edit may reload the layers (the one before it ends), so layers are looked up again by node.
void TitleEditingInteraction::forEachSelectedLayer(const std::function<void(NodeLayer&)>& body)
{
    std::vector<std::int64_t> selected;
    for (const auto& layer : sync_.nodeLayersAsIs())
        if (layer->isSelected())
            selected.push_back(layer->node().uid);
    for (std::int64_t uid : selected)
        if (NodeLayer* layer = sync_.settledNodeLayer(uid))
            body(*layer);
}

void TitleEditingInteraction::beginEditingSelectedTitles(bool commitEvenIfTitleDoesntChange,
                                                         std::function<void()> completionHandler)
{
    forEachSelectedLayer([&](NodeLayer& layer) {
        beginEditingTitle(layer, commitEvenIfTitleDoesntChange, std::nullopt, true, completionHandler);
    });
}

// The editor takes the node's title, font colour, alignment and a border that stands out from what lies behind
// it; its typing history starts empty.
void TitleEditingInteraction::prepareTitleEditor(const Node& shown)
{
    const NodeStyle& style = shown.style;
    nodeEditor_->setPlainText(QString::fromStdString(shown.title));
    const Qt::Alignment alignment = editorAlignment(style.textAlignment);
    QTextOption option = nodeEditor_->document()->defaultTextOption();
    option.setAlignment(alignment);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    nodeEditor_->document()->setDefaultTextOption(option);
    QTextCursor all(nodeEditor_->document());
    all.select(QTextCursor::Document);
    QTextBlockFormat block;
    block.setAlignment(alignment);
    block.setLineHeight(100, QTextBlockFormat::ProportionalHeight);
    all.mergeBlockFormat(block);
    nodeEditor_->setReadOnly(false);
    nodeEditor_->setTextInteractionFlags(Qt::TextEditorInteraction);
    const Color reference =
        shown.shape == NodeShape::underline ? view_.projectStyle().current.backgroundColor : style.fillColor;
    nodeEditor_->setColors(style.textColor.toQColor(), reference.isLight());
    nodeEditor_->removeAllUndoActions();
}

void TitleEditingInteraction::beginEditingTitle(NodeLayer& startLayer, bool commitEvenIfTitleDoesntChange,
                                  std::optional<std::string> initialText, bool selectAll,
                                  std::function<void()> completionHandler)
{
    const std::int64_t uid = startLayer.node().uid;
    // Whatever holds the keyboard in &view_ window lets go first: a running title edit commits.
    if (QWidget* focused = view_.window()->focusWidget(); focused && focused != &view_)
        focused->clearFocus();
    endEditingTitle(true);
    NodeLayer* layer = sync_.settledNodeLayer(uid);
    if (!layer)
        return;
    makeTitleEditor();
    isNodeEditorActive_ = true;
    view_.setActiveGesture(this);
    const Node startingNode = layer->node();
    bool textDiffers = false;
    if (initialText) {
        Transaction transaction(true);
        textDiffers = *initialText != startingNode.title;
        Node typed = startingNode;
        typed.title = *initialText;
        layer->setNode(typed);
        layer->updateContents();
        sync_.invalidateLayerState();
    }
    editingContext_ =
        EditingContext{uid, startingNode, std::move(completionHandler), commitEvenIfTitleDoesntChange};

    const Node& shown = layer->node();
    prepareTitleEditor(shown);
    mapWasWhole_ = showsWholeMap();

    {
        Transaction transaction(true);
        layer->setBeingEdited(true);
        layer->updateEditingState();
        editingNode_ = textDiffers ? autosizeNode(shown, growthAnchor(shown)) : shown;
        placeTitleEditor();
    }
    if (textDiffers)
        keepTitleEditorInView();
    nodeEditor_->show();
    nodeEditor_->raise();
    nodeEditor_->setFocus(Qt::OtherFocusReason);
    if (selectAll)
        nodeEditor_->selectAll();
    else
        nodeEditor_->moveCursor(QTextCursor::End);

    if (const auto target = view_.delegate()) {
        target->didBeginEditingNodeTitle();
        target->editNodeTitle(*editingNode_, false);
    }
}

void TitleEditingInteraction::resizeTitleEditorToFit()
{
    if (!isNodeEditorActive_ || !editingContext_)
        return;
    Node node = editingContext_->node;
    node.title = nodeEditor_->toPlainText().toStdString();
    {
        Transaction transaction(true);
        editingNode_ = autosizeNode(node, growthAnchor(node));
        placeTitleEditor();
    }
    keepTitleEditorInView();
    if (const auto target = view_.delegate())
        target->editNodeTitle(*editingNode_, false);
}

void TitleEditingInteraction::endEditingTitle(bool commit)
{
    if (!isNodeEditorActive_ || !editingContext_)
        return;
    // Cleared first: the focus changes below must not end the edit a second time.
    isNodeEditorActive_ = false;
    view_.setActiveGesture(nullptr);
    const EditingContext context = *editingContext_;
    NodeLayer* layer = sync_.settledNodeLayer(context.nodeUID);
    {
        Transaction transaction;
        const std::string title = nodeEditor_->toPlainText().toStdString();
        const bool abandon = !commit || (title == context.node.title && !context.commitEvenIfTitleDoesntChange);
        if (abandon) {
            if (const auto target = view_.delegate())
                target->abandonTitleEdit();
        } else if (const auto target = view_.delegate()) {
            Node node = context.node;
            node.title = title;
            target->editNodeTitle(autosizeNode(node, growthAnchor(node)), true);
        }
        if (layer) {
            if (commit)
                layer->updateShapePath(layer->node().shape);
            layer->setBeingEdited(false);
            layer->updateEditingState();
            layer->layoutIfNeeded();
        }
        if (abandon) {
            // The layer may show typed text the document never kept.
            sync_.invalidateLayerState();
            view_.reloadLayers();
        }
    }
    if (context.completionHandler)
        context.completionHandler();
    // The canvas takes the keyboard back, unless the user just gave it to another control; before the editor
    // hides, or hiding would pass the focus on along the window's chain and the scroll view would scroll to
    // where the editor is put away.
    QWidget* focused = view_.window()->focusWidget();
    if (nodeEditor_->hasFocus() || !focused || focused == nodeEditor_)
        view_.setFocus(Qt::OtherFocusReason);
    nodeEditor_->move(0, 0);
    nodeEditor_->setReadOnly(true);
    nodeEditor_->setTextInteractionFlags(Qt::NoTextInteraction);
    nodeEditor_->hide();
    if (const auto target = view_.delegate())
        target->didEndEditingNodeTitle();
}

bool TitleEditingInteraction::beginEditingTitleFromKey(QKeyEvent* event)
{
    const std::vector<Node> selected = view_.selectedNodes();
    if (selected.empty() || (event->modifiers() & Qt::ControlModifier) || event->text().isEmpty())
        return false;
    const QString text = event->text();
    const bool printable = std::any_of(text.begin(), text.end(), [](QChar c) {
        return c.isPunct() || c.isSymbol() || c.isLetterOrNumber() || c.isMark();
    });
    if (!printable || selected.size() != 1)
        return false;
    forEachSelectedLayer(
        [&](NodeLayer& layer) { beginEditingTitle(layer, false, text.toStdString(), false, nullptr); });
    return true;
}

} // namespace velquine
