// Printing: the page set-up, the area of the map a page shows, and what reaches the installed renderer.
#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>

#include "DocumentTestSupport.h"
#include "document/GraphRenderer.h"
#include "document/PrintOperation.h"

namespace velquine::testing {
namespace {

// Writes down every call and paints the target so the page shows something.
class RecordingRenderer : public GraphRenderer {
public:
    struct Call {
        QRectF target;
        Rect bounds;
        std::size_t nodeCount;
        GraphRenderOptions options;
    };
    void render(QPainter& painter, const QRectF& target, const VQProject& project, const Rect& bounds,
                const GraphRenderOptions& options) const override
    {
        calls->push_back({target, bounds, project.graph.count(), options});
        painter.fillRect(target, Qt::black);
    }
    std::shared_ptr<std::vector<Call>> calls = std::make_shared<std::vector<Call>>();
};

class PrintTest : public DocumentTest {
protected:
    void SetUp() override
    {
        DocumentTest::SetUp();
        previous = GraphRenderer::installed();
        GraphRenderer::install(renderer);
    }
    void TearDown() override
    {
        GraphRenderer::install(previous);
        DocumentTest::TearDown();
    }
    std::shared_ptr<RecordingRenderer> renderer = std::make_shared<RecordingRenderer>();
    std::shared_ptr<const GraphRenderer> previous;
};

TEST(PrintBounds, EmptyMapFillsThePaperAndLargeMapKeepsThePaperRatio)
{
    const Size paper{842, 595};
    const Rect empty = printBounds(Graph(), paper);
    EXPECT_EQ(empty.size, paper);

    Graph graph;
    graph.setNode(makeNode(1, std::nullopt, {}, {0, 0}), 1);       // frame (-40, -15, 80, 30)
    graph.setNode(makeNode(2, std::nullopt, {}, {2000, 100}), 2);  // frame (1960, 85, 80, 30)
    const Rect bounds = printBounds(graph, paper);
    const double ratio = 842.0 / 595.0;
    EXPECT_DOUBLE_EQ(bounds.size.width, 2080 + 72);
    EXPECT_DOUBLE_EQ(bounds.size.height, 2080 / ratio + 72 / ratio);
    EXPECT_DOUBLE_EQ(bounds.origin.x, -40 - 36);
    EXPECT_DOUBLE_EQ(bounds.origin.y, -15 - 36 / ratio);
}

TEST_F(PrintTest, OneLandscapePageWithoutMarginsShowsTheWholeMapCentred)
{
    document->projectForLoading().graph.setNode(makeNode(1, std::nullopt, {}, {100, 100}), 1);
    document->projectForLoading().graph.setNode(makeNode(2, std::nullopt, {}, {300, 200}), 2);
    document->printInfo = QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(20, 20, 20, 20));
    const VQProject before = document->project();

    auto operation = printOperation(*document);
    EXPECT_EQ(document->printInfo.orientation(), QPageLayout::Landscape);
    EXPECT_EQ(document->printInfo.margins(QPageLayout::Point), QMarginsF(0, 0, 0, 0));
    EXPECT_NEAR(operation->paperSize().width, 842, 1);
    EXPECT_NEAR(operation->paperSize().height, 595, 1);
    EXPECT_EQ(operation->viewBounds(), printBounds(document->project().graph, operation->paperSize()));

    // A page of another shape gets the paper-sized view fitted and centred.
    QImage page(400, 400, QImage::Format_ARGB32);
    page.fill(Qt::white);
    QPainter painter(&page);
    ASSERT_TRUE(operation->paintPage(painter, QRectF(0, 0, 400, 400)));
    painter.end();
    ASSERT_EQ(renderer->calls->size(), 1u);
    const auto& call = renderer->calls->front();
    EXPECT_EQ(call.nodeCount, 2u);
    EXPECT_TRUE(call.options.renderGrid);
    EXPECT_FALSE(call.options.transparentBackground);
    EXPECT_NEAR(call.target.width(), 400, 1e-9);
    EXPECT_NEAR(call.target.height(), 400 * operation->paperSize().height / operation->paperSize().width, 1e-9);
    EXPECT_NEAR(call.target.center().y(), 200, 1e-9);
    EXPECT_EQ(call.bounds, operation->viewBounds());

    // Printing leaves the document as it was; the printed project is the one taken with the operation.
    EXPECT_TRUE(sameProject(before, document->project()));
    EXPECT_FALSE(document->undoManager()->canUndo());
    document->projectForLoading().graph.setNode(makeNode(3, std::nullopt), 3);
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    QPdfWriter writer(&pdf);
    ASSERT_TRUE(operation->run(writer));
    EXPECT_EQ(renderer->calls->back().nodeCount, 2u);
    EXPECT_TRUE(pdf.data().startsWith("%PDF"));
}

TEST_F(PrintTest, WithoutRendererNothingIsPrinted)
{
    GraphRenderer::install(nullptr);
    auto operation = printOperation(*document);
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    QPdfWriter writer(&pdf);
    EXPECT_FALSE(operation->run(writer));
}

} // namespace
} // namespace velquine::testing
