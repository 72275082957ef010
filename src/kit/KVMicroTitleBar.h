#pragma once

// A small centred title over a one-point line along the bottom edge: the title bar of an inspector pane.
// Setting the title repaints.

#include <QColor>
#include <QString>

#include "kit/KVView.h"

namespace velquine {

class KVMicroTitleBar : public KVView {
    Q_OBJECT
public:
    struct Style {
        // Invalid colours follow the appearance the view is drawn in: the label colour and "dividerColor"
        // (grey without that asset colour).
        QColor textColor;
        QColor borderColor;
    };
    static constexpr double titleFontSize = 12.0;

    explicit KVMicroTitleBar(QWidget* parent = nullptr);

    const QString& title() const { return title_; }
    void setTitle(const QString& title);
    Style& style() { return style_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Style style_;
    QString title_ = QStringLiteral("Test");
};

} // namespace velquine
