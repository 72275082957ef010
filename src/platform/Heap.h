#pragma once

// Process-wide settings of the memory allocator.

namespace velquine {

// Serves large blocks (up to 256 MB) from the heap and keeps up to 256 MB of freed memory there. By default the C
// library hands every block over 32 MB straight from the kernel and returns it on free, so each layout, undo
// snapshot list or export of a map of 100,000 nodes would fault in tens of megabytes of fresh zeroed pages.
// Call once at start, before other threads exist; does nothing where the C library has no such settings.
void keepLargeBlocksInHeap();

} // namespace velquine
