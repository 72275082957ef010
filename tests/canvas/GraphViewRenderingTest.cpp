// What the canvas draws: background and grid on pixels, off-screen rendering of a whole map, theme previews.
#include <gtest/gtest.h>

#include <QPainter>

#include "GraphViewTestSupport.h"
#include "canvas/GridLayer.h"
#include "canvas/ThemePreview.h"
#include "canvas/UnflippedGraphView.h"

namespace velquine::testing {
namespace {

TEST(GraphViewRendering, BackgroundAndDotsGridOnPixels)
{
    VQProject project = sampleProject(1, 4, 2);
    project.projectStyle.current.backgroundColor = Color::deviceRGB(1, 1, 1);
    GraphView view(Rect(0, 0, 1000, 800));
    view.setBounds(Rect(-30, -30, 1000, 800));
    view.setProjectStyle(project.projectStyle);
    view.setGrid(Grid{GridType::dots, {24, 24}});
    view.setGraph(project.graph);
    const QImage image = view.snapshotImage();
    ASSERT_EQ(image.size(), QSize(1000, 800));
    image.save(artefactPath(QStringLiteral("graphview_dots.png")));
    // Canvas (0, 0) lies at image (30, 30): a grey dot of 0.9 on white; half way between dots is white.
    EXPECT_EQ(image.pixelColor(30, 30).red(), 230);
    EXPECT_EQ(image.pixelColor(31, 31).green(), 230);
    EXPECT_EQ(image.pixelColor(30 + 12, 30 + 12), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(30 + 24, 30 + 48).blue(), 230);
}

} // namespace
} // namespace velquine::testing
