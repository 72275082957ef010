#include "platform/SlotPool.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <stdexcept>
#include <tuple>

#include <unistd.h>

#include <sys/mman.h>

namespace velquine {

namespace {

// Every pool made, by id; pools are never destroyed.
std::array<std::atomic<SlotPool*>, SlotPool::maxPools> pools{};
std::mutex poolsMutex;

// Whether this thread has begun ending (its guard is gone): from then on it keeps no slots.
thread_local bool threadEnded = false;

// A slab aligned to its size, which the kernel is asked to back with one huge page where it can (the hint is
// dropped where it cannot). Throws std::bad_alloc when no memory is left.
char* mapSlab()
{
    constexpr std::size_t size = SlotPool::slabBytes;
    // One slab more than asked, so that an aligned slab lies inside; the ends around it go back at once.
    constexpr std::size_t mapped = 2 * size;
    void* region = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (region == MAP_FAILED)
        throw std::bad_alloc();
    const auto start = reinterpret_cast<std::uintptr_t>(region);
    const std::uintptr_t aligned = (start + size - 1) & ~(std::uintptr_t{size} - 1);
    if (aligned > start)
        munmap(region, aligned - start);
    if (const std::uintptr_t end = aligned + size; end < start + mapped)
        munmap(reinterpret_cast<void*>(end), start + mapped - end);
    auto* slab = reinterpret_cast<char*>(aligned);
#ifdef MADV_HUGEPAGE
    madvise(slab, size, MADV_HUGEPAGE);
#endif
    return slab;
}

} // namespace

constinit thread_local SlotPool::Cache SlotPool::caches_[SlotPool::maxPools] = {};

// Gives the thread's slots of every pool back when the thread ends.
struct SlotPool::ThreadGuard {
    ThreadGuard() = default;
    ThreadGuard(const ThreadGuard&) = delete;
    ThreadGuard& operator=(const ThreadGuard&) = delete;
    ~ThreadGuard()
    {
        threadEnded = true;
        for (std::size_t id = 0; id < maxPools; ++id) {
            if (SlotPool* pool = pools[id].load(std::memory_order_acquire))
                pool->release(caches_[id]);
        }
    }
};

SlotPool& SlotPool::of(std::size_t slotBytes, std::size_t alignment)
{
    if (alignment == 0 || (alignment & (alignment - 1)) != 0 || alignment > 4096)
        throw std::invalid_argument("SlotPool: unsupported alignment");
    // Slots stand one after another from the start of a slab, which is aligned to far more than any slot.
    const std::size_t align = std::max(alignment, alignof(FreeSlot));
    const std::size_t bytes = (std::max(slotBytes, sizeof(FreeSlot)) + align - 1) / align * align;
    if (bytes > 4096)
        throw std::invalid_argument("SlotPool: slots too large");
    const std::lock_guard lock(poolsMutex);
    std::size_t id = 0;
    for (; id < maxPools; ++id) {
        SlotPool* pool = pools[id].load(std::memory_order_relaxed);
        if (!pool)
            break;
        if (pool->slotBytes_ == bytes)
            return *pool;
    }
    if (id == maxPools)
        throw std::length_error("SlotPool: too many slot sizes");
    auto* pool = new SlotPool(id, bytes);
    pools[id].store(pool, std::memory_order_release);
    return *pool;
}

SlotPool::SlotPool(std::size_t id, std::size_t slotBytes) : id_(id), slotBytes_(slotBytes) { }

std::size_t SlotPool::carvedSlots() const
{
    const std::lock_guard lock(mutex_);
    return carved_;
}

std::size_t SlotPool::slabCount() const
{
    const std::lock_guard lock(mutex_);
    return slabs_.size();
}

void SlotPool::startThread(Cache& cache)
{
    if (threadEnded || cache.limit != 0)
        return;
    // Made on the thread's first call, and destroyed when the thread ends (before the program's statics, on
    // the main thread).
    thread_local ThreadGuard guard;
    (void)guard;
    cache.limit = 2 * batchSlots;
}

void SlotPool::refill(Cache& cache)
{
    startThread(cache);
    std::size_t count = 0;
    char* carved = nullptr;
    {
        const std::lock_guard lock(mutex_);
        if (FreeSlot* batch = batches_) {
            batches_ = batch->nextBatch;
            cache.head = batch;
            cache.count = batch->batchLength;
        } else {
            carved = carve(count);
        }
    }
    if (carved) {
        // Links the fresh slots outside the lock, first to last, so that they are handed out in address order.
        for (std::size_t i = 0; i < count; ++i) {
            auto* slot = reinterpret_cast<FreeSlot*>(carved + i * slotBytes_);
            slot->next = i + 1 < count ? reinterpret_cast<FreeSlot*>(carved + (i + 1) * slotBytes_) : nullptr;
        }
        cache.head = reinterpret_cast<FreeSlot*>(carved);
        cache.count = count;
    }
    if (cache.limit == 0 && cache.count > 1) {
        // A thread that is ending keeps nothing: it takes the one slot asked for and the rest go back.
        FreeSlot* rest = cache.head->next;
        cache.head->next = nullptr;
        const std::lock_guard lock(mutex_);
        pushBatch(rest, cache.count - 1);
        cache.count = 1;
    }
}

void SlotPool::drain(Cache& cache) noexcept
{
    if (cache.limit == 0) {
        try {
            startThread(cache);
        } catch (...) {
            // The thread keeps no slots; every one goes back to the shared list.
        }
        if (cache.count <= cache.limit)
            return;
    }
    // The most recent slots stay, warm, with the thread; the older rest goes back as one batch.
    const std::size_t keep = cache.limit == 0 ? 0 : batchSlots;
    FreeSlot* rest = cache.head;
    FreeSlot* lastKept = nullptr;
    for (std::size_t i = 0; i < keep; ++i) {
        lastKept = rest;
        rest = rest->next;
    }
    if (lastKept)
        lastKept->next = nullptr;
    else
        cache.head = nullptr;
    const std::size_t length = cache.count - keep;
    cache.count = keep;
    const std::lock_guard lock(mutex_);
    pushBatch(rest, length);
}

void SlotPool::release(Cache& cache) noexcept
{
    cache.limit = 0;
    if (cache.count == 0)
        return;
    const std::lock_guard lock(mutex_);
    pushBatch(cache.head, cache.count);
    cache.head = nullptr;
    cache.count = 0;
}

void SlotPool::pushBatch(FreeSlot* first, std::size_t length) noexcept
{
    first->batchLength = length;
    first->nextBatch = batches_;
    batches_ = first;
}

char* SlotPool::carve(std::size_t& count)
{
    if (static_cast<std::size_t>(slabEnd_ - slabNext_) < slotBytes_) {
        if (releasedRuns_.empty()) {
            newSlab();
        } else {
            std::tie(slabNext_, slabEnd_) = releasedRuns_.back();
            releasedRuns_.pop_back();
        }
    }
    count = std::min(batchSlots, static_cast<std::size_t>(slabEnd_ - slabNext_) / slotBytes_);
    char* first = slabNext_;
    slabNext_ += count * slotBytes_;
    carved_ += count;
    return first;
}

void SlotPool::newSlab()
{
    char* slab = mapSlab();
    slabs_.push_back(slab);
    slabNext_ = slab;
    slabEnd_ = slab + slabBytes;
}

std::size_t SlotPool::bytesInUse()
{
    std::size_t bytes = 0;
    for (const auto& entry : pools) {
        SlotPool* pool = entry.load(std::memory_order_acquire);
        if (!pool)
            continue;
        const std::lock_guard lock(pool->mutex_);
        std::size_t free = 0;
        for (FreeSlot* batch = pool->batches_; batch; batch = batch->nextBatch)
            free += batch->batchLength;
        bytes += (pool->carved_ - free) * pool->slotBytes_;
    }
    return bytes;
}

std::size_t SlotPool::releaseFreePages()
{
    std::size_t released = 0;
    for (const auto& entry : pools) {
        if (SlotPool* pool = entry.load(std::memory_order_acquire))
            released += pool->releasePages();
    }
    return released;
}

std::size_t SlotPool::releasePages()
{
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    // Runs shorter than this are left as they are: each costs a call, and, in a slab backed by one huge page,
    // splits that page.
    const std::size_t leastReleased = 16 * page;
    const std::lock_guard lock(mutex_);
    std::vector<char*> free;
    for (FreeSlot* batch = batches_; batch; batch = batch->nextBatch) {
        FreeSlot* slot = batch;
        for (std::size_t i = 0; i < batch->batchLength; ++i, slot = slot->next)
            free.push_back(reinterpret_cast<char*>(slot));
    }
    if (free.empty())
        return 0;
    std::sort(free.begin(), free.end());
    std::vector<char*> kept;
    std::vector<char*> slabsSplit;
    std::size_t releasedBytes = 0;
    for (std::size_t first = 0; first < free.size();) {
        // A run of free slots side by side in one slab.
        std::size_t end = first + 1;
        const auto slabOf = [](const char* slot) { return reinterpret_cast<std::uintptr_t>(slot) & ~(slabBytes - 1); };
        while (end < free.size() && free[end] == free[end - 1] + slotBytes_ && slabOf(free[end]) == slabOf(free[first]))
            ++end;
        char* const from = free[first];
        char* const to = free[end - 1] + slotBytes_;
        const auto pageFrom = (reinterpret_cast<std::uintptr_t>(from) + page - 1) & ~(page - 1);
        const auto pageTo = reinterpret_cast<std::uintptr_t>(to) & ~(page - 1);
        if (pageTo > pageFrom && pageTo - pageFrom >= leastReleased) {
            auto* pages = reinterpret_cast<void*>(pageFrom);
            madvise(pages, pageTo - pageFrom, MADV_DONTNEED);
            const auto slab = reinterpret_cast<char*>(slabOf(from));
            if (slabsSplit.empty() || slabsSplit.back() != slab)
                slabsSplit.push_back(slab);
            releasedRuns_.emplace_back(from, to);
            carved_ -= end - first;
            releasedBytes += pageTo - pageFrom;
        } else {
            kept.insert(kept.end(), free.begin() + std::ptrdiff_t(first), free.begin() + std::ptrdiff_t(end));
        }
        first = end;
    }
#ifdef MADV_NOHUGEPAGE
    // A slab some of whose pages went back no longer asks for a huge page: the kernel would otherwise gather
    // its pages into one again, giving back the memory just released.
    for (char* slab : slabsSplit)
        madvise(slab, slabBytes, MADV_NOHUGEPAGE);
#endif
    // The slots kept go back on the shared list, in batches as threads take them.
    batches_ = nullptr;
    for (std::size_t first = 0; first < kept.size(); first += batchSlots) {
        const std::size_t length = std::min(batchSlots, kept.size() - first);
        for (std::size_t i = 0; i < length; ++i)
            reinterpret_cast<FreeSlot*>(kept[first + i])->next =
                i + 1 < length ? reinterpret_cast<FreeSlot*>(kept[first + i + 1]) : nullptr;
        pushBatch(reinterpret_cast<FreeSlot*>(kept[first]), length);
    }
    return releasedBytes;
}

} // namespace velquine
