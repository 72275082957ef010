// The clipboard of one document: copying and pasting nodes, styles and shapes, cut and duplicate.

#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "document/DocumentClipboard.h"
#include "document/DocumentPictures.h"
#include "document/DocumentInsertion.h"
#include "document/DocumentLayout.h"
#include "document/DocumentResets.h"
#include "document/VQDocument.h"
#include "exchange/OPMLImporter.h"
#include "exchange/PlainTextImporter.h"
#include "exchange/RtfTextReader.h"
#include "layout/NodeSizing.h"
#include "platform/Image.h"
#include "platform/Log.h"

namespace velquine {

namespace {

using Type = VQDocumentPasteboard::Type;

constexpr std::string_view pasteName = "pasteFromPasteBoard(pasteLocation:keepOriginalStyle:)";
constexpr std::string_view pasteNodesName = "pasteNodesFromPasteBoard(pasteLocation:keepOriginalStyle:pasteBoard:)";

// The stored node of each given node, by identifier, in the given order; nodes gone are skipped.
std::vector<Node> currentVersions(const VQDocument& document, const std::vector<Node>& nodes)
{
    std::vector<Node> result;
    result.reserve(nodes.size());
    for (const Node& node : nodes) {
        if (auto stored = document.project().graph.node(node.uid))
            result.push_back(std::move(*stored));
    }
    return result;
}

} // namespace

// ---- Styles and shapes ----

bool DocumentClipboard::copyNodeStyleToPasteBoard(const NodeStyle& style, NodeShape shape, Pasteboard& pasteBoard) const
{
    return VQDocumentPasteboard::writeNodeStyle(style, shape, pasteBoard, "copyNodeStyleToPasteBoard(style:shape:)");
}

std::optional<NodeStyle> DocumentClipboard::getNodeStyleFromPasteBoard(const Pasteboard& pasteBoard) const
{
    return VQDocumentPasteboard::readNodeStyle(pasteBoard, "getNodeStyleFromPasteBoard()");
}

std::optional<NodeShape> DocumentClipboard::getNodeShapeFromPasteBoard(const Pasteboard& pasteBoard) const
{
    return VQDocumentPasteboard::readNodeShape(pasteBoard, "getNodeShapeFromPasteBoard()");
}

// ---- Copy ----

bool DocumentClipboard::copyNodesToPasteBoard(const std::vector<Node>& nodes, Pasteboard& pasteBoard) const
{
    return VQDocumentPasteboard::writeNodes(document_.project().graph, nodes, document_.uniqueHandle(), pasteBoard,
                                            "copyNodesToPasteBoard(nodes:pasteBoard:)",
                                            document_.project().projectStyle.current.backgroundColor);
}

bool DocumentClipboard::canPaste(const Pasteboard& pasteBoard) const
{
    return VQDocumentPasteboard::canPaste(pasteBoard);
}

// ---- Paste ----

namespace {

// The result of a paste: the pasted or changed nodes as stored, none when nothing was pasted.
using Pasted = std::optional<std::vector<Node>>;
// What a handler of one kind of paste answers: none when the pasteboard holds nothing of its kind and the
// paste goes on with the next kind, else the paste's result.
using Handled = std::optional<Pasted>;

// One paste from a pasteboard, with a handler per kind of content, tried in order by pasteFromPasteBoard.
class Paste {
public:
    Paste(VQDocument& document, Pasteboard& pasteBoard, Point location)
        : document_(document), pasteBoard_(pasteBoard), location_(location)
    {
    }

    // Nodes copied by this program.
    Handled copiedNodes(bool keepOriginalStyle)
    {
        if (!has(PasteKind::nodesPlist))
            return std::nullopt;
        const Pasted pasted
            = DocumentClipboard(document_).pasteNodesFromPasteBoard(location_, keepOriginalStyle, pasteBoard_);
        if (!pasted)
            return std::nullopt;
        if (!pasted->empty())
            selectOnly(pasted->front());
        return Pasted(currentVersions(document_, *pasted));
    }

    // A link goes into the selected nodes and ends the paste there, so the text that usually comes with it
    // never replaces their titles. With nothing selected the paste goes on with the other kinds.
    Handled link(const std::vector<Node>& selected)
    {
        if (!has(PasteKind::url))
            return std::nullopt;
        if (!pasteBoard_.data(Pasteboard::urlType))
            return Pasted();
        const auto link = pasteBoard_.string(Pasteboard::urlType);
        if (!link || selected.empty())
            return std::nullopt;
        std::vector<Node> changed = selected;
        for (Node& node : changed)
            node.url = *link;
        return finishSelection(changed);
    }

