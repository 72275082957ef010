#include "kit/TextResponder.h"

#include "kit/CommandTable.h"
#include "kit/EditingTextView.h"

#include <QAbstractSpinBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTextEdit>

#include <algorithm>
#include <array>
#include <optional>

namespace velquine {

namespace {

constexpr std::array<Command, 8> editingCommands = {
    Command::copy,      Command::cut,     Command::paste, Command::pasteAsPlainText,
    Command::selectAll, Command::delete_, Command::undo,  Command::redo};

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
void performOnTextEdit(Edit* edit, std::optional<Command> command)
{
    if (command == Command::copy) edit->copy();
    else if (command == Command::cut) edit->cut();
    else if (command == Command::paste) edit->paste();
    else if (command == Command::pasteAsPlainText) edit->insertPlainText(clipboardText());
    else if (command == Command::selectAll) edit->selectAll();
    else if (command == Command::delete_) edit->textCursor().removeSelectedText();
    else if (command == Command::undo) edit->undo();
    else if (command == Command::redo) edit->redo();
}

void performOnLineEdit(QLineEdit* edit, std::optional<Command> command)
{
    if (command == Command::copy) edit->copy();
    else if (command == Command::cut) edit->cut();
    else if (command == Command::paste || command == Command::pasteAsPlainText) edit->paste();
    else if (command == Command::selectAll) edit->selectAll();
    else if (command == Command::delete_) edit->del();
    else if (command == Command::undo) edit->undo();
    else if (command == Command::redo) edit->redo();
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

bool TextResponder::leavesKeyToWindow(QWidget* textWidget, const QKeyEvent* key)
{
    Command command;
    if (key->matches(QKeySequence::Undo))
        command = Command::undo;
    else if (key->matches(QKeySequence::Redo))
        command = Command::redo;
    else
        return false;
    TextResponder responder;
    responder.setWidget(textWidget);
    const State s = responder.state();
    return (command == Command::undo ? !s.undoAvailable : !s.redoAvailable) || s.readOnly;
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
    const std::optional<Command> command = commandForSelector(selector);
    if (command == Command::undo)
        return state().undoAvailable;
    if (command == Command::redo)
        return state().redoAvailable;
    return command && std::find(editingCommands.begin(), editingCommands.end(), *command) != editingCommands.end();
}

void TextResponder::perform(const std::string& selector, const ActionItem*)
{
    const std::optional<Command> command = commandForSelector(selector);
    if (auto* line = qobject_cast<QLineEdit*>(widget_.data()))
        performOnLineEdit(line, command);
    else if (auto* editing = qobject_cast<EditingTextView*>(widget_.data()))
        editing->performUserEdit([&] { performOnTextEdit(static_cast<QTextEdit*>(editing), command); });
    else if (auto* text = qobject_cast<QTextEdit*>(widget_.data()))
        performOnTextEdit(text, command);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(widget_.data()))
        performOnTextEdit(plain, command);
}

bool TextResponder::validateMenuItem(ActionItem& item)
{
    const State s = state();
    const std::optional<Command> command = commandForSelector(item.action);
    if (command == Command::copy)
        return s.hasSelection && s.copyAllowed;
    if (command == Command::cut)
        return s.hasSelection && s.copyAllowed && !s.readOnly;
    if (command == Command::delete_)
        return s.hasSelection && !s.readOnly;
    if (command == Command::paste || command == Command::pasteAsPlainText)
        return !s.readOnly && clipboardHasText();
    if (command == Command::undo)
        return s.undoAvailable && !s.readOnly;
    if (command == Command::redo)
        return s.redoAvailable && !s.readOnly;
    return true;
}

} // namespace velquine
