#include "layout/SiblingIndex.h"

namespace velquine {

namespace {

void include(SiblingIndex::Ends& ends, std::int64_t uid, double key)
{
    if (ends.count == 0 || key < ends.frontKey) {
        ends.front = uid;
        ends.frontKey = key;
    }
    if (ends.count == 0 || key >= ends.backKey) {
        ends.back = uid;
        ends.backKey = key;
    }
    ++ends.count;
}

} // namespace

void SiblingIndex::follow(std::int64_t parentUID)
{
    if (!followed_.insert(parentUID))
        parents_.erase(parentUID);
}

void SiblingIndex::add(const Node& child)
{
    if (!child.parentUID || !followed_.contains(*child.parentUID))
        return;
    Children& children = parents_[*child.parentUID];
    if (children.groups[0].count == 0 || child.uid > children.largestUID)
        children.largestUID = child.uid;
    Ends* groups = children.groups;
    const double x = child.center.x;
    const double y = child.center.y;
    include(groups[std::size_t(Group::allAlongX)], child.uid, x);
    include(groups[std::size_t(Group::allAlongY)], child.uid, y);
    include(groups[std::size_t(child.verticalAffinity == VerticalAffinity::above ? Group::above : Group::below)],
            child.uid, x);
    include(groups[std::size_t(child.horizontalAffinity == HorizontalAffinity::left ? Group::left : Group::right)],
            child.uid, y);
}

const SiblingIndex::Ends* SiblingIndex::ends(std::int64_t parentUID, Group group) const
{
    static constexpr Ends none;
    const auto found = parents_.find(parentUID);
    if (found != parents_.end())
        return &found->second.groups[std::size_t(group)];
    return followed_.contains(parentUID) ? &none : nullptr;
}

std::optional<std::size_t> SiblingIndex::rankOfNewChild(std::int64_t parentUID, std::int64_t uid) const
{
    const auto found = parents_.find(parentUID);
    if (found == parents_.end())
        return followed_.contains(parentUID) ? std::optional<std::size_t>(0) : std::nullopt;
    const Children& children = found->second;
    const std::size_t count = children.groups[0].count;
    if (count > 0 && !(uid > children.largestUID))
        return std::nullopt;
    return count;
}

} // namespace velquine
