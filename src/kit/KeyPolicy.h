#pragma once

// Which keys belong to the focused widget and which may be window shortcuts.
//
// Tab, Return and Enter, Delete and Backspace, Escape, Home, End, the arrows and plain typing (alone or with
// Shift) are handled by the widget with the focus: text fields edit with them, and the canvas handles them in
// its own key handling (Tab through event(), since focus chaining takes Tab before keyPressEvent). No window
// command is bound to them, so a shortcut can never take such a key from a focused line edit, text view or
// the canvas. Commands take their sequences from standardShortcuts(), which leaves these keys out (no command
// gets QKeySequence::Delete, which also means Ctrl+D under X11) and supplies the sequences that Qt's generic
// X11 scheme leaves empty (Save As, Preferences, Quit).

#include <QKeySequence>
#include <QList>

class QEvent;

namespace velquine::KeyPolicy {

// Whether the key (with its modifiers) belongs to the focused widget.
bool isReservedKey(QKeyCombination key);
// Whether any key of the sequence is reserved.
bool isReservedSequence(const QKeySequence& sequence);

// The sequences a command bound to a standard key gets: Qt's for the platform without reserved keys, or an
// explicit one where the platform has none. Empty for QKeySequence::Delete.
QList<QKeySequence> standardShortcuts(QKeySequence::StandardKey key);

// For a widget's event(): accepts a ShortcutOverride of a reserved key, so the key reaches the widget's own
// key handling instead of a shortcut. Returns whether it accepted.
bool acceptReservedShortcutOverride(QEvent* event);

} // namespace velquine::KeyPolicy
