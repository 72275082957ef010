// The document's exports: text outlines to files and the pasteboard, and renderings through an installed
// renderer, checked with the standard tools of their formats.

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryDir>

#include "document/DocumentExport.h"
#include "model/style/ProjectStyle.h"
#include "DocumentTestSupport.h"
#include "support/ExternalTools.h"

using namespace velquine;
using namespace velquine::testing;

namespace {

// Paints the background white (unless transparent), the grid as grey lines when asked, and every node as a
// red box with its title inside, recording each call.
class BoxRenderer : public GraphRenderer {
public:
    void render(QPainter& painter, const QRectF& target, const VQProject& project, const Rect& bounds,
                const GraphRenderOptions& options) const override
    {
        calls.push_back(bounds);
        painter.save();
        painter.translate(target.topLeft());
        painter.scale(target.width() / bounds.width(), target.height() / bounds.height());
        painter.translate(-bounds.minX(), -bounds.minY());
        const QRectF area(bounds.minX(), bounds.minY(), bounds.width(), bounds.height());
        if (!options.transparentBackground) {
            painter.fillRect(area, Qt::white);
            if (options.renderGrid)
                painter.fillRect(QRectF(area.left(), area.top(), area.width(), 1), Qt::gray);
        }
        for (const auto& [uid, node] : project.graph.nodeBin()) {
            const Rect frame = Rect::centeredAt(node.center, node.size);
            painter.fillRect(QRectF(frame.minX(), frame.minY(), frame.width(), frame.height()), Qt::red);
            painter.drawText(QPointF(frame.minX(), frame.maxY() - 4), QString::fromStdString(node.title));
        }
        painter.restore();
    }
    mutable std::vector<Rect> calls;
};

class DocumentExportTest : public DocumentTest {
protected:
    void SetUp() override
    {
        DocumentTest::SetUp();
        renderer = std::make_shared<BoxRenderer>();
        GraphRenderer::install(renderer);
    }
    void TearDown() override
    {
        GraphRenderer::install(nullptr);
        DocumentTest::TearDown();
    }
    // A root "n1" at the top with two children below it, spanning 100 × 50 points from (10, 20).
    void addTree()
    {
        Node root = makeNode(1, std::nullopt, {2, 3}, {60, 30});
        root.size = Size{100, 20};
        Node left = makeNode(2, 1, {}, {30, 60});
        left.size = Size{40, 20};
        Node right = makeNode(3, 1, {}, {90, 60});
        right.size = Size{40, 20};
        document->projectForLoading().graph.updateNodes({root, left, right});
    }
    std::string read(const QString& path)
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        return file.readAll().toStdString();
    }
    std::shared_ptr<BoxRenderer> renderer;
    QTemporaryDir dir;
};

