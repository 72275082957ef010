#include "kit/KVIconSegmentControl.h"

#include "kit/KitDrawing.h"
#include "kit/SymbolImages.h"
#include "kit/SystemColors.h"
#include "platform/Log.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <algorithm>

namespace velquine {

using namespace kitdraw;

namespace {
constexpr qreal cornerRadius = 4;
} // namespace

KVIconSegmentControl::KVIconSegmentControl(QWidget* parent) : KVView(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

QSize KVIconSegmentControl::sizeHint() const
{
    return QSize(std::max<int>(1, int(items_.size())) * 36, 24);
}

void KVIconSegmentControl::addItem(const QString& identifier, const QString& title,
                                   std::optional<IconTemplate> templateIcon, const QImage& image)
{
    std::int64_t index = 0;
    if (!items_.empty())
        index = std::max_element(items_.begin(), items_.end(),
                                 [](const Item& a, const Item& b) { return a.index < b.index; })->index + 1;
    items_.push_back(Item{index, title, image, templateIcon, identifier, index == 0, true});
    update();
}

void KVIconSegmentControl::setSelectedItems(const QStringList& identifiers)
{
    for (Item& item : items_)
        item.isSelected = identifiers.contains(item.identifier);
    update();
}

std::vector<KVIconSegmentControl::Item> KVIconSegmentControl::selectedItems() const
{
    std::vector<Item> selected;
    std::copy_if(items_.begin(), items_.end(), std::back_inserter(selected), [](const Item& i) { return i.isSelected; });
    return selected;
}

KVIconSegmentControl::Item KVIconSegmentControl::selectedItem() const
{
    if (allowsMultiSelection_)
        systemLog("warning: this segment allows multi selection. selectedItem will return only the first selected item!");
    for (const Item& item : items_)
        if (item.isSelected)
            return item;
    return Item{0, QStringLiteral("Empty"), QImage(), std::nullopt, QStringLiteral("empty"), false, false};
}

KVIconSegmentControl::SegmentColors KVIconSegmentControl::segmentColors() const
{
    const bool dark = isDarkAppearance();
    SegmentColors c;
    c.backgroundColor = dark ? hsb(0.62, 0.04, 0.42) : hsb(0, 0, 1.0);
    c.gradientEndColor = dark ? hsb(0, 0, 0.29) : hsb(0, 0, 0.82);
    c.gradientStartColor = dark ? hsb(0, 0, 0.29) : hsb(0, 0, 0.7);
    c.separatorColor = dark ? hsb(0, 0, 0.29, 0.4) : SystemColors::grid(false);
    c.selectedContentColor = Qt::white;
    c.contentColor = dark ? QColor(Qt::white) : QColor(Qt::black);
    const QColor accent = SystemColors::accent(this);
    c.selectionGradient = {{0.0, accent}, {1.0, adjustingBrightness(accent, 1.2)}};
    return c;
}

QRectF KVIconSegmentControl::segmentRect(const Item& item) const
{
    const qreal segmentWidth = items_.empty() ? 0 : qreal(width()) / qreal(items_.size());
    return QRectF(segmentWidth * qreal(item.index), 0, segmentWidth, height());
}

void KVIconSegmentControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal ratio = devicePixelRatioF();
    const SegmentColors colours = segmentColors();
    const QRectF bounds(rect());

    QPainterPath frame;
    frame.addRoundedRect(bounds, cornerRadius, cornerRadius);
    fillVerticalGradient(painter, frame, bounds, colours.gradientStartColor, colours.gradientEndColor);
    QPainterPath inner;
    inner.addRoundedRect(integral(bounds.adjusted(1, 1, -1, -1)), cornerRadius, cornerRadius);
    painter.fillPath(inner, colours.backgroundColor);

    painter.save();
    painter.setClipPath(inner);
    QLinearGradient selection(0, height(), 0, 0);
    selection.setStops(colours.selectionGradient);
    for (const Item& item : items_)
        if (item.isSelected)
            painter.fillRect(pixelAligned(segmentRect(item), ratio), selection);
    const qreal segmentWidth = items_.empty() ? 0 : qreal(width()) / qreal(items_.size());
    for (const Item& item : items_)
        if (item.index != 0)
            painter.fillRect(pixelAligned(QRectF(segmentWidth * qreal(item.index), 0, 1, height()), ratio),
                             colours.separatorColor);
    painter.restore();

    for (const Item& item : items_)
        drawItem(painter, item, colours);
}

void KVIconSegmentControl::drawItem(QPainter& painter, const Item& item, const SegmentColors& colours) const
{
    const QRectF segment = segmentRect(item);
    const bool dark = isDarkAppearance();
    const qreal ratio = devicePixelRatioF();
    if (item.templateIcon) {
        QColor colour = item.isSelected ? colours.selectedContentColor : colours.contentColor;
        if (!item.enabled)
            colour = item.isSelected ? QColor(255, 255, 255, 128)
                                     : adjustingBrightness(SystemColors::disabledControlText(dark), 1.2);
        drawTemplate(painter, item, segment, colour);
    } else if (!item.image.isNull()) {
        const QSizeF imageSize = item.image.deviceIndependentSize();
        QRectF target = segment;
        if (segment.width() < imageSize.width() || segment.height() < imageSize.height()) {
            const qreal side = std::min(segment.width(), segment.height());
            target = QRectF(segment.center().x() - side / 2, height() / 2.0 - side / 2, side, side);
        }
        const QColor tint = !item.enabled ? (dark ? SystemColors::darkGray() : SystemColors::lightGray())
                          : item.isSelected ? colours.selectedContentColor : colours.contentColor;
        painter.drawImage(pixelAligned(target, ratio), tinted(item.image, tint));
    } else if (!item.title.isEmpty()) {
        const QString letter = firstLetter(item.title);
        const QColor colour = !item.enabled ? SystemColors::disabledControlText(dark)
                            : item.isSelected ? colours.selectedContentColor : colours.contentColor;
        const qreal h = textHeight(letter, 12, segment.width());
        const QRectF box = upFlipped(QRectF(segment.x(), height() / 2.0 - 7, segment.width(), h), height());
        drawCentredText(painter, pixelAligned(box, ratio), letter, 12, colour);
    }
}

void KVIconSegmentControl::drawTemplate(QPainter& painter, const Item& item, const QRectF& segment,
                                        const QColor& colour) const
{
    const qreal ratio = devicePixelRatioF();
    const qreal lineWidth = 0.43 * segment.width();
    const qreal offset = item.index == 0 ? 1 : 0;
    const QRectF line = pixelAligned(
        upFlipped(QRectF(segment.center().x() - lineWidth / 2 + offset, segment.center().y(), lineWidth, 1), height()),
        ratio);
    auto dashes = [&](qreal dash, qreal step) {
        for (qreal x = line.left(); line.width() > 0 && x < line.right(); x += step)
            painter.fillRect(pixelAligned(QRectF(x, line.top(), dash, 1), ratio), colour);
    };
    const QRectF inset = segment.adjusted(8, 4, -8, -4);
    const QRectF shape = integral(segment.adjusted(8, 4.5, -8, -4.5));
    painter.save();
    painter.setPen(QPen(colour, 1));
    painter.setBrush(Qt::NoBrush);
    switch (*item.templateIcon) {
    case IconTemplate::solidLine: painter.fillRect(line, colour); break;
    case IconTemplate::dashedLine: dashes(4, 5); break;
    case IconTemplate::dashedLine2: dashes(3, 4); break;
    case IconTemplate::dashedLine3: dashes(2, 3); break;
    case IconTemplate::dottedLine: dashes(1, 2); break;
    case IconTemplate::underline:
        painter.fillRect(pixelAligned(upFlipped(QRectF(inset.left(), segment.height() - inset.bottom(), inset.width(), 2),
                                                height()), ratio), colour);
        break;
    case IconTemplate::rect: painter.drawRect(pixelAligned(inset, ratio).adjusted(0.5, 0.5, -0.5, -0.5)); break;
    case IconTemplate::roundedRect:
        painter.drawRoundedRect(QRectF(shape.left() + 0.5, shape.top() + 0.5, shape.width(), shape.height() - 1), 2, 2);
        break;
    case IconTemplate::oval:
        painter.drawEllipse(QRectF(shape.left() + 0.5, shape.top() + 0.5, shape.width(), shape.height() - 1));
        break;
    case IconTemplate::cloud: break;
    }
    painter.restore();
}

void KVIconSegmentControl::mousePressEvent(QMouseEvent* event)
{
    update();
    if (items_.empty())
        return;
    const QPointF point = event->position();
    bool counts = false;
    for (Item& item : items_) {
        const bool hit = segmentRect(item).contains(point);
        if (!allowsMultiSelection_) {
            if (item.enabled) {
                item.isSelected = hit;
                counts = true;
            }
        } else if (hit && item.enabled) {
            item.isSelected = !item.isSelected;
            counts = true;
        }
    }
    if (!counts)
        return;
    if (delegate_)
        delegate_->iconSegmentSelectionChanged(this);
    emit selectionChanged();
}

QString KVIconSegmentControl::toolTipAt(const QPointF& point) const
{
    for (const Item& item : items_)
        if (segmentRect(item).adjusted(2, 0, -2, 0).contains(point))
            return item.title;
    return {};
}

bool KVIconSegmentControl::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QString text = toolTipAt(help->pos());
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, this);
        return true;
    }
    return KVView::event(event);
}

} // namespace velquine
