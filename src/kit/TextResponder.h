#pragma once

// The standard editing commands (copy:, cut:, paste:, pasteAsPlainText:, selectAll:, delete:, undo:, redo:)
// of a focused text widget: QLineEdit, QTextEdit, QPlainTextEdit, or a spin box or editable combo box through
// its line edit. It heads the focus part of a window's chain, so these commands reach the text widget before
// any pane or controller. undo: and redo: are answered only while the widget has a step to undo or redo, so
// otherwise they pass on to the document; so do the undo and redo keys (see leavesKeyToWindow()).

#include "platform/ActionDispatcher.h"

#include <QPointer>
#include <QWidget>

class QKeyEvent;

namespace velquine {

class TextResponder : public Responder {
public:
    // The text widget that widget is or stands for, or null.
    static QWidget* textWidgetFor(QWidget* widget);
    // Whether the key is an undo or redo key that the text widget has no step of its own for. Text widgets
    // take these keys for themselves even then; such a key belongs to the window's Undo or Redo command.
    static bool leavesKeyToWindow(QWidget* textWidget, const QKeyEvent* key);

    void setWidget(QWidget* textWidget) { widget_ = textWidget; }
    QWidget* widget() const { return widget_; }

    bool respondsTo(const std::string& selector) const override;
    void perform(const std::string& selector, const ActionItem* sender) override;
    bool validateMenuItem(ActionItem& item) override;

private:
    struct State {
        bool hasSelection = false;
        bool readOnly = true;
        bool undoAvailable = false;
        bool redoAvailable = false;
        bool copyAllowed = true;
    };
    State state() const;

    QPointer<QWidget> widget_;
};

} // namespace velquine
