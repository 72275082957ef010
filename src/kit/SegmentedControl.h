#pragma once

// A row of toggle segments that may each be selected or not ("select any"), with text or an icon per
// segment. Each segment can be enabled on its own; enabling or disabling the whole control keeps those
// per-segment states. Sends activated() after the user toggled a segment.

#include <QIcon>
#include <QString>
#include <QWidget>

#include <vector>

class QToolButton;

namespace velquine {

class SegmentedControl : public QWidget {
    Q_OBJECT
public:
    explicit SegmentedControl(QWidget* parent = nullptr);

    // Appends a segment; the font is used for its text (bold "B", italic "I"...).
    void addSegment(const QString& text, const QString& toolTip, const QFont& font = {});
    void addSegment(const QIcon& icon, const QString& toolTip);
    int segmentCount() const { return int(buttons_.size()); }

    bool isSelected(int segment) const;
    void setSelected(bool selected, int segment);
    bool isEnabled(int segment) const;
    void setEnabled(bool enabled, int segment);
    using QWidget::isEnabled;
    using QWidget::setEnabled;

    // The segment's button, for tests and geometry.
    QToolButton* segmentButton(int segment) const { return buttons_.at(std::size_t(segment)); }

signals:
    void activated(int segment);

public:
    // Takes the segment colours of the window's palette again; owners call it when the appearance changes.
    void applySelectionColours();

protected:
    void changeEvent(QEvent* event) override;

private:
    QToolButton* makeButton(const QString& toolTip);

    std::vector<QToolButton*> buttons_;
};

// Two small arrow buttons that step an integer within a range. Sends activated() after a user step.
class Stepper : public QWidget {
    Q_OBJECT
public:
    explicit Stepper(QWidget* parent = nullptr);

    int value() const { return value_; }
    // Clamped to the range.
    void setValue(int value);
    int minimum() const { return minimum_; }
    int maximum() const { return maximum_; }
    void setRange(int minimum, int maximum);

    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

signals:
    void activated();

private:
    void step(int by);

    QToolButton* up_;
    QToolButton* down_;
    int value_ = 0;
    int minimum_ = 0;
    int maximum_ = 100;
};

} // namespace velquine
