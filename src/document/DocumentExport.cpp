// The exports of a document: the text outlines to files and to the pasteboard, and the map drawn as an image
// or a PDF page through the installed renderer.

#include <QBuffer>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>
#include <memory>

#include "document/DocumentExport.h"
#include "document/VQDocument.h"
#include "document/VQDocumentPasteboard.h"
#include "exchange/OPMLExporter.h"
#include "exchange/YAMLExporter.h"
#include "platform/Log.h"
#include "platform/PictureParts.h"
#include "platform/PngWriter.h"

namespace velquine {

namespace {

const std::string& opmlType()
{
    return VQDocumentPasteboard::pasteboardType(VQDocumentPasteboard::Type::opml);
}

// Puts exported text on the pasteboard under its types: the data is asked for first, so a failing
// exporter leaves the pasteboard alone. Rich text clears the pasteboard where the others declare their
// types. Only the first type's write counts; the others carry the same bytes as a courtesy.
void deliverText(const std::optional<std::string>& data, const std::vector<std::string>& types, bool clearFirst,
                 Pasteboard& pasteBoard, std::string_view function)
{
    if (!data)
        throw VQ_TEXT_ERROR(function, "can't get data");
    if (clearFirst)
        pasteBoard.clearContents();
    else
        pasteBoard.declareTypes(types);
    if (!pasteBoard.setString(*data, types.front()))
        throw VQ_TEXT_ERROR(function, "Error writing to clipboard");
    for (std::size_t i = 1; i < types.size(); ++i)
        pasteBoard.setString(*data, types[i]);
}

void deliverBytes(const Bytes& data, const std::string& type, Pasteboard& pasteBoard, std::string_view function)
{
    pasteBoard.declareTypes({type});
    if (!pasteBoard.setData(data, type))
        throw VQ_TEXT_ERROR(function, "Error writing to clipboard");
}

// What every rendering needs before it takes memory: a map with nodes and a renderer to draw it.
std::shared_ptr<const GraphRenderer> rendererFor(const Graph& graph)
{
    if (graph.count() == 0)
        throw TextError("There is nothing to export: the map has no nodes.");
    std::shared_ptr<const GraphRenderer> renderer = GraphRenderer::installed();
    if (!renderer)
        throw TextError("The map cannot be drawn for export: no map renderer is installed.");
    return renderer;
}

std::string wholeNumber(double value)
{
    return std::to_string(static_cast<long long>(value));
}

} // namespace

DocumentExport::DocumentExport(const VQDocument& document) : project_(document.project()) {}

// ---- Text outlines ----

void DocumentExport::exportPlainText(const std::string& url, const PlainTextExporter::Options& options) const
{
    PlainTextExporter(project_.graph, options).exportTo(url);
}

void DocumentExport::exportMarkdown(const std::string& url, const MarkdownExporter::Options& options) const
{
    MarkdownExporter(project_.graph, options).exportTo(url);
}

void DocumentExport::exportOPML(const std::string& url) const
{
    OPMLExporter(project_.graph, opmlTitle()).exportTo(url);
}

std::string DocumentExport::opmlTitle() const
{
    if (!project_.title.empty())
        return project_.title;
    for (const Node& node : project_.graph.storedNodes()) {
        if (!node.parentUID)
            return node.title;
    }
    return {};
}

void DocumentExport::exportPlainTextToPasteboard(const PlainTextExporter::Options& options,
                                                 Pasteboard& pasteBoard) const
{
    PlainTextExporter exporter(project_.graph, options);
    deliverText(exporter.exportData(), {Pasteboard::stringType}, false, pasteBoard,
                "exportPlainTextToPasteboard(options:)");
}

void DocumentExport::exportRichText(const std::string& url, const RichTextExporter::Options& options) const
{
    const VQProject& project = project_;
    RichTextExporter exporter(project.graph, project.projectStyle.current.backgroundColor);
    exporter.options = options;
    exporter.exportTo(url);
}

void DocumentExport::exportRichTextToPasteboard(const RichTextExporter::Options& options, Pasteboard& pasteBoard) const
{
    const VQProject& project = project_;
    RichTextExporter exporter(project.graph, project.projectStyle.current.backgroundColor);
    exporter.options = options;
    deliverText(exporter.rtfData(), {Pasteboard::rtfType}, true, pasteBoard, "exportRichTextToPasteboard(options:)");
}

void DocumentExport::exportYamlToPasteboard(Pasteboard& pasteBoard) const
{
    YAMLExporter exporter(project_.graph);
    deliverText(exporter.exportData(), {Pasteboard::stringType}, false, pasteBoard, "exportYamlToPasteboard()");
}

void DocumentExport::exportOPMLToPasteboard(Pasteboard& pasteBoard) const
{
    OPMLExporter exporter(project_.graph, opmlTitle());
    deliverText(exporter.exportData(), {opmlType(), Pasteboard::stringType}, false, pasteBoard,
                "exportOPMLToPasteboard()");
}

void DocumentExport::exportMarkdownToPasteboard(const MarkdownExporter::Options& options, Pasteboard& pasteBoard) const
{
    MarkdownExporter exporter(project_.graph, options);
    deliverText(exporter.exportData(), {Pasteboard::stringType}, false, pasteBoard,
                "exportMarkdownToPasteboard(options:)");
}

// ---- Images and PDF ----

Rect DocumentExport::renderRect(const Graph& graph)
{
    const Rect bounds = graph.boundingRect();
    return bounds.insetBy(-0.15 * bounds.width(), -0.15 * bounds.height());
}

namespace {

// The size in pixels of a picture of the area at one pixel per point; refused, before any memory is taken, when
// it passes the pixel limit.
QSize pictureSize(const Rect& area)
{
    const double width = std::max(1.0, std::ceil(area.width()));
    const double height = std::max(1.0, std::ceil(area.height()));
    if (width * height > DocumentExport::maxImagePixels)
        throw TextError("The map is too large to export as an image: " + wholeNumber(width) + " × " + wholeNumber(height)
                        + " pixels, more than the 200 million pixels an image may have. Export it as a PDF document "
                          "instead.");
    return QSize(static_cast<int>(width), static_cast<int>(height));
}

// Writes a PDF file of one page of the given size in points to out, drawn by the parts the queue brings.
void writePDFPage(QIODevice& out, const QSizeF& page, const QString& title, PictureQueue& parts)
{
    QPdfWriter writer(&out);
    writer.setResolution(72);
    writer.setPageSize(QPageSize(page, QPageSize::Point, QString(), QPageSize::ExactMatch));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("Velquine"));
    QPainter painter(&writer);
    if (!painter.isActive())
        throw VQ_TEXT_ERROR("renderPDF(options:)", "can't get data");
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
    playParts(painter, parts);
}

// 72 dots per inch: one pixel per point.
constexpr int pointDotsPerMeter = 2835;
// Bands of about 4 MB while drawing a PNG file.
constexpr std::int64_t bandBytes = 4 << 20;

} // namespace

