#pragma once

// Rebuilds a graph from the twelve node tables of a document database.
//
// One node is made per row of `nodes` (which raises the identifier counter above its identifier and
// its parent's); the side tables fill in the nodes' attributes, matched by `nodeID`. Then, in this
// order: every child missing from its stored parent's children list is appended to it; parent links
// that go round in a circle are cut (the smallest identifier of the circle becomes a root) and
// children-list entries that lead back up the tree are removed, so every walk of the tree ends;
// each node's affinities are set from its position against its parent's; the nodes become the
// graph; and fonts of one point or less are replaced by the project style's font for the node's
// level. Nothing is thrown: every failure is a problem in the returned list and loading goes on.
//
// The node images are kept as the bytes they are stored as (Node::setUnreadPicture): the document has them
// read apart from the editor.

#include "files/Database.h"
#include "files/ProjectLoadingProblem.h"
#include "model/graph/Graph.h"
#include "model/style/ProjectStyle.h"
#include "platform/Image.h"

namespace velquine {

// Replaces the graph's nodes. Without a connection the graph becomes empty and the one problem is
// the major "Database is not opened".
ProjectLoadingProblems loadNodeGraphFrom(Graph& graph, const ProjectStyle& projectStyle, const Database& database);

} // namespace velquine
