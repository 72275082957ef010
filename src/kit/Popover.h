#pragma once

// A small frameless panel that opens beside a rectangle of a view (a swatch grid beside a colour well, a
// gallery beside a preview strip). It closes when the user clicks anywhere outside it, presses Escape, or
// the window loses activation; a click on the rectangle it points at closes it without reopening it, so
// the owner's click toggles it. It opens on the preferred edge of the rectangle, or on the opposite edge
// when the screen has no room there, and is kept inside the screen. It takes the palette of the view it
// points at, so it shows the window's appearance.

#include <QObject>
#include <QPointer>
#include <QRect>
#include <QWidget>

namespace velquine {

class Popover : public QObject {
    Q_OBJECT
public:
    enum class Edge { left, right, top, bottom };

    explicit Popover(QObject* parent = nullptr);
    ~Popover() override;

    // The content; the popover takes ownership and sizes itself to the content's size hint.
    void setContentWidget(QWidget* content);
    QWidget* contentWidget() const;

    // Opens beside rect, given in view's coordinates. Showing an open popover moves it.
    void show(const QRect& rect, QWidget* view, Edge preferredEdge);
    void close();
    bool isShown() const;
    // The edge it opened on (the preferred one unless the screen had no room there).
    Edge shownEdge() const { return shownEdge_; }
    // The top-level popup window (for tests and screenshots).
    QWidget* window() const;

    // Where a popup of size would open beside the global rectangle anchor within screen, and on which edge.
    static QRect placement(const QRect& anchor, const QSize& size, Edge preferredEdge, const QRect& screen,
                           Edge* edge = nullptr);

signals:
    void closed();

private:
    class Window;
    QPointer<Window> window_;
    Edge shownEdge_ = Edge::left;
};

} // namespace velquine
