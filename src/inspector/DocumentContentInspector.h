#pragma once

// The pane that edits the document's own information: the project's title, author and notes. A confirmed
// title or author (Return, or leaving the field) is one undo step; the notes keep one editing session open
// across keystrokes and commit it when the note view loses the focus, and Escape abandons that session. An
// empty title shows the document's file name, without its extension, as the field's placeholder.


#include "document/VQDocumentEventListener.h"
#include "inspector/InspectorController.h"
#include "inspector/TypingSession.h"

class QLineEdit;

namespace velquine {

class EditingTextView;
class VQDocument;
class VQProject;

class DocumentContentInspector : public InspectorController, public VQDocumentEventListener {
    Q_OBJECT
public:
    explicit DocumentContentInspector(QWidget* parent = nullptr);

    bool fillsScrollView() const override { return true; }
    void inspectorDidShow() override;
    void inspectorDidHide() override;

    void sync();

    // The field and view actions.
    void changeTitle();
    void changeAuthor();
    void textDidBeginEditing();
    void textDidChange();
    void textDidEndEditing();
    void cancelOperation();

    QLineEdit* titleField() const { return titleField_; }
    QLineEdit* authorField() const { return authorField_; }
    EditingTextView* noteView() const { return noteView_; }
    QWidget* containerView() const { return containerView_; }
    bool isEditing() const { return isEditing_; }

    void documentDidReplaceProject() override { sync(); }
    void documentDidCancelEditingSession() override { sync(); }
    void documentDidCommitEditingSession() override { sync(); }
    void documentDidChangeProjectInfo() override { sync(); }

protected:
    void viewDidLoad() override;

private:
    void syncTitle();
    void syncNotes();
    // A confirmed field: when its text differs from the stored one, stores it as one step labelled label.
    void storeField(QLineEdit* field, std::string_view function, std::string VQProject::*stored, const char* label,
                    void (VQDocument::*store)(const std::string&));

    QLineEdit* titleField_ = nullptr;
    QLineEdit* authorField_ = nullptr;
    EditingTextView* noteView_ = nullptr;
    QWidget* containerView_ = nullptr;
    bool isEditing_ = false;
    TypingSession notesSession_;
};

} // namespace velquine
