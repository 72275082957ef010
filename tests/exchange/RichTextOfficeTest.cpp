// The rich-text files as LibreOffice reads them: the same outline, list levels and characters from the
// RTF and the Word file of one map.

#include "exchange/RichTextExporter.h"

#include "MapTestSupport.h"
#include "support/ExternalTools.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace velquine;
using namespace velquine::testing;

TEST(RichTextOffice, RtfAndWordFilesGiveEveryParagraphItsOwnLevel)
{
    Graph graph = planGraph();
    // The last paragraph of the document is the deepest one, where a reader is most likely to lose it.
    graph.updateNodes({makeNode(4, 1, "B", {5}), makeNode(5, 4, "Ünïcödé — „quotes“ ✓", {6}),
                       makeNode(6, 5, "{braces} \\ & <tags>")});
    QTemporaryDir dir;
    const std::string rtf = dir.filePath("outline.rtf").toStdString();
    const std::string docx = dir.filePath("outline.docx").toStdString();
    RichTextExporter(graph).exportTo(rtf);
    RichTextExporter(graph).exportTo(docx);

    const std::vector<std::string> texts = officeTexts({rtf, docx});
    const std::string expected = "Plan\n"
                                 "  A\n"
                                 "    A1\n"
                                 "  B\n"
                                 "    Ünïcödé — „quotes“ ✓\n"
                                 "      {braces} \\ & <tags>\n";
    EXPECT_EQ(officeOutline(texts[0]), expected) << texts[0];
    EXPECT_EQ(officeOutline(texts[1]), expected) << texts[1];
}

// A dark map in LibreOffice: the text of each level starts a step further in than that of the level outside
// it, and every bullet stands out from the page as a title must.
TEST(RichTextOffice, EachLevelHasItsOwnIndentAndTheBulletsOfADarkMapRead)
{
    VQ_REQUIRE_TOOL(!QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty(), "poppler-utils");
    const std::vector<std::string> titles{"Plan", "Alpha", "Gamma", "Delta"};
    Graph graph;
    for (std::int64_t uid = 1; uid <= 4; ++uid) {
        Node node = makeNode(uid, uid > 1 ? std::optional<std::int64_t>(uid - 1) : std::nullopt, titles[uid - 1],
                             uid < 4 ? std::vector<std::int64_t>{uid + 1} : std::vector<std::int64_t>{});
        node.style.textColor = Color::deviceRGB(0.95, 0.95, 0.95);
        node.style.fillColor = Color::deviceRGB(0.1, 0.15, 0.3);
        graph.updateNodes({node});
    }
    QTemporaryDir dir;
    const std::vector<std::string> paths{dir.filePath("dark.rtf").toStdString(), dir.filePath("dark.docx").toStdString()};
    for (const std::string& path : paths)
        RichTextExporter(graph, Color::deviceRGB(0.12, 0.12, 0.12)).exportTo(path);

    const std::vector<QByteArray> pdfs = officeConversions(paths, QStringLiteral("pdf"), QStringLiteral("pdf"));
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const QString name = QFileInfo(QString::fromStdString(paths[i])).fileName();
        QFile pdf(dir.filePath(name + QStringLiteral(".pdf")));
        ASSERT_TRUE(pdf.open(QIODevice::WriteOnly));
        pdf.write(pdfs[i]);
        pdf.close();
        QDir().mkpath(QStringLiteral(VELQUINE_ARTEFACTS_DIR));
        const std::vector<PdfWord> words =
            pdfWords(pdf.fileName(), QStringLiteral(VELQUINE_ARTEFACTS_DIR "/rich-text-levels-") + name + QStringLiteral(".png"));
        std::vector<double> starts;
        int bullets = 0;
        for (std::size_t w = 0; w + 1 < words.size(); ++w) {
            if (words[w].text != RichTextDocument::listMarker)
                continue;
            // A bullet before each title, as readable as the title and of its size.
            ++bullets;
            const PdfWord& title = words[w + 1];
            EXPECT_NE(std::find(titles.begin(), titles.end(), title.text), titles.end()) << title.text;
            starts.push_back(title.box.left());
            EXPECT_GE(words[w].contrast, RichTextExporter::minimumContrast) << name.toStdString();
            EXPECT_GE(words[w].box.height(), 0.9 * title.box.height()) << name.toStdString() << " " << title.text;
        }
        EXPECT_EQ(bullets, 4) << name.toStdString();
        ASSERT_EQ(starts.size(), 4u) << name.toStdString();
        for (std::size_t level = 1; level < starts.size(); ++level)
            EXPECT_GE(starts[level] - starts[level - 1], 10.0) << name.toStdString() << " level " << level;
    }
}
