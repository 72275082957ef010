// Dropping onto the canvas: images, image files and text. An item dropped on a node becomes that node's image;
// items dropped on empty canvas become new image nodes at the drop point. Files are read only from local file
// URLs; a file that is neither a readable image nor text is passed over with a log line.

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QStringDecoder>
#include <QUrl>

#include <variant>

#include "canvas/GraphView.h"
#include "canvas/CanvasSync.h"
#include "canvas/DropInteraction.h"
#include "canvas/layers/NodeLayer.h"
#include "layout/TextUtilities.h"
#include "platform/Log.h"
#include "platform/PictureReading.h"

namespace velquine {

namespace {

// What a dropped item turned into: an image, a text (drawn into an image), or nothing usable.
using DroppedObject = std::variant<std::monostate, Image, std::string>;

constexpr double droppedTextFontSize = 64;
constexpr double nodeImageBox = 1024;
// Larger files are not read: no image or text worth dropping on a node is this big.
constexpr qint64 maxDroppedFileSize = 256LL * 1024 * 1024;
constexpr qint64 maxDroppedTextFileSize = 1024 * 1024;

bool carriesImage(const QMimeData& data)
{
    if (data.hasImage())
        return true;
    for (const QString& format : data.formats())
        if (format.startsWith(QLatin1String("image/")))
            return true;
    return false;
}

// The picture in the bytes, read by the picture reader while the user waits.
std::optional<Image> readPicture(const QByteArray& bytes)
{
    auto picture = std::make_shared<const Bytes>(bytes.begin(), bytes.end());
    return PictureReading::readWaiting({std::move(picture)}, "Reading the dropped picture\u2026").front().image;
}

std::optional<Image> imageFromMime(const QMimeData& data)
{
    bool bytes = false;
    for (const QString& format : data.formats()) {
        if (!format.startsWith(QLatin1String("image/")))
            continue;
        bytes = true;
        if (auto image = readPicture(data.data(format)))
            return image;
    }
    // A picture of this program's own, as pixels: nothing to decode.
    if (!bytes && data.hasImage()) {
        const QImage image = qvariant_cast<QImage>(data.imageData());
        if (!image.isNull())
            return Image(image);
    }
    return std::nullopt;
}

void logSkipped(const QUrl& url, const char* why)
{
    debugLog(__FILE__, "performDragOperation(_:)", __LINE__,
             "skipped dropped item " + url.toDisplayString().toStdString() + ": " + why);
}

// A local file read as an image, else as UTF-8 text; nothing (logged) for anything else.
DroppedObject objectFromURL(const QUrl& url)
{
    if (!url.isLocalFile()) {
        logSkipped(url, "not a local file");
        return {};
    }
    const QFileInfo info(url.toLocalFile());
    if (!info.isFile() || info.size() > maxDroppedFileSize) {
        logSkipped(url, info.isFile() ? "file too large" : "not a readable file");
        return {};
    }
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly)) {
        logSkipped(url, "not a readable file");
        return {};
    }
    const QByteArray bytes = file.readAll();
    if (auto image = readPicture(bytes))
        return *image;
    if (bytes.size() <= maxDroppedTextFileSize && !bytes.contains('\0')) {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decoder(bytes);
        if (!decoder.hasError() && !text.trimmed().isEmpty())
            return text.toStdString();
    }
    logSkipped(url, "neither an image nor text");
    return {};
}

// The dropped items in the order read; per item the first kind that reads it wins: image, colour (never
// used), text, URL.
std::vector<DroppedObject> readDroppedObjects(const QMimeData& data)
{
    if (carriesImage(data)) {
        if (auto image = imageFromMime(data))
            return {*image};
    }
    if (data.hasColor())
        return {DroppedObject{}};
    // A file drag usually carries the paths as text as well: the files themselves are what was dropped.
    if (data.hasUrls()) {
        std::vector<DroppedObject> objects;
        for (const QUrl& url : data.urls())
            objects.push_back(objectFromURL(url));
        return objects;
    }
    if (data.hasText())
        return {data.text().toStdString()};
    return {};
}

std::optional<Image> imageOf(const DroppedObject& object)
{
    std::optional<Image> image;
    if (const Image* dropped = std::get_if<Image>(&object))
        image = *dropped;
    else if (const std::string* text = std::get_if<std::string>(&object))
        // Drawn no larger than a node keeps its image: a long text never takes a bitmap of its full size.
        image = textImage(*text, droppedTextFontSize, nodeImageBox, nodeImageBox);
    if (!image || image->isNull() || (image->size().width == 0 && image->size().height == 0))
        return std::nullopt;
    return image;
}

} // namespace

DropInteraction::DropInteraction(GraphView& view, CanvasSync& sync) : view_(view), sync_(sync) {}

DropInteraction::~DropInteraction() = default;

bool DropInteraction::dropCarriesContent(const QMimeData* data, bool logTypes) const
{
    if (!data)
        return false;
    if (logTypes)
        for (const QString& format : data->formats())
            debugLog(__FILE__, "draggingEntered(_:)", 23, format.toStdString());
    return carriesImage(*data) || data->hasText() || data->hasUrls();
}

// Entering and every move answer alike: a copy when the drag carries an image, text or URLs.
void DropInteraction::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void DropInteraction::dragMoveEvent(QDragMoveEvent* event)
{
    if (event->type() == QEvent::DragMove)
        highlightDropTargets(view_.layerPointFromWidget(event->position()));
    if (dropCarriesContent(event->mimeData(), true)) {
        event->setDropAction(Qt::CopyAction);
        event->accept();
    } else {
        event->ignore();
    }
}

void DropInteraction::dragLeaveEvent(QDragLeaveEvent* event)
{
    clearDropHighlight();
    event->accept();
}

void DropInteraction::highlightDropTargets(Point point)
{
    sync_.settleLayers(Rect(point.x, point.y, 0, 0));
    for (const auto& layer : sync_.nodeLayersAsIs()) {
        const bool hit = layer->frame().contains(point);
        if (!hit && !layer->isFocused() && !layer->isFocusRingShown())
            continue;
        layer->setFocused(hit);
        layer->focusRingLayer().setHidden(!hit);
    }
}

// The rings go back to showing the selection.
void DropInteraction::clearDropHighlight()
{
    for (const auto& layer : sync_.nodeLayersAsIs()) {
        if (!layer->isFocused())
            continue;
        layer->setFocused(false);
        layer->setSelected(layer->isSelected());
    }
}

void DropInteraction::dropEvent(QDropEvent* event)
{
    clearDropHighlight();
    const std::vector<DroppedObject> objects =
        event->mimeData() ? readDroppedObjects(*event->mimeData()) : std::vector<DroppedObject>{};
    if (objects.empty()) {
        event->ignore();
        return;
    }
    const Point point = view_.layerPointFromWidget(event->position());
    const std::vector<NodeLayer*> hits = sync_.settledNodeLayersAt(point);
    // Every item starts from the node as it was when the drop began.
    const std::optional<Node> targetNode = hits.empty() ? std::nullopt : std::optional<Node>(hits.front()->node());
    for (const DroppedObject& object : objects) {
        const std::optional<Image> image = imageOf(object);
        if (!image)
            continue;
        const auto target = view_.delegate();
        if (!target)
            continue;
        if (targetNode) {
            const Size fit = image->aspectFitSize(nodeImageBox, nodeImageBox);
            Node node = *targetNode;
            node.setImage(image->resizedToFit(fit.width, fit.height));
            target->setNodeImage(node);
        } else {
            target->newImageNodes({*image}, point);
        }
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
}

} // namespace velquine
