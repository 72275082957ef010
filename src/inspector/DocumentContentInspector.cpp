#include "inspector/DocumentContentInspector.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "document/VQDocument.h"
#include "inspector/InspectorLayout.h"
#include "kit/EditingTextView.h"

namespace velquine {

DocumentContentInspector::DocumentContentInspector(QWidget* parent) : InspectorController(parent)
{
    setObjectName(QStringLiteral("DocumentContentInspector"));
    containerView_ = InspectorLayout::makeContainer(this);
    auto* layout = static_cast<QVBoxLayout*>(containerView_->layout());

    titleField_ = new QLineEdit(containerView_);
    titleField_->setObjectName(QStringLiteral("titleField"));
    authorField_ = new QLineEdit(containerView_);
    authorField_->setObjectName(QStringLiteral("authorField"));
    authorField_->setPlaceholderText(tr("Author"));
    noteView_ = new EditingTextView(containerView_);
    noteView_->setObjectName(QStringLiteral("noteView"));
    noteView_->setFont(InspectorLayout::textFont());

    InspectorLayout::addSection(layout, tr("Title"), titleField_);
    InspectorLayout::addSection(layout, tr("Author"), authorField_);
    InspectorLayout::addSection(layout, tr("Notes"), noteView_, 1);

    connect(titleField_, &QLineEdit::editingFinished, this, &DocumentContentInspector::changeTitle);
    connect(authorField_, &QLineEdit::editingFinished, this, &DocumentContentInspector::changeAuthor);
    InspectorLayout::connectEditing(
        noteView_, this, [this] { textDidBeginEditing(); }, [this] { textDidChange(); },
        [this] { textDidEndEditing(); }, [this] { cancelOperation(); });
    setFocusPolicy(Qt::StrongFocus);
    resize(260, 420);
}

void DocumentContentInspector::viewDidLoad()
{
    sync();
}

void DocumentContentInspector::inspectorDidShow()
{
    if (startFollowingDocument(this))
        sync();
}

void DocumentContentInspector::inspectorDidHide()
{
    stopFollowingDocument();
}

void DocumentContentInspector::sync()
{
    if (const auto doc = document())
        authorField_->setText(QString::fromStdString(doc->project().author));
    syncTitle();
    syncNotes();
}

void DocumentContentInspector::syncTitle()
{
    const auto doc = documentOrLog("syncTitle()");
    if (!doc)
        return;
    titleField_->setText(QString::fromStdString(doc->project().title));
    if (!titleField_->text().isEmpty())
        return;
    const QString fileName = doc->fileURL() ? QString::fromStdString(*doc->fileURL()) : QString();
    titleField_->setPlaceholderText(fileName.isEmpty() ? QString() : QFileInfo(fileName).completeBaseName());
}

void DocumentContentInspector::syncNotes()
{
    const auto doc = document();
    if (isEditing_ || !doc)
        return;
    const QString notes = QString::fromStdString(doc->project().notes);
    // Text the view already shows stays as it is, with its cursor and its own undo steps.
    if (noteView_->toPlainText() != notes)
        noteView_->setPlainText(notes);
}

void DocumentContentInspector::changeTitle()
{
    storeField(titleField_, "changeTitle(_:)", &VQProject::title, "Change Document Title", &VQDocument::setProjectTitle);
}

void DocumentContentInspector::changeAuthor()
{
    storeField(authorField_, "changeAuthor(_:)", &VQProject::author, "Change Document Author",
               &VQDocument::setProjectAuthor);
}

void DocumentContentInspector::storeField(QLineEdit* field, std::string_view function, std::string VQProject::*stored,
                                          const char* label, void (VQDocument::*store)(const std::string&))
{
    const auto doc = documentOrLog(function);
    if (!doc)
        return;
    const std::string text = field->text().toStdString();
    if (text == doc->project().*stored)
        return;
    doc->beginEditingSession(label);
    ((*doc).*store)(text);
    if (doc->isInEditingSession())
        doc->commitEditingSession();
}

void DocumentContentInspector::textDidBeginEditing()
{
    isEditing_ = true;
}

void DocumentContentInspector::textDidChange()
{
    const auto doc = documentOrLog("textDidChange(_:)");
    if (!doc)
        return;
    notesSession_.willChange(*doc, "Change Document Notes");
    doc->updateProjectNotes(noteView_->toPlainText().toStdString());
}

void DocumentContentInspector::textDidEndEditing()
{
    if (!isEditing_)
        return;
    isEditing_ = false;
    const auto doc = documentOrLog("textDidEndEditing(_:)");
    if (!doc)
        return;
    notesSession_.commit(*doc);
    noteView_->removeAllUndoActions();
}

void DocumentContentInspector::cancelOperation()
{
    if (!isEditing_)
        return;
    isEditing_ = false;
    const auto doc = documentOrLog("cancelOperation(_:)");
    if (!doc)
        return;
    notesSession_.cancel(*doc);
    doc->focusGraphView();
    noteView_->removeAllUndoActions();
}

} // namespace velquine
