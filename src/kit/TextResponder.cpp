#include "kit/TextResponder.h"

#include "kit/EditingTextView.h"

#include <QAbstractSpinBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <array>
#include <string_view>

namespace velquine {

namespace {

constexpr std::array<std::string_view, 8> editingSelectors = {
    "copy:", "cut:", "paste:", "pasteAsPlainText:", "selectAll:", "delete:", "undo:", "redo:"};

bool clipboardHasText()
{
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasText();
}

QString clipboardText()
{
    return QGuiApplication::clipboard()->text();
}

// Runs the command on a QTextEdit or QPlainTextEdit, which share these slot names but no base class.
template <typename Edit>
void performOnTextEdit(Edit* edit, std::string_view selector)
{
    if (selector == "copy:") edit->copy();
    else if (selector == "cut:") edit->cut();
    else if (selector == "paste:") edit->paste();
    else if (selector == "pasteAsPlainText:") edit->insertPlainText(clipboardText());
    else if (selector == "selectAll:") edit->selectAll();
    else if (selector == "delete:") edit->textCursor().removeSelectedText();
    else if (selector == "undo:") edit->undo();
    else if (selector == "redo:") edit->redo();
}

void performOnLineEdit(QLineEdit* edit, std::string_view selector)
{
    if (selector == "copy:") edit->copy();
    else if (selector == "cut:") edit->cut();
    else if (selector == "paste:" || selector == "pasteAsPlainText:") edit->paste();
    else if (selector == "selectAll:") edit->selectAll();
    else if (selector == "delete:") edit->del();
    else if (selector == "undo:") edit->undo();
    else if (selector == "redo:") edit->redo();
}

} // namespace

QWidget* TextResponder::textWidgetFor(QWidget* widget)
{
    if (!widget)
        return nullptr;
    if (qobject_cast<QLineEdit*>(widget) || qobject_cast<QTextEdit*>(widget) || qobject_cast<QPlainTextEdit*>(widget))
        return widget;
    if (auto* combo = qobject_cast<QComboBox*>(widget))
        return combo->lineEdit();
    if (qobject_cast<QAbstractSpinBox*>(widget))
        return widget->findChild<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly);
    // The viewport of a text view can hold the focus too.
    if (QWidget* parent = widget->parentWidget())
        if (qobject_cast<QTextEdit*>(parent) || qobject_cast<QPlainTextEdit*>(parent))
            return parent;
    return nullptr;
}

TextResponder::State TextResponder::state() const
{
    State s;
    if (auto* line = qobject_cast<QLineEdit*>(widget_.data())) {
        s.hasSelection = line->hasSelectedText();
        s.readOnly = line->isReadOnly();
        s.undoAvailable = line->isUndoAvailable();
        s.redoAvailable = line->isRedoAvailable();
        s.copyAllowed = line->echoMode() == QLineEdit::Normal;
    } else if (auto* text = qobject_cast<QTextEdit*>(widget_.data())) {
        s.hasSelection = text->textCursor().hasSelection();
        s.readOnly = text->isReadOnly();
        s.undoAvailable = text->document()->isUndoAvailable() && text->isUndoRedoEnabled();
        s.redoAvailable = text->document()->isRedoAvailable() && text->isUndoRedoEnabled();
    } else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget_.data())) {
        s.hasSelection = plain->textCursor().hasSelection();
        s.readOnly = plain->isReadOnly();
        s.undoAvailable = plain->document()->isUndoAvailable() && plain->isUndoRedoEnabled();
        s.redoAvailable = plain->document()->isRedoAvailable() && plain->isUndoRedoEnabled();
    }
    return s;
}

bool TextResponder::respondsTo(const std::string& selector) const
{
    if (!widget_)
        return false;
    if (selector == "undo:")
        return state().undoAvailable;
    if (selector == "redo:")
        return state().redoAvailable;
    for (std::string_view known : editingSelectors)
        if (selector == known)
            return true;
    return false;
}

void TextResponder::perform(const std::string& selector, const ActionItem*)
{
    if (auto* line = qobject_cast<QLineEdit*>(widget_.data()))
        performOnLineEdit(line, selector);
    else if (auto* editing = qobject_cast<EditingTextView*>(widget_.data()))
        editing->performUserEdit([&] { performOnTextEdit(static_cast<QTextEdit*>(editing), selector); });
    else if (auto* text = qobject_cast<QTextEdit*>(widget_.data()))
        performOnTextEdit(text, selector);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget_.data()))
        performOnTextEdit(plain, selector);
}

bool TextResponder::validateMenuItem(ActionItem& item)
{
    const State s = state();
    const std::string& a = item.action;
    if (a == "copy:")
        return s.hasSelection && s.copyAllowed;
    if (a == "cut:")
        return s.hasSelection && s.copyAllowed && !s.readOnly;
    if (a == "delete:")
        return s.hasSelection && !s.readOnly;
    if (a == "paste:" || a == "pasteAsPlainText:")
        return !s.readOnly && clipboardHasText();
    if (a == "undo:")
        return s.undoAvailable && !s.readOnly;
    if (a == "redo:")
        return s.redoAvailable && !s.readOnly;
    return true;
}

} // namespace velquine
