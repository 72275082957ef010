#pragma once

// The gestures of one canvas, held together by the view; one of them at a time is active (CanvasGesture.h).

#include <memory>

#include "canvas/DragInteraction.h"
#include "canvas/DropInteraction.h"
#include "canvas/FocusInteraction.h"
#include "canvas/GhostInteraction.h"
#include "canvas/NavigationInteraction.h"
#include "canvas/PointerGestures.h"
#include "canvas/PointerInteraction.h"
#include "canvas/TitleEditingInteraction.h"

namespace velquine {

struct CanvasGestures {
    CanvasGestures(GraphView& view, CanvasSync& sync)
        : drag(view, sync, titleEditing), ghost(view, sync), resize(view, sync), rubberBand(view, sync),
          pan(view, [this](Point point) { pointer.rightClick(point); }),
          titleEditing(view, sync), pointer(view, sync, *this), drop(view, sync), navigation(view),
          focus(view, sync)
    {
    }

    DragInteraction drag;
    GhostInteraction ghost;
    ResizeGesture resize;
    RubberBandGesture rubberBand;
    PanGesture pan;
    TitleEditingInteraction titleEditing;
    // The active gesture while no other runs; it starts the others.
    PointerInteraction pointer;
    DropInteraction drop;
    NavigationInteraction navigation;
    FocusInteraction focus;
};

} // namespace velquine
