#pragma once

// The program's own symbol images, drawn as SVG in resources/icons and looked up by name: the toolbar's and
// inspector bar's symbols ("eye", "viewfinder", "paintbrush", ...), "plus.circle.fill", and the images
// "segm_cloud", "NSColorPanel", "NESWCursor" and "NWSECursor".
//
// Symbols (resources/icons/symbols) are templates: they draw in the colour they are given, so one drawing
// serves light and dark appearance. Their main parts use the SVG colour currentColor; the few parts drawn in
// a second colour (the "+" of "plus.circle.fill") use #fffffe, replaced by the secondary colour. Images
// (resources/icons/images) draw in their own colours, except "segm_cloud", a template like the symbols.
// Main thread only.

#include <QColor>
#include <QCursor>
#include <QIcon>
#include <QImage>
#include <QSizeF>
#include <QString>
#include <QStringList>

class QPainter;
class QRectF;

namespace velquine {

class SymbolImages {
public:
    static bool exists(const QString& name);
    static QStringList names();
    // Whether the image takes its colours from the caller.
    static bool isTemplate(const QString& name);

    // The image at a logical size for a device pixel ratio. Templates draw in primary (its alpha included)
    // with their second-colour parts in secondary (white when not given).
    static QImage render(const QString& name, QSizeF size, qreal devicePixelRatio, const QColor& primary,
                         const QColor& secondary = QColor());
    // Draws the image into rect of painter, at the painter's device pixel ratio.
    static void draw(QPainter& painter, const QRectF& rect, const QString& name, const QColor& primary,
                     const QColor& secondary = QColor());

    // An icon for buttons and menus in an appearance: templates in the label colour, with their disabled
    // look in the disabled text colour. Empty for an unknown name.
    static QIcon icon(const QString& name, bool dark);
    // A cursor made from an image, with its hot spot in logical pixels.
    static QCursor cursor(const QString& name, QPoint hotSpot);
};

// A copy of image whose opaque pixels take colour, keeping their alpha (source-atop fill).
QImage tinted(const QImage& image, const QColor& colour);

} // namespace velquine
