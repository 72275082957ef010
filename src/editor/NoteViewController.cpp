#include "editor/NoteViewController.h"

#include <QVBoxLayout>

#include "document/DocumentListenerRelay.h"
#include "document/VQDocument.h"
#include "kit/EditingTextView.h"
#include "platform/Font.h"

namespace velquine {

NoteViewController::NoteViewController(const std::shared_ptr<VQDocument>& document, QWidget* parent)
    : QWidget(parent), document_(document), noteView_(new EditingTextView(this)),
      relay_(std::make_shared<DocumentListenerRelay>(this))
{
    setObjectName(QStringLiteral("NoteViewController"));
    noteView_->setObjectName(QStringLiteral("noteView"));
    noteView_->setAcceptRichText(false);
    noteView_->setFrameShape(QFrame::NoFrame);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(noteView_);
    setMinimumHeight(120);

    connect(noteView_, &EditingTextView::textDidBeginEditing, this, [this] { isEditing_ = true; });
    connect(noteView_, &EditingTextView::textDidChange, this, &NoteViewController::textDidChange);
    connect(noteView_, &EditingTextView::textDidEndEditing, this, &NoteViewController::textDidEndEditing);
    connect(noteView_, &EditingTextView::cancelOperation, this, &NoteViewController::cancelOperation);

    auto reload = [this] { reloadNote(); };
    relay_->onReplaceProject = reload;
    relay_->onCancelSession = reload;
    relay_->onCommitSession = reload;
    relay_->onProjectInfo = reload;
    relay_->onSelection = reload;
    relay_->onUpdateNodes = [this](const std::vector<Node>&, NodeUpdateOperation operation) {
        if (operation == NodeUpdateOperation::note)
            reloadNote();
    };
    if (document)
        document->registerEventListener(relay_);
    reloadNote();
}

NoteViewController::~NoteViewController() = default;

NoteViewController::SelectionMode NoteViewController::selectionMode() const
{
    auto document = document_.lock();
    if (!document)
        return {};
    const std::vector<Node> nodes = document->project().graph.nodes(document->project().selectedNodeUIDs);
    if (nodes.empty())
        return {};
    if (nodes.size() == 1)
        return {SelectionKind::node, nodes.front()};
    return {SelectionKind::multinodes, std::nullopt};
}

void NoteViewController::setTextKeepingTyping(const QString& text)
{
    QFont font = Font::systemFont(noteFontSize).toQFont();
    noteView_->setCurrentFont(font);
    noteView_->document()->setDefaultFont(font);
    noteView_->setPlainText(text);
    noteView_->setAlignment(Qt::AlignLeft);
    noteView_->setTextColor(palette().color(QPalette::Text));
    // Text shown from the model is not the user's typing.
    noteView_->document()->clearUndoRedoStacks();
}

void NoteViewController::clearNote()
{
    if (!isEditing_)
        setTextKeepingTyping(QString());
}

void NoteViewController::showNodeNote(const Node& node)
{
    if (!isEditing_ && !node.note.empty())
        setTextKeepingTyping(QString::fromStdString(node.note));
}

void NoteViewController::showDocumentNotes()
{
    auto document = document_.lock();
    if (!isEditing_ && document)
        setTextKeepingTyping(QString::fromStdString(document->project().notes));
}

void NoteViewController::setEditableLook(bool editable)
{
    noteView_->setReadOnly(!editable);
    // The dimmed look of a pane that cannot be edited, following the window's appearance.
    noteView_->viewport()->setBackgroundRole(editable ? QPalette::Base : QPalette::Window);
}

void NoteViewController::reloadNote()
{
    clearNote();
    setEditableLook(true);
    const SelectionMode mode = selectionMode();
    switch (mode.kind) {
    case SelectionKind::node:
        showNodeNote(*mode.node);
        break;
    case SelectionKind::document:
        showDocumentNotes();
        break;
    case SelectionKind::multinodes:
        setEditableLook(false);
        break;
    }
}

void NoteViewController::textDidChange()
{
    auto document = document_.lock();
    if (!isEditing_ || !document)
        return;
    const SelectionMode mode = selectionMode();
    const std::string text = noteView_->toPlainText().toStdString();
    if (mode.kind == SelectionKind::node) {
        if (!document->isInEditingSession())
            document->beginEditingSession("Change Node Note");
        Node node = *mode.node;
        node.note = text;
        document->updateNodes({node}, NodeUpdateOperation::note, true);
    } else if (mode.kind == SelectionKind::document) {
        if (!document->isInEditingSession())
            document->beginEditingSession("Change Document Notes");
        document->updateProjectNotes(text);
    }
}

void NoteViewController::textDidEndEditing()
{
    if (!isEditing_)
        return;
    isEditing_ = false;
    if (auto document = document_.lock()) {
        if (document->isInEditingSession())
            document->commitEditingSession();
        noteView_->removeAllUndoActions();
    }
}

void NoteViewController::cancelOperation()
{
    if (!isEditing_)
        return;
    isEditing_ = false;
    if (auto document = document_.lock()) {
        if (document->isInEditingSession())
            document->cancelEditingSession();
        document->focusGraphView();
    }
    noteView_->removeAllUndoActions();
}

} // namespace velquine
