#include "document/VQDocumentPasteboard.h"

#include <exception>
#include <iterator>
#include <unordered_map>
#include <unordered_set>

#include "model/style/OneKeyCoding.h"
#include "platform/Log.h"
#include "platform/PropertyList.h"

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
