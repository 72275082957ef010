// Dropping images, text and files on a canvas in a real window, with the drag events built by hand.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QVBoxLayout>

#include "GraphViewTestSupport.h"
#include "platform/Log.h"
#include "canvas/CanvasSync.h"

namespace velquine::testing {
namespace {

class DropDelegate : public GraphViewDelegate {
public:
    void setNodeImage(const Node& node) override { nodeImages.push_back(node); }
    void newImageNodes(const std::vector<Image>& images, Point at) override
    {
        for (const Image& image : images)
            newImages.push_back({image, at});
    }
    std::vector<Node> nodeImages;
    std::vector<std::pair<Image, Point>> newImages;
};

struct DropWindow {
    explicit DropWindow(const VQProject& project)
    {
        auto* layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        view = new GraphView(Rect(0, 0, 1600, 900));
        layout->addWidget(view);
        view->setGraph(project.graph);
        view->setDelegate(delegate);
        window.resize(1600, 900);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }
    QPoint center(std::int64_t uid) const
    {
        return view->widgetRectFromLayer(view->nodeLayer(uid)->frame()).center().toPoint();
    }
    // The drag enters and moves to the point; whether the view took it as a copy.
    bool enter(const QMimeData& data, QPoint at)
    {
        QDragEnterEvent entered(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(view, &entered);
        QDragMoveEvent moved(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(view, &moved);
        return entered.isAccepted() && entered.dropAction() == Qt::CopyAction && moved.isAccepted();
    }
    bool drop(const QMimeData& data, QPoint at)
    {
        enter(data, at);
        QDropEvent dropped(QPointF(at), Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, {});
        QApplication::sendEvent(view, &dropped);
        return dropped.isAccepted();
    }
    QWidget window;
    GraphView* view = nullptr;
    std::shared_ptr<DropDelegate> delegate = std::make_shared<DropDelegate>();
};

QImage filled(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(Qt::darkCyan);
    return image;
}

TEST(GraphViewDrop, ImagesOnANodeBecomeItsImageFittedAndOnTheCanvasNewNodes)
{
    const VQProject project = sampleProject(1, 2, 0);
    DropWindow canvas(project);
    const std::int64_t root = project.graph.nodeBin().begin()->first;

    // A colour alone is refused; mixed with an image it is accepted and ignored.
    QMimeData colour;
    colour.setColorData(QColor(Qt::red));
    EXPECT_FALSE(canvas.enter(colour, QPoint(20, 20)));
    QMimeData big;
    big.setImageData(filled(4000, 1000));
    big.setColorData(QColor(Qt::red));
    LogCapture log;
    ASSERT_TRUE(canvas.enter(big, canvas.center(root)));
    EXPECT_TRUE(log.contains("draggingEntered(_:)"));
    // While dragged over, only the node under the pointer shows its ring.
    EXPECT_TRUE(canvas.view->nodeLayer(root)->isFocused());
    EXPECT_TRUE(canvas.view->nodeLayer(root)->isFocusRingShown());

    ASSERT_TRUE(canvas.drop(big, canvas.center(root)));
    ASSERT_EQ(canvas.delegate->nodeImages.size(), 1u);
    EXPECT_EQ(canvas.delegate->nodeImages[0].uid, root);
    EXPECT_EQ(canvas.delegate->nodeImages[0].image()->size(), (Size{1024, 256}));
    EXPECT_FALSE(canvas.view->nodeLayer(root)->isFocused()); // the highlight ends with the drop
    EXPECT_FALSE(canvas.view->nodeLayer(root)->isFocusRingShown());

    QMimeData small;
    small.setImageData(filled(200, 100));
    ASSERT_TRUE(canvas.drop(small, canvas.center(root)));
    EXPECT_EQ(canvas.delegate->nodeImages[1].image()->size(), (Size{200, 100}));

    // On empty canvas the image goes unfitted to a new node at the drop point.
    ASSERT_TRUE(canvas.drop(big, QPoint(30, 850)));
    ASSERT_EQ(canvas.delegate->newImages.size(), 1u);
    EXPECT_EQ(canvas.delegate->newImages[0].first.size(), (Size{4000, 1000}));
    EXPECT_EQ(canvas.delegate->newImages[0].second, canvas.view->layerPointFromWidget(QPointF(30, 850)));

    // Text draws into an image at 64 points.
    QMimeData text;
    text.setText("Hello");
    ASSERT_TRUE(canvas.drop(text, QPoint(30, 850)));
    ASSERT_EQ(canvas.delegate->newImages.size(), 2u);
    EXPECT_GT(canvas.delegate->newImages[1].first.size().height, 64);

    // Without a delegate a drop still answers yes and changes nothing.
    canvas.view->setDelegate({});
    EXPECT_TRUE(canvas.drop(text, QPoint(30, 850)));
    EXPECT_EQ(canvas.delegate->newImages.size(), 2u);
}

TEST(GraphViewDrop, FilesAreReadOnlyFromLocalURLsAndUnreadableOnesAreSkippedWithALogLine)
{
    const VQProject project = sampleProject(1, 1, 0);
    DropWindow canvas(project);
    QTemporaryDir folder;
    const QString png = folder.filePath("picture.png"), notes = folder.filePath("notes.txt");
    const QString binary = folder.filePath("data.bin");
    ASSERT_TRUE(filled(300, 150).save(png));
    QFile textFile(notes);
    ASSERT_TRUE(textFile.open(QIODevice::WriteOnly));
    textFile.write("Shopping list");
    textFile.close();
    QFile binaryFile(binary);
    ASSERT_TRUE(binaryFile.open(QIODevice::WriteOnly));
    binaryFile.write(QByteArray("\x89\0\xff\xfe garbage \0\x01", 16));
    binaryFile.close();

    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(png), QUrl::fromLocalFile(binary), QUrl("https://example.com/cat.png"),
                   QUrl::fromLocalFile(folder.filePath("missing.png")), QUrl::fromLocalFile(folder.path()),
                   QUrl::fromLocalFile(notes)});
    files.setText(png); // file managers add the paths as text too
    LogCapture log;
    ASSERT_TRUE(canvas.drop(files, QPoint(30, 850)));
    // The picture and the text file make nodes; the rest is skipped, each with a line.
    ASSERT_EQ(canvas.delegate->newImages.size(), 2u);
    EXPECT_EQ(canvas.delegate->newImages[0].first.size(), (Size{225, 112.5})); // written at 96 DPI
    EXPECT_EQ(canvas.delegate->newImages[0].first.pixelsWide(), 225); // a pixel for each point, as a node keeps it
    EXPECT_GT(canvas.delegate->newImages[1].first.size().width, 64);
    EXPECT_TRUE(log.contains("data.bin: neither an image nor text"));
    EXPECT_TRUE(log.contains("https://example.com/cat.png: not a local file"));
    EXPECT_TRUE(log.contains("missing.png: not a readable file"));

