// The PNG and PDF formats of the export window, drawn by the program's canvas renderer: the written files
// read with Qt's image reader, `file`, pdfinfo, pdftotext and pdftoppm; the clipboard; maps too large to
// draw; colour emoji.

#include "support/ExternalTools.h"
#include "support/QtWait.h"

#include <gtest/gtest.h>

#include <QImageReader>

#include <cstdio>

#include "canvas/CanvasRenderer.h"
#include "document/VQDocumentPasteboard.h"
#include "editor/MindMapEditorWindowController.h"
#include "exportui/ImageExporterModuleViewController.h"
#include "exportui/PDFExporterModuleViewController.h"
#include "kit/WindowActions.h"
#include "model/project/FactorySettings.h"
#include "platform/RunLoop.h"
#include "ExportWindowSupport.h"

using namespace velquine;
using namespace velquine::test;
using velquine::testing::pdfInfoField;
using velquine::testing::toolOutput;

namespace {

Node box(std::int64_t uid, std::optional<std::int64_t> parent, const char* title, Point center, Size size, Color fill)
{
    NodeStyle style;
    style.fillColor = fill;
    style.font = Font::systemFont(12);
    Node node(uid, parent, style);
    node.title = title;
    node.shape = NodeShape::rect;
    node.center = center;
    node.size = size;
    return node;
}

bool isRed(QRgb pixel)
{
    return qRed(pixel) > 200 && qGreen(pixel) < 80 && qBlue(pixel) < 80 && qAlpha(pixel) == 255;
}

bool isGreen(QRgb pixel)
{
    return qGreen(pixel) > 200 && qRed(pixel) < 80 && qBlue(pixel) < 80;
}

// Width and height of pdfinfo's "Page size: W x H pts".
QSizeF pageSize(const std::string& info)
{
    double width = 0;
    double height = 0;
    std::sscanf(pdfInfoField(info, "Page size").c_str(), "%lf x %lf", &width, &height);
    return {width, height};
}

class ExportRenderingTest : public ExportWindowFixture {
protected:
    void SetUp() override
    {
        ExportWindowFixture::SetUp();
        previous = GraphRenderer::installed();
        CanvasRenderer::install();
        // A wide red "Top" above a narrow green "Bottom": 300 × 300 points of map from (50, 20), drawn with a
        // margin of 45 points on every side, so map (x, y) is pixel (x − 5, y + 25) of a 390 × 390 picture.
        Node top = box(1, std::nullopt, "Top", {200, 50}, {300, 60}, Color::red());
        top.childrenUIDs = {2};
        document->projectForLoading().graph = Graph();
        document->projectForLoading().graph.updateNodes(
            {top, box(2, 1, "Bottom", {200, 300}, {80, 40}, Color::green())});
    }
    void TearDown() override { GraphRenderer::install(previous); }

    // Exports with the module of the toolbar item into the file, through the save panel.
    void exportTo(const char* item, const QString& name)
    {
        ExportWindowController* window = open();
        choose(window, item);
        answerSavePanel(path(name));
        QTest::mouseClick(window->exportToFileButton, Qt::LeftButton);
        EXPECT_EVENTUALLY(!window->isVisible());
        EXPECT_EQ(window->result(), 1);
    }

    std::shared_ptr<const GraphRenderer> previous;
};

} // namespace

