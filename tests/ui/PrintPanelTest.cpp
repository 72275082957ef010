// Printing from the File menu's command: the paper chosen in the print panel, the whole map on one landscape
// page through a real QPrinter into a PDF file, read back with the standard PDF tools.
#include <gtest/gtest.h>

#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "app/DocumentWindows.h"
#include "canvas/CanvasRenderer.h"
#include "document/VQDocument.h"
#include "layout/VQProjectEdits.h"

namespace velquine::test {
namespace {

QString toolOutput(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A print panel where the user picks Letter paper and prints to a PDF file.
class PrintToFile : public DocumentDialogs {
public:
    explicit PrintToFile(QString path) : path_(std::move(path)) {}
    bool runPrintPanel(QWidget*, QPrinter& printer) override
    {
        shownLandscape = printer.pageLayout().orientation() == QPageLayout::Landscape;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path_);
        printer.setPageSize(QPageSize(QPageSize::Letter));
        return true;
    }
    void showPrintError(QWidget*, const QString&) override { ++errors; }
    bool shownLandscape = false;
    int errors = 0;

private:
    QString path_;
};

TEST(Printing, ThePrintCommandPutsTheWholeMapOnOneLandscapePageOfTheChosenPaper)
{
    CanvasRenderer::install();
    auto document = std::make_shared<VQDocument>();
    const Node root = insertRootNode(document->projectForLoading(), "Printed root", {0, 0});
    for (int i = 0; i < 5; ++i)
        insertChildNode(document->projectForLoading(), *document->project().graph.node(root.uid),
                        "Child " + std::to_string(i), {300, -200.0 + 100 * i});
    insertRootNode(document->projectForLoading(), "Far away", {4000, 2500});

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("printed.pdf"));
    DocumentWindows windows;
    auto dialogs = std::make_unique<PrintToFile>(path);
    PrintToFile& panel = *dialogs;
    windows.setDialogs(std::move(dialogs));
    windows.printDocument(*document);
    EXPECT_TRUE(panel.shownLandscape);
    EXPECT_EQ(panel.errors, 0);
    EXPECT_EQ(document->printInfo.pageSize().id(), QPageSize::Letter);

    const QString info = toolOutput(QStringLiteral("pdfinfo"), {path});
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n")))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+792 x 612 pts")))) << info.toStdString();
    const QString text = toolOutput(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    for (const char* title : {"Printed root", "Child 0", "Child 4", "Far away"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(title))) << title << "\n" << text.toStdString();
}

} // namespace
} // namespace velquine::test
