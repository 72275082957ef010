#include "layout/UidIndex.h"

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
    others_.reserve(expected);
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
    const std::uint32_t* value = others_.find(uid);
    return value ? *value : none;
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
    return others_.emplace(uid, stored).second;
}

} // namespace velquine
