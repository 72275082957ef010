#include "model/graph/NodePicture.h"

namespace velquine {

bool NodePicture::same(const std::shared_ptr<const NodePicture>& a, const std::shared_ptr<const NodePicture>& b)
{
    if (a == b)
        return true;
    if (!a || !b || a->image() != b->image())
        return false;
    const std::shared_ptr<const Bytes>& bytesA = a->bytes();
    const std::shared_ptr<const Bytes>& bytesB = b->bytes();
    return bytesA == bytesB || (bytesA && bytesB && *bytesA == *bytesB);
}

} // namespace velquine
