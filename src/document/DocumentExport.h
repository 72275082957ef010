#pragma once

// The exports of one document: its text outlines to files and to the pasteboard, and its map drawn as an
// image or a PDF page through the installed renderer.
//
// Each operation reads the project's graph once, builds one exporter (or one rendering) for the call and
// delivers it; the document is never changed. Failures throw TextError whose text is a log line naming the
// operation ("can't get data", "Error writing to clipboard"); file errors of the exporters pass through
// unchanged. A pasteboard is touched only once the data is in hand.

#include <optional>
#include <string>

#include "document/GraphRenderer.h"
#include "model/project/VQProject.h"
#include "exchange/MarkdownExporter.h"
#include "exchange/PlainTextExporter.h"
#include "exchange/RichTextExporter.h"
#include "platform/Geometry.h"
#include "platform/Image.h"
#include "platform/Pasteboard.h"

namespace velquine {

class Graph;
class VQDocument;

class DocumentExport {
public:
    // Takes the document's project as it is now (a copy that shares its nodes): what every call exports, on
    // any thread for the exports that touch no pasteboard and draw nothing.
    explicit DocumentExport(const VQDocument& document);

    // The text outlines written to a file as UTF-8, atomically.
    void exportPlainText(const std::string& url, const PlainTextExporter::Options& options) const;
    void exportMarkdown(const std::string& url, const MarkdownExporter::Options& options) const;
    void exportOPML(const std::string& url) const;
    // Rich text as RTF or Word by the path's extension (RichTextExporter::exportTo), on the map's background.
    void exportRichText(const std::string& url, const RichTextExporter::Options& options) const;
    // The text outlines on the pasteboard as its string type; OPML as "org.opml.opml" and as string, the
    // same bytes; rich text as RTF on a cleared pasteboard.
    void exportPlainTextToPasteboard(const PlainTextExporter::Options& options,
                                     Pasteboard& pasteBoard = Pasteboard::general()) const;
    void exportRichTextToPasteboard(const RichTextExporter::Options& options,
                                    Pasteboard& pasteBoard = Pasteboard::general()) const;
    void exportYamlToPasteboard(Pasteboard& pasteBoard = Pasteboard::general()) const;
    void exportOPMLToPasteboard(Pasteboard& pasteBoard = Pasteboard::general()) const;
    void exportMarkdownToPasteboard(const MarkdownExporter::Options& options,
                                    Pasteboard& pasteBoard = Pasteboard::general()) const;
    // The map's title, which OPML documents and PDF pages carry: the project title, else the first root's title,
    // else empty.
    std::string opmlTitle() const;

    // The area a rendering shows, in map coordinates: the nodes' bounding rectangle grown by 15 % of its
    // size on every side.
    static Rect renderRect(const Graph& graph);
    // Largest picture renderImage makes, in pixels (one pixel per point).
    static constexpr double maxImagePixels = 200'000'000.0;
    // Longest page side a PDF may have, in points; a larger map is scaled down to fit.
    static constexpr double maxPDFPageSide = 14'400.0;

    // The map drawn upright at one pixel per point through the installed renderer. Throws TextError, before
    // taking any memory, for a map without nodes, a picture over maxImagePixels, or no renderer.
    Image renderImage(const GraphRenderOptions& options) const;
    // The same picture as a PNG file, drawn and compressed band by band, so that it never holds the whole
    // picture in memory. Throws as renderImage; nothing when compression failed.
    std::optional<Bytes> renderPNG(const GraphRenderOptions& options) const;
    // The map as a one-page PDF of the render rectangle's size in points (scaled down when a side would
    // pass maxPDFPageSide), titled with the map's title. Throws as renderImage, but for the pixel limit.
    Bytes renderPDF(const GraphRenderOptions& options) const;
    // The rendering as PNG or PDF on the pasteboard. An image that cannot be converted to PNG throws
    // ImageExtensionError and leaves the pasteboard as it was.
    void exportImageToPasteboard(const GraphRenderOptions& options,
                                 Pasteboard& pasteBoard = Pasteboard::general()) const;
    void exportPDFToPasteboard(const GraphRenderOptions& options,
                               Pasteboard& pasteBoard = Pasteboard::general()) const;

private:
    const VQProject project_;
};

} // namespace velquine
