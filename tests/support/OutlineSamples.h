#pragma once

// Outlines of many top-level items as other programs write them (indented text, OPML), and what a map made
// from one should look like: every tree apart from the others, all of them packed compactly.

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "model/graph/Graph.h"
#include "platform/Geometry.h"

namespace velquine::testing {

// One top-level item of an outline: its title and the titles of its descendants with their depth.
using OutlineItem = std::vector<std::pair<int, std::string>>;

// Top-level items of mixed shapes: single lines, heading chains (one long-titled child a level, six levels
// down), bushy trees three levels deep and lopsided ones five levels deep.
inline std::vector<OutlineItem> outlineItems(int count)
{
    std::vector<OutlineItem> items;
    for (int k = 0; k < count; ++k) {
        const std::string name = "Topic " + std::to_string(k);
        OutlineItem item{{0, name}};
        switch (k % 4) {
        case 1:
            for (int depth = 1; depth <= 6; ++depth)
                item.emplace_back(depth, "Heading " + std::to_string(depth) + " of " + name +
                                             " with a title as long as a section's");
            break;
        case 2:
            for (int c = 0; c < 3; ++c) {
                item.emplace_back(1, name + "." + std::to_string(c));
                for (int g = 0; g < 2; ++g)
                    item.emplace_back(2, name + "." + std::to_string(c) + "." + std::to_string(g));
            }
            break;
        case 3:
            item.emplace_back(1, "Part one");
            for (int depth = 2; depth <= 4; ++depth)
                item.emplace_back(depth, "Level " + std::to_string(depth));
            item.emplace_back(1, "Part two");
            item.emplace_back(2, "Detail");
            break;
        default:
            break;
        }
        items.push_back(std::move(item));
    }
    return items;
}

inline std::string indentedText(const std::vector<OutlineItem>& items)
{
    std::string text;
    for (const OutlineItem& item : items)
        for (const auto& [depth, title] : item)
            text += std::string(std::size_t(depth), '\t') + title + "\n";
    return text;
}

inline std::string opml(const std::vector<OutlineItem>& items)
{
    std::string text = "<?xml version=\"1.0\"?><opml version=\"2.0\"><head><title>Outline</title></head><body>\n";
    for (const OutlineItem& item : items) {
        int open = 0;
        for (const auto& [depth, title] : item) {
            for (; open > depth; --open)
                text += "</outline>";
            text += "<outline text=\"" + title + "\">";
            open = depth + 1;
        }
        for (; open > 0; --open)
            text += "</outline>";
        text += "\n";
    }
    return text + "</body></opml>\n";
}

// Node frames by the root of the tree each node belongs to.
using FramesByTree = std::map<std::int64_t, std::vector<Rect>>;

inline FramesByTree framesByTree(const Graph& graph)
{
    FramesByTree frames;
    for (const Node& node : graph.allNodes())
        frames[graph.rootAncestor(node).uid].push_back(
            Rect(node.center.x - node.size.width / 2, node.center.y - node.size.height / 2, node.size.width,
                 node.size.height));
    return frames;
}

// The first pair of frames of different trees that intersect, described; empty when there is none.
inline std::string firstOverlap(const FramesByTree& frames)
{
    std::vector<std::pair<Rect, std::int64_t>> all;
    for (const auto& [root, rects] : frames)
        for (const Rect& rect : rects)
            all.emplace_back(rect, root);
    std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a.first.minX() < b.first.minX(); });
    for (std::size_t i = 0; i < all.size(); ++i)
        for (std::size_t j = i + 1; j < all.size() && all[j].first.minX() < all[i].first.maxX(); ++j)
            if (all[i].second != all[j].second && all[i].first.intersects(all[j].first))
                return "trees " + std::to_string(all[i].second) + " and " + std::to_string(all[j].second);
    return {};
}

// The smallest rectangle holding all the frames.
inline Rect boundsOf(const std::vector<Rect>& frames)
{
    double minX = frames.front().minX(), minY = frames.front().minY();
    double maxX = frames.front().maxX(), maxY = frames.front().maxY();
    for (const Rect& frame : frames) {
        minX = std::min(minX, frame.minX());
        minY = std::min(minY, frame.minY());
        maxX = std::max(maxX, frame.maxX());
        maxY = std::max(maxY, frame.maxY());
    }
    return Rect(minX, minY, maxX - minX, maxY - minY);
}

// The area of the bounding box of all frames over the sum of the areas of each tree's own bounding box.
inline double areaOverTreeAreas(const FramesByTree& frames)
{
    std::vector<Rect> all;
    double trees = 0;
    for (const auto& [root, rects] : frames) {
        const Rect box = boundsOf(rects);
        trees += box.width() * box.height();
        all.insert(all.end(), rects.begin(), rects.end());
    }
    const Rect whole = boundsOf(all);
    return whole.width() * whole.height() / trees;
}

} // namespace velquine::testing
