#pragma once

// Process-wide settings of the memory allocator.

namespace velquine {

// Serves large blocks (up to 256 MB) from the heap and keeps up to 256 MB of freed memory there. By default the C
// library hands every block over 32 MB straight from the kernel and returns it on free, so each layout, undo
// snapshot list or export of a map of 100,000 nodes would fault in tens of megabytes of fresh zeroed pages.
// Measured: a whole layout of 100,000 nodes takes 11-16 ms with these settings and 39-49 ms without; at
// 10,000 nodes the two are alike.
// Every thread allocates from that one heap too. By default the C library gives each thread that allocates
// while another holds the heap an arena of its own, whose freed memory no other thread reuses: a map read on a
// worker, laid out and painted on the main thread and the band threads, and measured on the text threads,
// left its memory spread over several arenas, most of it freed but kept. Measured in the real window
// (bench/open_compare.py, opening a generated map until quiet, one arena against the default): peak memory
// 119 -> 94 MiB at 10,000 nodes and 370 -> 269 MiB at 50,000, the CPU of the open 1.21 -> 0.94 s and
// 4.01 -> 1.81 s (fewer fresh pages faulted in).
// Call once at start, before other threads exist; does nothing where the C library has no such settings.
void keepLargeBlocksInHeap();

// Once the program has been idle for a moment after the latest call, gives the pages of freed heap memory back
// to the system when they add up to much (the settings above keep freed memory in the heap, where a long
// session of edits would leave what each edit's working lists took), and the free pages of the slot pools
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
