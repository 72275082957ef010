#pragma once

// The toolbar widget of a tracking separator: the toolbar controller sets its width so that its right edge
// meets a divider of the split view; it draws a hairline there while it does.

#include <QPainter>
#include <QWidget>

namespace velquine {

class TrackingSeparator : public QWidget {
public:
    static constexpr int minimumWidth = 9;
    explicit TrackingSeparator(QWidget* parent) : QWidget(parent)
    {
        setFixedWidth(minimumWidth);
        setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    }
    void setTracking(bool tracking)
    {
        if (tracking_ != tracking) {
            tracking_ = tracking;
            update();
        }
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (!tracking_)
            return;
        QPainter painter(this);
        painter.fillRect(QRect(width() - 1, 0, 1, height()), palette().color(QPalette::Mid));
    }

private:
    bool tracking_ = false;
};

} // namespace velquine
