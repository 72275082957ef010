#pragma once

// The project edits that size the nodes they insert or restyle, with the text measurement: restyling the
// whole project and inserting roots, children and parents. The rest of VQProject lives with the model.

#include <cstddef>
#include <optional>
#include <string>

#include "model/project/VQProject.h"

namespace velquine {

class TextsMeasuredAhead;

// The project's style becomes the style, and every node is restyled for its level: shapes only with
// applyShapes; border width, border style, branch style and branch width only with applyBorders; the
// colours, text colour, alignment, underline, strike-through, image position and font always (a node
// whose font size was set by hand keeps its point size). Every node under a main node then takes the
// main node's border colour (as border and branch colour) and fill colour. With autosizeNodes every
// node is sized to its title, keeping its centre.
void applyStyle(VQProject& project, const ProjectStyle& style, bool applyShapes, bool applyBorders,
                bool autosizeNodes);

// A new root node at the first free centre from the requested one, styled as a root, sized to its
// title around that centre, stored and returned as stored.
Node insertRootNode(VQProject& project, const std::string& title, Point center);
// The same with the free centre found in (and then taken in) the given index of the project's graph, the
// title measured from the titles laid out ahead when given.
Node insertRootNode(VQProject& project, const std::string& title, Point center, FreeCenters& freeCenters,
                    const TextsMeasuredAhead* titlesAhead = nullptr);
// A new child appended to the parent's children, styled for its level with the parent's carried-over
// strokes, widths, colours and shape inheritance, sized to its title, stored and returned as stored.
Node insertChildNode(VQProject& project, const Node& parent, const std::string& title, Point center);
// The second step of insertChildNode for a stored parent, after VQProject::newChildNode, with nothing
// stored: the new child styled and sized for its place. The palette position is the child's among its
// siblings once listed; none looks it up in the parent's stored list. The title is measured from the titles
// laid out ahead when given.
Node styledChildNode(const VQProject& project, const Node& parent, const Node& child,
                     std::optional<std::size_t> palettePosition, const TextsMeasuredAhead* titlesAhead = nullptr);
// A new root above a root node, which becomes its only child (a main node); nothing when the node has
// a parent. The node's descendants keep their styles.
std::optional<Node> insertParentNode(VQProject& project, const Node& node, const std::string& title, Point center,
                                     Size size);
// A new node between the parent and the node: last among the parent's children, holding the node alone,
// styled for its level with the parent's shape inheritance, border style and branch style.
Node insertIntermediateParentNode(VQProject& project, const Node& parent, const Node& node, const std::string& title,
                                  Point center, Size size);

} // namespace velquine
