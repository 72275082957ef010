#include "kit/SegmentedControl.h"

#include <QEvent>
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
    applySelectionColours();
}

void SegmentedControl::applySelectionColours()
{
    // Selected segments in the accent colour of the current appearance, so that they stand out in light and
    // dark windows alike.
    // The colours come from the window: a style sheet keeps this control's own palette from following the
    // window's.
    const QPalette colours = window()->palette();
    const QString sheet =
        QStringLiteral("QToolButton { background: %1; color: %2; border: 1px solid %3; padding: 2px; }"
                       "QToolButton:checked { background: %4; color: %5; border: 1px solid %6; }"
                       "QToolButton:disabled { color: %7; }")
            .arg(colours.color(QPalette::Button).name(), colours.color(QPalette::ButtonText).name(),
                 colours.color(QPalette::Mid).name(), colours.color(QPalette::Highlight).name(),
                 colours.color(QPalette::HighlightedText).name(), colours.color(QPalette::Highlight).darker(120).name(),
                 colours.color(QPalette::Disabled, QPalette::ButtonText).name());
    if (sheet != styleSheet())
        setStyleSheet(sheet);
}

void SegmentedControl::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ParentChange)
        applySelectionColours();
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
