#pragma once

// A section heading: a small title above a thin line along the bottom edge. Setting the title does not
// repaint; the new title shows with the next repaint.

#include <QColor>
#include <QString>

#include "kit/KVView.h"

namespace velquine {

class KVLabeledDivider : public KVView {
    Q_OBJECT
public:
    struct Style {
        // Invalid colours follow the appearance the view is drawn in: "dividerColor" (grey without that
        // asset colour) and the label colour.
        QColor bottomBorderColor;
        QColor textColor;
        double bottomBorderHeight = 1.0;
        double labelAreaHeight = 16.0;  // not used by the drawing
        double labelBaseline = 1.0;     // the title's distance from the bottom edge
        double labelMarginLeft = 10.0;
    };
    static constexpr double smallSystemFontSize = 11.0;

    explicit KVLabeledDivider(QWidget* parent = nullptr);

    const QString& title() const { return title_; }
    void setTitle(const QString& title) { title_ = title; }
    Style& style() { return style_; }

    void prepareForInterfaceBuilder() {}

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString title_ = QStringLiteral("Title");
    Style style_;
};

} // namespace velquine
