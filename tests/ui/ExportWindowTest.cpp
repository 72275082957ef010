// The export window in a real window: choosing formats, the save panel, files opened with the standard
// tools of their formats, the clipboard and the alerts.

#include "support/ExternalTools.h"
#include "support/QtWait.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>

#include "document/VQDocumentPasteboard.h"
#include "exchange/OPMLImporter.h"
#include "platform/Settings.h"
#include "exportui/ExportWindowController.h"
#include "exportui/ImageExporterModuleViewController.h"
#include "exportui/PDFExporterModuleViewController.h"
#include "exportui/PlainTextExporterModuleViewController.h"
#include "exportui/RichTextExporterModuleViewController.h"
#include "ExportWindowSupport.h"

using namespace velquine;
using namespace velquine::test;

namespace {

class ExportWindowTest : public ExportWindowFixture {};

} // namespace

TEST_F(ExportWindowTest, OpensOnTheStoredFormatAndStoresEveryChoiceAtOnce)
{
    settings.defaults().set(ExportWindowController::lastShownModuleIndexKey, std::int64_t(7));
    ExportWindowController* window = open();
    EXPECT_EQ(window->currentModule(), window->plainTextModule);
    EXPECT_TRUE(window->exportToPasteboardButton->isEnabled());
    test::saveScreenshot(window, QStringLiteral("export-plain-text"));

    choose(window, "pdfToolbarItem");
    EXPECT_EQ(window->currentModule(), window->pdfModule);
    EXPECT_EQ(settings.defaults().integerForKey(ExportWindowController::lastShownModuleIndexKey), 5);
    EXPECT_EQ(window->pdfModule->document(), document);
    EXPECT_EQ(window->plainTextModule->document(), nullptr);
    QTest::mouseClick(window->cancelButton, Qt::LeftButton);
    EXPECT_EQ(window->result(), 0);
    EXPECT_FALSE(window->isVisible());
    // The window is kept with the editor window and opens again where it was.
    EXPECT_EQ(open(), window);
    EXPECT_EQ(window->currentModule(), window->pdfModule);
    window->reject();
}

TEST_F(ExportWindowTest, PlainTextGoesToTheChosenFileWithTheOptionsOfTheControls)
{
    document->setFileURL(path("a.b.velquine").toStdString());
    settings.defaults().set("PlainTextExporterModuleViewController.indentMode", std::int64_t(9));
    ExportWindowController* window = open();
    PlainTextExporterModuleViewController* module = window->plainTextModule;
    EXPECT_EQ(module->indentPopUp->currentText(), "2 Spaces");
    module->indentPopUp->setCurrentText("Tab");
    clickSwitch(module->colonSwitch);

    // Dismissing the save panel leaves the window open on the same format.
    // The panel starts beside the map.
    QString proposed, folder;
    answerSavePanel(QString(), &proposed, &folder);
    QTest::mouseClick(window->exportToFileButton, Qt::LeftButton);
    EXPECT_EQ(proposed, "a.b");
    EXPECT_EQ(folder, QFileInfo(path("a.b.velquine")).absolutePath());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->currentModule(), module);

    answerSavePanel(path("outline"));
    QTest::mouseClick(window->exportToFileButton, Qt::LeftButton);
    EXPECT_EVENTUALLY(!window->isVisible());
    EXPECT_EQ(window->result(), 1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"outline.txt"});
    EXPECT_EQ(read("outline.txt"), "Plan:\n\tÜnïcödé A:\n\t\tA1\n\tB\n");
    EXPECT_TRUE(settings.defaults().boolForKey("PlainTextExporterModuleViewController.appendColon"));
    EXPECT_EQ(settings.defaults().integerForKey("PlainTextExporterModuleViewController.indentMode"), 1);
}

TEST_F(ExportWindowTest, TheSavePanelAlwaysGivesAnAllowedExtension)
{
    ExportWindowController* window = open();
    choose(window, "markdownToolbarItem");
    answerSavePanel(path("notes.txt"));
    QTest::mouseClick(window->exportToFileButton, Qt::LeftButton);
    EXPECT_EQ(read("notes.txt.md"), "# Plan\n\n## Ünïcödé A\n\n### A1\n\n## B\n\n");
    EXPECT_FALSE(QFile::exists(path("notes.txt")));

    open();
    answerSavePanel(path("NOTES.MARKDOWN"));
    QTest::mouseClick(window->exportToFileButton, Qt::LeftButton);
    EXPECT_EQ(read("NOTES.MARKDOWN"), "# Plan\n\n## Ünïcödé A\n\n### A1\n\n## B\n\n");

    EXPECT_EQ(ExportSavePanel::withAllowedExtension("/x/map.YML", {"yml", "yaml"}), "/x/map.YML");
    EXPECT_EQ(ExportSavePanel::withAllowedExtension("/x/map", {"yml", "yaml"}), "/x/map.yml");
}

