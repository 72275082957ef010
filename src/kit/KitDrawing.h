#pragma once

// Drawing helpers shared by the kit's controls. The controls lay themselves out with y growing upwards from
// their bottom edge (as their geometry is usually described); upFlipped() turns such a rectangle into Qt's
// coordinates, where y grows downwards from the top.

#include <QColor>
#include <QRectF>
#include <QString>

class QPainter;
class QImage;
class QPainterPath;
class QWidget;

namespace velquine::kitdraw {

// A rectangle given with y upwards from the bottom of a view of height viewHeight, in Qt's coordinates.
QRectF upFlipped(const QRectF& rect, qreal viewHeight);

// The rectangle with its edges on whole device pixels (nearest), for crisp hairlines and fills.
QRectF pixelAligned(const QRectF& rect, qreal devicePixelRatio);

// The rectangle grown outwards to whole points.
QRectF integral(const QRectF& rect);

// The colour with its HSB brightness multiplied by factor (clamped to 1), hue, saturation and alpha kept.
QColor adjustingBrightness(const QColor& colour, qreal factor);

// A colour from hue, saturation, brightness and alpha, each 0...1.
QColor hsb(qreal hue, qreal saturation, qreal brightness, qreal alpha = 1.0);

// Fills path with a vertical gradient that runs from bottomColour at the bottom of rect to topColour at its top.
void fillVerticalGradient(QPainter& painter, const QPainterPath& path, const QRectF& rect, const QColor& bottomColour,
                          const QColor& topColour);

// The height of text set in the system font at pointSize, broken into lines at width: the sum of the lines'
// heights.
qreal textHeight(const QString& text, qreal pointSize, qreal width);

// Draws text centred horizontally in rect, from rect's top, in the system font at pointSize.
void drawCentredText(QPainter& painter, const QRectF& rect, const QString& text, qreal pointSize, const QColor& colour);

// The upper-cased first character of a title ("" for an empty title).
QString firstLetter(const QString& title);

// An image of the widget's painting in greys, keeping its alpha.
void desaturate(QImage& image);

} // namespace velquine::kitdraw
