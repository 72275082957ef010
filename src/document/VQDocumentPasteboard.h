#pragma once

// What a document puts on a pasteboard and reads back from one: its named pasteboard types, the kinds of
// content paste understands, the node-style and node-shape payloads, and the node list with its
// renumbering on paste.
//
// Payloads are binary property lists:
// - node list ("io.kelvarn.velquine.pb.nodes.plist"): a top-level array of keyed nodes, a self-contained
//   forest (a node names a parent only when that parent is in the list);
// - node style ("io.kelvarn.velquine.pb.node_style"): the keyed style, one member per field;
// - node shape ("io.kelvarn.velquine.pb.node_shape"): a one-key object, {"pill": {}}.
// The source-document marker ("io.kelvarn.velquine.sourceDocument") is the copying document's identity
// text, so paste can tell nodes copied from the same document.
//
// Everything here runs on the main thread, like the pasteboards themselves.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/graph/Graph.h"
#include "model/graph/Node.h"
#include "model/style/NodeShape.h"
#include "model/style/NodeStyle.h"
#include "platform/Color.h"
#include "platform/Geometry.h"
#include "platform/Pasteboard.h"

namespace velquine {

// The kinds of content paste understands, one byte each.
enum class PasteKind : std::uint8_t {
    none = 0,
    rtf = 1,
    string = 2,
    nodesPlist = 3,
    nodeStyle = 4,
    image = 5,
    url = 6,
    opml = 7,
};

// The pasteboard types that make a kind available, in the order they are read (PNG before TIFF); none for
// PasteKind::none.
std::vector<std::string> pasteKindTypes(PasteKind kind);

// True when the pasteboard offers one of the kind's types; PasteKind::none is never offered.
bool pasteboardHasKind(PasteKind kind, const Pasteboard& pasteboard);

class VQDocumentPasteboard {
public:
    // The document's own pasteboard types.
    enum class Type { opml, nodeStyle, nodeShape, nodesPlist, sourceDocument };

    // The type's name: "org.opml.opml", "io.kelvarn.velquine.pb.node_style",
    // "io.kelvarn.velquine.pb.node_shape", "io.kelvarn.velquine.pb.nodes.plist",
    // "io.kelvarn.velquine.sourceDocument".
    static const std::string& pasteboardType(Type type);

    // The private pasteboard duplicating goes through, so the general one is left alone.
    static constexpr std::string_view duplicatorBoardName = "io.kelvarn.velquine.nodeDuplicatorBoard";

    // The kinds paste asks for, in this order: node list, string, rich text, link, OPML, image. A node style
    // alone is not pasteable as map content.
    static const std::vector<PasteKind>& pasteableKinds();
    // True at the first pasteable kind the pasteboard offers.
    static bool canPaste(const Pasteboard& pasteboard);

    // ---- Node style and shape ----

    // Encodes both payloads first, then declares exactly [style type, shape type] (replacing everything the
    // pasteboard held) and sets them. False, with a log line under the function name and the pasteboard
    // untouched, when either cannot be encoded.
    static bool writeNodeStyle(const NodeStyle& style, NodeShape shape, Pasteboard& pasteboard,
                               std::string_view function);
    // The style on the pasteboard. Nothing, without a log line, when there is no style payload; nothing with
    // a log line (the decoding error under the function name) when it cannot be decoded.
    static std::optional<NodeStyle> readNodeStyle(const Pasteboard& pasteboard, std::string_view function);
    // The same for the shape; a payload with other than exactly one shape key does not decode.
    static std::optional<NodeShape> readNodeShape(const Pasteboard& pasteboard, std::string_view function);

    // ---- Node lists ----

    // The nodes a copy carries: the stored subtree of each given node in turn (node first, then its
    // descendants depth first), each identifier kept once at its first place, and every parent link that
    // leads outside the list cleared. Nodes not in the graph contribute nothing.
    static std::vector<Node> gatherNodesForCopy(const Graph& graph, const std::vector<Node>& nodes);
    // The nodes without a parent, in list order.
    static std::vector<Node> roots(const std::vector<Node>& nodes);

    // Puts the nodes on the pasteboard: the gathered list (gatherNodesForCopy) as the node list, the source
    // marker, and for the roots of the list the text forms: rich text (only when the user default
    // "copyRichTextToPasteboard" is on; title colours kept when "copyNodeTitleColorsToPasteboard" is on),
    // plain text and OPML, in that order. The pasteboard is cleared first, unless there is nothing to copy
    // or the list cannot be encoded: then it is left alone and the result is false (with a log line under
    // the function name for an encoding failure). False as well, with the log line "cant set pboard data",
    // when the pasteboard refuses the node list. Failures of the marker and the text forms are ignored.
    // The rich text's kept colours stay readable against the map's background colour (RichTextExporter).
    // From this many nodes gathered on, the forms are made on a worker while the window waits, repainting
    // and showing that it works (LongWork): 50,000 take seconds.
    static constexpr std::size_t longCopyFromNodes = 2000;
    static bool writeNodes(const Graph& graph, const std::vector<Node>& nodes, const std::string& sourceHandle,
                           Pasteboard& pasteboard, std::string_view function,
                           const Color& backgroundColor = Color::white());

    // The text forms of copied roots, each with its descendants as stored in the graph.
    // One line per node, a tab per level below its root, no colon or hyphen; line breaks trimmed at both ends.
    static std::string plainTextForm(const Graph& graph, const std::vector<Node>& roots);
    // An OPML document titled after the first root; line breaks trimmed at both ends.
    static std::string opmlForm(const Graph& graph, const std::vector<Node>& roots);
    // RTF of the roots as list items numbered from 1.
    static std::string richTextForm(const Graph& graph, const std::vector<Node>& roots, bool keepColors,
                                    const Color& backgroundColor = Color::white());

    // The text without the line-break characters (LF, VT, FF, CR, NEL, LS, PS) at its start and end.
    static std::string trimmingNewlines(std::string_view text);

    // Pasted nodes under fresh identifiers, moved so that the first lands on the location. One pass in list
    // order renumbers, for each node, its own identifier, then its parent's, then each child's; every
    // identifier not yet seen draws the next value of the node identifier counter (nextNodeUID, whose error
    // is passed on), so links inside the list are kept and links leading out of it point nowhere. Every
    // centre becomes centre - (first node's centre) + location; all other fields stay.
    static std::vector<Node> renumberedAndPlaced(const std::vector<Node>& nodes, Point location);
};

} // namespace velquine