TEST_F(ExportRenderingTest, PngFilesAreUprightPicturesOfTheMapWithItsMargin)
{
    exportTo("imageToolbarItem", "map");
    QImageReader reader(path("map.png"));
    EXPECT_EQ(reader.format(), "png");
    EXPECT_EQ(reader.size(), QSize(390, 390));
    const QImage picture = reader.read();
    ASSERT_FALSE(picture.isNull()) << reader.errorString().toStdString();
    picture.save(QStringLiteral(VELQUINE_ARTEFACTS_DIR "/export-rendered-map.png"));
    EXPECT_NE(toolOutput("file", {path("map.png")}).find("PNG image data, 390 x 390"), std::string::npos);
    // The top node is at the top of the picture, the bottom one below it; between them the background.
    EXPECT_TRUE(isRed(picture.pixel(65, 65))) << std::hex << picture.pixel(65, 65);
    EXPECT_TRUE(isGreen(picture.pixel(163, 310))) << std::hex << picture.pixel(163, 310);
    EXPECT_FALSE(isRed(picture.pixel(65, 325)) || isGreen(picture.pixel(65, 325)));
    EXPECT_EQ(qAlpha(picture.pixel(65, 325)), 255);
    EXPECT_EQ(qAlpha(picture.pixel(2, 2)), 255);

    // Without the background the corners are clear; the switch is kept for the next time.
    ExportWindowController* window = open();
    ImageExporterModuleViewController* module = window->imageModule;
    clickSwitch(module->transparentBackgroundSwitch);
    answerSavePanel(path("clear.png"));
    QTest::mouseClick(window->exportToFileButton, Qt::LeftButton);
    EXPECT_EVENTUALLY(!window->isVisible());
    const QImage clear(path("clear.png"));
    EXPECT_EQ(qAlpha(clear.pixel(2, 2)), 0);
    EXPECT_EQ(qAlpha(clear.pixel(65, 325)), 0);
    EXPECT_TRUE(isRed(clear.pixel(65, 65)));
    EXPECT_TRUE(settings.defaults().boolForKey("ImageExporterModuleViewController.transparentBackground"));

    // The clipboard gets the same picture as PNG.
    settings.defaults().set(ExportWindowController::copySuccessAlertSuppressionKey, true);
    open();
    QTest::mouseClick(window->exportToPasteboardButton, Qt::LeftButton);
    const std::optional<Bytes> png = Pasteboard::general().data(Pasteboard::pngType);
    ASSERT_TRUE(png);
    const std::optional<Image> pasted = Image::fromData(*png);
    ASSERT_TRUE(pasted);
    EXPECT_EQ(pasted->bitmap().size(), QSize(390, 390));
}

TEST_F(ExportRenderingTest, PdfFilesHoldOnePageOfTheMapWithItsText)
{
    exportTo("pdfToolbarItem", "map");
    const std::string info = toolOutput("pdfinfo", {path("map.pdf")});
    EXPECT_EQ(pdfInfoField(info, "Pages"), "1") << info;
    EXPECT_EQ(pdfInfoField(info, "Page size"), "390 x 390 pts") << info;
    // Read top to bottom, the page has "Top" before "Bottom".
    const std::string text = toolOutput("pdftotext", {"-layout", path("map.pdf"), "-"});
    ASSERT_NE(text.find("Top"), std::string::npos) << text;
    ASSERT_NE(text.find("Bottom"), std::string::npos) << text;
    EXPECT_LT(text.find("Top"), text.find("Bottom")) << text;

    settings.defaults().set(ExportWindowController::copySuccessAlertSuppressionKey, true);
    ExportWindowController* window = open();
    QTest::mouseClick(window->exportToPasteboardButton, Qt::LeftButton);
    const std::optional<Bytes> pdf = Pasteboard::general().data(Pasteboard::pdfType);
    ASSERT_TRUE(pdf);
    EXPECT_EQ(std::string(pdf->begin(), pdf->begin() + 5), "%PDF-");
}

TEST_F(ExportRenderingTest, MapsTooLargeForAPictureAreRefusedAndShrunkOntoAPdfPage)
{
    document->projectForLoading().graph.updateNodes({box(3, std::nullopt, "Far", {40000, 30000}, {100, 40}, Color::red())});
    ExportWindowController* window = open();
    choose(window, "imageToolbarItem");
    answerSavePanel(path("huge.png"));
    AlertSeen seen;
    answerAlert(&seen, false, QStringLiteral("export-too-large"));
    QTest::mouseClick(window->exportToFileButton, Qt::LeftButton);
    EXPECT_EVENTUALLY(!seen.text.isEmpty());
    EXPECT_EQ(seen.text, "Can not export file");
    EXPECT_NE(seen.informative.indexOf("more than the 200 million pixels"), -1) << seen.informative.toStdString();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());

    // Copying it fails the same way and leaves the clipboard as it was.
    Pasteboard::general().declareTypes({Pasteboard::stringType});
    Pasteboard::general().setString("kept", Pasteboard::stringType);
    AlertSeen copyFailed;
    answerAlert(&copyFailed);
    QTest::mouseClick(window->exportToPasteboardButton, Qt::LeftButton);
    EXPECT_EVENTUALLY(!copyFailed.text.isEmpty());
    EXPECT_EQ(copyFailed.text, "Can not export to clipboard");
    EXPECT_EQ(Pasteboard::general().string(Pasteboard::stringType), "kept");
    EXPECT_FALSE(Pasteboard::general().data(Pasteboard::pngType));
    window->reject();

    // A PDF page has room for it, scaled down to the largest page the format allows.
    exportTo("pdfToolbarItem", "huge.pdf");
    const std::string info = toolOutput("pdfinfo", {path("huge.pdf")});
    const QSizeF page = pageSize(info);
    EXPECT_EQ(page.width(), 14400) << info;
    EXPECT_GT(page.height(), 10000) << info;
    EXPECT_LE(page.height(), 14400) << info;
    EXPECT_NE(toolOutput("pdftotext", {path("huge.pdf"), "-"}).find("Far"), std::string::npos);
}

