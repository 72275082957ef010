#pragma once

// The gallery of every theme, shown in a popover by the theme strip: one cell per theme with its rendered
// sample map and its name. Opening the gallery selects the strip's current theme; clicking a cell selects
// that theme in the strip, which hands it on to be applied. The gallery reads its themes from the strip and
// keeps no list of its own.

#include <vector>

#include <QFrame>
#include <QPointer>

#include "model/style/ProjectStyle.h"

class QGridLayout;
class QLabel;
class QScrollArea;

namespace velquine {

class ThemePreviewView;

// One theme of the gallery: its preview image above its name, with a border in the accent colour while
// selected.
class ThemeGalleryCell : public QFrame {
    Q_OBJECT
public:
    explicit ThemeGalleryCell(QWidget* parent = nullptr);

    ProjectStyle theme = ProjectStyle::omaha();

    // Fills the cell from theme: the name, and a freshly rendered preview.
    virtual void configure();
    // Shows or hides the selection border.
    virtual void updateSelectionAppearance();

    bool isSelected() const { return selected_; }
    void setSelected(bool selected);

    QWidget* imageView() const;
    QLabel* textField() const { return textField_; }
    // The border width of the image: 4 points while selected, else 0.
    int borderWidth() const;

    static constexpr QSize previewSize{280, 190};

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    class ImageView;
    ImageView* imageView_ = nullptr;
    QLabel* textField_ = nullptr;
    bool selected_ = false;
};

class ThemeGalleryViewController : public QWidget {
    Q_OBJECT
public:
    explicit ThemeGalleryViewController(QWidget* parent = nullptr);

    // The strip that opened the gallery.
    QPointer<ThemePreviewView> owner;
    void setOwner(ThemePreviewView* strip);

    // The grid of cells.
    QScrollArea* collectionView() const { return collectionView_; }

    // Makes one cell per theme of the owner, in the owner's order.
    void reloadData();
    int numberOfItems() const;
    ThemeGalleryCell* cell(int index) const;
    // The selected cell's index, or -1.
    int selectedIndex() const;

    // Selects the cell of the style (found by lower-cased name) and scrolls it to the top.
    virtual void selectCurrentTheme(const ProjectStyle& style);

    QSize sizeHint() const override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void selectItem(int index);
    void itemsWereSelected(int index);

    QScrollArea* collectionView_ = nullptr;
    QWidget* grid_ = nullptr;
    QGridLayout* gridLayout_ = nullptr;
    std::vector<ThemeGalleryCell*> cells_;
};

} // namespace velquine
