#include "kit/KVColorWell.h"

#include "kit/ColorPanel.h"
#include "kit/KitDrawing.h"
#include "kit/Popover.h"
#include "kit/SymbolImages.h"
#include "kit/SystemColors.h"

#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace velquine {

using namespace kitdraw;

namespace {

constexpr qreal buttonWidth = 24;
constexpr qreal iconWidth = 16;
constexpr qreal cornerRadius = 4;

Color systemRed() { return Color::sRGB(1.0, 0.231, 0.188); }
Color systemGreen() { return Color::sRGB(0.204, 0.780, 0.349); }
Color systemBlue() { return Color::sRGB(0.0, 0.478, 1.0); }

// A device colour from hue, saturation, brightness and alpha, nothing clamped.
Color deviceHSB(double hue, double saturation, double brightness, double alpha)
{
    const Color colour = Color::hsb(hue, saturation, brightness, alpha);
    const std::vector<double>& c = colour.components();
    return Color::deviceRGB(c[0], c[1], c[2], c[3]);
}

class KVSwatchCell : public QWidget {
public:
    KVSwatchCell(KVColorWellSwatchViewController* owner, const Color& colour)
        : QWidget(owner), owner_(owner), swatchColor(colour) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), swatchColor.toQColor());
        painter.setPen(QPen(swatchColor.adjustingBrightness(0.75).toQColor(), 1));
        painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
    void mousePressEvent(QMouseEvent*) override
    {
        if (owner_)
            owner_->swatchCellClicked(swatchColor);
    }

private:
    QPointer<KVColorWellSwatchViewController> owner_;

public:
    Color swatchColor;
};

constexpr int swatchPitch = 26; // cell size before its 2-point inset
constexpr int gridMargin = 10;
constexpr int rows = 5;

} // namespace

std::vector<Color> appendingWhiteSwatch(std::vector<Color> palette)
{
    palette.push_back(Color::white());
    return palette;
}

KVColorWell::KVColorWell(QWidget* parent)
    : KVView(parent),
      swatchPaletteSeed_{systemRed(), systemGreen(), systemBlue(), Color::white()},
      selectedColor_(deviceHSB(0.61, 0.69, 0.8, 1.0))
{
    setFocusPolicy(Qt::ClickFocus);
}

KVColorWell::~KVColorWell() = default;

void KVColorWell::setSelectedColor(const Color& colour)
{
    selectedColor_ = colour;
    update();
    // Only an active well has the panel made; the others leave it unmade until it is first asked for.
    if (isActive_ && !(ColorPanel::shared().color() == colour))
        ColorPanel::shared().setColor(colour);
}

void KVColorWell::setIsEnabled(bool enabled)
{
    isEnabled_ = enabled;
    QWidget::setEnabled(enabled);
    setFocusPolicy(enabled ? Qt::ClickFocus : Qt::NoFocus);
    update();
}

KVColorWell::ChromeColors KVColorWell::chromeColors() const
{
    const bool dark = isDarkAppearance();
    return dark ? ChromeColors{hsb(0.61, 0.06, 0.19), hsb(0, 0, 0.29), hsb(0, 0, 0.29), hsb(0, 0, 0.29)}
                : ChromeColors{hsb(0, 0, 1.0), hsb(0, 0, 0.82), hsb(0, 0, 0.7), hsb(0, 0, 0.9)};
}

QRectF KVColorWell::colourArea() const { return QRectF(0, 0, width() - buttonWidth, height()); }

QRectF KVColorWell::buttonRect() const
{
    return pixelAligned(QRectF(width() - buttonWidth, 1, buttonWidth, height() - 2), devicePixelRatioF());
}

QRectF KVColorWell::iconRect() const
{
    const QPointF centre = buttonRect().center();
    return QRectF(centre.x() - iconWidth / 2, centre.y() - iconWidth / 2, iconWidth, iconWidth);
}

QRectF KVColorWell::swatchArea() const { return QRectF(0, 0, width() - iconWidth, height()); }

void KVColorWell::paintEvent(QPaintEvent*)
{
    if (isEnabled_) {
        QPainter painter(this);
        paintWell(painter);
        return;
    }
    // Disabled: the same picture in greys.
    QImage image(size() * devicePixelRatioF(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatioF());
    image.fill(Qt::transparent);
    {
        QPainter imagePainter(&image);
        paintWell(imagePainter);
    }
    desaturate(image);
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), image);
}

void KVColorWell::paintWell(QPainter& painter)
{
    painter.setRenderHint(QPainter::Antialiasing);
    const ChromeColors chrome = chromeColors();
    const bool dark = isDarkAppearance();
    const QRectF bounds(rect());
    QPainterPath frame;
    frame.addRoundedRect(bounds, cornerRadius, cornerRadius);
    fillVerticalGradient(painter, frame, bounds, chrome.gradientStartColor, chrome.gradientEndColor);

    painter.save();
    QPainterPath inner;
    inner.addRoundedRect(integral(bounds.adjusted(1, 1, -1, -1)), cornerRadius, cornerRadius);
    painter.setClipPath(inner);
    painter.fillRect(colourArea(), selectedColor_.toQColor());
    const QRectF strip(width() - buttonWidth, 0, buttonWidth, height());
    if (!isActive_) {
        painter.fillRect(strip, chrome.buttonColor);
    } else if (dark) {
        painter.fillRect(strip, chrome.separatorColor);
    } else {
        QPainterPath stripPath;
        stripPath.addRect(strip);
        fillVerticalGradient(painter, stripPath, strip, hsb(0.59, 0.9, 0.99), hsb(0.58, 0.56, 0.97));
    }
    painter.restore();

    const QRectF button = buttonRect();
    painter.fillRect(pixelAligned(QRectF(button.left(), button.top(), 1, button.height()), devicePixelRatioF()),
                     chrome.separatorColor);
    SymbolImages::draw(painter, iconRect(), QStringLiteral("NSColorPanel"), QColor());
}

