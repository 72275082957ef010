#pragma once

// The text view laid over a node's title while the title is typed on the canvas. One per canvas, made on the
// first edit. Return, Enter and Tab end the edit instead of entering text (endRequested); losing the focus to
// anything but a popup or another window ends it too (focusLost); Escape cancels it (cancelOperation). Its own
// undo stack holds only the typing.

#include <QColor>

#include "kit/EditingTextView.h"

namespace velquine {

class NodeTitleEditor : public EditingTextView {
    Q_OBJECT
public:
    explicit NodeTitleEditor(QWidget* parent = nullptr);

    // The frame of the text itself, in the parent's pixels; the 1-pixel border is drawn outside it.
    void setTextFrame(const QRectF& frame);
    // The border is dark on a light reference colour and light on a dark one.
    void setColors(const QColor& text, bool darkBorder);

signals:
    void endRequested();
    void focusLost();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QColor borderColor_;
};

} // namespace velquine
