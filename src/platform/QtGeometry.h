#pragma once

// Conversions between the program's Point, Size and Rect and Qt's floating-point geometry, for drawing and
// event code. A null Rect becomes an invalid QRectF (and back).

#include <QPointF>
#include <QRectF>
#include <QSizeF>

#include "platform/Geometry.h"

namespace velquine {

inline QPointF toQPointF(const Point& p) { return {p.x, p.y}; }
inline QSizeF toQSizeF(const Size& s) { return {s.width, s.height}; }
inline QRectF toQRectF(const Rect& r)
{
    return r.isNull() ? QRectF() : QRectF(r.origin.x, r.origin.y, r.size.width, r.size.height);
}
inline Point toPoint(const QPointF& p) { return {p.x(), p.y()}; }
inline Size toSize(const QSizeF& s) { return {s.width(), s.height()}; }
inline Rect toRect(const QRectF& r) { return r.isNull() && !r.isValid() ? Rect::null() : Rect(r.x(), r.y(), r.width(), r.height()); }

} // namespace velquine