    // A long text is drawn at the size a node's image takes, never at its full size first: 600 lines at 64
    // points would be a picture some 45,000 pixels high.
    QString longText;
    for (int line = 0; line < 600; ++line)
        longText += QStringLiteral("Line %1 of a long text file dropped on the canvas\n").arg(line);
    QMimeData dropped;
    dropped.setText(longText);
    ASSERT_TRUE(canvas.drop(dropped, QPoint(30, 850)));
    ASSERT_EQ(canvas.delegate->newImages.size(), 3u);
    const Image& picture = canvas.delegate->newImages[2].first;
    EXPECT_EQ(picture.pixelsHigh(), 1024);
    EXPECT_LE(picture.pixelsWide(), 1024);
    EXPECT_EQ(picture.size(), (Size{double(picture.pixelsWide()), 1024}));
    // Ink in the upper and the lower half: every line is drawn, scaled down.
    const QImage bitmap = picture.bitmap();
    bitmap.save(artefactPath(QStringLiteral("dropped-long-text.png")));
    const auto inked = [&](int fromY, int toY) {
        for (int y = fromY; y < toY; ++y)
            for (int x = 0; x < bitmap.width(); ++x)
                if (qAlpha(bitmap.pixel(x, y)) > 0)
                    return true;
        return false;
    };
    EXPECT_TRUE(inked(0, 512));
    EXPECT_TRUE(inked(512, 1024));

    // Nothing usable at all still answers yes.
    QMimeData remote;
    remote.setUrls({QUrl("https://example.com/page.html")});
    EXPECT_TRUE(canvas.drop(remote, QPoint(30, 850)));
    EXPECT_EQ(canvas.delegate->newImages.size(), 3u);
}

} // namespace
} // namespace velquine::testing