    // An image, a string or rich text put into every selected node.
    Handled intoSelection(const std::vector<Node>& selected)
    {
        if (has(PasteKind::image)) {
            const std::optional<Image> image = readImage();
            if (!image)
                return Pasted();
            std::vector<Node> changed;
            for (Node node : selected) {
                node.setImage(*image);
                changed.push_back(autosizeNode(node, autosizeKeepCenter));
            }
            return finishSelection(changed);
        }
        if (has(PasteKind::string)) {
            if (!pasteBoard_.data(Pasteboard::stringType))
                return noStringData();
            const std::optional<std::string> text = pasteBoard_.string(Pasteboard::stringType);
            if (!text)
                return Pasted();
            return retitled(selected, *text);
        }
        if (has(PasteKind::rtf))
            return richTextIntoSelection(selected);
        return std::nullopt;
    }

    // An image with nothing selected becomes a new node, titled after a string offered with it.
    Handled imageNode()
    {
        if (!has(PasteKind::image))
            return std::nullopt;
        const std::optional<Image> image = readImage();
        if (!image)
            return Pasted();
        std::string title = "Image";
        if (has(PasteKind::string)) {
            if (!pasteBoard_.data(Pasteboard::stringType))
                return noStringData();
            if (auto text = pasteBoard_.string(Pasteboard::stringType))
                title = std::move(*text);
        }
        const std::optional<Node> node = DocumentInsertion(document_).insertImageNode(title, location_, *image);
        if (!node)
            return Pasted();
        selectOnly(*node);
        return Pasted(std::vector<Node>{*node});
    }

    // With nothing selected: OPML, offered as such or as a string that holds an OPML document, else an indented
    // text outline.
    Handled outline()
    {
        const auto plainString = has(PasteKind::string) ? pasteBoard_.string(Pasteboard::stringType) : std::nullopt;
        if (has(PasteKind::opml) || (plainString && plainString->find("<opml") != std::string::npos))
            return opml();
        if (!has(PasteKind::string))
            return std::nullopt;
        if (!pasteBoard_.data(Pasteboard::stringType))
            return noStringData();
        if (!plainString)
            return Pasted();
        return finishImport(
            DocumentInsertion(document_).insertNodes(PlainTextImporter::importNodes(*plainString), location_));
    }

private:
    bool has(PasteKind kind) const { return pasteboardHasKind(kind, pasteBoard_); }

    Pasted noStringData() const
    {
        VQ_LOG(pasteName, "can't get string data from pboard");
        return std::nullopt;
    }

    void selectOnly(const Node& node)
    {
        document_.setSelectedNodes({node});
        document_.notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidChangeSelection(); });
    }

    // The changed selected nodes: stored, their trees laid out, the first one selected.
    Pasted finishSelection(const std::vector<Node>& changed)
    {
        document_.updateNodes(changed, NodeUpdateOperation::title, false);
        DocumentLayout(document_).autoLayoutWholeNodeTrees(changed, true);
        DocumentLayout(document_).resolveCollisions();
        if (!changed.empty())
            selectOnly(changed.front());
        return currentVersions(document_, changed);
    }

    // New node trees: the first one selected, their trees laid out.
    Pasted finishImport(const std::vector<Node>& inserted)
    {
        if (!inserted.empty())
            selectOnly(inserted.front());
        DocumentLayout(document_).autoLayoutWholeNodeTrees(inserted, true);
        DocumentLayout(document_).resolveCollisions();
        return currentVersions(document_, inserted);
    }

    Pasted retitled(const std::vector<Node>& selected, const std::string& title)
    {
        std::vector<Node> changed;
        for (Node node : selected) {
            node.title = title;
            changed.push_back(autosizeNode(node, autosizeKeepCenter));
        }
        return finishSelection(changed);
    }

    Pasted richTextIntoSelection(const std::vector<Node>& selected)
    {
        const std::optional<Bytes> rtf = pasteBoard_.data(Pasteboard::rtfType);
        if (!rtf) {
            VQ_LOG(pasteName, "can't get rtf data from pboard");
            return std::nullopt;
        }
        std::string text;
        try {
            text = RtfTextReader::plainText(std::string_view(reinterpret_cast<const char*>(rtf->data()), rtf->size()));
        } catch (const RtfReadError&) {
            return std::nullopt;
        }
        return retitled(selected, text);
    }

    Pasted opml()
    {
        const std::string& opmlType = VQDocumentPasteboard::pasteboardType(Type::opml);
        const std::optional<Bytes> data = pasteBoard_.availableType({opmlType})
            ? pasteBoard_.data(opmlType)
            : pasteBoard_.data(Pasteboard::stringType);
        if (!data)
            return noStringData();
        OPMLImporter importer;
        std::vector<Node> nodes;
        importer.parseData(std::string_view(reinterpret_cast<const char*>(data->data()), data->size()), &nodes);
        return finishImport(DocumentInsertion(document_).insertNodes(nodes, location_));
    }