Image DocumentExport::renderImage(const GraphRenderOptions& options) const
{
    const VQProject& snapshot = project_;
    const std::shared_ptr<const GraphRenderer> renderer = rendererFor(snapshot.graph);
    const Rect area = renderRect(snapshot.graph);
    const QSize pixels = pictureSize(area);
    QImage bitmap(pixels, QImage::Format_ARGB32_Premultiplied);
    if (bitmap.isNull())
        throw TextError("There is not enough memory to draw the map as an image of " + wholeNumber(pixels.width())
                        + " × " + wholeNumber(pixels.height()) + " pixels.");
    bitmap.fill(Qt::transparent);
    {
        QPainter painter(&bitmap);
        painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
        renderer->render(painter, QRectF(QPointF(0, 0), QSizeF(pixels)), snapshot, area, options);
    }
    return Image(std::move(bitmap), Size{double(pixels.width()), double(pixels.height())});
}

std::optional<Bytes> DocumentExport::renderPNG(const GraphRenderOptions& options) const
{
    const VQProject& snapshot = project_;
    const std::shared_ptr<const GraphRenderer> renderer = rendererFor(snapshot.graph);
    const Rect area = renderRect(snapshot.graph);
    const QSize pixels = pictureSize(area);
    // An opaque background covers the whole picture, so its file needs no alpha channel.
    const bool alpha = options.transparentBackground || snapshot.projectStyle.current.backgroundColor.toQColor().alpha() < 255;
    PngEncoder encoder(pixels.width(), pixels.height(), alpha, pointDotsPerMeter, pointDotsPerMeter);
    const int bandHeight = static_cast<int>(std::max<std::int64_t>(16, bandBytes / (std::int64_t(pixels.width()) * 4)));
    renderer->renderRows(snapshot, area, pixels, options, bandHeight,
                         [&encoder, &options](const QImage& band, int) {
                             encoder.addRows(band, 0, band.height());
                             if (options.betweenParts)
                                 options.betweenParts();
                         });
    return encoder.finish();
}

Bytes DocumentExport::renderPDF(const GraphRenderOptions& options) const
{
    const VQProject& snapshot = project_;
    const std::shared_ptr<const GraphRenderer> renderer = rendererFor(snapshot.graph);
    const Rect area = renderRect(snapshot.graph);
    const double scale = std::min(1.0, maxPDFPageSide / std::max(area.width(), area.height()));
    const QSizeF page(std::max(1.0, std::floor(area.width() * scale)), std::max(1.0, std::floor(area.height() * scale)));

    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    const QString title = QString::fromStdString(opmlTitle());
    // The canvas draws the map here, in parts, recorded as pictures. Qt's PDF writer, which needs nothing of the
    // canvas and takes about as long again, plays each part into the page on a worker while the next one is drawn,
    // and the windows go on meanwhile.
    recordWhilePlaying(
        page.toSize(),
        [&](QPainter& painter, const std::function<void()>& cut) {
            painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
            renderer->render(painter, QRectF(QPointF(0, 0), page), snapshot, area, cutBetweenParts(options, cut));
        },
        [&](PictureQueue& parts) { writePDFPage(buffer, page, title, parts); });
    const QByteArray& bytes = buffer.data();
    return Bytes(bytes.begin(), bytes.end());
}

void DocumentExport::exportImageToPasteboard(const GraphRenderOptions& options, Pasteboard& pasteBoard) const
{
    const std::optional<Bytes> png = renderPNG(options);
    if (!png)
        throw ImageExtensionError(ImageExtensionError::Kind::unwrappingPNGRepresentationFailed);
    deliverBytes(*png, Pasteboard::pngType, pasteBoard, "exportImageToPasteboard(options:)");
}

void DocumentExport::exportPDFToPasteboard(const GraphRenderOptions& options, Pasteboard& pasteBoard) const
{
    deliverBytes(renderPDF(options), Pasteboard::pdfType, pasteBoard, "exportPDFToPasteboard(options:)");
}

} // namespace velquine
