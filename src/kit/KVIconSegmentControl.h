#pragma once

// A row of equal segments in a rounded frame, each showing a small vector icon, a tinted image or the
// upper-cased first letter of its title. Single selection (radio) or multiple selection (toggle), items
// enabled one by one, tool tips with the titles, at most one delegate call per click.
//
// Segments are placed by each item's index (segment width = width / number of items), not by its place in
// items(). Changing items() directly needs an update() from the caller; addItem and setSelectedItems redraw.

#include <QColor>
#include <QGradientStops>
#include <QImage>
#include <QPointer>
#include <QString>
#include <QStringList>
#include "kit/KVView.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace velquine {

class KVIconSegmentControl;

class KVIconSegmentControlDelegate {
public:
    virtual ~KVIconSegmentControlDelegate() = default;
    virtual void iconSegmentSelectionChanged(KVIconSegmentControl* control) = 0;
};

class KVIconSegmentControl : public KVView {
    Q_OBJECT
public:
    enum class IconTemplate { solidLine, dashedLine, dashedLine2, dashedLine3, dottedLine, underline, rect,
                              roundedRect, oval, cloud };

    struct Item {
        std::int64_t index = 0;
        QString title;
        QImage image; // none when null
        std::optional<IconTemplate> templateIcon;
        QString identifier;
        bool isSelected = false;
        bool enabled = true;
    };

    struct SegmentColors {
        QColor backgroundColor;
        QColor gradientEndColor;
        QColor gradientStartColor;
        QColor separatorColor;
        QColor selectedContentColor;
        QColor contentColor;
        QGradientStops selectionGradient; // bottom to top
    };

    explicit KVIconSegmentControl(QWidget* parent = nullptr);

    // Held weakly in practice: the owner outlives the control or clears the delegate.
    void setDelegate(KVIconSegmentControlDelegate* delegate) { delegate_ = delegate; }
    KVIconSegmentControlDelegate* delegate() const { return delegate_; }

    std::vector<Item>& items() { return items_; }
    const std::vector<Item>& items() const { return items_; }
    bool allowsMultiSelection() const { return allowsMultiSelection_; }
    void setAllowsMultiSelection(bool allows) { allowsMultiSelection_ = allows; }
    // A flag for the owner; drawing and clicks go by each item's enabled.
    bool isEnabled() const { return isEnabledFlag_; }
    void setIsEnabled(bool enabled) { isEnabledFlag_ = enabled; }

    // Appends an item at the next free index; only an item at index 0 starts selected.
    void addItem(const QString& identifier, const QString& title, std::optional<IconTemplate> templateIcon = {},
                 const QImage& image = {});
    // Selects exactly the items whose identifier is listed.
    void setSelectedItems(const QStringList& identifiers);
    std::vector<Item> selectedItems() const;
    // The first selected item, or the placeholder "empty" item. Logs a warning when multiple selection is on.
    Item selectedItem() const;

    SegmentColors segmentColors() const;
    // The segment of an item in Qt's coordinates.
    QRectF segmentRect(const Item& item) const;

    QSize sizeHint() const override;

signals:
    // Sent with every counted click, after the delegate.
    void selectionChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void drawItem(QPainter& painter, const Item& item, const SegmentColors& colours) const;
    void drawTemplate(QPainter& painter, const Item& item, const QRectF& segment, const QColor& colour) const;
    QString toolTipAt(const QPointF& point) const;

    KVIconSegmentControlDelegate* delegate_ = nullptr;
    std::vector<Item> items_;
    bool allowsMultiSelection_ = false;
    bool isEnabledFlag_ = true;
};

} // namespace velquine
