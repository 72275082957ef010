#pragma once

#include "base/UidMap.h"

namespace velquine {

class Graph;

// The graph's identifiers when they are close enough for the pages of a UidMap to cost little (the range at
// most four times as long as the graph has nodes), else the empty range.
UidRange denseUIDRange(const Graph& graph);

} // namespace velquine
