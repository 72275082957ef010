#include "kit/KVMicroTitleBar.h"

#include <QPainter>

#include "kit/KVIconView.h"
#include "kit/SystemColors.h"
#include "platform/LaidOutText.h"
#include "platform/QtGeometry.h"

namespace velquine {

KVMicroTitleBar::KVMicroTitleBar(QWidget* parent) : KVView(parent) {}

void KVMicroTitleBar::setTitle(const QString& title)
{
    title_ = title;
    update();
}

void KVMicroTitleBar::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const double w = width(), h = height();
    const bool dark = SystemColors::isDark(this);
    if (!title_.isEmpty()) {
        painter.setRenderHint(QPainter::TextAntialiasing);
        const LaidOutText laidOut(titleText(title_, titleFontSize,
                                          style_.textColor.isValid() ? style_.textColor : labelTextColor(dark)), w);
        const double textHeight = laidOut.size().height;
        // The box's lower edge sits 5 points below the middle and the text grows upwards from there.
        const Rect box = centerScanRect({0, h / 2 + 5 - textHeight, w, textHeight});
        laidOut.draw(painter, box.origin, box.size.width, TextAlignment::center);
    }
    painter.fillRect(toQRectF(centerScanRect({0, h - 1, w, 1})),
                     style_.borderColor.isValid() ? style_.borderColor : dividerColor(dark));
}

} // namespace velquine
