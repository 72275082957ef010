#include "kit/EditingTextView.h"

#include <QFocusEvent>
#include <QKeyEvent>

namespace velquine {

EditingTextView::EditingTextView(QWidget* parent) : QTextEdit(parent)
{
    setAcceptRichText(false);
    connect(this, &QTextEdit::textChanged, this, &EditingTextView::contentsDidChange);
}

void EditingTextView::removeAllUndoActions()
{
    document()->clearUndoRedoStacks();
}

void EditingTextView::contentsDidChange()
{
    if (userEdits_ == 0)
        return;
    if (!editing_) {
        editing_ = true;
        emit textDidBeginEditing();
    }
    emit textDidChange();
}

void EditingTextView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        editing_ = false;
        emit cancelOperation();
        event->accept();
        return;
    }
    performUserEdit([&] { QTextEdit::keyPressEvent(event); });
}

void EditingTextView::inputMethodEvent(QInputMethodEvent* event)
{
    performUserEdit([&] { QTextEdit::inputMethodEvent(event); });
}

void EditingTextView::insertFromMimeData(const QMimeData* source)
{
    performUserEdit([&] { QTextEdit::insertFromMimeData(source); });
}

void EditingTextView::dropEvent(QDropEvent* event)
{
    performUserEdit([&] { QTextEdit::dropEvent(event); });
}

// The view's own context menu edits through QTextEdit's slots: those are the user's changes too.
void EditingTextView::contextMenuEvent(QContextMenuEvent* event)
{
    performUserEdit([&] { QTextEdit::contextMenuEvent(event); });
}

void EditingTextView::focusOutEvent(QFocusEvent* event)
{
    QTextEdit::focusOutEvent(event);
    const Qt::FocusReason reason = event->reason();
    if (!editing_ || reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason)
        return;
    editing_ = false;
    emit textDidEndEditing();
}

} // namespace velquine
