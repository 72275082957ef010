#pragma once

// The commands that arrange the map and move the view over it: layouts, balance, sort, collisions, focus,
// centring, zoom, and the debugging aids.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include <QPointer>
#include <QSize>
#include <QVariantAnimation>

#include "editor/CommandGroup.h"
#include "platform/Geometry.h"

namespace velquine {

class Graph;
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
    // As centerSelectedNode, but showing as much of the map as the view can with the node in it: along each
    // axis where the map fits it is centred, along the others the view stays within the map. Scrolled over
    // the duration given; at once for none.
    void centerSelectedNodeShowingMap(double animationDuration = 0.5);
    // The node, as the project now holds it, is brought into view (centerSelectedNodeShowingMap) unless it lies
    // entirely in view as drawn (with its ring, handles and the hover button's stub); one in view but for those
    // comes whole with the view's margin, the view moving as little as needed.
    void revealNode(std::int64_t uid);
    // Whether the view shows the whole of the graph's map (where a scroll under way ends). An empty map is shown
    // whole: a map that comes back (an undone deletion of every node) is kept whole while it fits, like one that grew.
    bool showsWholeMap(const Graph& graph) const;
    // After a change of the map: a map the view showed whole (mapWasWhole) that still fits and is not wholly in
    // view is brought into it, the view moving as little as needed; a view that shows nothing of the map, with
    // no single node selected (which is revealed instead), is moved to show the part of the map nearest to it.
    void keepMapInView(bool mapWasWhole);
    // After scroll bars came or went with the canvas's size (the visible area shrank or grew at one
    // magnification): a selected node the view held before and a map it showed whole are held again, the view
    // moving as little as needed.
    void visibleAreaResized(const Rect& before);
    // Scroll bars that come or go with the canvas's size change the visible area without a command: what the
    // view held before is held again (visibleAreaResized).
    void scrollViewBoundsChanged();
    void forceReloadModel();                           // forceReloadModel:
    void toggleDebugDrawing();                         // toggleDebugDrawing:
    void dumpGraph();                                  // dumpGraph:
    void scrollOriginIntoView(double animationDuration); // blong: (over 0.5 s)

    // Zooms to the magnification (within the scroll view's range), animated over zoomAnimationDuration unless
    // animations are off; a zoom step taken meanwhile goes on from where the running one is headed. Along an axis
    // where the map fits the view it stands in the middle; along the others the middle of the view stays, within
    // the map and the room beside it, and the selected node stays in view with its room.
    void zoomTo(double magnification, bool animated);

private:
    double zoomTarget() const;
    // What a zoom keeps in view, as the view showed it before: a map shown whole (while it fits), some of a map
    // shown in part, and the selected node; a zoom out shows whole a map that comes to fit.
    struct ZoomedView {
        Rect map = Rect::null();
        bool mapWasWhole = false;
        bool mapWasMet = false;
        std::optional<Rect> selected;
        // A zoom, which places the view over the map afresh (zoomedAcross), rather than a view resized by its
        // scroll bars, which moves as little as needed to keep what it held.
        bool zooms = false;
    };
    ZoomedView zoomedView(const Rect& before) const;
    // The view moved to keep that, at the magnification given.
    static Rect keptInView(Rect view, const ZoomedView& kept, double magnification);
    // The left edge of the zoomed view across the map, with the selected node's frame.
    static double zoomedAcross(const Rect& view, const Rect& map, const std::optional<Rect>& selected,
                               double magnification);
    // Scrolls to show the rectangle, the canvas widened first to reach the view that shows it.
    void showView(const Rect& shown, double animationDuration);
    void runResolveCollisions(const std::string& label);
    void runLayoutCommand(const char* label, const std::function<void(VQDocument&)>& layout);
    std::optional<Point> selectedOrFirstRootCentre(double animationDuration);

    GraphViewController& controller_;
    // What the scroll view showed when its bounds last changed.
    struct ShownArea {
        QSize viewportSize;
        Rect visible;
        double magnification = 0;
    };
    ShownArea shown_;
    QPointer<QVariantAnimation> zoomAnimation_;
    double zoomTarget_ = 1.0;
};

} // namespace velquine
