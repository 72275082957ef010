#pragma once

// The strip that shows one theme at a time as a rendered sample map. A click at either end, the arrow keys
// or the wheel step through the themes; each step hands the newly selected style to the delegate. A row of
// dots near the bottom edge shows which theme is selected. The previews lie side by side in one image, so
// stepping only slides that image; each is drawn into it the first time it comes into view. A click in the middle or a right click opens a gallery of every theme in
// a popover. The strip never touches the document.

#include <memory>
#include <string>
#include <vector>

#include <QImage>
#include <QPointer>
#include <QWidget>

#include "inspector/ThemeGalleryViewController.h"
#include "model/style/ProjectStyle.h"

class QTimer;
class QVariantAnimation;

namespace velquine {

class Popover;

class ThemePreviewDelegate {
public:
    virtual ~ThemePreviewDelegate() = default;
    virtual void didSelectTheme(const ProjectStyle& style) = 0;
};

class ThemePreviewView : public QWidget {
    Q_OBJECT
public:
    explicit ThemePreviewView(QWidget* parent = nullptr);
    ~ThemePreviewView() override;

    ThemePreviewDelegate* delegate = nullptr;
    std::vector<ProjectStyle> availableStyles;
    int selectedStyleIndex = 0;
    // The last step wrapped around the end of the list.
    bool overflow = false;

    // Makes the backing image for every style's preview side by side, each drawn when it is first painted; a
    // hidden strip makes it when it is next shown, so a pane nobody opens costs nothing. Until a preview is
    // drawn its part of the image is transparent and takes no memory.
    void renderBackingImage();
    // Whether the preview of the style at the index has been drawn into the backing image.
    bool isPreviewDrawn(int index) const;
    const QImage& backingImage() const { return backingImage_; }
    // Places the previews so that the selected one fills the strip: an ordinary step slides there, a step
    // that wrapped around the list jumps.
    void layoutPreview();
    void updateIndicator() { update(); }

    // Selects the first style of the name (case-insensitive), else the first style.
    void select(const std::string& name, bool notify, bool animated);
    // Step by one with wrap-around; nothing without styles.
    void selectNext();
    void selectPrevious();

    // Opens the gallery of every theme beside the strip, or closes it when it is open.
    void showGallery();
    ThemeGalleryViewController* galleryController() const { return galleryController_; }
    Popover* galleryPopover() const { return galleryPopover_.get(); }

    // The centre of the i-th indicator dot, in the strip's coordinates.
    QPointF indicatorDotCenter(int index) const;
    // Where the row of previews starts now, in points (minus the selected preview's offset once a slide ends).
    double previewOffset() const { return previewOffset_; }
    bool isSliding() const;
    // A resize is being dragged: the previews are drawn again when it ends.
    bool isInLiveResize() const;

    static constexpr int clickZoneWidth = 32;
    static constexpr double minimumScrollInterval = 0.3;
    static constexpr int slideDuration = 250; // milliseconds

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    void notifyDelegate();
    void placePreview(bool animated);
    void setPreviewOffset(double offset);
    // Draws the previews that lie in the part of the backing image between the two x positions (pixels).
    void drawPreviewsBetween(double fromX, double toX);

    QImage backingImage_;
    std::vector<bool> previewDrawn_;
    Size previewSize_;
    bool renderWhenShown_ = false;
    double lastScrollTime_ = 0;
    double previewOffset_ = 0;
    QVariantAnimation* slide_ = nullptr;
    QTimer* liveResizeEnd_ = nullptr;
    QPointer<ThemeGalleryViewController> galleryController_;
    std::unique_ptr<Popover> galleryPopover_;
};

// The index of the first style whose lower-cased name equals the lower-cased name.
std::optional<std::size_t> indexOfTheme(const std::string& name, const std::vector<ProjectStyle>& styles);

} // namespace velquine
