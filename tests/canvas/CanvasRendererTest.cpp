// Maps drawn off screen through the renderer the program installs: printing to a PDF file read back with the
// standard PDF tools, and the area and flags of a rendering.
#include <gtest/gtest.h>

#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "GraphViewTestSupport.h"
#include "canvas/CanvasRenderer.h"
#include "document/PrintOperation.h"
#include "document/VQDocument.h"

namespace velquine::testing {
namespace {

QString runTool(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return QStringLiteral("<%1 failed>").arg(program);
    return QString::fromUtf8(process.readAllStandardOutput());
}

class CanvasRendererTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous = GraphRenderer::installed();
        CanvasRenderer::install();
    }
    void TearDown() override { GraphRenderer::install(previous); }
    std::shared_ptr<const GraphRenderer> previous;
};

TEST_F(CanvasRendererTest, APrintedMapIsOneLandscapePageWithEveryTitle)
{
    VQDocument document;
    document.project = sampleProject(2, 3, 2);
    document.project.grid = Grid{GridType::quad, {24, 24}};
    document.printInfo = QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(30, 30, 30, 30));
    const auto operation = document.printOperation();

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("map.pdf"));
    {
        QPdfWriter writer(path);
        ASSERT_TRUE(operation->run(writer));
    }
    const QString info = runTool(QStringLiteral("pdfinfo"), {path});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n")))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+84[12](\\.\\d+)? x 595(\\.\\d+)? pts"))))
        << info.toStdString();
    const QString text = runTool(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    for (const auto& [uid, node] : document.project.graph.nodeBin())
        EXPECT_TRUE(text.contains(QString::fromStdString(node.title))) << node.title;

    // What the page looks like, for the artefacts.
    QImage page(QSize(842, 595), QImage::Format_ARGB32_Premultiplied);
    page.fill(Qt::white);
    QPainter painter(&page);
    operation->paintPage(painter, QRectF(0, 0, 842, 595));
    painter.end();
    page.save(artefactPath(QStringLiteral("printed_page.png")));
}

TEST_F(CanvasRendererTest, TheBoundsFillTheTargetAndTheFlagsHideBackgroundOrGrid)
{
    VQProject project = sampleProject(1, 2, 0);
    project.projectStyle.current.backgroundColor = Color::deviceRGB(0, 0, 0);
    project.grid = Grid{GridType::dots, {10, 10}};
    const Rect bounds = project.graph.boundingRect().insetBy(-50, -50);
    const auto draw = [&](GraphRenderOptions options) {
        QImage image(QSize(static_cast<int>(bounds.size.width), static_cast<int>(bounds.size.height)),
                     QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        GraphRenderer::installed()->render(painter, QRectF(QPointF(0, 0), image.size()), project, bounds, options);
        return image;
    };
    // The map's top-left node corner lies 50 points in; the background is black, grid dots 0.1 grey.
    const QImage plain = draw({});
    EXPECT_EQ(plain.pixelColor(1, 1), QColor(Qt::black));
    GraphRenderOptions withGrid;
    withGrid.renderGrid = true;
    const QImage gridded = draw(withGrid);
    const int gx = static_cast<int>(std::ceil(bounds.origin.x / 10) * 10 - bounds.origin.x);
    const int gy = static_cast<int>(std::ceil(bounds.origin.y / 10) * 10 - bounds.origin.y);
    EXPECT_EQ(gridded.pixelColor(gx, gy).red(), 26);
    EXPECT_EQ(plain.pixelColor(gx, gy), QColor(Qt::black));
    GraphRenderOptions transparent;
    transparent.transparentBackground = true;
    transparent.renderGrid = true;
    const QImage clear = draw(transparent);
    EXPECT_EQ(clear.pixelColor(gx, gy).alpha(), 0);
    EXPECT_EQ(clear.pixelColor(1, 1).alpha(), 0);
}

} // namespace
} // namespace velquine::testing
