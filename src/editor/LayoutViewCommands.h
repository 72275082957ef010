#pragma once

// The commands that arrange the map and move the view over it: layouts, balance, sort, collisions, focus,
// centring, zoom, and the debugging aids.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <QPointer>
#include <QVariantAnimation>

#include "editor/CommandGroup.h"
#include "platform/Geometry.h"

namespace velquine {

class VQDocument;

class LayoutViewCommands {
public:
    explicit LayoutViewCommands(GraphViewController& controller) : controller_(controller) {}
    void registerActions(const AddAction& addAction);

    static constexpr int zoomAnimationDuration = 200; // milliseconds
    void zoomIn();                                     // zoomIn:
    void zoomOut();                                    // zoomOut:
    void zoomDefault();                                // zoomDefault:
    void collisionDetectionModeDidSwitch();            // "collisionDedectionModeDidSwitch"
    void resolveCollisions();                          // resolveCollisions:
    void balanceSelectedNode();                        // balanceSelectedNode:
    void autoLayoutGraph();                            // autoLayoutGraph:
    void autoLayoutSelectedNode();                     // autoLayoutSelectedNode:
    void autolayoutPartialTree();                      // autolayoutPartialTree:
    void sortSelectedNodeChildren(const ActionItem* sender); // sortSelectedNodeChildren:
    void toggleNodeFocus();                            // toggleNodeFocus:
    void centerSelectedNode();                         // centerSelectedNode: and centerSelectedNodeNoAnim:
    // As centerSelectedNode, but centred on the whole map along each axis where the map fits in the view.
    void centerSelectedNodeShowingMap();
    // The node, as the project now holds it, is centred unless it lies entirely in view.
    void revealNode(std::int64_t uid);
    void forceReloadModel();                           // forceReloadModel:
    void toggleDebugDrawing();                         // toggleDebugDrawing:
    void dumpGraph();                                  // dumpGraph:
    void scrollOriginIntoView();                       // blong:

private:
    // Zooms to the magnification (within the scroll view's range) over zoomAnimationDuration, or at once when
    // animations are off; a zoom step taken meanwhile goes on from where the running one is headed.
    void setMagnificationAnimated(double magnification);
    double zoomTarget() const;
    void runResolveCollisions(const std::string& label);
    void runLayoutCommand(const char* label, const std::function<void(VQDocument&)>& layout);
    std::optional<Point> selectedOrFirstRootCentre();

    GraphViewController& controller_;
    QPointer<QVariantAnimation> zoomAnimation_;
    double zoomTarget_ = 1.0;
};

} // namespace velquine
