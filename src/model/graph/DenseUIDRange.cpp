#include "model/graph/DenseUIDRange.h"

#include "model/graph/Graph.h"

namespace velquine {

UidRange denseUIDRange(const Graph& graph)
{
    const SharedNodeBin& bin = graph.nodeBin();
    if (bin.empty())
        return {};
    const std::int64_t first = bin.firstUID();
    const std::int64_t last = bin.lastUID();
    const std::uint64_t span = static_cast<std::uint64_t>(last) - static_cast<std::uint64_t>(first);
    if (span / 4 > bin.size())
        return {};
    return {first, last};
}

} // namespace velquine
