#include "kit/SegmentedControl.h"

#include <QHBoxLayout>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace velquine {

SegmentedControl::SegmentedControl(QWidget* parent) : QWidget(parent)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QToolButton* SegmentedControl::makeButton(const QString& toolTip)
{
    auto* button = new QToolButton(this);
    button->setCheckable(true);
    button->setToolTip(toolTip);
    button->setAutoRaise(false);
    button->setFocusPolicy(Qt::TabFocus);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->setMinimumHeight(22);
    const int segment = int(buttons_.size());
    connect(button, &QToolButton::clicked, this, [this, segment] { emit activated(segment); });
    layout()->addWidget(button);
    buttons_.push_back(button);
    return button;
}

void SegmentedControl::addSegment(const QString& text, const QString& toolTip, const QFont& font)
{
    QToolButton* button = makeButton(toolTip);
    button->setText(text);
    if (font != QFont())
        button->setFont(font);
}

void SegmentedControl::addSegment(const QIcon& icon, const QString& toolTip)
{
    QToolButton* button = makeButton(toolTip);
    button->setIcon(icon);
    button->setToolButtonStyle(Qt::ToolButtonIconOnly);
}

bool SegmentedControl::isSelected(int segment) const
{
    return segment >= 0 && segment < segmentCount() && buttons_[std::size_t(segment)]->isChecked();
}

void SegmentedControl::setSelected(bool selected, int segment)
{
    if (segment >= 0 && segment < segmentCount())
        buttons_[std::size_t(segment)]->setChecked(selected);
}

bool SegmentedControl::isEnabled(int segment) const
{
    // Asked of the segment alone, whatever the whole control's state.
    return segment >= 0 && segment < segmentCount()
        && !buttons_[std::size_t(segment)]->testAttribute(Qt::WA_ForceDisabled);
}

void SegmentedControl::setEnabled(bool enabled, int segment)
{
    if (segment >= 0 && segment < segmentCount())
        buttons_[std::size_t(segment)]->setEnabled(enabled);
}

Stepper::Stepper(QWidget* parent) : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this))
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    for (QToolButton* button : {up_, down_}) {
        button->setArrowType(button == up_ ? Qt::UpArrow : Qt::DownArrow);
        button->setAutoRepeat(true);
        button->setFixedSize(16, 11);
        button->setFocusPolicy(Qt::NoFocus);
        column->addWidget(button);
    }
    up_->setToolTip(tr("Larger"));
    down_->setToolTip(tr("Smaller"));
    connect(up_, &QToolButton::clicked, this, [this] { step(1); });
    connect(down_, &QToolButton::clicked, this, [this] { step(-1); });
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void Stepper::setValue(int value)
{
    value_ = std::clamp(value, minimum_, maximum_);
}

void Stepper::setRange(int minimum, int maximum)
{
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    setValue(value_);
}

void Stepper::step(int by)
{
    setValue(value_ + by);
    emit activated();
}

} // namespace velquine
