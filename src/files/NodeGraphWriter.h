#pragma once

// Writes the nodes of a graph into the twelve node tables of a document database, table by table:
// nodes, node_positions, node_sizes, node_titles, node_urls, node_notes, node_shapes, node_styles,
// node_images, node_folds, node_layout_options, node_children_order. Every node gets one row in each
// table, except node_images (only nodes with an image that gives TIFF data) and node_layout_options
// (only nodes with options of their own). In every side table `id` and `nodeID` both hold the uid.

#include "files/Database.h"
#include "model/graph/Graph.h"

namespace velquine {

// Throws DatabaseError::databaseNotOpen without a connection (nothing written), what encoding a node
// style throws, and the sql::Result of a failing insert; the first error stops the writing. The rows
// are written inside one savepoint, so a failure leaves none of them behind.
void writeNodeGraphTo(const Graph& graph, Database& database);

} // namespace velquine
