#include "model/graph/Node.h"

#include <tuple>
#include <utility>

#include "model/graph/KeyedFields.h"
#include "model/style/DecodingError.h"
#include "platform/Clock.h"
#include "platform/PropertyList.h"

#include <string_view>
#include <unordered_set>
#include <utility>

namespace velquine {

namespace {

KeyedValue optionalInt64(const std::optional<std::int64_t>& value)
{
    if (value)
        return KeyedValue(*value);
    return KeyedValue();
}

template <class E>
E decodeEnumeration(const KeyedValue& from, std::string_view key)
{
    return decodeOneKey<E>(keyed::required(from, key, CaseNames<E>::typeName));
}

// A timestamp that is missing or null reads as the time of reading.
double timestampOrNow(const KeyedValue& from, std::string_view key)
{
    if (const KeyedValue* value = keyed::optional(from, key))
        return keyed::doubleValue(*value);
    return Clock::now();
}

} // namespace

Node::Node(std::int64_t uid, std::optional<std::int64_t> parentUID, NodeStyle style)
    : uid(uid), parentUID(parentUID), style(std::move(style)), createdTimestamp(Clock::now())
{
    raiseNodeUIDCounter(uid);
    if (parentUID)
        raiseNodeUIDCounter(*parentUID);
}

Node::Node(Uncounted) : uid(0), createdTimestamp(Clock::now()) { }

Node::Node(std::string title, Point center, Size size, NodeStyle style)
    : uid(nextNodeUID()), center(center), size(size), style(std::move(style)), title(std::move(title)),
      createdTimestamp(Clock::now())
{
}

void Node::setImage(const std::optional<Image>& image)
{
    if (!image) {
        picture_.reset();
        return;
    }
    std::optional<Image> fitted = image->fittedInto(maxImageWidth, maxImageHeight);
    picture_ = fitted ? std::make_shared<const NodePicture>(std::move(*fitted)) : nullptr;
}

void Node::setUnreadPicture(Bytes bytes)
{
    picture_ = std::make_shared<const NodePicture>(std::make_shared<const Bytes>(std::move(bytes)),
                                                   NodePicture::State::beingRead);
}

const std::optional<Image>& Node::image() const
{
    static const std::optional<Image> none;
    return picture_ ? picture_->image() : none;
}

const Bytes* Node::keptPictureBytes() const
{
    return picture_ && picture_->bytes() ? picture_->bytes().get() : nullptr;
}

bool Node::differs(const Node& from) const
{
    if (center.x != from.center.x || center.y != from.center.y)
        return true;
    if (horizontalAffinity != from.horizontalAffinity || verticalAffinity != from.verticalAffinity)
        return true;
    return differsBeyondPlace(from);
}

bool Node::differsBeyondPlace(const Node& from) const
{
    if (uid != from.uid)
        return true;
    if (parentUID != from.parentUID)
        return true;
    if (childrenUIDs != from.childrenUIDs)
        return true;
    if (size.width != from.size.width || size.height != from.size.height)
        return true;
    if (autoSize != from.autoSize)
        return true;
    if (isFolded != from.isFolded)
        return true;
    if (title != from.title || url != from.url || note != from.note)
        return true;
    if (shape != from.shape)
        return true;
    if (!NodePicture::same(picture_, from.picture_))
        return true;
    if (childrenShouldInheritShape != from.childrenShouldInheritShape)
        return true;
    if (style != from.style)
        return true;
    if (createdTimestamp != from.createdTimestamp)
        return true;
    return layoutOptions != from.layoutOptions;
}

namespace {

// The sides of `relativeTo` a node at the centre lies on.
std::pair<HorizontalAffinity, VerticalAffinity> affinityTo(Point center, const Node& relativeTo)
{
    return {center.x < relativeTo.center.x ? HorizontalAffinity::left : HorizontalAffinity::right,
            center.y < relativeTo.center.y ? VerticalAffinity::above : VerticalAffinity::below};
}

} // namespace

void Node::updateAffinity(const Node& relativeTo)
{
    std::tie(horizontalAffinity, verticalAffinity) = affinityTo(relativeTo);
}

std::pair<HorizontalAffinity, VerticalAffinity> Node::affinityTo(const Node& relativeTo) const
{
    return velquine::affinityTo(center, relativeTo);
}

bool Node::hasAffinity(const Node& relativeTo) const
{
    return affinityTo(relativeTo) == std::pair(horizontalAffinity, verticalAffinity);
}

AttributedString Node::attributedTitle() const
{
    ParagraphStyle paragraph;
    paragraph.alignment = style.textAlignment;
    paragraph.lineBreakMode = LineBreakMode::byWordWrapping;
    paragraph.firstLineHeadIndent = 0;
    paragraph.headIndent = 0;
    paragraph.tailIndent = 0;
    paragraph.paragraphSpacing = 0;
    paragraph.paragraphSpacingBefore = 0;
    paragraph.lineSpacing = 0;

    TextAttributes attributes;
    attributes.font = style.font;
    attributes.foregroundColor = style.textColor;
    attributes.paragraphStyle = paragraph;
    attributes.underlineStyle = style.isUnderlined ? LineStyle::single : LineStyle::none;
    attributes.underlineColor = style.textColor;
    attributes.strikethroughStyle = style.isStrikeThrough ? LineStyle::single : LineStyle::none;
    attributes.strikethroughColor = Color::red();
    return AttributedString(title, attributes);
}

AttributedString Node::attributedNote() const
{
    ParagraphStyle paragraph;
    paragraph.alignment = static_cast<std::int64_t>(TextAlignment::left);

    TextAttributes attributes;
    attributes.font = Font::systemFont(16.0);
    attributes.foregroundColor = Color::textColor();
    attributes.paragraphStyle = paragraph;
    return AttributedString(note, attributes);
}

KeyedValue Node::encode() const
{
    KeyedValue container = KeyedValue::object();
    container.set("UID", uid);
    container.set("parentUID", optionalInt64(parentUID));
    container.set("title", title);
    container.set("url", url);
    container.set("note", note);
    container.set("center", keyed::encodePoint(center));
    container.set("size", keyed::encodeSize(size));
    container.set("style", style.encode());
    if (const std::optional<Image>& image = this->image()) {
        if (std::optional<Image::Data> tiff = image->tiffData())
            container.set("image", std::move(*tiff));
    } else if (const Bytes* kept = keptPictureBytes()) {
        container.set("image", *kept);
    }
    KeyedValue::Array children;
    children.reserve(childrenUIDs.size());
    for (std::int64_t child : childrenUIDs)
        children.emplace_back(child);
    container.set("children", KeyedValue(std::move(children)));
    container.set("shape", encodeOneKey(shape));
    container.set("autoSize", autoSize);
    container.set("isFolded", isFolded);
    container.set("layoutOptions", layoutOptions ? layoutOptions->encode() : KeyedValue());
    container.set("createdTimestamp", createdTimestamp);
    container.set("modifiedTimestamp", modifiedTimestamp);
    container.set("verticalAffinity", encodeOneKey(verticalAffinity));
    container.set("horizontalAffinity", encodeOneKey(horizontalAffinity));
    return container;
}

Node Node::decode(const KeyedValue& from)
{
    keyed::expectObject(from, "Node");
    // Identifiers are taken as they stand; the counter is not raised over them.
    Node node{Uncounted()};
    node.uid = keyed::int64Value(keyed::required(from, "UID", "Int64"));
    if (const KeyedValue* parent = keyed::optional(from, "parentUID"))
        node.parentUID = keyed::int64Value(*parent);
    node.title = keyed::stringValue(keyed::required(from, "title", "String"));
    node.url = keyed::stringValue(keyed::required(from, "url", "String"));
    node.note = keyed::stringValue(keyed::required(from, "note", "String"));
    node.center = keyed::pointValue(keyed::required(from, "center", "CGPoint"));
    node.size = keyed::sizeValue(keyed::required(from, "size", "CGSize"));
    node.style = NodeStyle::decode(keyed::required(from, "style", "NodeStyle"));
    if (const KeyedValue* imageData = keyed::optional(from, "image"))
        if (Bytes bytes = keyed::dataValue(*imageData); !bytes.empty())
            node.setUnreadPicture(std::move(bytes));
    node.childrenUIDs = keyed::int64ListValue(keyed::required(from, "children", "Array<Int64>"));
    node.shape = decodeEnumeration<NodeShape>(from, "shape");
    node.autoSize = keyed::boolValue(keyed::required(from, "autoSize", "Bool"));
    if (const KeyedValue* folded = keyed::optional(from, "isFolded"))
        node.isFolded = keyed::boolValue(*folded);
    if (const KeyedValue* options = keyed::optional(from, "layoutOptions"))
        node.layoutOptions = LayoutOptions::decode(*options);
    node.createdTimestamp = timestampOrNow(from, "createdTimestamp");
    node.modifiedTimestamp = timestampOrNow(from, "modifiedTimestamp");
    node.horizontalAffinity = decodeEnumeration<HorizontalAffinity>(from, "horizontalAffinity");
    node.verticalAffinity = decodeEnumeration<VerticalAffinity>(from, "verticalAffinity");
    return node;
}

Bytes Node::encodePropertyList(const std::vector<Node>& nodes)
{
    KeyedValue::Array list;
    list.reserve(nodes.size());
    for (const Node& node : nodes)
        list.push_back(node.encode());
    return PropertyList::write(KeyedValue(std::move(list)));
}

std::vector<Node> Node::decodePropertyList(const Bytes& data)
{
    const KeyedValue root = PropertyList::read(data);
    if (root.isNull())
        throw DecodingError::valueNotFound("Array<Node>");
    if (!root.isArray())
        throw DecodingError::typeMismatch("an unkeyed container", root);
    std::vector<Node> nodes;
    nodes.reserve(root.size());
    for (const KeyedValue& element : root.asArray())
        nodes.push_back(decode(element));
    return nodes;
}

std::vector<std::string> uniqued(const std::vector<std::string>& strings)
{
    std::vector<std::string> result;
    std::unordered_set<std::string_view> seen;
    seen.reserve(strings.size());
    for (const std::string& string : strings) {
        if (seen.insert(string).second)
            result.push_back(string);
    }
    return result;
}

std::vector<Node> uniquedByUID(const std::vector<Node>& nodes)
{
    std::vector<Node> result;
    std::unordered_set<std::int64_t> seen;
    seen.reserve(nodes.size());
    for (const Node& node : nodes) {
        if (seen.insert(node.uid).second)
            result.push_back(node);
    }
    return result;
}

} // namespace velquine
