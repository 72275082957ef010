#pragma once

// The standard editing commands (copy:, cut:, paste:, pasteAsPlainText:, selectAll:, delete:, undo:, redo:)
// of a focused text widget: QLineEdit, QTextEdit, QPlainTextEdit, or a spin box or editable combo box through
// its line edit. It heads the focus part of a window's chain, so these commands reach the text widget before
// any pane or controller. undo: and redo: are answered only while the widget has a step to undo or redo, so
// otherwise they pass on to the document.

#include "platform/ActionDispatcher.h"

#include <QPointer>
#include <QWidget>

namespace velquine {

class TextResponder : public Responder {
public:
    // The text widget that widget is or stands for, or null.
    static QWidget* textWidgetFor(QWidget* widget);

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
