#pragma once

// Fixed-size slots of memory for many small objects of one size made and freed often (the cells of a graph's
// nodes), kept side by side in 2 MiB slabs the kernel is asked to back with huge pages: objects made one after
// another sit next to each other, and a walk over a hundred thousand of them touches a few pages instead of
// tens of thousands.
//
// Each thread keeps a short list of free slots of its own, so that taking and giving back a slot is a few
// instructions; it refills that list from the shared free list, and gives back to it, a batch at a time under a
// lock. A slot may be given back on any thread. Freed slots are handed out again last in, first out, while
// they are still in the processor's cache.
//
// Slabs stay with the process once taken: the slots of a large map, freed, serve the next one. Their pages
// go back to the system, though, where runs of free slots on the shared list cover whole pages, when the
// program asks (releaseFreePages, once it is idle): an edit that copies many cells at once (a layout that moves
// half a map, while the state before it is still held) leaves that many freed. A pool lives until the process
// ends (pools are never destroyed, so a slot given back during exit still finds its pool).
//
// What it buys, measured A/B against cells from the heap (best of 3): 1.2-1.5x copying every node of a map of
// 10,000-100,000 (bench_GraphLayouters copyEveryNode); the edits of bench_EditCost within noise.

#include <algorithm>
#include <cstddef>
#include <memory>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace velquine {

class SlotPool {
public:
    // The bytes of every slab: one huge page, which it is aligned to.
    static constexpr std::size_t slabBytes = std::size_t{2} << 20;
    // Slots a thread takes from, and gives back to, the shared free list at once.
    static constexpr std::size_t batchSlots = 64;
    // The most distinct pools a process makes.
    static constexpr std::size_t maxPools = 8;

    // The pool of slots of the given size and alignment (at least a few pointers' worth; at most a page),
    // made on first use.
    static SlotPool& of(std::size_t slotBytes, std::size_t alignment);

    std::size_t slotBytes() const { return slotBytes_; }

    // A slot of slotBytes() bytes; throws std::bad_alloc when the system has no memory left.
    void* take()
    {
        Cache& cache = caches_[id_];
        if (cache.head == nullptr)
            refill(cache);
        FreeSlot* slot = cache.head;
        cache.head = slot->next;
        --cache.count;
        return slot;
    }
    // Gives back a slot taken from this pool, on any thread.
    void give(void* pointer) noexcept
    {
        Cache& cache = caches_[id_];
        auto* slot = static_cast<FreeSlot*>(pointer);
        slot->next = cache.head;
        cache.head = slot;
        if (++cache.count > cache.limit)
            drain(cache);
    }

    // What the pool holds, for checks: slots carved out of its slabs and not given back to the system, and
    // slabs taken.
    std::size_t carvedSlots() const;
    std::size_t slabCount() const;

    // The bytes of the slots of every pool that are out of the shared free list (held by their takers or kept
    // by threads for reuse): for a look at the memory a running program uses, from a debugger.
    static std::size_t bytesInUse();

    // Gives back to the system the pages that runs of free slots on the shared list cover whole, in every
    // pool; their slots are carved afresh when needed. Slots the threads keep for themselves stay. Returns the
    // bytes given back.
    static std::size_t releaseFreePages();

    SlotPool(const SlotPool&) = delete;
    SlotPool& operator=(const SlotPool&) = delete;

private:
    // A free slot's first bytes: the next free slot of its list and, in the first slot of a batch on the
    // shared list, the next batch and the batch's length.
    struct FreeSlot {
        FreeSlot* next;
        FreeSlot* nextBatch;
        std::size_t batchLength;
    };
    // A thread's free slots of one pool. Trivially destructible, so reaching it costs no check. The first
    // refill or drain on a thread makes a guard that gives its slots back when the thread ends; until then
    // (limit 0) and after that (limit 0 again), every slot given back goes straight to the shared list.
    struct Cache {
        FreeSlot* head;
        std::size_t count;
        std::size_t limit;
    };
    struct ThreadGuard;

    SlotPool(std::size_t id, std::size_t slotBytes);
    void refill(Cache& cache);
    // Gives back to the shared list all but the batchSlots most recent of the thread's slots, or all of them
    // while the thread keeps none.
    void drain(Cache& cache) noexcept;
    // Gives every slot of the thread back, for good (the thread is ending).
    void release(Cache& cache) noexcept;
    // Lets this thread keep slots, when it may (it is not ending).
    static void startThread(Cache& cache);
    // Pushes a list of slots onto the shared list as one batch; the lock is held.
    void pushBatch(FreeSlot* first, std::size_t length) noexcept;
    // The first of up to batchSlots slots carved from the current slab (a new one when it is used up), and how
    // many; the lock is held.
    char* carve(std::size_t& count);
    void newSlab();
    std::size_t releasePages();

    static constinit thread_local Cache caches_[maxPools];

    const std::size_t id_;
    const std::size_t slotBytes_;
    mutable std::mutex mutex_;
    // Batches of free slots given back, last in first.
    FreeSlot* batches_ = nullptr;
    // The rest of the current slab, not handed out yet.
    char* slabNext_ = nullptr;
    char* slabEnd_ = nullptr;
    // Runs of slots whose pages went back to the system, carved again before a new slab is taken.
    std::vector<std::pair<char*, char*>> releasedRuns_;
    std::size_t carved_ = 0;
    std::vector<void*> slabs_;
};

// A standard allocator drawing single objects of T from the pool of T's size (for std::allocate_shared, which
// asks for one block holding the object and its counts); arrays come from the heap. Slots are aligned to at
// least the given alignment: with 64, each object starts on a cache line and so spans as few lines as it can.
template <class T, std::size_t alignment = alignof(T)>
class SlotAllocator {
public:
    using value_type = T;
    template <class U>
    struct rebind {
        using other = SlotAllocator<U, alignment>;
    };

    SlotAllocator() noexcept = default;
    template <class U>
    SlotAllocator(const SlotAllocator<U, alignment>&) noexcept { }

    T* allocate(std::size_t n)
    {
        if (n == 1)
            return static_cast<T*>(pool().take());
        return std::allocator<T>().allocate(n);
    }
    void deallocate(T* pointer, std::size_t n) noexcept
    {
        if (n == 1)
            pool().give(pointer);
        else
            std::allocator<T>().deallocate(pointer, n);
    }

    template <class U>
    friend bool operator==(const SlotAllocator&, const SlotAllocator<U, alignment>&) noexcept { return true; }

private:
    static SlotPool& pool()
    {
        static SlotPool& instance = SlotPool::of(sizeof(T), std::max(alignof(T), alignment));
        return instance;
    }
};

} // namespace velquine
