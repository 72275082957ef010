#include "model/style/NodeShape.h"

namespace velquine {

std::string stringValue(NodeShape shape)
{
    return std::string(caseName(shape));
}

NodeShape nodeShapeFromString(std::string_view string)
{
    const auto shape = caseNamed<NodeShape>(string);
    if (!shape)
        return NodeShape::roundedRect;
    switch (*shape) {
    case NodeShape::embedded:
    case NodeShape::pill:
    case NodeShape::hexagon:
    case NodeShape::octagon:
        return NodeShape::roundedRect;
    default:
        return *shape;
    }
}

} // namespace velquine