TEST_F(ExportWindowTest, RichTextFilesReadBackWithTheirListLevelsInLibreOffice)
{
    ExportWindowController* window = open();
    choose(window, "richTextToolbarItem");
    RichTextExporterModuleViewController* module = window->richTextModule;
    EXPECT_EQ(module->formatPopUp->currentText(), RichTextExporterModuleViewController::wordFormatTitle);
    EXPECT_TRUE(module->colorSwitch->isChecked());
    answerSavePanel(path("outline"));
    QTest::mouseClick(window->exportToFileButton, Qt::LeftButton);

    open();
    module->formatPopUp->setCurrentText(RichTextExporterModuleViewController::rtfFormatTitle);
    emit module->formatPopUp->activated(module->formatPopUp->currentIndex());
    EXPECT_EQ(settings.defaults().stringForKey("RichTextExporterModuleViewController.exportFormat"),
              RichTextExporterModuleViewController::rtfFormatTitle);
    // A name asking for Word still gets RTF, the format the popup shows.
    answerSavePanel(path("outline.docx"));
    QTest::mouseClick(window->exportToFileButton, Qt::LeftButton);

    const std::vector<std::string> texts =
        velquine::testing::officeTexts({path("outline.docx").toStdString(), path("outline.docx.rtf").toStdString()});
    for (const std::string& text : texts)
        EXPECT_EQ(velquine::testing::officeOutline(text), "Plan\n  Ünïcödé A\n    A1\n  B\n") << text;
}