TEST_F(ExportRenderingTest, TheEditorsExportCommandOpensTheWindowOnItsMap)
{
    registerFactoryDefaults();
    MindMapEditorWindowController::setExportWindowOpener(&showExportWindow);
    MindMapEditorWindowController editorWindow(document, QStringLiteral("Untitled"));
    editorWindow.setAttribute(Qt::WA_DeleteOnClose, false);
    editorWindow.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editorWindow));
    answerSavePanel(path("from-editor.png"));
    EXPECT_TRUE(editorWindow.windowActions()->dispatcher().sendAction("showExportWindow:"));
    auto* window = editorWindow.findChild<ExportWindowController*>();
    ASSERT_TRUE(window && QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(window->doc(), document);
    choose(window, "imageToolbarItem");
    QTest::mouseClick(window->exportToFileButton, Qt::LeftButton);
    EXPECT_EVENTUALLY(!window->isVisible());
    EXPECT_EQ(QImageReader(path("from-editor.png")).size(), QSize(390, 390));
    MindMapEditorWindowController::setExportWindowOpener({});
}

TEST_F(ExportRenderingTest, EmojiInTitlesAreDrawnInPngAndPdfFilesAsOnTheCanvas)
{
    // "Tram 28" and a red car from the colour emoji font, in black on white: the car's are the only red pixels.
    Node tram = box(1, std::nullopt, "Tram 28 \xf0\x9f\x9a\x97", {200, 50}, {300, 80}, Color::white());
    tram.style.font = Font::systemFont(36);
    tram.style.textColor = Color::black();
    document->projectForLoading().graph = Graph();
    document->projectForLoading().graph.updateNodes({tram});
    const auto redPixels = [](const QImage& picture) {
        int count = 0;
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                count += isRed(picture.pixel(x, y)) ? 1 : 0;
        return count;
    };
    // The canvas draws the car: the picture the editor window shows of the map.
    MindMapEditorWindowController editor(document, QStringLiteral("Tram"));
    editor.setAttribute(Qt::WA_DeleteOnClose, false);
    editor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&editor));
    RunLoop::drain();
    const QImage canvas = editor.grab().toImage();
    editor.close();
    EXPECT_GT(redPixels(canvas), 100);

    exportTo("imageToolbarItem", "tram");
    const QImage png(path("tram.png"));
    ASSERT_FALSE(png.isNull());
    png.save(QStringLiteral(VELQUINE_ARTEFACTS_DIR "/export-emoji.png"));
    EXPECT_GT(redPixels(png), 100);

    exportTo("pdfToolbarItem", "tram");
    const std::string rendered = toolOutput("pdftoppm", {"-png", "-r", "72", "-singlefile", path("tram.pdf")});
    const QImage pdf = QImage::fromData(QByteArray::fromStdString(rendered), "PNG");
    ASSERT_FALSE(pdf.isNull());
    pdf.save(QStringLiteral(VELQUINE_ARTEFACTS_DIR "/export-emoji-pdf.png"));
    EXPECT_GT(redPixels(pdf), 100);
    // The title's text stays text.
    EXPECT_NE(toolOutput("pdftotext", {path("tram.pdf"), "-"}).find("Tram 28"), std::string::npos);
}