bool endsWithMessage(const std::exception& error, const std::string& function, const std::string& message)
{
    const std::string text = error.what();
    const std::string tail = " " + function + " - " + message;
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

TEST_F(DocumentExportTest, TextOutlinesGoToFilesWithTheirOptions)
{
    addTree();
    PlainTextExporter::Options options;
    options.indentMode = PlainTextExporter::Options::IndentMode::tab;
    options.appendColon = true;
    options.hyphenate = true;
    DocumentExport(*document).exportPlainText(dir.filePath("map.txt").toStdString(), options);
    EXPECT_EQ(read(dir.filePath("map.txt")), "n1:\n\t- n2\n\t- n3\n");
    DocumentExport(*document).exportMarkdown(dir.filePath("map.md").toStdString(), MarkdownExporter::Options{});
    EXPECT_EQ(read(dir.filePath("map.md")), "# n1\n\n## n2\n\n## n3\n\n");

    // The OPML title is the project's, else the first root's.
    DocumentExport(*document).exportOPML(dir.filePath("root.opml").toStdString());
    EXPECT_NE(read(dir.filePath("root.opml")).find("<title>n1</title>"), std::string::npos);
    document->projectForLoading().title = "Plans & <ideas>";
    DocumentExport(*document).exportOPML(dir.filePath("titled.opml").toStdString());
    EXPECT_NE(read(dir.filePath("titled.opml")).find("<title>Plans &#32;&#38;"), std::string::npos - 1);
    EXPECT_EQ(DocumentExport(*document).opmlTitle(), "Plans & <ideas>");

    // An empty map gives an empty file.
    document->projectForLoading().graph = Graph();
    document->projectForLoading().title.clear();
    EXPECT_EQ(DocumentExport(*document).opmlTitle(), "");
    DocumentExport(*document).exportPlainText(dir.filePath("empty.txt").toStdString(), options);
    EXPECT_TRUE(QFileInfo(dir.filePath("empty.txt")).exists());
    EXPECT_EQ(read(dir.filePath("empty.txt")), "");
}

// A map of one-word titles in the theme, each node's style and shape the theme's.
std::unique_ptr<VQDocument> themedMap(const ProjectStyle& theme)
{
    auto map = std::make_unique<VQDocument>();
    map->beginEditingSession("Build");
    const Node plan = map->createRootNode("Plan", {0, 0}, false);
    const std::optional<Node> alpha = map->createChildNode(plan, "Alpha", std::nullopt, true, false);
    map->createChildNode(plan, "Beta", std::nullopt, true, false);
    map->createChildNode(*alpha, "Gamma", std::nullopt, true, false);
    map->applyStyleToDocument(theme, true, true, true);
    map->commitEditingSession();
    return map;
}

TEST_F(DocumentExportTest, KeptTitleColoursStandOutFromWhatIsBehindThemInLibreOffice)
{
    VQ_REQUIRE_TOOL(!QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty(), "LibreOffice");
    VQ_REQUIRE_TOOL(!QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty(), "poppler-utils");
    RichTextExporter::Options keepColors;
    keepColors.keepColors = true;
    // Dark themes draw light titles on dark nodes or on the dark map itself; Patagonia's root and main nodes set
    // their titles off too little, so the map's background is behind those. Omaha is a light theme.
    struct Export {
        const char* name;
        ProjectStyle theme;
    };
    const std::vector<Export> exports{{"dark.rtf", ProjectStyle::dark()}, {"dark.docx", ProjectStyle::dark()},
                                      {"patagonia.rtf", ProjectStyle::patagonia()}, {"cyber.docx", ProjectStyle::cyber()},
                                      {"omaha.rtf", ProjectStyle::omaha()}};
    std::vector<std::string> paths;
    for (const Export& file : exports) {
        paths.push_back(dir.filePath(QString::fromLatin1(file.name)).toStdString());
        DocumentExport(*themedMap(file.theme)).exportRichText(paths.back(), keepColors);
    }
    // A light theme's titles stand out from the page as they are: no shading.
    EXPECT_EQ(read(dir.filePath("omaha.rtf")).find("\\chcbpat"), std::string::npos);

    const std::vector<QByteArray> pdfs = officeConversions(paths, QStringLiteral("pdf"), QStringLiteral("pdf"));
    QDir().mkpath(QStringLiteral(VELQUINE_ARTEFACTS_DIR));
    for (std::size_t i = 0; i < exports.size(); ++i) {
        const QString pdf = dir.filePath(QString::fromLatin1(exports[i].name) + QStringLiteral(".pdf"));
        QFile file(pdf);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(pdfs[i]);
        file.close();
        const QString picture = QStringLiteral(VELQUINE_ARTEFACTS_DIR "/rich-text-") + QString::fromLatin1(exports[i].name)
            + QStringLiteral(".png");
        const std::map<std::string, double> contrasts = pdfWordContrasts(pdf, picture);
        for (const char* title : {"Plan", "Alpha", "Beta", "Gamma"}) {
            ASSERT_TRUE(contrasts.contains(title)) << exports[i].name << " " << title;
            EXPECT_GE(contrasts.at(title), RichTextExporter::minimumContrast) << exports[i].name << " " << title;
        }
    }
}

TEST_F(DocumentExportTest, AFolderThatCannotBeWrittenGivesTheErrorAndLeavesNoFile)
{
    addTree();
    // A plain file where the folder should be: nothing can be made inside it, whoever runs the test.
    QFile blocker(dir.filePath("notAFolder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const std::string target = dir.filePath("notAFolder/map.md").toStdString();
    EXPECT_THROW(DocumentExport(*document).exportMarkdown(target, MarkdownExporter::Options{}), TextError);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::Hidden), QStringList{"notAFolder"});
    EXPECT_EQ(QFileInfo(blocker).size(), 0);
}

TEST_F(DocumentExportTest, TextOutlinesGoToThePasteboard)
{
    addTree();
    Pasteboard board;
    board.setString("old", "some.other.type");
    DocumentExport(*document).exportOPMLToPasteboard(board);
    EXPECT_EQ(board.types(), (std::vector<std::string>{"org.opml.opml", Pasteboard::stringType}));
    ASSERT_TRUE(board.data("org.opml.opml"));
    EXPECT_EQ(board.data("org.opml.opml"), board.data(Pasteboard::stringType));
    EXPECT_NE(board.string(Pasteboard::stringType)->find("<outline text=\"n2\"></outline>"), std::string::npos);

    DocumentExport(*document).exportPlainTextToPasteboard(PlainTextExporter::Options{}, board);
    EXPECT_EQ(board.types(), std::vector<std::string>{Pasteboard::stringType});
    EXPECT_EQ(board.string(Pasteboard::stringType), "n1\n  n2\n  n3\n");
    DocumentExport(*document).exportYamlToPasteboard(board);
    EXPECT_EQ(board.string(Pasteboard::stringType), "n1:\n  - n2\n  - n3\n");
    DocumentExport(*document).exportMarkdownToPasteboard(MarkdownExporter::Options{}, board);
    EXPECT_EQ(board.string(Pasteboard::stringType), "# n1\n\n## n2\n\n## n3\n\n");
    DocumentExport(*document).exportRichTextToPasteboard(RichTextExporter::Options{}, board);
    EXPECT_EQ(board.types(), std::vector<std::string>{Pasteboard::rtfType});
    EXPECT_EQ(board.string(Pasteboard::rtfType)->rfind("{\\rtf1", 0), 0u);

    RefusingPasteboard refusing(Pasteboard::stringType);
    try {
        DocumentExport(*document).exportYamlToPasteboard(refusing);
        ADD_FAILURE() << "a refused write must fail";
    } catch (const TextError& error) {
        EXPECT_TRUE(endsWithMessage(error, "exportYamlToPasteboard()", "Error writing to clipboard")) << error.what();
    }
}

TEST_F(DocumentExportTest, ImagesAreUprightAndSizedToTheMapWithAMargin)
{
    addTree();
    EXPECT_EQ(DocumentExport::renderRect(document->project().graph), Rect(-5, 12.5, 130, 65));
    const Image image = DocumentExport(*document).renderImage(GraphRenderOptions{});
    ASSERT_EQ(renderer->calls.size(), 1u);
    EXPECT_EQ(renderer->calls[0], Rect(-5, 12.5, 130, 65));
    EXPECT_EQ(image.pixelsWide(), 130);
    EXPECT_EQ(image.pixelsHigh(), 65);
    const QImage bitmap = image.bitmap();
    // The root is at the top of the map, so at the top of the picture: map (60, 30) is pixel (65, 17.5).
    EXPECT_EQ(QColor(bitmap.pixel(65, 18)), QColor(Qt::red));
    EXPECT_EQ(QColor(bitmap.pixel(65, 5)), QColor(Qt::white));
    // The children sit below it: map (30, 60) is pixel (35, 47.5); between them is background.
    EXPECT_EQ(QColor(bitmap.pixel(35, 47)), QColor(Qt::red));
    EXPECT_EQ(QColor(bitmap.pixel(65, 47)), QColor(Qt::white));

    const Image clear = DocumentExport(*document).renderImage(GraphRenderOptions{true, true, {}});
    EXPECT_EQ(qAlpha(clear.bitmap().pixel(65, 5)), 0);

    Pasteboard board;
    DocumentExport(*document).exportImageToPasteboard(GraphRenderOptions{}, board);
    EXPECT_EQ(board.types(), std::vector<std::string>{Pasteboard::pngType});
    const std::optional<Image> pasted = Image::fromData(*board.data(Pasteboard::pngType));
    ASSERT_TRUE(pasted);
    EXPECT_EQ(pasted->bitmap().size(), QSize(130, 65));
}

TEST_F(DocumentExportTest, PdfPageIsTheRenderAreaAndHoldsTheText)
{
    addTree();
    const auto pdfInfo = [&] {
        const Bytes pdf = DocumentExport(*document).renderPDF(GraphRenderOptions{});
        QFile file(dir.filePath("map.pdf"));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(reinterpret_cast<const char*>(pdf.data()), static_cast<qint64>(pdf.size()));
        file.close();
        return toolOutput("pdfinfo", {file.fileName()});
    };
    // A map without a title of its own is titled after its first root.
    EXPECT_EQ(pdfInfoField(pdfInfo(), "Title"), "n1");
    document->projectForLoading().title = "Tree";
    const std::string info = pdfInfo();
    const QString pdfPath = dir.filePath("map.pdf");
    EXPECT_EQ(pdfInfoField(info, "Pages"), "1") << info;
    EXPECT_EQ(pdfInfoField(info, "Page size"), "130 x 65 pts") << info;
    EXPECT_EQ(pdfInfoField(info, "Title"), "Tree") << info;
    const std::string text = toolOutput("pdftotext", {pdfPath, "-"});
    for (const char* title : {"n1", "n2", "n3"})
        EXPECT_NE(text.find(title), std::string::npos) << text;

    Pasteboard board;
    DocumentExport(*document).exportPDFToPasteboard(GraphRenderOptions{}, board);
    EXPECT_EQ(board.types(), std::vector<std::string>{Pasteboard::pdfType});
    EXPECT_EQ(board.data(Pasteboard::pdfType)->size() > 100, true);
}

TEST_F(DocumentExportTest, HugeAndEmptyMapsAreRefusedBeforeDrawing)
{
    // 20,000 points apart: 26,000 × 26,000 pixels, far over the limit.
    Node a = makeNode(1, std::nullopt, {}, {0, 0});
    Node b = makeNode(2, std::nullopt, {}, {20000, 20000});
    a.size = b.size = Size{0.01, 0.01};
    document->projectForLoading().graph.updateNodes({a, b});
    Pasteboard board;
    board.setString("kept", Pasteboard::stringType);
    try {
        DocumentExport(*document).exportImageToPasteboard(GraphRenderOptions{}, board);
        ADD_FAILURE() << "a huge image must be refused";
    } catch (const TextError& error) {
        EXPECT_NE(std::string(error.what()).find("26001 × 26001 pixels, more than the 200 million"), std::string::npos)
            << error.what();
    }
    EXPECT_TRUE(renderer->calls.empty());
    EXPECT_EQ(board.string(Pasteboard::stringType), "kept");

    // A PDF scales its page down to the format's limit instead.
    QFile file(dir.filePath("huge.pdf"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    const Bytes pdf = DocumentExport(*document).renderPDF(GraphRenderOptions{});
    file.write(reinterpret_cast<const char*>(pdf.data()), static_cast<qint64>(pdf.size()));
    file.close();
    EXPECT_EQ(pdfInfoField(toolOutput("pdfinfo", {file.fileName()}), "Page size"), "14400 x 14400 pts");

    document->projectForLoading().graph = Graph();
    EXPECT_THROW(DocumentExport(*document).renderImage(GraphRenderOptions{}), TextError);
    EXPECT_THROW(DocumentExport(*document).renderPDF(GraphRenderOptions{}), TextError);
    EXPECT_THROW(DocumentExport(*document).exportPDFToPasteboard(GraphRenderOptions{}, board), TextError);
    EXPECT_EQ(board.string(Pasteboard::stringType), "kept");

    addTree();
    GraphRenderer::install(nullptr);
    EXPECT_THROW(DocumentExport(*document).renderImage(GraphRenderOptions{}), TextError);
}
