#include "kit/KeyPolicy.h"

#include <QKeyEvent>

namespace velquine::KeyPolicy {

namespace {

bool isFocusKey(int key)
{
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
    case Qt::Key_Escape:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        return true;
    default:
        return false;
    }
}

bool isTypingKey(int key)
{
    return key >= Qt::Key_Space && key <= Qt::Key_ydiaeresis;
}

} // namespace

bool isReservedKey(QKeyCombination combination)
{
    // Shift and the keypad flag keep a key what it is; Ctrl, Alt and Meta make it a command key.
    const Qt::KeyboardModifiers commandModifiers = Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
    if (combination.keyboardModifiers() & commandModifiers)
        return false;
    const int key = combination.key();
    return isFocusKey(key) || isTypingKey(key);
}

bool isReservedSequence(const QKeySequence& sequence)
{
    for (int i = 0; i < sequence.count(); ++i)
        if (isReservedKey(sequence[i]))
            return true;
    return false;
}

QList<QKeySequence> standardShortcuts(QKeySequence::StandardKey key)
{
    if (key == QKeySequence::Delete)
        return {};
    QList<QKeySequence> result;
    for (const QKeySequence& sequence : QKeySequence::keyBindings(key))
        if (!isReservedSequence(sequence))
            result.append(sequence);
    if (!result.isEmpty())
        return result;
    switch (key) {
    case QKeySequence::SaveAs:
        return {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)};
    case QKeySequence::Preferences:
        return {QKeySequence(Qt::CTRL | Qt::Key_Comma)};
    case QKeySequence::Quit:
        return {QKeySequence(Qt::CTRL | Qt::Key_Q)};
    default:
        return {};
    }
}

bool acceptReservedShortcutOverride(QEvent* event)
{
    if (event->type() != QEvent::ShortcutOverride)
        return false;
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    if (!isReservedKey(keyEvent->keyCombination()))
        return false;
    event->accept();
    return true;
}

} // namespace velquine::KeyPolicy
