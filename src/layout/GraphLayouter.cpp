#include "layout/GraphLayouter.h"

#include <utility>

#include "layout/HorizontalGraphLayouter.h"
#include "layout/VerticalGraphLayouter.h"

namespace velquine {

std::unique_ptr<GraphLayouter> makeLayouter(Graph graph, const LayoutOptions& options, bool forceLayout)
{
    const bool isManual = options.isManual && !forceLayout;
    if (options.layoutType == LayoutOptions::LayoutType::vertical) {
        VerticalGraphLayouter::LayoutSubtype subtype = VerticalGraphLayouter::LayoutSubtype::balanced;
        if (options.layoutDirection == LayoutOptions::LayoutDirection::ascending)
            subtype = VerticalGraphLayouter::LayoutSubtype::topDown;
        else if (options.layoutDirection == LayoutOptions::LayoutDirection::descending)
            subtype = VerticalGraphLayouter::LayoutSubtype::bottomUp;
        return std::make_unique<VerticalGraphLayouter>(std::move(graph), 10.0, subtype, isManual, 100.0);
    }
    HorizontalGraphLayouter::LayoutSubtype subtype = HorizontalGraphLayouter::LayoutSubtype::balanced;
    if (options.layoutDirection == LayoutOptions::LayoutDirection::ascending)
        subtype = HorizontalGraphLayouter::LayoutSubtype::leftToRight;
    else if (options.layoutDirection == LayoutOptions::LayoutDirection::descending)
        subtype = HorizontalGraphLayouter::LayoutSubtype::rightToLeft;
    return std::make_unique<HorizontalGraphLayouter>(std::move(graph), 60.0, subtype, isManual, 10.0);
}

} // namespace velquine
