// What the canvas draws: background and grid on pixels, off-screen rendering of a whole map, theme previews.
#include "support/QtWait.h"
#include <gtest/gtest.h>

#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

#include "GraphViewTestSupport.h"
#include "canvas/GridLayer.h"
#include "canvas/ThemePreview.h"
#include "canvas/UnflippedGraphView.h"

namespace velquine::testing {
namespace {

// Adds up the pixels of every paint event the widget receives, but for those of a grab.
class PaintCounter : public QObject {
public:
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    qint64 pixels = 0;
    bool grabbing = false;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !grabbing)
            for (const QRect& r : static_cast<QPaintEvent*>(event)->region())
                pixels += qint64(r.width()) * r.height();
        return false;
    }
};

TEST(GraphViewRendering, BackgroundAndDotsGridOnPixels)
{
    VQProject project = sampleProject(1, 4, 2);
    project.projectStyle.current.backgroundColor = Color::deviceRGB(1, 1, 1);
    GraphView view(Rect(0, 0, 1000, 800));
    view.setBoundsRect(Rect(-30, -30, 1000, 800));
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

namespace velquine::testing {
namespace {

// The fraction of pixels whose colours differ by more than a small tolerance.
double differingShare(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    if (x.size() != y.size())
        return 1.0;
    std::size_t differing = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int column = 0; column < x.width(); ++column) {
            const QColor p = x.pixelColor(column, row);
            const QColor q = y.pixelColor(column, row);
            if (std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) + std::abs(p.blue() - q.blue()) > 60)
                ++differing;
        }
    return static_cast<double>(differing) / (x.width() * x.height());
}

TEST(ThemePreview, EveryPresetDrawsItsSampleMapUpright)
{
    const Size size{280, 190};
    const std::vector<ProjectStyle> styles = ProjectStyle::builtInStyles();
    ASSERT_EQ(styles.size(), 24u);
    QImage sheet(QSize(6 * 280, 4 * 190) * 2, QImage::Format_ARGB32_Premultiplied);
    sheet.setDevicePixelRatio(2);
    sheet.fill(Qt::white);
    QPainter sheetPainter(&sheet);
    for (std::size_t i = 0; i < styles.size(); ++i) {
        const ProjectStyle& style = styles[i];
        SCOPED_TRACE(style.name);
        const ProjectStyle preview = themePreviewStyle(style);
        const Graph graph = themePreviewGraph(preview, size);
        ASSERT_EQ(graph.count(), 7u);
        const Node root = std::find_if(graph.nodeBin().begin(), graph.nodeBin().end(), [](const auto& entry) {
                              return !entry.second.parentUID;
                          })->second;
        ASSERT_EQ(root.childrenUIDs.size(), 6u);
        const std::size_t words = std::count(style.name.begin(), style.name.end(), ' ') + 1;
        EXPECT_EQ(std::count(root.title.begin(), root.title.end(), '\n') + 1, static_cast<long>(words));
        EXPECT_EQ(root.style.font.pointSize(), 16.0);
        const std::vector<Point> offsets{{150, 75}, {-150, 75}, {150, 0}, {-150, 0}, {150, -75}, {-150, -75}};
        for (std::size_t c = 0; c < 6; ++c) {
            const Node child = *graph.findNode(root.childrenUIDs[c]);
            EXPECT_EQ(child.title, "Child #" + std::to_string(c + 1));
            EXPECT_EQ(child.center, (Point{root.center.x + offsets[c].x, root.center.y + offsets[c].y}));
            EXPECT_EQ(child.style.font.pointSize(), 14.0);
            EXPECT_EQ(child.style.branchColor, style.current.palette[c % style.current.palette.size()].strokeColor);
        }

        // Drawn unflipped, the map equals the mirrored map drawn flipped: geometry mirrored, text upright.
        const QImage image = themePreviewImage(style, size, 1.0);
        Graph mirrored;
        for (const auto& [uid, node] : graph.nodeBin()) {
            Node copy = node;
            copy.center.y = 2 * size.height - node.center.y;
            mirrored.setNode(copy, uid);
        }
        GraphView flipped(Rect(0, 0, 2 * size.width, 2 * size.height));
        flipped.setGraph(mirrored);
        flipped.setProjectStyle(preview);
        QImage expected(QSize(280, 190), QImage::Format_ARGB32_Premultiplied);
        expected.fill(Qt::transparent);
        QPainter painter(&expected);
        painter.setRenderHint(QPainter::Antialiasing);
        flipped.render(painter, QRectF(0, 0, 280, 190));
        painter.end();
        QImage background(image.size(), QImage::Format_ARGB32_Premultiplied);
        background.fill(image.pixelColor(2, 2));
        // Upside-down titles would differ in about half of the pixels the map covers; rounding of label frames
        // shifts a title by a pixel at most.
        EXPECT_LT(differingShare(image, expected), differingShare(image, background) / 4);
        // The first child ("Child #1", above and right of the root) is drawn there.
        QImage first(background.copy(QRect(QPoint(int(root.center.x / 2 + 75 - 20), int(size.height - root.center.y / 2 - 37.5 - 6)), QSize(40, 12))));
        const QImage drawn = image.copy(QRect(QPoint(int(root.center.x / 2 + 75 - 20), int(size.height - root.center.y / 2 - 37.5 - 6)), QSize(40, 12)));
        EXPECT_GT(differingShare(drawn, first), 0.05);

        sheetPainter.drawImage(QPointF((i % 6) * 280.0, (i / 6) * 190.0), themePreviewImage(style, size));
    }
    sheetPainter.end();
    sheet.save(artefactPath(QStringLiteral("theme_previews.png")));

    // A style without palette entries (a stored file may hold one) keeps the main style's colours.
    ProjectStyle bare = ProjectStyle::omaha();
    bare.current.palette.clear();
    const Graph graph = themePreviewGraph(themePreviewStyle(bare), size);
    for (const auto& [uid, node] : graph.nodeBin()) {
        if (node.parentUID) {
            EXPECT_EQ(node.style.branchColor, bare.current.mainNodeStyle.branchColor);
        }
    }
    EXPECT_FALSE(themePreviewImage(bare, size).isNull());
}

} // namespace
} // namespace velquine::testing

