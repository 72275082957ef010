#include "kit/KVLabeledDivider.h"

#include <QPainter>

#include "kit/KVIconView.h"
#include "kit/SystemColors.h"
#include "platform/LaidOutText.h"
#include "platform/QtGeometry.h"

namespace velquine {

KVLabeledDivider::KVLabeledDivider(QWidget* parent) : KVView(parent) {}

void KVLabeledDivider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const double w = width(), h = height();
    const bool dark = SystemColors::isDark(this);
    // The line runs along the bottom edge.
    painter.fillRect(toQRectF(centerScanRect({0, h - style_.bottomBorderHeight, w, style_.bottomBorderHeight})),
                     style_.bottomBorderColor.isValid() ? style_.bottomBorderColor : dividerColor(dark));
    if (title_.isEmpty())
        return;
    painter.setRenderHint(QPainter::TextAntialiasing);
    const AttributedString text = titleText(title_, smallSystemFontSize,
                                               style_.textColor.isValid() ? style_.textColor : labelTextColor(dark));
    // The ten points come off the width whatever the left margin is.
    const LaidOutText laidOut(text, w - 10);
    const double textHeight = laidOut.size().height;
    // The title's box stands on the baseline and grows upwards with more lines.
    const Rect box = centerScanRect({style_.labelMarginLeft, h - style_.labelBaseline - textHeight, w - 10, textHeight});
    laidOut.draw(painter, box.origin, box.size.width, TextAlignment::left);
}

} // namespace velquine
