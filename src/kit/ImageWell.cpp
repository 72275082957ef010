#include "kit/ImageWell.h"

#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

#include "platform/LongWork.h"

namespace velquine {

ImageWell::ImageWell(QWidget* parent) : QFrame(parent)
{
    setFrameShape(QFrame::StyledPanel);
    setFrameShadow(QFrame::Sunken);
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);
    setMinimumHeight(96);
}

void ImageWell::setImage(const std::optional<Image>& image)
{
    image_ = image && !image->isNull() ? image : std::nullopt;
    update();
}

Image::Decoding ImageWell::decodeFile(const QString& path)
{
    Image::Decoding decoded;
    LongWork::Offer offer;
    offer.cancel = [] {};
    try {
        LongWork::wait(QObject::tr("Reading “%1”").arg(QFileInfo(path).fileName()).toStdString(), [&] {
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                return;
            const QByteArray bytes = file.readAll();
            decoded = Image::decode(Image::Data(bytes.begin(), bytes.end()));
        }, offer);
    } catch (const LongWork::Cancelled&) {
        return {};
    }
    return decoded;
}

std::optional<Image> ImageWell::imageFromFile(const QString& path)
{
    return decodeFile(path).image;
}

qint64 ImageWell::readablePixels()
{
    return qint64(Image::readablePixels());
}

std::optional<Image> ImageWell::imageFromMimeData(const QMimeData* data)
{
    if (!data)
        return std::nullopt;
    // Pictures from other programs are decoded by the picture reader; one of this program's own comes as pixels.
    bool bytes = false;
    for (const QString& format : data->formats()) {
        if (!format.startsWith(QLatin1String("image/")))
            continue;
        bytes = true;
        const QByteArray picture = data->data(format);
        if (auto image = Image::fromData(Image::Data(picture.begin(), picture.end())))
            return image;
    }
    if (!bytes && data->hasImage()) {
        const QImage bitmap = qvariant_cast<QImage>(data->imageData());
        if (!bitmap.isNull())
            return Image(bitmap);
    }
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        if (auto image = imageFromFile(url.toLocalFile()))
            return image;
    }
    return std::nullopt;
}

void ImageWell::userSetImage(std::optional<Image> image)
{
    setImage(image);
    emit imageWellAction();
}

void ImageWell::setScalesUp(bool scalesUp)
{
    if (scalesUp_ == scalesUp)
        return;
    scalesUp_ = scalesUp;
    update();
}

void ImageWell::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    if (!image_)
        return;
    const QRectF box = contentsRect().adjusted(4, 4, -4, -4);
    QSizeF size(image_->size().width, image_->size().height);
    if (scalesUp_ || size.width() > box.width() || size.height() > box.height())
        size.scale(box.size(), Qt::KeepAspectRatio);
    QRectF target(QPointF(), size);
    target.moveCenter(box.center());
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (!isEnabled())
        painter.setOpacity(0.5);
    painter.drawImage(target, image_->bitmap());
}

void ImageWell::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasImage() || event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void ImageWell::dropEvent(QDropEvent* event)
{
    if (auto image = imageFromMimeData(event->mimeData())) {
        event->acceptProposedAction();
        userSetImage(std::move(image));
    }
}

void ImageWell::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) && image_) {
        userSetImage(std::nullopt);
        return;
    }
    if (event->matches(QKeySequence::Paste)) {
        if (auto image = imageFromMimeData(QApplication::clipboard()->mimeData()))
            userSetImage(std::move(image));
        return;
    }
    QFrame::keyPressEvent(event);
}

void ImageWell::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    QFrame::mousePressEvent(event);
}

void ImageWell::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        setAcceptDrops(isEnabled());
    QFrame::changeEvent(event);
}

} // namespace velquine
