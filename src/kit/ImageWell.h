#pragma once

// An image well: shows one image scaled down to fit (or, once setScalesUp(true), scaled up or down to fill
// the well keeping its proportions), and lets the user change it by dropping an
// image or an image file on it, pasting one, or pressing Delete or Backspace to remove it. Each change the
// user makes is reported by imageWellAction(); images set by code are not. What cannot be read as an image
// leaves the well as it was.

#include <optional>

#include <QFrame>

#include "platform/Image.h"

class QMimeData;

namespace velquine {

class ImageWell : public QFrame {
    Q_OBJECT
public:
    explicit ImageWell(QWidget* parent = nullptr);

    const std::optional<Image>& image() const { return image_; }
    void setImage(const std::optional<Image>& image);

    // The image the data carries (image data, or the first local file that reads as an image).
    static std::optional<Image> imageFromMimeData(const QMimeData* data);
    // The image in the file, or nothing when it cannot be read as one (Image::decode: a picture that would cost
    // more than the bounds allow comes with the reason). The file is read and decoded on a worker while the
    // windows repaint and the user's input waits (LongWork::wait).
    static Image::Decoding decodeFile(const QString& path);
    // decodeFile's image.
    static std::optional<Image> imageFromFile(const QString& path);
    // The most pixels an image read from a file may have.
    static qint64 readablePixels();

    // Whether an image smaller than the well is enlarged to fill it (false at first).
    bool scalesUp() const { return scalesUp_; }
    void setScalesUp(bool scalesUp);

    QSize sizeHint() const override { return {200, 128}; }

signals:
    void imageWellAction();

protected:
    void paintEvent(QPaintEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void userSetImage(std::optional<Image> image);

    std::optional<Image> image_;
    bool scalesUp_ = false;
};

} // namespace velquine
