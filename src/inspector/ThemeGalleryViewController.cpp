#include "inspector/ThemeGalleryViewController.h"

#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollArea>
#include <QScrollBar>
#include <QVBoxLayout>

#include "canvas/ThemePreview.h"
#include "inspector/ThemePreviewView.h"

namespace velquine {

namespace {

constexpr int columns = 2;
constexpr int spacing = 12;
constexpr int visibleRows = 2;
constexpr double cornerRadius = 8;
constexpr int selectionBorder = 4;

} // namespace

// The preview image with rounded corners, clipped to them, and the selection border drawn over its edge.
class ThemeGalleryCell::ImageView : public QWidget {
public:
    explicit ImageView(QWidget* parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("imageView"));
        setFixedSize(previewSize);
    }
    QImage image;
    int borderWidth = 0;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
        painter.setClipPath(shape);
        painter.drawImage(QRectF(rect()), image);
        if (borderWidth > 0) {
            // A border of w points lies inside the bounds, as a layer border does.
            const double inset = borderWidth / 2.0;
            painter.setPen(QPen(palette().color(QPalette::Highlight), borderWidth));
            painter.setBrush(Qt::NoBrush);
            painter.drawRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), cornerRadius - inset,
                                    cornerRadius - inset);
        }
    }
};

ThemeGalleryCell::ThemeGalleryCell(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("ThemeGalleryCell"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    imageView_ = new ImageView(this);
    textField_ = new QLabel(this);
    textField_->setObjectName(QStringLiteral("textField"));
    textField_->setAlignment(Qt::AlignCenter);
    layout->addWidget(imageView_);
    layout->addWidget(textField_);
}

void ThemeGalleryCell::configure()
{
    textField_->setText(QString::fromStdString(theme.name));
    const double ratio = std::max(2.0, devicePixelRatioF());
    imageView_->image = themePreviewImage(theme, Size(previewSize.width(), previewSize.height()), ratio);
    imageView_->update();
    updateSelectionAppearance();
}

void ThemeGalleryCell::updateSelectionAppearance()
{
    imageView_->borderWidth = selected_ ? selectionBorder : 0;
    imageView_->update();
}

QWidget* ThemeGalleryCell::imageView() const
{
    return imageView_;
}

int ThemeGalleryCell::borderWidth() const
{
    return imageView_->borderWidth;
}

void ThemeGalleryCell::setSelected(bool selected)
{
    selected_ = selected;
    updateSelectionAppearance();
}

void ThemeGalleryCell::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit clicked();
    QFrame::mousePressEvent(event);
}

ThemeGalleryViewController::ThemeGalleryViewController(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ThemeGalleryViewController"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    collectionView_ = new QScrollArea(this);
    collectionView_->setObjectName(QStringLiteral("collectionView"));
    collectionView_->setFrameShape(QFrame::NoFrame);
    collectionView_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    collectionView_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    collectionView_->setWidgetResizable(true);
    grid_ = new QWidget;
    gridLayout_ = new QGridLayout(grid_);
    gridLayout_->setContentsMargins(spacing, spacing, spacing, spacing);
    gridLayout_->setSpacing(spacing);
    gridLayout_->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
    collectionView_->setWidget(grid_);
    layout->addWidget(collectionView_);
}

void ThemeGalleryViewController::setOwner(ThemePreviewView* strip)
{
    owner = strip;
    reloadData();
}

void ThemeGalleryViewController::reloadData()
{
    for (ThemeGalleryCell* cell : cells_)
        delete cell;
    cells_.clear();
    const int count = numberOfItems();
    for (int i = 0; i < count; ++i) {
        auto* cell = new ThemeGalleryCell(grid_);
        cell->theme = owner->availableStyles[std::size_t(i)];
        cell->configure();
        connect(cell, &ThemeGalleryCell::clicked, this, [this, i] { itemsWereSelected(i); });
        gridLayout_->addWidget(cell, i / columns, i % columns);
        cells_.push_back(cell);
    }
}

int ThemeGalleryViewController::numberOfItems() const
{
    return owner ? int(owner->availableStyles.size()) : 0;
}

ThemeGalleryCell* ThemeGalleryViewController::cell(int index) const
{
    return index >= 0 && index < int(cells_.size()) ? cells_[std::size_t(index)] : nullptr;
}

int ThemeGalleryViewController::selectedIndex() const
{
    for (std::size_t i = 0; i < cells_.size(); ++i)
        if (cells_[i]->isSelected())
            return int(i);
    return -1;
}

QSize ThemeGalleryViewController::sizeHint() const
{
    const QSize cellSize = cells_.empty() ? ThemeGalleryCell::previewSize : cells_.front()->sizeHint();
    const int scrollBar = collectionView_->verticalScrollBar()->sizeHint().width();
    return {columns * cellSize.width() + (columns + 1) * spacing + scrollBar,
            visibleRows * cellSize.height() + (visibleRows + 1) * spacing + cellSize.height() / 3};
}

void ThemeGalleryViewController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (owner && owner->selectedStyleIndex >= 0 && owner->selectedStyleIndex < numberOfItems())
        selectCurrentTheme(owner->availableStyles[std::size_t(owner->selectedStyleIndex)]);
}

void ThemeGalleryViewController::selectCurrentTheme(const ProjectStyle& style)
{
    if (!owner)
        return;
    const std::optional<std::size_t> index = indexOfTheme(style.name, owner->availableStyles);
    if (!index || *index >= cells_.size())
        return;
    selectItem(int(*index));
    // Scroll the cell to the top of the visible area.
    gridLayout_->activate();
    collectionView_->verticalScrollBar()->setValue(cells_[*index]->y() - spacing);
}

void ThemeGalleryViewController::selectItem(int index)
{
    for (std::size_t i = 0; i < cells_.size(); ++i)
        cells_[i]->setSelected(int(i) == index);
}

void ThemeGalleryViewController::itemsWereSelected(int index)
{
    if (!owner || index < 0 || index >= numberOfItems())
        return;
    selectItem(index);
    // The strip jumps to the theme without sliding and hands it on; the gallery stays open.
    owner->select(owner->availableStyles[std::size_t(index)].name, true, false);
}

} // namespace velquine