    std::optional<Image> readImage() const
    {
        std::optional<Bytes> data = pasteBoard_.data(Pasteboard::pngType);
        if (!data)
            data = pasteBoard_.data(Pasteboard::tiffType);
        if (!data) {
            VQ_LOG(pasteName, "can't get image data from pboard");
            return std::nullopt;
        }
        PictureRead read = PictureReading::readWaiting({std::make_shared<const Bytes>(std::move(*data))},
                                                       "Reading the picture\u2026")
                               .front();
        return std::move(read.image);
    }

    VQDocument& document_;
    Pasteboard& pasteBoard_;
    const Point location_;
};

} // namespace

std::optional<std::vector<Node>> DocumentClipboard::pasteFromPasteBoard(Point pasteLocation, bool keepOriginalStyle,
                                                                 Pasteboard& pasteBoard)
{
    document_.noteChange(pasteName);
    if (!canPaste(pasteBoard))
        return std::nullopt;
    Paste paste(document_, pasteBoard, pasteLocation);
    try {
        if (Handled done = paste.copiedNodes(keepOriginalStyle))
            return *done;
        const std::vector<Node> selected = document_.project().graph.nodes(document_.project().selectedNodeUIDs);
        if (Handled done = paste.link(selected))
            return *done;
        if (!selected.empty()) {
            if (Handled done = paste.intoSelection(selected))
                return *done;
            return std::nullopt;
        }
        if (Handled done = paste.imageNode())
            return *done;
        if (Handled done = paste.outline())
            return *done;
    } catch (const std::exception& error) {
        // Running out of node identifiers: nothing of the paste is kept once the caller cancels.
        VQ_LOG(pasteName, error.what());
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::vector<Node>> DocumentClipboard::pasteNodesFromPasteBoard(Point pasteLocation,
                                                                             bool keepOriginalStyle,
                                                                             Pasteboard& pasteBoard)
{
    const std::string& listType = VQDocumentPasteboard::pasteboardType(Type::nodesPlist);
    if (!pasteBoard.availableType({listType}))
        return std::nullopt;
    const std::optional<Bytes> data = pasteBoard.data(listType);
    if (!data)
        return std::nullopt;
    const bool keepStyles =
        keepOriginalStyle
        || pasteBoard.string(VQDocumentPasteboard::pasteboardType(Type::sourceDocument)) == document_.uniqueHandle();

    std::vector<Node> placed;
    try {
        std::vector<Node> decoded = Node::decodePropertyList(*data);
        if (decoded.empty())
            return std::nullopt;
        DocumentPictures::readNow(decoded);
        placed = VQDocumentPasteboard::renumberedAndPlaced(decoded, pasteLocation);
    } catch (const std::exception& error) {
        VQ_LOG(pasteNodesName, error.what());
        return std::nullopt;
    }

    document_.storeNewNodes(placed);
    DocumentLayout(document_).resolveCollisions();
    if (!keepStyles) {
        DocumentResets(document_).resetNodeStyle(currentVersions(document_, placed));
        document_.updateNodes(autosizeNodes(currentVersions(document_, placed), autosizeKeepCenter),
                              NodeUpdateOperation::size, false);
    }
    return currentVersions(document_, placed);
}

// ---- Cut and duplicate ----

bool DocumentClipboard::cutNodesToPasteBoard(const std::vector<Node>& nodes, Pasteboard& pasteBoard)
{
    document_.noteChange("cutNodesToPasteBoard(nodes:)");
    const bool copied = copyNodesToPasteBoard(nodes, pasteBoard);
    if (copied)
        document_.removeNodeTrees(nodes);
    return copied;
}

std::optional<std::vector<Node>> DocumentClipboard::duplicateSelectedNodes(Pasteboard& privateBoard)
{
    document_.noteChange("duplicateSelectedNodes()");
    const std::vector<Node> selected = document_.project().graph.nodes(document_.project().selectedNodeUIDs);
    if (selected.empty())
        return std::nullopt;
    if (!copyNodesToPasteBoard(selected, privateBoard))
        return std::nullopt;

    const Node& first = selected.front();
    const Point location{first.center.x + first.size.width * 0.5, first.center.y + first.size.height + 20.0};
    const std::optional<std::vector<Node>> pasted = pasteNodesFromPasteBoard(location, true, privateBoard);
    if (!pasted)
        return std::nullopt;
    if (!pasted->empty()) {
        document_.setSelectedNodes({pasted->front()});
        document_.notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidChangeSelection(); });
    }
    return currentVersions(document_, *pasted);
}

} // namespace velquine
