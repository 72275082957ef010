#pragma once

// Freed memory given back to the system.
//
// The allocator keeps its default settings: serving large blocks from the heap and keeping freed memory there
// (up to 256 MB of each) gained nothing measurable in the benchmarks at 10,000 and 50,000 nodes (layouts,
// edits, undo, saves, opens and exports, within their noise) and kept the memory.

namespace velquine {

// Once the program has been idle for a moment after the latest call, gives the pages of freed heap memory back
// to the system when they add up to much (freed memory below a block still held stays in the heap, where a
// long session of edits would leave what each edit's working lists took), and the free pages of the slot pools
// (see SlotPool::releaseFreePages). Call after work that frees much; calls in quick succession put it off.
// Main thread only; does nothing without an application object or where the C library cannot give memory back.
void releaseFreedMemoryWhenIdle();
// Calls releaseFreedMemoryWhenIdle after every key, click and wheel turn the application receives: every edit,
// undo, opening or closing of a map starts there (long work calls it when it ends). The program's start
// installs it once on its application object; again: nothing.
void releaseFreedMemoryAfterInput();
// Does it now, whatever the amount; returns whether any memory went back.
bool releaseFreedMemory();

} // namespace velquine
