#include "canvas/ThemePreview.h"

#include <QPainter>

#include <array>
#include <cmath>

#include "canvas/CanvasSync.h"
#include "canvas/UnflippedGraphView.h"
#include "layout/NodeSizing.h"

namespace velquine {

namespace {

constexpr Size rootSize{128.0, 48.0};
constexpr Size childSize{98.0, 38.0};
constexpr std::array<Point, 6> childOffsets{
    Point{150, 75}, Point{-150, 75}, Point{150, 0}, Point{-150, 0}, Point{150, -75}, Point{-150, -75}};

std::string rootTitle(const std::string& name)
{
    std::string title = name;
    for (char& c : title)
        if (c == ' ')
            c = '\n';
    return title;
}

} // namespace

ProjectStyle themePreviewStyle(const ProjectStyle& style)
{
    ProjectStyle preview = style;
    preview.current.rootNodeStyle.font = preview.current.rootNodeStyle.font.withPointSize(16.0);
    preview.current.mainNodeStyle.font = preview.current.mainNodeStyle.font.withPointSize(14.0);
    preview.current.subNodeStyle.font = preview.current.subNodeStyle.font.withPointSize(14.0);
    return preview;
}

Graph themePreviewGraph(const ProjectStyle& previewStyle, Size size)
{
    const ProjectStyle::Values& values = previewStyle.current;
    Graph graph;
    Node root(rootTitle(previewStyle.name), Point{size.width, size.height + 10.0}, rootSize, values.rootNodeStyle);
    root.shape = values.rootNodeShape;
    root = autosizeNode(root);
    graph.setNode(root, root.uid);

    const Point center = root.center;
    for (std::size_t i = 0; i < childOffsets.size(); ++i) {
        NodeStyle style = values.mainNodeStyle;
        if (!values.palette.empty()) {
            const PaletteEntry& entry = values.palette[i % values.palette.size()];
            style.borderColor = entry.strokeColor;
            style.branchColor = entry.strokeColor;
            if (values.dynamicMainNodeColors)
                style.fillColor = entry.fillColor;
        }
        const Node parent = *graph.node(root.uid);
        const Point position{center.x + childOffsets[i].x, center.y + childOffsets[i].y};
        Node child = graph.addChildNode(parent, "Child #" + std::to_string(i + 1), style, position, childSize);
        child.shape = values.mainNodeShape;
        child = autosizeNode(child);
        graph.setNode(child, child.uid);
    }
    return graph;
}

void drawThemePreview(const ProjectStyle& style, QPainter& painter, const Rect& in)
{
    const Size size = in.size;
    if (!(size.width > 0) || !(size.height > 0) || !size.isFinite())
        return;
    const ProjectStyle preview = themePreviewStyle(style);
    const Graph graph = themePreviewGraph(preview, size);
    UnflippedGraphView view(Rect(0, 0, 2 * size.width, 2 * size.height));
    view.setGraph(graph);
    view.setProjectStyle(preview);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    view.render(painter, QRectF(in.origin.x, in.origin.y, size.width, size.height));
    painter.restore();
}

QImage themePreviewImage(const ProjectStyle& style, Size size, double devicePixelRatio)
{
    const QSize pixels(static_cast<int>(std::ceil(size.width * devicePixelRatio)),
                       static_cast<int>(std::ceil(size.height * devicePixelRatio)));
    if (pixels.isEmpty() || !(devicePixelRatio > 0))
        return QImage();
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    drawThemePreview(style, painter, Rect(0, 0, size.width, size.height));
    return image;
}

} // namespace velquine
