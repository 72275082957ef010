#pragma once

// The note pane under the canvas: the note of the single selected node, or the document's notes when nothing
// is selected; with several nodes selected it is empty and read-only.
//
// Typing writes the model at every change inside one editing session of the document ("Change Node Note" or
// "Change Document Notes", or the session already open), which becomes one undo step when the text view
// stops editing; Escape cancels the session, puts the note back and gives the keyboard to the canvas. The
// text view's own undo stack holds the typing and is emptied when editing ends.

#include <QWidget>

#include <memory>
#include <optional>

#include "model/graph/Node.h"

namespace velquine {

class DocumentListenerRelay;
class EditingTextView;
class VQDocument;

class NoteViewController : public QWidget {
    Q_OBJECT
public:
    enum class SelectionKind { node, document, multinodes };
    struct SelectionMode {
        SelectionKind kind = SelectionKind::document;
        std::optional<Node> node;
    };

    // Registers with the document (held weakly) and shows what it selects.
    explicit NoteViewController(const std::shared_ptr<VQDocument>& document, QWidget* parent = nullptr);
    ~NoteViewController() override;

    EditingTextView* noteView() const { return noteView_; }
    bool isEditing() const { return isEditing_; }

    SelectionMode selectionMode() const;
    void reloadNote();
    void clearNote();
    void showNodeNote(const Node& node);
    void showDocumentNotes();

    static constexpr int noteFontSize = 16;

private:
    void textDidChange();
    void textDidEndEditing();
    void cancelOperation();
    void setTextKeepingTyping(const QString& text);
    void setEditableLook(bool editable);

    std::weak_ptr<VQDocument> document_;
    EditingTextView* noteView_;
    bool isEditing_ = false;
    std::shared_ptr<DocumentListenerRelay> relay_;
};

} // namespace velquine
