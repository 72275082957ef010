#pragma once

// Process-wide settings of the memory allocator, and memory backed by huge pages.

#include <cstddef>
#include <memory>

namespace velquine {

// Serves large blocks (up to 256 MB) from the heap and keeps up to 256 MB of freed memory there. By default the C
// library hands every block over 32 MB straight from the kernel and returns it on free, so each layout, undo
// snapshot list or export of a map of 100,000 nodes would fault in tens of megabytes of fresh zeroed pages.
// Call once at start, before other threads exist; does nothing where the C library has no such settings.
void keepLargeBlocksInHeap();

// Once the program has been idle for a moment after the latest call, gives the pages of freed heap memory back
// to the system when they add up to much (the settings above keep freed memory in the heap, where a long
// session of edits would leave what each edit's working lists took). Call after work that frees much, such
// as an edit or a reload of a document; calls in quick succession put it off. Main thread only; does nothing
// without an application object or where the C library cannot give memory back.
void releaseFreedMemoryWhenIdle();
// Does it now, whatever the amount; returns whether any memory went back.
bool releaseFreedMemory();

// The size of a huge page, which blocks below are aligned to and made of.
constexpr std::size_t hugePageBytes = std::size_t{2} << 20;

// A block of bytes rounded up to whole huge pages, aligned to one, which the kernel is asked to back with huge
// pages where it can (the hint is dropped where it cannot): a walk over it then misses the processor's
// address cache once per 2 MiB instead of once per 4 KiB. Throws std::bad_alloc when no memory is left.
void* mapHugePageBlock(std::size_t bytes);
// Gives back a block of mapHugePageBlock, of the size it was asked for.
void unmapHugePageBlock(void* block, std::size_t bytes) noexcept;

// A standard allocator taking blocks of at least a huge page from mapHugePageBlock and smaller ones from the
// heap: for large working lists kept from one use to the next.
template <class T>
class HugePageAllocator {
public:
    using value_type = T;

    HugePageAllocator() noexcept = default;
    template <class U>
    HugePageAllocator(const HugePageAllocator<U>&) noexcept { }

    T* allocate(std::size_t n)
    {
        if (n * sizeof(T) >= hugePageBytes)
            return static_cast<T*>(mapHugePageBlock(n * sizeof(T)));
        return std::allocator<T>().allocate(n);
    }
    void deallocate(T* pointer, std::size_t n) noexcept
    {
        if (n * sizeof(T) >= hugePageBytes)
            unmapHugePageBlock(pointer, n * sizeof(T));
        else
            std::allocator<T>().deallocate(pointer, n);
    }

    template <class U>
    friend bool operator==(const HugePageAllocator&, const HugePageAllocator<U>&) noexcept { return true; }
};

} // namespace velquine
