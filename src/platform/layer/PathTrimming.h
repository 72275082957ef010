#pragma once

// Cutting a path down to the part a stroke can show in an area, so that a long line of which only a little
// is on screen is stroked for that little.

#include <QPainterPath>
#include <QRectF>

#include <optional>

namespace velquine {

// The open path's pieces that may come near the area: its lines, and its curves cut into pieces of at most a
// fixed size, the same pieces whatever the area. Stroked with a solid pen whose reach is within the area's
// margin, they paint the same pixels inside the area as the whole path cut the same way, so a picture drawn
// in bands matches the picture drawn whole. Nothing when the path has a closed subpath (whose stroke joins its
// ends), or when it is small and lies entirely in the area.
std::optional<QPainterPath> visiblePartOfStroke(const QPainterPath& path, const QRectF& area);

} // namespace velquine
