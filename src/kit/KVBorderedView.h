#pragma once

// A view that frames its bounds ("rect") or draws a horizontal middle line ("line") in a colour, and a
// clickable variant that sends an action when the mouse is released on it.

#include <QColor>
#include <QPointer>
#include <QString>

#include <string>

#include "kit/KVView.h"

namespace velquine {

class Responder;

class KVBorderedView : public KVView {
    Q_OBJECT
public:
    explicit KVBorderedView(QWidget* parent = nullptr);

    // Compared without case: "rect" or "line"; anything else draws nothing.
    const QString& shape() const { return shape_; }
    void setShape(const QString& shape);
    const QColor& color() const { return color_; }
    void setColor(const QColor& color);
    long strokeWidth() const { return strokeWidth_; }
    void setStrokeWidth(long width);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString shape_ = QStringLiteral("rect");
    QColor color_ = Qt::black;
    long strokeWidth_ = 1;
};

class KVClickableBorderedView : public KVBorderedView {
    Q_OBJECT
public:
    using KVBorderedView::KVBorderedView;

    // The responder that gets the action; none sends it along the window's responder chain.
    Responder* target() const { return target_; }
    void setTarget(Responder* target) { target_ = target; }
    // A selector such as "showNoteView:"; empty means none.
    const std::string& action() const { return action_; }
    void setAction(std::string selector) { action_ = std::move(selector); }

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Responder* target_ = nullptr;
    std::string action_;
};

} // namespace velquine
