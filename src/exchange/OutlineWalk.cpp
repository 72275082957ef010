#include "exchange/OutlineWalk.h"

#include "platform/Log.h"
#include "platform/SafeSave.h"

namespace velquine::detail {

std::vector<const Node*> exportRoots(const Graph& graph)
{
    std::vector<const Node*> roots;
    for (const Node& node : graph.storedNodes()) {
        if (!node.parentUID)
            roots.push_back(&node);
    }
    return roots;
}

void writeFileAtomically(const std::string& path, const std::string& text)
{
    std::string cause;
    if (!replaceFileContents(path, text, &cause))
        throw TextError(cause + ": " + path);
}

} // namespace velquine::detail
