#pragma once

// A small popup of emoji that inserts the chosen one into the text widget that had the focus when it opened
// (a line edit or a text view, through the user-edit path so editing panes hear of it). Without a focused
// text widget a choice inserts nothing.

#include <QFrame>
#include <QPointer>

namespace velquine {

class EmojiPalette : public QFrame {
    Q_OBJECT
public:
    // Opens the palette under the pointer, for the focus widget of window.
    static EmojiPalette* show(QWidget* window);

    static const QStringList& emoji();
    // Inserts text into the text widget that had the focus, and closes.
    void choose(const QString& text);

private:
    explicit EmojiPalette(QWidget* target, QWidget* parent);
    QPointer<QWidget> target_;
};

} // namespace velquine
