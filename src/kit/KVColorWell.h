#pragma once

// The colour control of the inspectors: the selected colour on the left, a colour-panel button on the
// right. A click on the colour area toggles a popover with a grid of swatches derived from the palette seed;
// a click on the button opens the shared colour panel (ColorPanel) and keeps the well linked to it while the
// well is active. Every change the user makes reaches the delegate with whether it is final (a swatch pick,
// or the end of a drag in the panel) or a step of a drag. A disabled well ignores clicks, takes no focus and
// draws in greys.

#include "platform/Color.h"

#include <QPointer>
#include "kit/KVView.h"

#include <memory>
#include <vector>

namespace velquine {

class ColorPanel;
class KVColorWell;
class KVColorWellSwatchViewController;
class Popover;

class KVColorWellDelegate {
public:
    virtual ~KVColorWellDelegate() = default;
    virtual void colorWellDidChange(KVColorWell* well, const Color& colour, bool isFinal) = 0;
};

// The seed with white appended, so its last column becomes the grey column of the swatch grid.
std::vector<Color> appendingWhiteSwatch(std::vector<Color> palette);

class KVColorWell : public KVView {
    Q_OBJECT
public:
    struct ChromeColors {
        QColor buttonColor;
        QColor gradientEndColor;
        QColor gradientStartColor;
        QColor separatorColor;
    };

    explicit KVColorWell(QWidget* parent = nullptr);
    ~KVColorWell() override;

    void setDelegate(KVColorWellDelegate* delegate) { delegate_ = delegate; }
    KVColorWellDelegate* delegate() const { return delegate_; }

    const Color& selectedColor() const { return selectedColor_; }
    // Redraws and, while active, moves the shared panel to the colour. Never calls the delegate.
    void setSelectedColor(const Color& colour);
    bool selectedColorIsFinalColor() const { return selectedColorIsFinalColor_; }

    const std::vector<Color>& swatchPaletteSeed() const { return swatchPaletteSeed_; }
    void setSwatchPaletteSeed(std::vector<Color> seed) { swatchPaletteSeed_ = std::move(seed); }

    bool isActive() const { return isActive_; }
    bool isEnabled() const { return isEnabled_; }
    void setIsEnabled(bool enabled);

    ChromeColors chromeColors() const;
    Popover* swatchPopOver() const { return swatchPopOver_.get(); }
    // Closes the swatch popover and lets it go, so that its next opening shows the current seed.
    void dropSwatchPopover();

    // Geometry in Qt's coordinates.
    QRectF colourArea() const;
    QRectF buttonRect() const;
    QRectF iconRect() const;
    QRectF swatchArea() const;

    // From the shared panel: a colour the user picked there.
    void changeColor(QObject* sender, bool isFinal);
    // From the swatch grid.
    void swatchPicked(const Color& colour);

    QSize sizeHint() const override { return QSize(64, 22); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void paintWell(QPainter& painter);
    void toggleSwatchPopover();
    void colorPanelDidClose();

    KVColorWellDelegate* delegate_ = nullptr;
    std::unique_ptr<Popover> swatchPopOver_;
    std::vector<Color> swatchPaletteSeed_;
    bool isActive_ = false;
    bool isEnabled_ = true;
    bool selectedColorIsFinalColor_ = false;
    Color selectedColor_;
    QMetaObject::Connection panelClosing_;
};

// The swatch grid: 5 rows × n columns for a seed of n colours, brightness × 1.25, 1.0, 0.75, 0.5 and 0.25 from
// the top row down, the last column white to black.
class KVColorWellSwatchViewController : public QWidget {
    Q_OBJECT
public:
    explicit KVColorWellSwatchViewController(KVColorWell* owner);

    // The colour of cell (row, column) for a seed; the grid's cells in row order.
    static std::vector<Color> swatchColors(const std::vector<Color>& seed);
    const std::vector<QWidget*>& swatchCells() const { return swatchCells_; }
    KVColorWell* owner() const { return owner_; }
    void swatchCellClicked(const Color& colour);

private:
    QPointer<KVColorWell> owner_;
    std::vector<QWidget*> swatchCells_;
};

} // namespace velquine