void KVColorWell::mousePressEvent(QMouseEvent* event)
{
    if (!isEnabled_)
        return;
    const QPointF point = event->position();
    if (swatchArea().contains(point)) {
        toggleSwatchPopover();
        return;
    }
    if (!buttonRect().contains(point))
        return;
    ColorPanel& panel = ColorPanel::shared();
    if (isActive_) {
        panel.close();
        return;
    }
    isActive_ = true;
    update();
    panel.setColor(selectedColor_);
    panel.orderFront(this);
}

void KVColorWell::toggleSwatchPopover()
{
    if (swatchPopOver_ && swatchPopOver_->isShown()) {
        swatchPopOver_->close();
        return;
    }
    if (!swatchPopOver_) {
        swatchPopOver_ = std::make_unique<Popover>();
        swatchPopOver_->setContentWidget(new KVColorWellSwatchViewController(this));
    }
    swatchPopOver_->show(swatchArea().toAlignedRect(), this, Popover::Edge::left);
}

void KVColorWell::dropSwatchPopover()
{
    if (swatchPopOver_) {
        swatchPopOver_->close();
        swatchPopOver_.release()->deleteLater(); // a grid calling us may live in it
    }
}

void KVColorWell::swatchPicked(const Color& colour)
{
    dropSwatchPopover();
    setSelectedColor(colour);
    selectedColorIsFinalColor_ = true;
    if (delegate_)
        delegate_->colorWellDidChange(this, colour, true);
}

void KVColorWell::changeColor(QObject* sender, bool isFinal)
{
    auto* panel = qobject_cast<ColorPanel*>(sender);
    if (!panel)
        return;
    const Color colour = panel->color();
    setSelectedColor(colour);
    selectedColorIsFinalColor_ = isFinal;
    if (delegate_)
        delegate_->colorWellDidChange(this, colour, isFinal);
}

void KVColorWell::focusInEvent(QFocusEvent* event)
{
    KVView::focusInEvent(event);
    disconnect(panelClosing_);
    panelClosing_ = connect(&ColorPanel::shared(), &ColorPanel::willClose, this, [this] { colorPanelDidClose(); });
}

void KVColorWell::focusOutEvent(QFocusEvent* event)
{
    KVView::focusOutEvent(event);
    // Working in the panel or in the swatch popover keeps the well the focus of its window.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    disconnect(panelClosing_);
    isActive_ = false;
    update();
}

void KVColorWell::colorPanelDidClose()
{
    isActive_ = false;
    update();
}

KVColorWellSwatchViewController::KVColorWellSwatchViewController(KVColorWell* owner) : owner_(owner)
{
    const std::vector<Color> seed = owner ? owner->swatchPaletteSeed() : std::vector<Color>();
    const int columns = int(seed.size());
    setFixedSize(gridMargin * 2 + swatchPitch * std::max(columns, 1), gridMargin * 2 + swatchPitch * rows);
    if (!owner || seed.empty())
        return;
    const std::vector<Color> colours = swatchColors(seed);
    const QRectF area = QRectF(rect()).adjusted(gridMargin, gridMargin, -gridMargin, -gridMargin);
    const qreal columnWidth = area.width() / columns, rowHeight = area.height() / rows;
    for (int k = 0; k < int(colours.size()); ++k) {
        const int row = k / columns, column = k % columns;
        // Row 0 at the top.
        const QRectF frame(area.x() + columnWidth * column, area.y() + rowHeight * row, columnWidth, rowHeight);
        auto* cell = new KVSwatchCell(this, colours[std::size_t(k)]);
        cell->setGeometry(frame.adjusted(2, 2, -2, -2).toRect());
        swatchCells_.push_back(cell);
    }
}

std::vector<Color> KVColorWellSwatchViewController::swatchColors(const std::vector<Color>& seed)
{
    const std::size_t columns = seed.size();
    std::vector<Color> colours;
    for (std::size_t k = 0; k < rows * columns; ++k) {
        const std::size_t row = k / columns, column = k % columns;
        HSBA c = seed[column].usingDeviceRGB().hsba();
        if (column + 1 == columns) {
            c = Color::white().usingDeviceRGB().hsba();
            colours.push_back(deviceHSB(c.hue, c.saturation, 1.0 - 0.25 * double(row), c.alpha));
        } else {
            colours.push_back(deviceHSB(c.hue, c.saturation, c.brightness * (1.25 - 0.25 * double(row)), c.alpha));
        }
    }
    return colours;
}

void KVColorWellSwatchViewController::swatchCellClicked(const Color& colour)
{
    if (owner_)
        owner_->swatchPicked(colour);
}

} // namespace velquine
