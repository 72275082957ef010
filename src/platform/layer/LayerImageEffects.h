#pragma once

// What the layer renderer does to the pictures of layers: the grey filter and the blur of shadows.

#include <QImage>

namespace velquine {

// Turns a premultiplied picture into shades of grey by luminance, alpha kept.
void makeGray(QImage& image);
// Box blur of every channel, three passes each way: close to a Gaussian of the radius.
QImage blurred(const QImage& source, int radius);

} // namespace velquine
