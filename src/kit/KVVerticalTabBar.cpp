#include "kit/KVVerticalTabBar.h"

#include "kit/KitDrawing.h"
#include "kit/SymbolImages.h"
#include "kit/SystemColors.h"
#include "platform/AssetColors.h"
#include "platform/Log.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>

namespace velquine {

using namespace kitdraw;

KVVerticalTabBar::KVVerticalTabBar(QWidget* parent) : KVView(parent) {}

QSize KVVerticalTabBar::sizeHint() const
{
    return QSize(32, 32 * std::max<int>(1, int(items_.size())));
}

void KVVerticalTabBar::addItem(const QString& identifier, const QString& title, const QImage& image)
{
    std::int64_t index = 0;
    for (const Item& item : items_)
        index = std::max(index, item.index + 1);
    items_.push_back(Item{index, title, image, identifier});
    update();
}

void KVVerticalTabBar::select(const Item& item, std::int64_t index)
{
    selectedItemIndex_ = index;
    update();
    if (delegate_)
        delegate_->selectInspectorTab(item.identifier);
    emit tabSelected(item.identifier);
}

void KVVerticalTabBar::selectItemAtIndex(std::int64_t position)
{
    if (position < 0 || position >= std::int64_t(items_.size())) {
        VQ_LOG("selectItemAtIndex(_:)",
               "can not select item with index " + std::to_string(position) + " because it is out of bounds!");
        return;
    }
    select(items_[std::size_t(position)], position);
}

QRectF KVVerticalTabBar::tabRect(const Item& item) const
{
    if (items_.empty())
        return {};
    const qreal w = width();
    return QRectF(0, w * qreal(item.index), w, w);
}

void KVVerticalTabBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const bool dark = isDarkAppearance();
    const qreal ratio = devicePixelRatioF();
    const qreal w = width();
    const std::optional<QColor> divider = assetColor("tabBarDividerColor", dark);

    std::vector<const Item*> order;
    for (const Item& item : items_)
        order.push_back(&item);
    std::stable_sort(order.begin(), order.end(), [](const Item* a, const Item* b) { return a->index > b->index; });

    qreal lowest = 0; // the lowest tab edge, from the top
    for (const Item* item : order) {
        const QRectF square = tabRect(*item);
        lowest = std::max(lowest, square.bottom());
        const bool selected = selectedItemIndex_ == item->index;
        // Unselected tabs are grey with the contrast of dark grey on a light bar, so light grey on a dark one.
        const QColor colour = selected ? SystemColors::accent(this)
                                       : dark ? SystemColors::lightGray() : SystemColors::darkGray();
        if (!item->image.isNull()) {
            painter.drawImage(pixelAligned(square.adjusted(6, 6, -6, -6), ratio), tinted(item->image, colour));
        } else {
            const QString letter = firstLetter(item->title);
            const qreal h = textHeight(letter, 12, w);
            // The letter box's bottom sits 5 points below the square's middle.
            const QRectF box(0, square.bottom() - (w * 0.5 - 5) - h, w, h);
            drawCentredText(painter, pixelAligned(box, ratio), letter, 12, colour);
        }
        if (!divider)
            continue;
        painter.fillRect(pixelAligned(QRectF(0, square.bottom() - 1, w, 1), ratio), *divider);
        if (!selected)
            painter.fillRect(pixelAligned(QRectF(0, square.top(), 1, w), ratio), *divider);
    }
    if (divider && !items_.empty())
        painter.fillRect(pixelAligned(QRectF(0, lowest, 1, height() - lowest), ratio), *divider);
    else if (divider)
        painter.fillRect(pixelAligned(QRectF(0, 0, 1, height()), ratio), *divider);
}

void KVVerticalTabBar::mousePressEvent(QMouseEvent* event)
{
    const std::vector<Item> snapshot = items_; // the delegate may add items
    for (const Item& item : snapshot)
        if (tabRect(item).contains(event->position()))
            select(item, item.index);
}

bool KVVerticalTabBar::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        QString text = QStringLiteral("LOLOLOL");
        for (const Item& item : items_)
            if (tabRect(item).contains(help->pos())) {
                text = item.title;
                break;
            }
        QToolTip::showText(help->globalPos(), text, this);
        return true;
    }
    return KVView::event(event);
}

} // namespace velquine
