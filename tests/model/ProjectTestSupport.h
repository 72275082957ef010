#pragma once

// A small project style whose three levels and two palette entries are told apart by every field, and
// helpers to build trees with chosen identifiers. Shared by the model and layout tests of projects.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/graph/Graph.h"
#include "model/graph/Node.h"
#include "model/style/ProjectStyle.h"

namespace projecttest {

using namespace velquine;

inline NodeStyle levelStyle(double grey, StrokeThickness width, StrokeStyle stroke, double fontSize)
{
    NodeStyle s;
    s.borderWidth = width;
    s.borderColor = Color::calibratedRGB(grey, 0.0, 0.0);
    s.fillColor = Color::calibratedRGB(0.0, grey, 0.0);
    s.borderStyle = stroke;
    s.branchColor = Color::calibratedRGB(0.0, 0.0, grey);
    s.branchStyle = stroke;
    s.branchWidth = width;
    s.textColor = Color::calibratedWhite(grey);
    s.font = Font::systemFont(fontSize);
    return s;
}

inline const Color stroke0 = Color::calibratedRGB(0.9, 0.1, 0.1);
inline const Color fill0 = Color::calibratedRGB(0.95, 0.8, 0.8);
inline const Color stroke1 = Color::calibratedRGB(0.1, 0.1, 0.9);
inline const Color fill1 = Color::calibratedRGB(0.8, 0.8, 0.95);

inline ProjectStyle testStyle(bool dynamicMainNodeColors = true)
{
    ProjectStyle style;
    style.name = "Test";
    ProjectStyle::Values& v = style.current;
    v.backgroundColor = Color::calibratedWhite(0.9);
    v.rootNodeStyle = levelStyle(0.2, StrokeThickness::thick, StrokeStyle::solid, 20.0);
    v.rootNodeStyle.textAlignment = 0;
    v.mainNodeStyle = levelStyle(0.4, StrokeThickness::medium, StrokeStyle::dashed, 16.0);
    v.mainNodeStyle.textAlignment = 1;
    v.subNodeStyle = levelStyle(0.6, StrokeThickness::thin, StrokeStyle::dotted, 14.0);
    v.subNodeStyle.textAlignment = 2;
    v.subNodeStyle.isUnderlined = true;
    v.subNodeStyle.imagePosition = ImagePosition::leading;
    v.rootNodeShape = NodeShape::ellipse;
    v.mainNodeShape = NodeShape::rect;
    v.subNodeShape = NodeShape::underline;
    v.dynamicMainNodeColors = dynamicMainNodeColors;
    v.palette = {PaletteEntry{fill0, stroke0}, PaletteEntry{fill1, stroke1}};
    style.defaults = style.current;
    return style;
}

// Stores a node with the identifier, parent and children, every other field at its default.
inline Node put(Graph& graph, std::int64_t uid, std::optional<std::int64_t> parent,
                std::vector<std::int64_t> children = {})
{
    Node node(uid, parent, NodeStyle());
    node.childrenUIDs = std::move(children);
    node.title = "node " + std::to_string(uid);
    graph.storeNodes({node});
    return node;
}

} // namespace projecttest
