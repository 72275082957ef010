#pragma once

// The pane that edits the content of the one selected node: its title, link, note and image. With no node
// or several selected, the controls are empty and disabled. Every change is one undo step: typing in the
// title or note view keeps one editing session open across keystrokes (the canvas follows each keystroke)
// and commits it when the view loses the focus; Escape abandons the typing and gives the keyboard back to
// the canvas. While the canvas edits a title in place, the pane is read-only; a session that another control
// holds open (a note typed in the note pane) leaves it as editable as it is for the one selected node.

#include <functional>
#include <optional>
#include <string_view>


#include "document/VQDocumentEventListener.h"
#include "inspector/InspectorController.h"
#include "inspector/TypingSession.h"

class QLineEdit;
class QSize;
class QUrl;
class QAbstractButton;

namespace velquine {

class EditingTextView;
class ImageWell;
class VQDocument;

class NodeContentInspector : public InspectorController, public VQDocumentEventListener {
    Q_OBJECT
public:
    explicit NodeContentInspector(QWidget* parent = nullptr);

    bool fillsScrollView() const override { return true; }
    void inspectorDidShow() override;
    void inspectorDidHide() override;

    // The node when exactly one is selected.
    std::optional<Node> selectedNode() const;
    void sync();

    // Actions of the controls.
    void imageWellAction();
    void browseImage();
    void clearImage();
    void visitLink();
    void clearLink();
    // Editing of the title and note views (view is the one that reports).
    void textDidBeginEditing();
    void textDidChange(EditingTextView* view);
    void textDidEndEditing(EditingTextView* view);
    void cancelOperation();
    // Editing of the link field.
    void controlTextDidBeginEditing();
    void controlTextDidEndEditing();

    QWidget* containerView() const { return containerView_; }
    EditingTextView* titleView() const { return titleView_; }
    QLineEdit* linkView() const { return linkView_; }
    QAbstractButton* linkButton() const { return linkButton_; }
    QAbstractButton* clearLinkButton() const { return clearLinkButton_; }
    EditingTextView* noteView() const { return noteView_; }
    ImageWell* imageWell() const { return imageWell_; }
    QAbstractButton* imageBrowseButton() const { return imageBrowseButton_; }
    QAbstractButton* imageClearButton() const { return imageClearButton_; }
    bool isEditing() const { return isEditing_; }

    // The link schemes visitLink() hands to the desktop.
    static bool isVisitableScheme(const QString& scheme);
    // Whether the link is a mail link that asks the mail program to attach files (attach, attachment), which
    // visitLink() refuses.
    static bool asksToAttachFiles(const QUrl& url);

    void documentDidReplaceProject() override { sync(); }
    void documentDidReadPictures(const std::vector<Node>& /*nodes*/) override { sync(); }
    void documentDidCancelEditingSession() override { sync(); }
    void documentDidCommitEditingSession() override { sync(); }
    void documentDidChangeStyle() override { sync(); }
    void documentDidUpdateNodes(const std::vector<Node>& nodes, NodeUpdateOperation operation) override;
    void documentDidChangeSelection() override { sync(); }
    void documentDidBeginEditingNodeTitle() override;
    void documentDidEndEditingNodeTitle() override;

protected:
    void viewDidLoad() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    void syncTitle(const Node& node);
    void clearFields();
    void enableFields();
    void disableFields();
    void setTextViewEditable(EditingTextView* view, bool editable);
    // One step on the selected node: opens (or joins) a session labelled label, lets edit change and store the
    // node, and commits. Nothing without one selected node; without a document, a log line for function
    // (none when it is empty).
    void editSelectedNode(std::string_view function, const char* label,
                          const std::function<void(VQDocument&, Node&)>& edit);
    // Clears the typing steps of both text views.
    void removeTypingUndoActions();
    // Tells that the image in the file is too large to be read, and how large it is.
    void showImageTooLarge(const QString& path, QSize size);
    // Tells that the image in the file would cost more than a picture may, and why.
    void showImageRefused(const QString& path, const QString& reason);

    QWidget* containerView_ = nullptr;
    EditingTextView* titleView_ = nullptr;
    QLineEdit* linkView_ = nullptr;
    QAbstractButton* linkButton_ = nullptr;
    QAbstractButton* clearLinkButton_ = nullptr;
    EditingTextView* noteView_ = nullptr;
    ImageWell* imageWell_ = nullptr;
    QAbstractButton* imageBrowseButton_ = nullptr;
    QAbstractButton* imageClearButton_ = nullptr;
    bool isEditing_ = false;
    // The canvas edits a title in place: the pane stays read-only until it is done.
    bool nodeTitleEditorOpen_ = false;
    TypingSession typing_;
};

} // namespace velquine
