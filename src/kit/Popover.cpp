#include "kit/Popover.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

namespace velquine {

namespace {
constexpr int gap = 2;    // between the rectangle and the panel
constexpr int radius = 6; // corner radius of the panel
} // namespace

class Popover::Window : public QWidget {
public:
    explicit Window(Popover* owner) : QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint), owner_(owner)
    {
        setAttribute(Qt::WA_TranslucentBackground);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(1, 1, 1, 1);
    }
    QRect anchor; // global

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(palette().color(QPalette::Mid), 1));
        painter.setBrush(palette().color(QPalette::Window));
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        // A press outside closes the popup; on the rectangle it points at, the press must not reach the
        // owner again, or its toggle would reopen the popover at once.
        if (!rect().contains(event->position().toPoint()))
            setAttribute(Qt::WA_NoMouseReplay, anchor.contains(event->globalPosition().toPoint()));
        QWidget::mousePressEvent(event);
    }
    void hideEvent(QHideEvent* event) override
    {
        QWidget::hideEvent(event);
        if (owner_)
            emit owner_->closed();
    }

private:
    QPointer<Popover> owner_;
};

Popover::Popover(QObject* parent) : QObject(parent), window_(new Window(this)) {}

Popover::~Popover()
{
    delete window_.data();
}

void Popover::setContentWidget(QWidget* content)
{
    auto* layout = window_->layout();
    while (QLayoutItem* item = layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    if (content)
        layout->addWidget(content);
}

QWidget* Popover::contentWidget() const
{
    QLayoutItem* item = window_->layout()->itemAt(0);
    return item ? item->widget() : nullptr;
}

QWidget* Popover::window() const
{
    return window_;
}

bool Popover::isShown() const
{
    return window_ && window_->isVisible();
}

void Popover::close()
{
    if (isShown())
        window_->hide();
}

QRect Popover::placement(const QRect& anchor, const QSize& size, Edge preferredEdge, const QRect& screen, Edge* edge)
{
    auto beside = [&](Edge side) {
        QRect r(QPoint(0, 0), size);
        switch (side) {
        case Edge::left: r.moveTopRight(QPoint(anchor.left() - gap, anchor.center().y() - size.height() / 2)); break;
        case Edge::right: r.moveTopLeft(QPoint(anchor.right() + gap, anchor.center().y() - size.height() / 2)); break;
        case Edge::top: r.moveBottomLeft(QPoint(anchor.center().x() - size.width() / 2, anchor.top() - gap)); break;
        case Edge::bottom: r.moveTopLeft(QPoint(anchor.center().x() - size.width() / 2, anchor.bottom() + gap)); break;
        }
        return r;
    };
    auto opposite = [](Edge side) {
        switch (side) {
        case Edge::left: return Edge::right;
        case Edge::right: return Edge::left;
        case Edge::top: return Edge::bottom;
        case Edge::bottom: return Edge::top;
        }
        return side;
    };
    auto fits = [&](const QRect& r, Edge side) {
        return (side == Edge::left || side == Edge::right) ? r.left() >= screen.left() && r.right() <= screen.right()
                                                           : r.top() >= screen.top() && r.bottom() <= screen.bottom();
    };
    Edge side = preferredEdge;
    QRect r = beside(side);
    if (!fits(r, side) && fits(beside(opposite(side)), opposite(side))) {
        side = opposite(side);
        r = beside(side);
    }
    // Keep it on the screen along the other axis.
    r.moveLeft(std::clamp(r.left(), screen.left(), std::max(screen.left(), screen.right() - r.width() + 1)));
    r.moveTop(std::clamp(r.top(), screen.top(), std::max(screen.top(), screen.bottom() - r.height() + 1)));
    if (edge)
        *edge = side;
    return r;
}

void Popover::show(const QRect& rect, QWidget* view, Edge preferredEdge)
{
    if (!view || !window_)
        return;
    // A palette the view inherited resolves no role of its own, and setting it as it is would give the
    // application's palette instead: mark every role as set.
    QPalette palette = view->palette();
    palette.setResolveMask(~QPalette::ResolveMask(0));
    window_->setPalette(palette);
    window_->anchor = QRect(view->mapToGlobal(rect.topLeft()), rect.size());
    window_->adjustSize();
    const QScreen* screen = view->screen() ? view->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1 << 16, 1 << 16);
    window_->setGeometry(placement(window_->anchor, window_->sizeHint(), preferredEdge, available, &shownEdge_));
    window_->setAttribute(Qt::WA_NoMouseReplay, false);
    window_->show();
}

} // namespace velquine
