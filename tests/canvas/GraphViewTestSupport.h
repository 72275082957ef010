#pragma once

// Maps for the canvas tests and a layer-by-layer comparison of two canvases.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QImage>

#include <random>
#include <string>
#include <vector>

#include "canvas/CanvasSync.h"
#include "canvas/GraphView.h"
#include "canvas/layers/BranchLayer.h"
#include "canvas/layers/NodeLayer.h"
#include "layout/VQProjectEdits.h"
#include "model/project/VQProject.h"

namespace velquine::testing {

// A project of `roots` trees laid side by side, each a root with `mains` main nodes of `subs` sub nodes.
inline VQProject sampleProject(int roots, int mains, int subs)
{
    VQProject project;
    for (int r = 0; r < roots; ++r) {
        const Node root = insertRootNode(project, "Root " + std::to_string(r), {400.0 + r * 900.0, 400});
        for (int m = 0; m < mains; ++m) {
            const double side = (m % 2) ? -1 : 1;
            const Node main = insertChildNode(project, *project.graph.node(root.uid), "Main " + std::to_string(m),
                                                      {root.center.x + side * 220, 100.0 + m * 90.0});
            for (int s = 0; s < subs; ++s)
                insertChildNode(project, *project.graph.node(main.uid), "Sub " + std::to_string(s),
                                        {main.center.x + side * 200, main.center.y - 30 + s * 30.0});
        }
    }
    return project;
}

// Fails with the first difference between what two canvases show: the same node layers (in the same order)
// with the same geometry and state, and the same links with the same dock points and paths.
inline ::testing::AssertionResult sameLayers(GraphView& a, GraphView& b)
{
    if (a.nodeLayers().size() != b.nodeLayers().size())
        return ::testing::AssertionFailure() << "node layer counts " << a.nodeLayers().size() << " and "
                                             << b.nodeLayers().size();
    for (const auto& layer : a.nodeLayers()) {
        const std::int64_t uid = layer->node().uid;
        const NodeLayer* other = b.nodeLayer(uid);
        if (!other)
            return ::testing::AssertionFailure() << "no layer for " << uid;
        if (!(layer->frame() == other->frame()) || layer->node().differs(other->node())
            || layer->nodeType() != other->nodeType() || !(layer->layoutOptions() == other->layoutOptions())
            || layer->isSelected() != other->isSelected() || layer->isHovered() != other->isHovered()
            || layer->areHandlesShown() != other->areHandlesShown())
            return ::testing::AssertionFailure()
                << "node layer " << uid << " differs:" << (layer->frame() == other->frame() ? "" : " frame")
                << (layer->node().differs(other->node()) ? " node" : "")
                << (layer->nodeType() != other->nodeType() ? " type" : "")
                << (layer->layoutOptions() == other->layoutOptions() ? "" : " options")
                << (layer->isSelected() != other->isSelected() ? " selected" : "")
                << (layer->isHovered() != other->isHovered() ? " hovered" : "")
                << (layer->areHandlesShown() != other->areHandlesShown() ? " handles" : "");
    }
    if (a.branchLayers().size() != b.branchLayers().size())
        return ::testing::AssertionFailure() << "branch layer counts " << a.branchLayers().size() << " and "
                                             << b.branchLayers().size();
    for (const auto& branch : a.branchLayers()) {
        BranchLayer* other = b.branchLayer(branch->parentNodeUID, branch->childNodeUID);
        if (!other)
            return ::testing::AssertionFailure() << "no branch " << branch->parentNodeUID << "-" << branch->childNodeUID;
        if (!(branch->parentDockPoint == other->parentDockPoint) || !(branch->childDockPoint == other->childDockPoint)
            || branch->branchType != other->branchType || branch->layoutType != other->layoutType
            || branch->path() != other->path() || branch->strokeColor() != other->strokeColor()
            || branch->lineWidth() != other->lineWidth() || branch->zPosition() != other->zPosition())
            return ::testing::AssertionFailure() << "branch " << branch->parentNodeUID << "-" << branch->childNodeUID
                                                 << " differs";
    }
    return ::testing::AssertionSuccess();
}

// The identifiers of every node of the graph, in the bin's order.
inline std::vector<std::int64_t> nodeUIDs(const Graph& graph)
{
    std::vector<std::int64_t> uids;
    for (const auto& entry : graph.nodeBin())
        uids.push_back(entry.first);
    return uids;
}

// The sublayer of the view layer with the name ("selection", "attachBadge"), as the canvas shows it; null
// when there is none.
inline const Layer* shownLayer(GraphView& view, const std::string& name)
{
    for (const auto& layer : view.layer()->sublayers())
        if (layer->name() == name)
            return layer.get();
    return nullptr;
}

// A mouse event sent to the canvas at a point of the canvas, as the window system delivers it.
inline void sendMouse(GraphView& view, QEvent::Type type, Point at, Qt::MouseButton button, Qt::MouseButtons held,
                      Qt::KeyboardModifiers modifiers = {})
{
    const QPointF local = view.widgetRectFromLayer(Rect(at.x, at.y, 0, 0)).topLeft();
    QMouseEvent event(type, local, view.mapToGlobal(local), button, held, modifiers);
    QApplication::sendEvent(&view, &event);
}

// Reloads `live` by change and `full` from scratch, with live's selection, and compares what they show.
inline ::testing::AssertionResult reloadedAlike(GraphView& live, GraphView& full, const Graph& graph)
{
    live.setGraph(graph);
    full.setSelectedNodeUIDs(live.selectedNodeUIDs());
    full.sync().invalidateLayerState();
    full.setGraph(graph);
    return sameLayers(live, full);
}

inline QString artefactPath(const QString& name)
{
    QDir().mkpath(QStringLiteral(VELQUINE_ARTEFACTS_DIR));
    return QStringLiteral(VELQUINE_ARTEFACTS_DIR) + QLatin1Char('/') + name;
}

} // namespace velquine::testing
