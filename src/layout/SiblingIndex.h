#pragma once

// What placing one more child reads of its siblings, kept up to date while trees are built child by child:
// for each followed parent, how many children stand on each side and which ones stand first and last along
// the sibling axis. Reading it costs the same however many children a parent has, where walking and sorting
// the children list costs their number each time.
//
// It answers as the children list would as long as every child of a followed parent is added here in the
// order of that list, once stored with its final centre and sides, and no child moves meanwhile.
//
// What it buys, measured (bench_LargeImport, one root with many children): plain text, wide, 10,000 lines
// 9,318 -> 366 ms, 100,000 lines over 10 minutes -> 2,956 ms; the walk it replaces is quadratic.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>

#include "base/FlatHashMap.h"
#include "model/graph/Node.h"

namespace velquine {

class SiblingIndex {
public:
    // The children compared along x, as in vertical trees: all of them, or those above or below; and along y,
    // as in horizontal trees: all of them, or those left or right.
    enum class Group : std::uint8_t { allAlongX, above, below, allAlongY, left, right };

    // The number of children of a group, and the first and last of them along its axis: the first child with the least centre and the last with the greatest, in
    // list order, as a stable sort of the list would put them.
    struct Ends {
        std::size_t count = 0;
        std::int64_t front = 0;
        std::int64_t back = 0;
        double frontKey = 0;
        double backKey = 0;
    };

    // Starts following a parent that has no children yet.
    void follow(std::int64_t parentUID);
    // Counts a stored child of a followed parent; a child of any other parent is left out.
    void add(const Node& child);
    // The ends of a followed parent's group; null for a parent not followed.
    const Ends* ends(std::int64_t parentUID, Group group) const;
    // How many of a followed parent's children have a smaller identifier than a new child's, when that is all of
    // them; none when the parent is not followed or some child has a greater identifier.
    std::optional<std::size_t> rankOfNewChild(std::int64_t parentUID, std::int64_t uid) const;

private:
    static constexpr std::size_t groupCount = 6;
    struct Children {
        Ends groups[groupCount];
        std::int64_t largestUID = 0;
    };
    // Followed parents without children yet stand in the set alone: most nodes of a large insertion never
    // get any, and their entry is made with the first child.
    FlatHashSet<std::int64_t> followed_;
    std::unordered_map<std::int64_t, Children> parents_;
};

} // namespace velquine
