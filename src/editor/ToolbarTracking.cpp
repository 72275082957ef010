// The widths of the toolbar's spaces and tracking separators: each separator meets its divider of the split
// view, and the centred items stand in the middle of the toolbar where the spaces around them allow it.
#include "editor/ToolbarController.h"

#include <QAction>
#include <QLayout>
#include <QSplitter>
#include <QToolBar>

#include <algorithm>
#include <vector>

#include "editor/ToolbarTrackingSeparator.h"

namespace velquine {

namespace {

// The x of a divider in the toolbar, or nothing while the pane beside it is collapsed.
std::optional<int> dividerX(QSplitter* split, const QString& identifier, QWidget* toolBar)
{
    const bool sidebar = identifier == ToolbarController::sidebarTrackingSeparator;
    const int index = sidebar ? 0 : 2;
    if (!split || split->count() <= index)
        return std::nullopt;
    QWidget* pane = split->widget(index);
    if (!pane->isVisible() || pane->width() <= 0 || split->sizes().value(index) == 0)
        return std::nullopt;
    const QPoint edge = pane->mapTo(toolBar->window(), QPoint(sidebar ? pane->width() : 0, 0));
    return edge.x() - toolBar->mapTo(toolBar->window(), QPoint(0, 0)).x();
}

int naturalWidth(const QWidget* widget)
{
    const QSize hint = widget->sizeHint();
    return std::clamp(hint.isValid() ? hint.width() : 0, widget->minimumWidth(), widget->maximumWidth());
}

constexpr int minimumSpace = 24;

bool isCentred(const QString& identifier)
{
    return identifier == QLatin1String("ToggleNodeFocusItem") || identifier == QLatin1String("centerNodeItem");
}

// One shown item of the toolbar as the widths are worked out.
struct Slot {
    QWidget* widget;
    bool flexible;
    bool centred;
    int width;                 // the width it keeps (separators: their least width)
    std::optional<int> target; // for a separator: the x its right edge should meet
};

void setFlexible(QWidget* flex, std::optional<int> width)
{
    if (!width) {
        flex->setMinimumWidth(0);
        flex->setMaximumWidth(QWIDGETSIZE_MAX);
        flex->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        return;
    }
    flex->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    flex->setFixedWidth(std::max(0, *width));
}

// Shares total between the spaces.
void share(const std::vector<QWidget*>& flexes, int total)
{
    const int count = int(flexes.size());
    for (int i = 0; i < count; ++i)
        setFlexible(flexes[i], total / count + (i < total % count ? 1 : 0));
}

// Sets the widths of the spaces of one section (the row from first up to a separator that meets a divider,
// or to the end) and returns where the next section begins.
int layOutSection(const std::vector<Slot>& row, std::size_t first, std::size_t end, int sectionX, int spacing,
                  int centreX, int endX)
{
    std::vector<QWidget*> before; // spaces before the centred items
    std::vector<QWidget*> after;
    int fixed = 0;
    std::optional<int> groupStart;
    int groupEnd = 0;
    for (std::size_t i = first; i < end; ++i) {
        const Slot& slot = row[i];
        if (slot.target)
            break;
        if (slot.centred) {
            groupStart = groupStart.value_or(fixed);
            groupEnd = fixed + slot.width;
        }
        if (slot.flexible)
            (groupStart ? after : before).push_back(slot.widget);
        fixed += (slot.flexible ? 0 : slot.width) + spacing;
    }
    const bool closed = end < row.size() && row[end].target;
    // Without a divider to meet, the section runs to the toolbar's end, less a little room so that rounding
    // never pushes an item off the toolbar.
    const int right = closed ? *row[end].target - row[end].width : endX - 8;
    const int slack = std::max(0, right - sectionX - fixed);
    int lead = 0;
    if (groupStart && !before.empty()) {
        // The spaces after the centred items keep some room, so the groups never run together.
        const int kept = std::min(slack, minimumSpace * int(after.size()));
        lead = std::clamp(centreX - (groupEnd - *groupStart) / 2 - sectionX - *groupStart, 0, slack - kept);
        share(before, lead);
    } else if (groupStart || closed) {
        after.insert(after.begin(), before.begin(), before.end());
    } else {
        for (QWidget* flex : before)
            setFlexible(flex, std::nullopt);
    }
    if (!closed) {
        for (QWidget* flex : after)
            setFlexible(flex, std::nullopt);
        return right;
    }
    auto* separator = static_cast<TrackingSeparator*>(row[end].widget);
    if (after.empty())
        separator->setFixedWidth(TrackingSeparator::minimumWidth + slack - lead);
    else
        share(after, slack - lead);
    return sectionX + fixed + slack + TrackingSeparator::minimumWidth + spacing;
}

} // namespace

void ToolbarController::trackDividers()
{
    if (!toolBar_->isVisible())
        return;
    const int spacing = std::max(0, toolBar_->layout()->spacing());
    std::vector<Slot> row;
    for (QAction* action : toolBar_->actions()) {
        QWidget* widget = toolBar_->widgetForAction(action);
        if (!widget || !widget->isVisibleTo(toolBar_))
            continue;
        const QString identifier = action->objectName();
        Slot slot{widget, identifier == flexibleSpace, isCentred(identifier), naturalWidth(widget), std::nullopt};
        if (auto* separator = dynamic_cast<TrackingSeparator*>(widget)) {
            slot.target = dividerX(splitView_, identifier, toolBar_);
            slot.width = TrackingSeparator::minimumWidth;
            separator->setTracking(bool(slot.target));
            separator->setFixedWidth(TrackingSeparator::minimumWidth);
        }
        row.push_back(slot);
    }
    if (row.empty())
        return;
    const int endX = toolBar_->layout()->contentsRect().right() + 1;
    int sectionX = row.front().widget->x();
    std::size_t first = 0;
    for (std::size_t i = 0; i <= row.size(); ++i) {
        if (i < row.size() && !row[i].target)
            continue;
        sectionX = layOutSection(row, first, i, sectionX, spacing, toolBar_->width() / 2, endX);
        first = i + 1;
    }
    // Lay the toolbar out now, so it never shows the old positions with the new widths.
    toolBar_->layout()->activate();
}

} // namespace velquine