#include <QTest>
#include <cstdlib>

#include "kit/ScrollView.h"
#include "canvas/CanvasSync.h"

namespace velquine::testing {
namespace {

// The pixels in the window, as the X server has them, and the same part drawn afresh, alike. Painted in parts
// (a strip, a band), an antialiased edge may come out a level or two off the whole paint's; a stale or
// resampled picture is off by far more.
bool screenShowsFreshPaint(QWidget* viewport, PaintCounter& counter)
{
    const QPoint global = viewport->mapToGlobal(QPoint(0, 0));
    const QImage shown = viewport->screen()
                             ->grabWindow(0, global.x(), global.y(), viewport->width(), viewport->height())
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    counter.grabbing = true;
    const QImage fresh = viewport->grab().toImage().convertToFormat(QImage::Format_RGB32);
    counter.grabbing = false;
    if (shown.size() != fresh.size())
        return false;
    for (int y = 0; y < shown.height(); ++y) {
        const auto* a = reinterpret_cast<const QRgb*>(shown.constScanLine(y));
        const auto* b = reinterpret_cast<const QRgb*>(fresh.constScanLine(y));
        for (int x = 0; x < shown.width(); ++x) {
            if (std::abs(qRed(a[x]) - qRed(b[x])) > 4 || std::abs(qGreen(a[x]) - qGreen(b[x])) > 4 ||
                std::abs(qBlue(a[x]) - qBlue(b[x])) > 4)
                return false;
        }
    }
    return true;
}

TEST(GraphViewOnScreen, AScrolledCanvasPaintsOnlyWhatComesIntoViewGridIncluded)
{
    VQProject project = sampleProject(2, 4, 2);
    ScrollView scrollView;
    scrollView.resize(900, 600);
    auto* view = new GraphView(Rect(0, 0, 2400, 1400));
    view->setGrid(Grid{GridType::quad, {24, 24}});
    view->setGraph(project.graph);
    scrollView.setDocumentView(view);
    scrollView.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&scrollView));
    scrollView.setMagnification(0.75);
    // Layers take the new scale once the burst of changes is over.
    EXPECT_EVENTUALLY(view->nodeLayers().front()->contentsScale() == view->effectiveBackingScale() &&
                      view->gridLayer().contentsScale() == view->effectiveBackingScale());
    // The pixels the canvas paints, counted from its paint events.
    PaintCounter painted(view);
    // Drawn before the layers had the new scale, the view is drawn again once they have it.
    EXPECT_EVENTUALLY(screenShowsFreshPaint(scrollView.viewport(), painted));
    for (Point topLeft : {Point{600, 300}, Point{600, 340}}) {
        painted.pixels = 0;
        scrollView.scrollToPoint(topLeft);
        EXPECT_EQ(view->visibleRect(), scrollView.documentVisibleRect());
        EXPECT_EVENTUALLY(painted.pixels > 0 && screenShowsFreshPaint(scrollView.viewport(), painted));
    }
    // The last step scrolled 40 points, 30 pixels: the rest of the view was moved, not painted again.
    EXPECT_LE(painted.pixels, qint64(scrollView.viewport()->width()) * 40);
    scrollView.grab().save(artefactPath(QStringLiteral("graphview_scrolled.png")));
}

// A node billions of points out, and one wider than any screen by far: the canvas keeps within reach (its
// widget, at the greatest magnification, within Qt's largest size), and the view and a canvas made for export
// over all of it paint without a number that overflows.
TEST(GraphViewOnScreen, NodesFarOutOrHugeLeaveTheCanvasWithinReach)
{
    VQProject project = sampleProject(1, 2, 1);
    const Node root = project.graph.nodeBin().begin()->second;
    Node wide = insertChildNode(project, *project.graph.node(root.uid), "Wide", {0, 600});
    wide.size = {1e308, 40};
    project.graph.updateNodes({wide});
    {
        // (Made for export before the far node is added: a line billions of points long is cut into pieces
        // at a cost of its own.)
        GraphView whole(Rect(0, 0, 1000, 800));
        whole.setBoundsRect(Rect(-5e9, -5e9, 1e10, 1e10));
        whole.setGraph(project.graph);
        QImage image(1000, 800, QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        whole.render(painter, QRectF(image.rect()));
    }
    insertChildNode(project, *project.graph.node(root.uid), "Far", {3e9, -3e9});
    const Rect canvas = project.graph.canvasRect(Size{1440, 900});
    EXPECT_GT(canvas.size.width, 1440);

    ScrollView scrollView;
    scrollView.resize(900, 600);
    auto* view = new GraphView;
    scrollView.setDocumentView(view);
    view->setGraph(project.graph);
    view->setFrameRect(canvas);
    scrollView.setMagnification(scrollView.maxMagnification());
    scrollView.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&scrollView));
    EXPECT_LE(view->width(), QWIDGETSIZE_MAX);
    EXPECT_LE(view->height(), QWIDGETSIZE_MAX);
    EXPECT_EQ(view->width(), std::lround(canvas.size.width * scrollView.magnification()));
    scrollView.scrollToPoint(root.center);
    EXPECT_FALSE(scrollView.grab().isNull());
}

} // namespace
} // namespace velquine::testing
