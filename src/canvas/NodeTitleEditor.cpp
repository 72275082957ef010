#include "canvas/NodeTitleEditor.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>

#include <cmath>

#include "kit/KeyPolicy.h"

namespace velquine {

namespace {

constexpr int borderPixels = 1;

} // namespace

NodeTitleEditor::NodeTitleEditor(QWidget* parent) : EditingTextView(parent)
{
    setObjectName(QStringLiteral("nodeTitleEditor"));
    setFrameShape(QFrame::NoFrame);
    setViewportMargins(borderPixels, borderPixels, borderPixels, borderPixels);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    setTabChangesFocus(false);
    document()->setDocumentMargin(0);
    viewport()->setAutoFillBackground(false);
    setAttribute(Qt::WA_TranslucentBackground);
    setReadOnly(true);
    setTextInteractionFlags(Qt::NoTextInteraction);
    hide();
}

void NodeTitleEditor::setTextFrame(const QRectF& frame)
{
    const QRect text(int(std::floor(frame.left())), int(std::floor(frame.top())),
                     std::max(1, int(std::ceil(frame.width()))), std::max(1, int(std::ceil(frame.height()))));
    setGeometry(text.adjusted(-borderPixels, -borderPixels, borderPixels, borderPixels));
}

void NodeTitleEditor::setColors(const QColor& text, bool darkBorder)
{
    borderColor_ = darkBorder ? QColor(85, 85, 85) : QColor(170, 170, 170);
    const QString sheet = QStringLiteral("QTextEdit#nodeTitleEditor { background: transparent; color: %1; }")
                              .arg(text.name(QColor::HexArgb));
    // Setting a style sheet polishes the editor again, even an unchanged one.
    if (styleSheet() != sheet)
        setStyleSheet(sheet);
    update();
}

bool NodeTitleEditor::event(QEvent* event)
{
    // Tab and Return belong to the editor, never to a window shortcut or the focus chain.
    if (KeyPolicy::acceptReservedShortcutOverride(event))
        return true;
    const bool handled = EditingTextView::event(event);
    if (event->type() == QEvent::Paint) {
        // A thin rounded border around the text, outside the viewport.
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(borderColor_, borderPixels));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 2.0, 2.0);
    }
    return handled;
}

void NodeTitleEditor::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        event->accept();
        emit endRequested();
        return;
    default:
        EditingTextView::keyPressEvent(event);
    }
}

void NodeTitleEditor::focusOutEvent(QFocusEvent* event)
{
    EditingTextView::focusOutEvent(event);
    const Qt::FocusReason reason = event->reason();
    if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
        emit focusLost();
}

} // namespace velquine
