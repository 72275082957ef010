#include "document/VQDocumentPasteboard.h"

#include <exception>
#include <iterator>
#include <unordered_map>
#include <unordered_set>

#include "exchange/OPMLExporter.h"
#include "exchange/PlainTextExporter.h"
#include "exchange/RichTextExporter.h"
#include "exchange/RtfWriter.h"
#include "model/style/OneKeyCoding.h"
#include "platform/Log.h"
#include "platform/LongWork.h"
#include "platform/PropertyList.h"
#include "platform/UserDefaults.h"

namespace velquine {

std::vector<std::string> pasteKindTypes(PasteKind kind)
{
    using T = VQDocumentPasteboard::Type;
    switch (kind) {
    case PasteKind::none:
        return {};
    case PasteKind::rtf:
        return {Pasteboard::rtfType};
    case PasteKind::string:
        return {Pasteboard::stringType};
    case PasteKind::nodesPlist:
        return {VQDocumentPasteboard::pasteboardType(T::nodesPlist)};
    case PasteKind::nodeStyle:
        return {VQDocumentPasteboard::pasteboardType(T::nodeStyle)};
    case PasteKind::image:
        return {Pasteboard::pngType, Pasteboard::tiffType};
    case PasteKind::url:
        return {Pasteboard::urlType};
    case PasteKind::opml:
        return {VQDocumentPasteboard::pasteboardType(T::opml)};
    }
    return {};
}

bool pasteboardHasKind(PasteKind kind, const Pasteboard& pasteboard)
{
    const std::vector<std::string> types = pasteKindTypes(kind);
    if (types.empty())
        return false;
    return pasteboard.availableType(types).has_value();
}

const std::string& VQDocumentPasteboard::pasteboardType(Type type)
{
    static const std::string opml = "org.opml.opml";
    static const std::string nodeStyle = "io.kelvarn.velquine.pb.node_style";
    static const std::string nodeShape = "io.kelvarn.velquine.pb.node_shape";
    static const std::string nodesPlist = "io.kelvarn.velquine.pb.nodes.plist";
    static const std::string sourceDocument = "io.kelvarn.velquine.sourceDocument";
    switch (type) {
    case Type::opml:
        return opml;
    case Type::nodeStyle:
        return nodeStyle;
    case Type::nodeShape:
        return nodeShape;
    case Type::nodesPlist:
        return nodesPlist;
    case Type::sourceDocument:
        return sourceDocument;
    }
    return nodesPlist;
}

const std::vector<PasteKind>& VQDocumentPasteboard::pasteableKinds()
{
    static const std::vector<PasteKind> kinds{PasteKind::nodesPlist, PasteKind::string, PasteKind::rtf,
                                              PasteKind::url,        PasteKind::opml,   PasteKind::image};
    return kinds;
}

bool VQDocumentPasteboard::canPaste(const Pasteboard& pasteboard)
{
    for (PasteKind kind : pasteableKinds()) {
        if (pasteboardHasKind(kind, pasteboard))
            return true;
    }
    return false;
}

// ---- Node style and shape ----

bool VQDocumentPasteboard::writeNodeStyle(const NodeStyle& style, NodeShape shape, Pasteboard& pasteboard,
                                          std::string_view function)
{
    Bytes styleData;
    Bytes shapeData;
    try {
        styleData = PropertyList::write(style.encode());
        shapeData = PropertyList::write(encodeOneKey(shape));
    } catch (const std::exception& error) {
        VQ_LOG(function, error.what());
        return false;
    }
    const std::string& styleType = pasteboardType(Type::nodeStyle);
    const std::string& shapeType = pasteboardType(Type::nodeShape);
    pasteboard.declareTypes({styleType, shapeType});
    pasteboard.setData(styleData, styleType);
    pasteboard.setData(shapeData, shapeType);
    return true;
}

std::optional<NodeStyle> VQDocumentPasteboard::readNodeStyle(const Pasteboard& pasteboard, std::string_view function)
{
    const std::optional<Bytes> data = pasteboard.data(pasteboardType(Type::nodeStyle));
    if (!data)
        return std::nullopt;
    try {
        return NodeStyle::decode(PropertyList::read(*data));
    } catch (const std::exception& error) {
        VQ_LOG(function, error.what());
        return std::nullopt;
    }
}

std::optional<NodeShape> VQDocumentPasteboard::readNodeShape(const Pasteboard& pasteboard, std::string_view function)
{
    const std::optional<Bytes> data = pasteboard.data(pasteboardType(Type::nodeShape));
    if (!data)
        return std::nullopt;
    try {
        return decodeOneKey<NodeShape>(PropertyList::read(*data));
    } catch (const std::exception& error) {
        VQ_LOG(function, error.what());
        return std::nullopt;
    }
}

// ---- Node lists ----

std::vector<Node> VQDocumentPasteboard::gatherNodesForCopy(const Graph& graph, const std::vector<Node>& nodes)
{
    std::vector<Node> gathered;
    for (const Node& node : nodes) {
        std::vector<Node> subtree = graph.subtree(node);
        gathered.insert(gathered.end(), std::make_move_iterator(subtree.begin()),
                        std::make_move_iterator(subtree.end()));
    }
    gathered = uniquedByUID(gathered);

    std::unordered_set<std::int64_t> listed;
    listed.reserve(gathered.size());
    for (const Node& node : gathered)
        listed.insert(node.uid);
    for (Node& node : gathered) {
        if (node.parentUID && listed.count(*node.parentUID) == 0)
            node.parentUID.reset();
    }
    return gathered;
}

std::vector<Node> VQDocumentPasteboard::roots(const std::vector<Node>& nodes)
{
    std::vector<Node> result;
    for (const Node& node : nodes) {
        if (!node.parentUID)
            result.push_back(node);
    }
    return result;
}

bool VQDocumentPasteboard::writeNodes(const Graph& graph, const std::vector<Node>& nodes,
                                      const std::string& sourceHandle, Pasteboard& pasteboard,
                                      std::string_view function, const Color& backgroundColor)
{
    if (nodes.empty())
        return false;
    const UserDefaults& defaults = UserDefaults::standard();
    const bool richText = defaults.boolForKey("copyRichTextToPasteboard");
    const bool keepColors = defaults.boolForKey("copyNodeTitleColorsToPasteboard");
    const std::vector<Node> gathered = gatherNodesForCopy(graph, nodes);
    // Every form is made before any is written; thousands of nodes take seconds to encode, which runs on a
    // worker while the window repaints (the graph does not change meanwhile: the user's input waits).
    struct Forms {
        Bytes data;
        std::optional<std::string> error;
        bool hasRoots = false;
        std::string richText, plainText, opml;
    } forms;
    const auto make = [&] {
        try {
            forms.data = Node::encodePropertyList(gathered);
        } catch (const std::exception& error) {
            forms.error = error.what();
            return;
        }
        const std::vector<Node> rootNodes = roots(gathered);
        forms.hasRoots = !rootNodes.empty();
        if (forms.hasRoots) {
            if (richText)
                forms.richText = richTextForm(graph, rootNodes, keepColors, backgroundColor);
            forms.plainText = plainTextForm(graph, rootNodes);
            forms.opml = opmlForm(graph, rootNodes);
        }
    };
    if (gathered.size() >= longCopyFromNodes)
        LongWork::wait("Copying\u2026", make);
    else
        make();
    if (forms.error) {
        VQ_LOG(function, *forms.error);
        return false;
    }

    pasteboard.clearContents();
    if (!pasteboard.setData(forms.data, pasteboardType(Type::nodesPlist))) {
        VQ_LOG(function, "cant set pboard data");
        return false;
    }
    pasteboard.setString(sourceHandle, pasteboardType(Type::sourceDocument));
    if (!forms.hasRoots)
        return true;
    if (richText)
        pasteboard.setString(forms.richText, Pasteboard::rtfType);
    pasteboard.setString(forms.plainText, Pasteboard::stringType);
    pasteboard.setString(forms.opml, pasteboardType(Type::opml));
    return true;
}

std::string VQDocumentPasteboard::plainTextForm(const Graph& graph, const std::vector<Node>& roots)
{
    PlainTextExporter::Options options;
    options.indentMode = PlainTextExporter::Options::IndentMode::tab;
    options.appendColon = false;
    options.hyphenate = false;
    PlainTextExporter exporter(graph, options);
    for (const Node& root : roots)
        exporter.appendNode(root, 0);
    return trimmingNewlines(exporter.builder.toString());
}

std::string VQDocumentPasteboard::opmlForm(const Graph& graph, const std::vector<Node>& roots)
{
    OPMLExporter exporter(graph, roots.empty() ? std::string() : roots.front().title);
    exporter.writeDocument(roots);
    return trimmingNewlines(exporter.builder.toString());
}

std::string VQDocumentPasteboard::richTextForm(const Graph& graph, const std::vector<Node>& roots, bool keepColors,
                                               const Color& backgroundColor)
{
    RichTextExporter exporter(graph, backgroundColor);
    exporter.options.keepColors = keepColors;
    int itemNumber = 1;
    for (const Node& root : roots)
        exporter.appendNode(root, 0, itemNumber++);
    return RtfWriter::write(exporter.builder);
}

std::string VQDocumentPasteboard::trimmingNewlines(std::string_view text)
{
    // The length of a line-break character at the front of the text, else 0.
    auto breakAtFront = [](std::string_view s) -> std::size_t {
        if (s.empty())
            return 0;
        const unsigned char c = static_cast<unsigned char>(s[0]);
        if (c >= 0x0A && c <= 0x0D)
            return 1;
        if (s.size() >= 2 && c == 0xC2 && static_cast<unsigned char>(s[1]) == 0x85)
            return 2;
        if (s.size() >= 3 && c == 0xE2 && static_cast<unsigned char>(s[1]) == 0x80
            && (static_cast<unsigned char>(s[2]) == 0xA8 || static_cast<unsigned char>(s[2]) == 0xA9))
            return 3;
        return 0;
    };
    auto breakAtBack = [](std::string_view s) -> std::size_t {
        if (s.empty())
            return 0;
        const unsigned char c = static_cast<unsigned char>(s.back());
        if (c >= 0x0A && c <= 0x0D)
            return 1;
        if (s.size() >= 2 && c == 0x85 && static_cast<unsigned char>(s[s.size() - 2]) == 0xC2)
            return 2;
        if (s.size() >= 3 && (c == 0xA8 || c == 0xA9) && static_cast<unsigned char>(s[s.size() - 2]) == 0x80
            && static_cast<unsigned char>(s[s.size() - 3]) == 0xE2)
            return 3;
        return 0;
    };
    while (std::size_t n = breakAtFront(text))
        text.remove_prefix(n);
    while (std::size_t n = breakAtBack(text))
        text.remove_suffix(n);
    return std::string(text);
}

std::vector<Node> VQDocumentPasteboard::renumberedAndPlaced(const std::vector<Node>& nodes, Point location)
{
    std::unordered_map<std::int64_t, std::int64_t> fresh;
    auto renumber = [&fresh](std::int64_t uid) {
        auto found = fresh.find(uid);
        if (found == fresh.end())
            found = fresh.emplace(uid, nextNodeUID()).first;
        return found->second;
    };
    for (const Node& node : nodes) {
        renumber(node.uid);
        if (node.parentUID)
            renumber(*node.parentUID);
        for (std::int64_t child : node.childrenUIDs)
            renumber(child);
    }

    std::vector<Node> result;
    if (nodes.empty())
        return result;
    const Point first = nodes.front().center;
    result.reserve(nodes.size());
    for (const Node& node : nodes) {
        Node copy = node;
        copy.uid = fresh.at(node.uid);
        if (node.parentUID)
            copy.parentUID = fresh.at(*node.parentUID);
        for (std::int64_t& child : copy.childrenUIDs)
            child = fresh.at(child);
        copy.center = node.center - first + location;
        result.push_back(std::move(copy));
    }
    return result;
}

} // namespace velquine
