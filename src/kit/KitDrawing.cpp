#include "kit/KitDrawing.h"

#include "platform/Font.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>
#include <QTextOption>

#include <algorithm>
#include <cmath>

namespace velquine::kitdraw {

QRectF upFlipped(const QRectF& rect, qreal viewHeight)
{
    return QRectF(rect.x(), viewHeight - rect.y() - rect.height(), rect.width(), rect.height());
}

QRectF pixelAligned(const QRectF& rect, qreal devicePixelRatio)
{
    const qreal r = devicePixelRatio > 0 ? devicePixelRatio : 1.0;
    const qreal left = std::round(rect.left() * r) / r;
    const qreal top = std::round(rect.top() * r) / r;
    const qreal width = std::max<qreal>(std::round(rect.width() * r), rect.width() > 0 ? 1 : 0) / r;
    const qreal height = std::max<qreal>(std::round(rect.height() * r), rect.height() > 0 ? 1 : 0) / r;
    return QRectF(left, top, width, height);
}

QRectF integral(const QRectF& rect)
{
    const qreal left = std::floor(rect.left()), top = std::floor(rect.top());
    return QRectF(left, top, std::ceil(rect.right()) - left, std::ceil(rect.bottom()) - top);
}

QColor adjustingBrightness(const QColor& colour, qreal factor)
{
    const QColor hsv = colour.toHsv();
    return QColor::fromHsvF(std::max<float>(hsv.hsvHueF(), 0), hsv.hsvSaturationF(),
                            std::clamp<float>(hsv.valueF() * factor, 0, 1), hsv.alphaF());
}

QColor hsb(qreal hue, qreal saturation, qreal brightness, qreal alpha)
{
    return QColor::fromHsvF(std::clamp<float>(hue, 0, 1), std::clamp<float>(saturation, 0, 1),
                            std::clamp<float>(brightness, 0, 1), std::clamp<float>(alpha, 0, 1));
}

void fillVerticalGradient(QPainter& painter, const QPainterPath& path, const QRectF& rect, const QColor& bottomColour,
                          const QColor& topColour)
{
    QLinearGradient gradient(rect.bottomLeft(), rect.topLeft());
    gradient.setColorAt(0, bottomColour);
    gradient.setColorAt(1, topColour);
    painter.fillPath(path, gradient);
}

qreal textHeight(const QString& text, qreal pointSize, qreal width)
{
    QTextLayout layout(text, Font::systemFont(pointSize).toQFont());
    QTextOption option(Qt::AlignHCenter);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    qreal height = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        height += line.height();
    }
    layout.endLayout();
    return height;
}

void drawCentredText(QPainter& painter, const QRectF& rect, const QString& text, qreal pointSize, const QColor& colour)
{
    painter.save();
    painter.setFont(Font::systemFont(pointSize).toQFont(painter.device()));
    painter.setPen(colour);
    painter.drawText(rect, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, text);
    painter.restore();
}

QString firstLetter(const QString& title)
{
    if (title.isEmpty())
        return {};
    const qsizetype length = title.at(0).isHighSurrogate() && title.size() > 1 ? 2 : 1;
    return title.left(length).toUpper();
}

void desaturate(QImage& image)
{
    image = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = qGray(line[x]);
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]));
        }
    }
}

} // namespace velquine::kitdraw
