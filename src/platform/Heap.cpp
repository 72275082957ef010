#include "platform/Heap.h"

#if __has_include(<malloc.h>)
#include <malloc.h>
#endif

namespace velquine {

void keepLargeBlocksInHeap()
{
#if defined(M_MMAP_THRESHOLD) && defined(M_TRIM_THRESHOLD)
    constexpr int limit = 256 * 1024 * 1024;
    mallopt(M_MMAP_THRESHOLD, limit);
    mallopt(M_TRIM_THRESHOLD, limit);
#endif
}

} // namespace velquine
