#include "model/style/PaletteSwatch.h"

#include "model/style/ProjectStyle.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace velquine {

namespace {

// Far beyond any menu item; keeps a hostile size from asking for a huge bitmap.
constexpr double maximumSwatchSide = 4096.0;

bool usable(Size size)
{
    return std::isfinite(size.width) && std::isfinite(size.height) && size.width > 0 && size.height > 0;
}

} // namespace

std::vector<PaletteSwatchSquare> paletteSwatchSquares(const ProjectStyle& style, Size size)
{
    if (!usable(size))
        return {};
    const ProjectStyleValues& values = style.current;
    std::vector<Color> colors{values.backgroundColor, values.rootNodeStyle.fillColor};
    const std::size_t paletteCount = std::min<std::size_t>(6, values.palette.size());
    for (std::size_t i = 0; i < paletteCount; ++i)
        colors.push_back(values.palette[i].strokeColor);
    std::stable_sort(colors.begin(), colors.end(),
                     [](const Color& a, const Color& b) { return a.brightness() < b.brightness(); });

    const double side = size.width / static_cast<double>(colors.size());
    std::vector<PaletteSwatchSquare> squares;
    squares.reserve(colors.size());
    for (std::size_t k = 0; k < colors.size(); ++k)
        squares.push_back({Rect(side * static_cast<double>(k), 0.0, side, side), colors[k]});
    return squares;
}

Image ProjectStyle::paletteSwatch(Size size) const
{
    if (!usable(size) || size.width > maximumSwatchSide || size.height > maximumSwatchSide)
        return Image();
    const double scale = paletteSwatchPixelsPerPoint;
    QImage bitmap(static_cast<int>(std::ceil(size.width * scale)), static_cast<int>(std::ceil(size.height * scale)),
                  QImage::Format_ARGB32_Premultiplied);
    if (bitmap.isNull())
        return Image();
    bitmap.fill(Qt::transparent);
    {
        QPainter painter(&bitmap);
        painter.scale(scale, scale);
        for (const PaletteSwatchSquare& square : paletteSwatchSquares(*this, size)) {
            const Rect& r = square.rect;
            // The bitmap's rows run downward: a square standing on the bottom edge starts at H - side.
            painter.fillRect(QRectF(r.origin.x, size.height - r.origin.y - r.size.height, r.size.width, r.size.height),
                             square.color.toQColor());
        }
    }
    return Image(std::move(bitmap), size);
}

} // namespace velquine
