// Maps drawn off screen through the renderer the program installs: printing to a PDF file read back with the
// standard PDF tools, and the area and flags of a rendering.
#include <gtest/gtest.h>

#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

#include <utility>

#include "GraphViewTestSupport.h"
#include "canvas/CanvasRenderer.h"
#include "document/PrintOperation.h"
#include "document/VQDocument.h"
#include "document/DocumentExport.h"

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
    document.projectForLoading() = sampleProject(2, 3, 2);
    document.projectForLoading().grid = Grid{GridType::quad, {24, 24}};
    document.printInfo = QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(30, 30, 30, 30));
    const auto operation = printOperation(document);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("map.pdf"));
    {
        // The page is made on a worker while the main loop goes on.
        int ticks = 0;
        QTimer ticker;
        ticker.setInterval(0);
        QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
        ticker.start();
        QPdfWriter writer(path);
        ASSERT_TRUE(operation->run(writer));
        EXPECT_GT(ticks, 0);
    }
    const QString info = runTool(QStringLiteral("pdfinfo"), {path});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n")))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+84[12](\\.\\d+)? x 595(\\.\\d+)? pts"))))
        << info.toStdString();
    const QString text = runTool(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    for (const auto& [uid, node] : document.project().graph.nodeBin())
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

namespace velquine::testing {
namespace {

// A column of nodes 6,000 points tall, so that its PNG file is drawn in several bands; one node straddles
// the first band's last row.
Graph tallGraph()
{
    std::vector<Node> nodes;
    for (std::int64_t uid = 1; uid <= 12; ++uid) {
        Node node(uid, uid == 1 ? std::nullopt : std::optional<std::int64_t>(1), NodeStyle());
        node.title = "Node " + std::to_string(uid);
        node.shape = NodeShape::roundedRect;
        node.center = {200.0 + 40.0 * double(uid % 3), 500.0 * double(uid)};
        node.size = {220, 80};
        nodes.push_back(node);
        if (uid > 1)
            nodes.front().childrenUIDs.push_back(uid);
    }
    // The picture is 390 × 7,254 pixels from map y −377; its bands are 4 MB / (390 × 4) = 2,688 rows high, so the
    // first band ends at map y 2,311, across the middle of this node.
    nodes[3].center.y = 2311;
    Graph graph;
    graph.updateNodes(nodes);
    return graph;
}

} // namespace

TEST_F(CanvasRendererTest, PngFilesDrawnInBandsMatchTheWholePicture)
{
    VQDocument document;
    document.projectForLoading().graph = tallGraph();
    for (const bool transparent : {false, true}) {
        const GraphRenderOptions options{transparent, false, {}};
        const QImage whole
            = DocumentExport(document).renderImage(options).bitmap().convertToFormat(QImage::Format_ARGB32);
        const std::optional<Bytes> png = DocumentExport(document).renderPNG(options);
        ASSERT_TRUE(png);
        EXPECT_EQ(png->at(25), transparent ? 6 : 2) << "RGBA only with a transparent background";
        const QImage banded = QImage::fromData(QByteArray(reinterpret_cast<const char*>(png->data()), qsizetype(png->size())))
                                  .convertToFormat(QImage::Format_ARGB32);
        ASSERT_EQ(banded.size(), whole.size());
        EXPECT_GT(whole.height(), 2 * 4 * 1024 * 1024 / (whole.width() * 4)) << "at least three bands";
        int differing = 0;
        for (int y = 0; y < whole.height(); ++y) {
            const auto* a = reinterpret_cast<const QRgb*>(whole.constScanLine(y));
            const auto* b = reinterpret_cast<const QRgb*>(banded.constScanLine(y));
            for (int x = 0; x < whole.width(); ++x) {
                const QRgb p = a[x];
                const QRgb q = b[x];
                if (std::abs(qRed(p) - qRed(q)) > 2 || std::abs(qGreen(p) - qGreen(q)) > 2 || std::abs(qBlue(p) - qBlue(q)) > 2
                    || std::abs(qAlpha(p) - qAlpha(q)) > 2)
                    ++differing;
            }
        }
        EXPECT_EQ(differing, 0) << (transparent ? "transparent" : "opaque");
        if (!transparent) {
            banded.save(artefactPath(QStringLiteral("banded_png.png")));
            whole.save(artefactPath(QStringLiteral("banded_png_whole.png")));
        }
    }
}

// A big map drawn in parts, letting the caller run between them, is the same picture and the same PDF text as
// the map drawn at once.
TEST_F(CanvasRendererTest, AMapDrawnInPartsIsTheMapDrawnWhole)
{
    VQDocument document;
    document.projectForLoading() = sampleProject(1, 30, 30); // about 1,900 layers: two parts
    GraphRenderOptions inParts;
    int pauses = 0;
    inParts.betweenParts = [&] { ++pauses; };
    const QImage whole = DocumentExport(document).renderImage({}).bitmap();
    const QImage parted = DocumentExport(document).renderImage(inParts).bitmap();
    EXPECT_GE(pauses, 1);
    EXPECT_TRUE(parted == whole) << "the picture drawn in parts differs";

    QTemporaryDir folder;
    QString texts[2];
    // Qt's PDF writer turns what was drawn into the page on a worker, while the main loop goes on.
    int ticks = 0;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&ticks] { ++ticks; });
    ticker.start();
    for (int i = 0; i < 2; ++i) {
        const Bytes pdf = DocumentExport(document).renderPDF(i == 0 ? GraphRenderOptions{} : inParts);
        EXPECT_GT(std::exchange(ticks, 0), 0) << "the main loop waited for the PDF writer";
        const QString path = folder.filePath(QStringLiteral("map%1.pdf").arg(i));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(pdf.data()), qsizetype(pdf.size()));
        file.close();
        texts[i] = runTool(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    }
    EXPECT_GE(pauses, 2);
    EXPECT_GT(texts[0].size(), 1000);
    EXPECT_EQ(texts[1], texts[0]) << "every title once, as drawn whole";
}

} // namespace velquine::testing
