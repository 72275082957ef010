#include "platform/layer/LayerImageEffects.h"

#include <algorithm>
#include <vector>

namespace velquine {

void makeGray(QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = line[x];
            const int g = std::clamp(int(0.2125 * qRed(c) + 0.7154 * qGreen(c) + 0.0721 * qBlue(c) + 0.5), 0, qAlpha(c));
            line[x] = qRgba(g, g, g, qAlpha(c));
        }
    }
}

QImage blurred(const QImage& source, int radius)
{
    if (radius < 1)
        return source;
    QImage image = source;
    const int w = image.width(), h = image.height();
    std::vector<QRgb> line;
    auto pass = [&](bool horizontal) {
        const int lines = horizontal ? h : w, length = horizontal ? w : h;
        for (int l = 0; l < lines; ++l) {
            auto at = [&](int i) -> QRgb& {
                return horizontal ? reinterpret_cast<QRgb*>(image.scanLine(l))[i]
                                  : reinterpret_cast<QRgb*>(image.scanLine(i))[l];
            };
            line.resize(std::size_t(length));
            for (int i = 0; i < length; ++i)
                line[std::size_t(i)] = at(i);
            int a = 0, r = 0, g = 0, b = 0;
            const int window = 2 * radius + 1;
            for (int i = -radius; i < length + radius; ++i) {
                if (i + radius < length) {
                    const QRgb c = line[std::size_t(i + radius)];
                    a += qAlpha(c), r += qRed(c), g += qGreen(c), b += qBlue(c);
                }
                if (i - radius - 1 >= 0) {
                    const QRgb c = line[std::size_t(i - radius - 1)];
                    a -= qAlpha(c), r -= qRed(c), g -= qGreen(c), b -= qBlue(c);
                }
                if (i >= 0 && i < length)
                    at(i) = qRgba(r / window, g / window, b / window, a / window);
            }
        }
    };
    for (int i = 0; i < 3; ++i) {
        pass(true);
        pass(false);
    }
    return image;
}

} // namespace velquine
