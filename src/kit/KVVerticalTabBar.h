#pragma once

// The narrow column of square tabs at the edge of the inspector sidebar: tab i is the square of side
// width() at y = width() × i (top down), showing a template image or the first letter of its title, in the
// accent colour when selected and dark grey otherwise, with dividers between the tabs and a line along the
// left edge except beside the selected tab.

#include <QImage>
#include <QString>
#include "kit/KVView.h"

#include <cstdint>
#include <vector>

namespace velquine {

class KVVerticalTabBarDelegate {
public:
    virtual ~KVVerticalTabBarDelegate() = default;
    virtual void selectInspectorTab(const QString& identifier) = 0;
};

class KVVerticalTabBar : public KVView {
    Q_OBJECT
public:
    struct Item {
        std::int64_t index = 0;
        QString title;
        QImage image; // none when null
        QString identifier;
    };

    explicit KVVerticalTabBar(QWidget* parent = nullptr);

    void setDelegate(KVVerticalTabBarDelegate* delegate) { delegate_ = delegate; }
    const std::vector<Item>& items() const { return items_; }
    std::int64_t selectedItemIndex() const { return selectedItemIndex_; }

    // Appends an item at the next free index; selects nothing and tells nobody.
    void addItem(const QString& identifier, const QString& title, const QImage& image = {});
    // Selects the item at that position of items() and tells the delegate; out of range only logs.
    void selectItemAtIndex(std::int64_t position);
    // The square of an item in Qt's coordinates (empty when the bar has no items).
    QRectF tabRect(const Item& item) const;

    QSize sizeHint() const override;

signals:
    void tabSelected(const QString& identifier);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void select(const Item& item, std::int64_t index);

    KVVerticalTabBarDelegate* delegate_ = nullptr;
    std::vector<Item> items_;
    std::int64_t selectedItemIndex_ = 0;
};

} // namespace velquine
