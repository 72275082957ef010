#pragma once

// One mind-map node as a plain value, with the affinities, the node kind and the connection pair.
//
// A node is copied whole; relations to other nodes are identifiers only, resolved through the graph. Two
// nodes are equal, and hash alike, when their identifiers are equal: whether a node changed is told by
// differs(), never by ==.
//
// Keyed form (encode / decode), members in this order: "UID", "parentUID" (null without a parent), "title",
// "url", "note", "center" [x, y], "size" [w, h], "style", "image" (TIFF data of a picture shown, the bytes as they
// came of one not shown; only with a picture),
// "children", "shape", "autoSize", "isFolded", "layoutOptions" (null when absent), "createdTimestamp",
// "modifiedTimestamp", "verticalAffinity", "horizontalAffinity". childrenShouldInheritShape is not written
// and reads back false. Decoding takes identifiers as they stand and never touches the identifier counter.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/graph/LayoutOptions.h"
#include "model/graph/NodePicture.h"
#include "model/graph/NodeUID.h"
#include "model/style/NodeShape.h"
#include "model/style/NodeStyle.h"
#include "model/style/OneKeyCoding.h"
#include "platform/AttributedString.h"
#include "platform/Base64.h"
#include "platform/Geometry.h"
#include "platform/Image.h"
#include "platform/KeyedValue.h"

namespace velquine {

// The side of its parent a node lies on. Keyed as one-key objects, {"left":{}}.
enum class HorizontalAffinity : std::uint8_t { left, right };
enum class VerticalAffinity : std::uint8_t { above, below };

template <>
struct CaseNames<HorizontalAffinity> {
    static constexpr std::string_view typeName = "HorizontalAffinity";
    static constexpr std::array<std::string_view, 2> names{"left", "right"};
};

template <>
struct CaseNames<VerticalAffinity> {
    static constexpr std::string_view typeName = "VerticalAffinity";
    static constexpr std::array<std::string_view, 2> names{"above", "below"};
};

// The kind of a node by its depth: root (no parent), main (child of a root), sub (any other). Never stored.
enum class NodeType { root, main, sub };

// A pair of node identifiers. Nothing in the program makes one yet; the graph keeps an empty list.
struct NodeConnection {
    std::int64_t firstNodeUID = 0;
    std::int64_t secondNodeUID = 0;

    friend bool operator==(const NodeConnection&, const NodeConnection&) = default;
};

class Node {
public:
    // The box every stored image is fitted into, in points.
    static constexpr double maxImageWidth = 1024.0;
    static constexpr double maxImageHeight = 1024.0;

    // A node with the given identifiers and style, every other field at its default. Raises the identifier
    // counter above uid, then above parentUID (see raiseNodeUIDCounter); -1 serves as a template identifier and
    // leaves the counter alone.
    Node(std::int64_t uid, std::optional<std::int64_t> parentUID, NodeStyle style);
    // A root node with a fresh identifier from nextNodeUID() (whose error it passes on), the given title,
    // centre, size and style, every other field at its default.
    Node(std::string title, Point center, Size size, NodeStyle style);

    // What a layout reads of a node comes first, within its first two cache lines; the small fields are packed
    // together.
    std::int64_t uid;
    std::optional<std::int64_t> parentUID;
    std::vector<std::int64_t> childrenUIDs;
    Point center;
    Size size;
    bool autoSize = true;
    bool isFolded = false;
    bool childrenShouldInheritShape = false;
    // Absent: the project's base options apply to the tree under this node.
    std::optional<LayoutOptions> layoutOptions;
    HorizontalAffinity horizontalAffinity = HorizontalAffinity::right;
    VerticalAffinity verticalAffinity = VerticalAffinity::below;
    NodeShape shape = NodeShape::underline;
    NodeStyle style;
    std::string title;
    std::string url;
    std::string note;
    // Seconds since 1970; a new node takes the current time.
    double createdTimestamp;
    // Seconds since 1970; -1.0 means never modified.
    double modifiedTimestamp = -1.0;

private:
    // A node with every default and the identifier 0, made without touching the identifier counter.
    struct Uncounted { };
    explicit Node(Uncounted);

