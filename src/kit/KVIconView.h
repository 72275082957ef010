#pragma once

// A view that shows one image at its own size with its bottom-left corner at the view's bottom-left corner,
// neither scaled nor centred; the view's edges cut it. Also the small drawing helpers the kit's titled views
// share.

#include <QColor>
#include <QImage>
#include <QString>

#include <optional>

#include "kit/KVView.h"
#include "platform/AttributedString.h"

namespace velquine {

class KVIconView : public KVView {
    Q_OBJECT
public:
    using KVView::KVView;

    const std::optional<QImage>& icon() const { return icon_; }
    // Repaints.
    void setIcon(std::optional<QImage> icon);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::optional<QImage> icon_;
};

// The "dividerColor" asset colour, or grey when the program has none.
QColor dividerColor(bool dark);
// The colour of label text.
QColor labelTextColor(bool dark);
// A title in the system font at the size and colour.
AttributedString titleText(const QString& title, double pointSize, const QColor& color);

} // namespace velquine
