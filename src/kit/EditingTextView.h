#pragma once

// A text view that reports editing the way a pane that writes the model as the user types needs it:
//   textDidBeginEditing  before the first change the user makes (never for text set by code, never on
//                        mere focus);
//   textDidChange        after every change the user makes (typing, input methods, paste, drop, cut, delete,
//                        undo and redo), and never for text set by code;
//   textDidEndEditing    when the view loses the focus after editing began, except to a popup (a menu, a
//                        completer) or because its window lost activation;
//   cancelOperation      when Escape is pressed; editing ends without textDidEndEditing.
// Its own undo stack (QTextDocument's) holds the typing; removeAllUndoActions() empties it.

#include <QTextEdit>

namespace velquine {

class EditingTextView : public QTextEdit {
    Q_OBJECT
public:
    explicit EditingTextView(QWidget* parent = nullptr);

    bool isEditing() const { return editing_; }
    // Runs edit as a change made by the user (the window's editing commands go through it).
    template <typename Edit>
    void performUserEdit(Edit&& edit)
    {
        ++userEdits_;
        edit();
        --userEdits_;
    }
    void removeAllUndoActions();

signals:
    void textDidBeginEditing();
    void textDidChange();
    void textDidEndEditing();
    void cancelOperation();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;
    void dropEvent(QDropEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void contentsDidChange();

    int userEdits_ = 0;
    bool editing_ = false;
};

} // namespace velquine
