#pragma once

// Values by node identifier, for the canvas's lookups of layers by node. A graph numbers its nodes as it makes
// them, so most identifiers lie close together: those inside a window of close numbers are kept in a list by
// their offset, where a walk in identifier order reads neighbouring slots; any other identifier goes to a hash
// table. A slot holding T() holds nothing.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "layout/UidIndex.h"

namespace velquine {

template <class T> class UidTable {
public:
    // Empties the table. Identifiers of the range (a graph's own when they lie close together:
    // UidRange::denseOf) are to be kept in the list.
    void clear(UidRange dense = {})
    {
        slots_.clear();
        others_.clear();
        base_ = dense.first;
        if (dense.last >= dense.first)
            slots_.resize(std::size_t(std::uint64_t(dense.last) - std::uint64_t(dense.first)) + 1);
    }

    // The value under the identifier, or null when there is none.
    const T* find(std::int64_t uid) const
    {
        if (const std::size_t at = offset(uid); at < slots_.size())
            return slots_[at] == T() ? nullptr : &slots_[at];
        if (others_.empty())
            return nullptr;
        const auto it = others_.find(uid);
        return it == others_.end() || it->second == T() ? nullptr : &it->second;
    }
    T* find(std::int64_t uid) { return const_cast<T*>(static_cast<const UidTable&>(*this).find(uid)); }

    // The value under the identifier, made T() when there is none.
    T& operator[](std::int64_t uid)
    {
        if (slots_.empty() && others_.empty())
            base_ = uid;
        std::size_t at = offset(uid);
        // The list grows over identifiers just past its end: the next nodes a graph makes.
        if (at >= slots_.size() && uid >= base_ && at < 2 * slots_.size() + 64)
            grow(std::max(at + 1, 2 * slots_.size()));
        if (at < slots_.size())
            return slots_[at];
        return others_[uid];
    }

    // Whatever the identifier holds goes.
    void erase(std::int64_t uid)
    {
        if (const std::size_t at = offset(uid); at < slots_.size())
            slots_[at] = T();
        else if (!others_.empty())
            others_.erase(uid);
    }

private:
    // Lengthens the list; values hashed under identifiers it now covers move into it.
    void grow(std::size_t size)
    {
        slots_.resize(size);
        for (auto it = others_.begin(); it != others_.end();) {
            if (const std::size_t at = offset(it->first); at < slots_.size()) {
                slots_[at] = std::move(it->second);
                it = others_.erase(it);
            } else {
                ++it;
            }
        }
    }

    // The identifier's place in the list (past its end for identifiers below the window, which wrap round).
    std::size_t offset(std::int64_t uid) const { return std::size_t(std::uint64_t(uid) - std::uint64_t(base_)); }

    std::int64_t base_ = 0;
    std::vector<T> slots_;
    std::unordered_map<std::int64_t, T> others_;
};

} // namespace velquine