TEST_F(ExportWindowTest, AFailedExportShowsTheErrorAndLeavesTheWindowOpen)
{
    QFile blocker(path("notAFolder"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ExportWindowController* window = open();
    choose(window, "opmlToolbarItem");
    AlertSeen seen;
    answerSavePanel(path("notAFolder/map.opml"));
    answerAlert(&seen, false, QStringLiteral("export-error"));
    QTest::mouseClick(window->exportToFileButton, Qt::LeftButton);
    EXPECT_EVENTUALLY(!seen.text.isEmpty());
    EXPECT_EQ(seen.text, "Can not export file");
    EXPECT_TRUE(seen.informative.contains("notAFolder/map.opml")) << seen.informative.toStdString();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(QFileInfo(blocker).size(), 0);

    // An empty map has nothing to draw: a clear error, no file.
    document->projectForLoading().graph = Graph();
    choose(window, "imageToolbarItem");
    answerSavePanel(path("empty.png"));
    AlertSeen empty;
    answerAlert(&empty);
    QTest::mouseClick(window->exportToFileButton, Qt::LeftButton);
    EXPECT_EVENTUALLY(!empty.text.isEmpty());
    EXPECT_TRUE(empty.informative.contains("no nodes")) << empty.informative.toStdString();
    EXPECT_FALSE(QFile::exists(path("empty.png")));
    window->reject();
}

TEST_F(ExportWindowTest, CopyingTellsOnceUntilTheUserSaysEnough)
{
    ExportWindowController* window = open();
    choose(window, "yamlToolbarItem");
    AlertSeen seen;
    answerAlert(&seen, true, QStringLiteral("export-copied"));
    QTest::mouseClick(window->exportToPasteboardButton, Qt::LeftButton);
    EXPECT_EVENTUALLY(!window->isVisible());
    // The alert names the clipboard, as the button beside it does.
    EXPECT_EQ(window->exportToPasteboardButton->text().remove(u'&'), QStringLiteral("Copy to Clipboard"));
    EXPECT_EQ(seen.text, "Contents copied to clipboard");
    EXPECT_EQ(seen.informative, "The contents have been copied to the clipboard as YAML Document. You can paste the "
                                "contents into any app that supports YAML Document.");
    EXPECT_TRUE(seen.hadCheckBox);
    EXPECT_TRUE(settings.defaults().boolForKey(ExportWindowController::copySuccessAlertSuppressionKey));
    EXPECT_EQ(Pasteboard::general().string(Pasteboard::stringType), "Plan:\n  - Ünïcödé A:\n    - A1\n  - B\n");

    // The second copy closes the window at once.
    open();
    choose(window, "plainTextToolbarItem");
    QTest::mouseClick(window->exportToPasteboardButton, Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), 1);
    EXPECT_EQ(Pasteboard::general().string(Pasteboard::stringType), "Plan\n  Ünïcödé A\n    A1\n  B\n");
}

TEST_F(ExportWindowTest, TheRenderingSwitchesKeepEachOtherApart)
{
    settings.defaults().set("PDFExporterModuleViewController.transparentBackground", true);
    settings.defaults().set("PDFExporterModuleViewController.renderGrid", true);
    ExportWindowController* window = open();
    choose(window, "pdfToolbarItem");
    PDFExporterModuleViewController* pdf = window->pdfModule;
    EXPECT_TRUE(pdf->transparentBackgroundSwitch->isChecked());
    EXPECT_FALSE(pdf->renderGridSwitch->isChecked());
    EXPECT_FALSE(pdf->renderGridSwitch->isEnabled());
    test::saveScreenshot(window, QStringLiteral("export-pdf"));
    setUserInterfaceStyle(UserInterfaceStyle::dark);
    EXPECT_LT(window->palette().color(QPalette::Window).lightness(), 80);
    test::saveScreenshot(window, QStringLiteral("export-pdf-dark"));
    setUserInterfaceStyle(UserInterfaceStyle::light);

    choose(window, "imageToolbarItem");
    ImageExporterModuleViewController* image = window->imageModule;
    EXPECT_TRUE(image->transparentBackgroundSwitch->isEnabled() && image->renderGridSwitch->isEnabled());
    clickSwitch(image->renderGridSwitch);
    EXPECT_FALSE(image->transparentBackgroundSwitch->isEnabled());
    EXPECT_TRUE(settings.defaults().boolForKey("ImageExporterModuleViewController.renderGrid"));
    clickSwitch(image->renderGridSwitch);
    EXPECT_TRUE(image->transparentBackgroundSwitch->isEnabled());
    EXPECT_FALSE(settings.defaults().boolForKey("ImageExporterModuleViewController.renderGrid"));
    window->reject();
}

TEST_F(ExportWindowTest, TextFilesReadBackWithTheirParsersAndAnEmptyMapGivesAnEmptyFile)
{
    auto exportFile = [this](const char* item, const QString& name) {
        ExportWindowController* window = open();
        choose(window, item);
        answerSavePanel(path(name));
        QTest::mouseClick(window->exportToFileButton, Qt::LeftButton);
        EXPECT_EVENTUALLY(!window->isVisible());
    };
    exportFile("yamlToolbarItem", "map.yaml");
    EXPECT_EQ(velquine::testing::toolOutput(
                  "python3", {"-c", "import sys, json, yaml; print(json.dumps(yaml.safe_load(open(sys.argv[1], encoding='utf-8')), "
                                    "ensure_ascii=False))",
                              path("map.yaml")}),
              "{\"Plan\": [{\"Ünïcödé A\": [\"A1\"]}, \"B\"]}\n");

    exportFile("opmlToolbarItem", "map");
    OPMLImporter importer;
    importer.parseFile(path("map.opml").toStdString());
    EXPECT_EQ(importer.documentTitle, "Plan");
    std::vector<std::string> titles;
    for (const auto& [uid, node] : importer.graph.nodeBin())
        titles.push_back(node.title);
    EXPECT_EQ(titles, (std::vector<std::string>{"Plan", "Ünïcödé A", "A1", "B"}));

    document->projectForLoading().graph = Graph();
    exportFile("plainTextToolbarItem", "empty.txt");
    EXPECT_TRUE(QFile::exists(path("empty.txt")));
    EXPECT_EQ(read("empty.txt"), "");
}

TEST_F(ExportWindowTest, EveryTextFormatReachesTheClipboardUnderItsTypes)
{
    settings.defaults().set(ExportWindowController::copySuccessAlertSuppressionKey, true);
    auto copy = [this](const char* item) {
        ExportWindowController* window = open();
        choose(window, item);
        QTest::mouseClick(window->exportToPasteboardButton, Qt::LeftButton);
        EXPECT_FALSE(window->isVisible()) << item;
    };
    Pasteboard& board = Pasteboard::general();
    copy("markdownToolbarItem");
    EXPECT_EQ(board.string(Pasteboard::stringType), "# Plan\n\n## Ünïcödé A\n\n### A1\n\n## B\n\n");

    // Rich text is RTF whatever the format popup says; the titles are written as Unicode escapes.
    copy("richTextToolbarItem");
    const std::optional<std::string> rtf = board.string(Pasteboard::rtfType);
    ASSERT_TRUE(rtf);
    EXPECT_EQ(rtf->rfind("{\\rtf1", 0), 0u) << *rtf;
    for (const char* piece : {"Plan", "\\u220", "A1", "B"})
        EXPECT_NE(rtf->find(piece), std::string::npos) << piece << " in " << *rtf;

    copy("opmlToolbarItem");
    const std::string& opmlType = VQDocumentPasteboard::pasteboardType(VQDocumentPasteboard::Type::opml);
    const std::optional<std::string> opml = board.string(opmlType);
    ASSERT_TRUE(opml);
    EXPECT_EQ(opml->rfind("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"1.0\">", 0), 0u) << *opml;
    EXPECT_EQ(board.string(Pasteboard::stringType), opml);
}
