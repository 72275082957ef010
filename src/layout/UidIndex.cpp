#include "layout/UidIndex.h"

#include <utility>

#include "model/graph/Graph.h"

namespace velquine {

UidRange UidRange::denseOf(const Graph& graph)
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

UidIndex::UidIndex(std::size_t expected, UidRange paged)
{
    if (paged.last >= paged.first) {
        first_ = paged.first;
        span_ = static_cast<std::uint64_t>(paged.last) - static_cast<std::uint64_t>(paged.first) + 1;
        directory_.assign(static_cast<std::size_t>((span_ + pageSize - 1) >> pageBits), empty);
    }
    std::size_t capacity = 16;
    while (capacity < expected * 2)
        capacity *= 2;
    rehash(capacity);
}

std::size_t UidIndex::offsetInRange(std::int64_t uid) const
{
    const std::uint64_t offset = static_cast<std::uint64_t>(uid) - static_cast<std::uint64_t>(first_);
    return offset < span_ ? static_cast<std::size_t>(offset) : none;
}

std::size_t UidIndex::find(std::int64_t uid) const
{
    if (const std::size_t offset = offsetInRange(uid); offset != none) {
        const std::uint32_t page = directory_[offset >> pageBits];
        if (page == empty)
            return none;
        const std::uint32_t value = pages_[page + (offset & (pageSize - 1))];
        return value == empty ? none : value;
    }
    for (std::size_t slot = home(uid);; slot = (slot + 1) & mask_) {
        const Slot& s = slots_[slot];
        if (s.value == empty)
            return none;
        if (s.key == uid)
            return s.value;
    }
}

bool UidIndex::insert(std::int64_t uid, std::size_t value)
{
    const auto stored = static_cast<std::uint32_t>(value);
    if (const std::size_t offset = offsetInRange(uid); offset != none) {
        std::uint32_t& page = directory_[offset >> pageBits];
        if (page == empty) {
            page = static_cast<std::uint32_t>(pages_.size());
            pages_.resize(pages_.size() + pageSize, empty);
        }
        std::uint32_t& cell = pages_[page + (offset & (pageSize - 1))];
        if (cell != empty)
            return false;
        cell = stored;
        return true;
    }
    if ((count_ + 1) * 2 > slots_.size())
        rehash(slots_.size() * 2);
    return place(uid, stored);
}

std::size_t UidIndex::home(std::int64_t uid) const
{
    std::uint64_t x = static_cast<std::uint64_t>(uid) + 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return static_cast<std::size_t>(x ^ (x >> 31)) & mask_;
}

bool UidIndex::place(std::int64_t uid, std::uint32_t value)
{
    std::size_t slot = home(uid);
    for (; slots_[slot].value != empty; slot = (slot + 1) & mask_) {
        if (slots_[slot].key == uid)
            return false;
    }
    slots_[slot] = {uid, value};
    ++count_;
    return true;
}

void UidIndex::rehash(std::size_t capacity)
{
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(capacity, Slot{0, empty});
    mask_ = capacity - 1;
    count_ = 0;
    for (const Slot& s : old) {
        if (s.value != empty)
            place(s.key, s.value);
    }
}

} // namespace velquine