    // Copies of a node share its picture, which nothing changes in place; null without one.
    std::shared_ptr<const NodePicture> picture_;

public:

    // The image shown in the node.
    const std::optional<Image>& image() const;
    // Nothing clears the picture. An image is stored as a copy redrawn to fit into 1024 by 1024 points (see
    // Image::fittedInto); an image that cannot be fitted, such as one with a zero or non-finite side, leaves
    // the node without a picture.
    void setImage(const std::optional<Image>& image);
    // The node's picture, shown or kept unread; null without one.
    const std::shared_ptr<const NodePicture>& picture() const { return picture_; }
    void setPicture(std::shared_ptr<const NodePicture> picture) { picture_ = std::move(picture); }
    // A picture given as bytes, kept as they are and shown once the picture reader has read them.
    void setUnreadPicture(Bytes bytes);
    // The bytes of a picture kept but not shown (being read, or not readable); null for none or one shown.
    const Bytes* keptPictureBytes() const;

    // True when any field but modifiedTimestamp differs: uid, parentUID, childrenUIDs, center, size,
    // autoSize, isFolded, title, url, note, shape, picture, childrenShouldInheritShape, style,
    // createdTimestamp, the two affinities and layoutOptions, compared in that order. Floats are compared
    // exactly; absent layout options differ from present ones.
    bool differs(const Node& from) const;
    // The same, leaving out the centre and the two affinities: false when the nodes differ at most in where they
    // lie (and in modifiedTimestamp).
    bool differsBeyondPlace(const Node& from) const;

    // Sets both affinities from this node's centre against another's: left when its x is smaller, else
    // right; above when its y is smaller, else below.
    void updateAffinity(const Node& relativeTo);
    // The affinities updateAffinity would give the node, leaving it as it is.
    std::pair<HorizontalAffinity, VerticalAffinity> affinityTo(const Node& relativeTo) const;
    // Whether the affinities already are what updateAffinity would make them.
    bool hasAffinity(const Node& relativeTo) const;

    // The title with the style's font, text colour, alignment (word wrapping, no indents or spacing),
    // underline and strike-through (struck through in red).
    AttributedString attributedTitle() const;
    // The note in the 16-point system font and the standard text colour, aligned left.
    AttributedString attributedNote() const;

    // Equal identifiers.
    friend bool operator==(const Node& a, const Node& b) { return a.uid == b.uid; }

    // The keyed form (see above). Throws what encoding the style throws.
    KeyedValue encode() const;
    // A node from its keyed form. Throws DecodingError for a missing required member or one of the wrong
    // kind, and what decoding the style throws. Image bytes are kept unread (setUnreadPicture): whoever takes the
    // node in has them read. A missing or null timestamp takes the current time.
    static Node decode(const KeyedValue& from);

    // A list of nodes as a binary property list, the form the pasteboard carries.
    static Bytes encodePropertyList(const std::vector<Node>& nodes);
    // The nodes of a binary property list whose top level is a list of keyed nodes. Throws PropertyListError
    // for bytes that are no property list, and DecodingError when the top level is not a list or a node
    // fails to read.
    static std::vector<Node> decodePropertyList(const Bytes& data);
};

// The texts without repeats, first occurrences kept in their order.
std::vector<std::string> uniqued(const std::vector<std::string>& strings);

// The nodes without those whose uid appeared earlier, first occurrences (with their own fields) kept in order.
std::vector<Node> uniquedByUID(const std::vector<Node>& nodes);

} // namespace velquine

template <>
struct std::hash<velquine::Node> {
    std::size_t operator()(const velquine::Node& node) const noexcept { return std::hash<std::int64_t>{}(node.uid); }
};
