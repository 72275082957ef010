#pragma once

// The strip that shows one theme at a time as a rendered sample map. A click at either end, the arrow keys
// or the wheel step through the themes; each step hands the newly selected style to the delegate. A row of
// dots near the bottom edge shows which theme is selected. All previews are drawn once into one image, so
// stepping only moves that image. The strip never touches the document.

#include <string>
#include <vector>

#include <QImage>
#include <QWidget>

#include "model/style/ProjectStyle.h"

namespace velquine {

class ThemePreviewDelegate {
public:
    virtual ~ThemePreviewDelegate() = default;
    virtual void didSelectTheme(const ProjectStyle& style) = 0;
};

class ThemePreviewView : public QWidget {
    Q_OBJECT
public:
    explicit ThemePreviewView(QWidget* parent = nullptr);

    ThemePreviewDelegate* delegate = nullptr;
    std::vector<ProjectStyle> availableStyles;
    int selectedStyleIndex = 0;
    // The last step wrapped around the end of the list.
    bool overflow = false;

    // Draws every style's preview side by side into the backing image.
    void renderBackingImage();
    const QImage& backingImage() const { return backingImage_; }
    // The preview and the dots follow selectedStyleIndex.
    void layoutPreview() { update(); }
    void updateIndicator() { update(); }

    // Selects the first style of the name (case-insensitive), else the first style.
    void select(const std::string& name, bool notify, bool animated);
    // Step by one with wrap-around; nothing without styles.
    void selectNext();
    void selectPrevious();

    // The centre of the i-th indicator dot, in the strip's coordinates.
    QPointF indicatorDotCenter(int index) const;

    static constexpr int clickZoneWidth = 32;
    static constexpr double minimumScrollInterval = 0.3;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void notifyDelegate();

    QImage backingImage_;
    double lastScrollTime_ = 0;
};

// The index of the first style whose lower-cased name equals the lower-cased name.
std::optional<std::size_t> indexOfTheme(const std::string& name, const std::vector<ProjectStyle>& styles);

} // namespace velquine
