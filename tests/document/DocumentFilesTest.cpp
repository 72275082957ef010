// Which reader a file goes to, what a file's first bytes say, scratch folders, and the settings a new
// document starts from.

#include "DocumentFilesTestSupport.h"
#include "DocumentTestSupport.h"

#include "document/DocumentFactory.h"
#include "document/VQDocumentFiles.h"
#include "layout/VQProjectEdits.h"


#include <regex>

using namespace velquine;
using namespace velquine::testing;

TEST(DocumentFileTypes, TypeNamesAndExtensionsPickTheReaderRowByRow)
{
    using R = DocumentReader;
    struct Case {
        const char* type;
        const char* path;
        R reader;
    };
    const Case cases[] = {
        {"io.kelvarn.velquine.mindmap", "/d/map.whatever", R::documentArchive},
        {"public.data", "/d/map.radovudo", R::documentArchive},
        {"public.text", "/d/map.radovudo", R::documentArchive}, // the own format's row comes first
        {"public.text", "/d/notes.md", R::plainText},           // the type name is enough
        {"public.txt", "/d/notes", R::plainText},
        {"com.example.unknown", "/d/notes.txt", R::plainText},
        {"com.example.unknown", "/d/notes.TXT", R::none}, // extensions are compared with case
        {"public.markdown", "/d/x", R::markdown},
        {"net.daringfireball.markdown", "/d/x", R::markdown},
        {"org.commonmark.markdown", "/d/x", R::markdown},
        {"", "/d/readme.md", R::markdown},
        {"", "/d/readme.markdown", R::markdown},
        {"public.rtf", "/d/x.opml", R::rtf},
        {"", "/d/letter.rtf", R::rtf},
        {"org.openxmlformats.wordprocessingml.document", "/d/x", R::docx},
        {"", "/d/letter.docx", R::docx},
        {"public.data.xml.opml", "/d/x.txt", R::plainText}, // the plain text row's extension wins first
        {"public.data.xml.opml", "/d/x", R::opml},
        {"", "/d/feeds.opml", R::opml},
        {"", "/d/photo.png", R::none},
        {"", "/d/no-extension", R::none},
        {"", "/d.txt/folder", R::none},
        {"", "/d/archive.atxt", R::plainText}, // an extension that ends with one counts
        {"public.rtfd", "/d/x.rtfd", R::none},
    };
    for (const Case& c : cases)
        EXPECT_EQ(VQDocumentFiles::readerFor(c.type, c.path), c.reader) << c.type << " " << c.path;
}

TEST(DocumentFileTypes, PathExtension)
{
    EXPECT_EQ(VQDocumentFiles::pathExtension("/a/b.tar.gz"), "gz");
    EXPECT_EQ(VQDocumentFiles::pathExtension("/a.b/c"), "");
    EXPECT_EQ(VQDocumentFiles::pathExtension("/a/.hidden"), "");
    EXPECT_EQ(VQDocumentFiles::pathExtension("/a/b.md/"), "md");
    EXPECT_EQ(VQDocumentFiles::pathExtension("name."), "");
    EXPECT_EQ(VQDocumentFiles::pathExtension(""), "");
}

TEST(DocumentFileTypes, LeadingBytesTellDatabasesAndArchives)
{
    Folder folder;
    writeBytes(folder / "db", std::string("SQLite format 3\0rest", 20));
    writeBytes(folder / "short", std::string("SQLite format 3", 15));
    writeBytes(folder / "nozero", "SQLite format 3 and more");
    writeBytes(folder / "zip", std::string("PK\x03\x04", 4) + "data");
    writeBytes(folder / "emptyzip", std::string("PK\x05\x06", 4) + std::string(18, '\0'));
    writeBytes(folder / "pk", "PKZIP");
    writeBytes(folder / "empty", "");
    EXPECT_TRUE(VQDocumentFiles::hasSQLiteHeader(folder / "db"));
    EXPECT_FALSE(VQDocumentFiles::hasSQLiteHeader(folder / "short"));
    EXPECT_FALSE(VQDocumentFiles::hasSQLiteHeader(folder / "nozero"));
    EXPECT_FALSE(VQDocumentFiles::hasSQLiteHeader(folder / "empty"));
    EXPECT_FALSE(VQDocumentFiles::hasSQLiteHeader(folder / "missing"));
    EXPECT_TRUE(VQDocumentFiles::hasZipSignature(folder / "zip"));
    EXPECT_TRUE(VQDocumentFiles::hasZipSignature(folder / "emptyzip"));
    EXPECT_FALSE(VQDocumentFiles::hasZipSignature(folder / "pk"));
    EXPECT_FALSE(VQDocumentFiles::hasZipSignature(folder / "db"));
    EXPECT_FALSE(VQDocumentFiles::hasZipSignature(folder / "missing"));
}

TEST(DocumentScratchFolders, EachIsANewUpperCaseUUIDFolderInTheCaches)
{
    const std::string first = VQDocumentFiles::makeTemporaryDirectory();
    const std::string second = VQDocumentFiles::makeTemporaryDirectory();
    EXPECT_NE(first, second);
    const std::regex pattern(std::regex_replace(cacheFolder(), std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)")
                             + "/[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
    EXPECT_TRUE(std::regex_match(first, pattern)) << first;
    EXPECT_TRUE(std::filesystem::is_directory(first));
    EXPECT_TRUE(std::filesystem::is_directory(second));
    VQDocumentFiles::removeFolder(first);
    VQDocumentFiles::removeFolder(second);
    EXPECT_FALSE(std::filesystem::exists(first));
}

// ---- New documents ----

class NewDocumentDefaults : public DocumentTest {};

TEST_F(NewDocumentDefaults, WithoutSettingsNoGridOf24AndTheDefaultStyleOnEveryNode)
{
    Node root(9101, std::nullopt, NodeStyle());
    root.title = "Root";
    root.shape = NodeShape::rect;
    root.autoSize = true;
    document->projectForLoading().graph.setNode(root, root.uid);
    document->projectForLoading().grid = Grid{GridType::quad, {10, 10}};
    document->projectForLoading().projectStyle = ProjectStyle::midnight();

    DocumentFactory::applyNewDocumentDefaults(*document);

    EXPECT_EQ(document->project().grid.type, GridType::noGrid);
    EXPECT_EQ(document->project().grid.size, (Size{24, 24}));
    VQProject expected;
    expected.graph.setNode(root, root.uid);
    applyStyle(expected, defaultProjectStyle(), true, true, true);
    EXPECT_EQ(document->project().projectStyle, ProjectStyle::omaha());
    ASSERT_TRUE(document->project().graph.findNode(9101));
    EXPECT_FALSE(document->project().graph.findNode(9101)->differs(*expected.graph.findNode(9101)));
    EXPECT_TRUE(deliver().empty()) << "no event";
}

TEST_F(NewDocumentDefaults, GridSizeIsUsedOnlyFrom8To32)
{
    const std::pair<std::int64_t, double> cases[] = {{8, 8}, {32, 32}, {17, 17}, {7, 24}, {33, 24}, {0, 24}, {-16, 24}};
    for (const auto& [stored, expected] : cases) {
        settings.defaults().set("defaultGridSize", stored);
        VQDocument fresh;
        DocumentFactory::applyNewDocumentDefaults(fresh);
        EXPECT_EQ(fresh.project().grid.size, (Size{expected, expected})) << stored;
    }
    settings.defaults().set("defaultGridSize", "12");
    VQDocument fromText;
    DocumentFactory::applyNewDocumentDefaults(fromText);
    EXPECT_EQ(fromText.project().grid.size, (Size{12, 12}));
}

TEST_F(NewDocumentDefaults, GridStyleAndProjectStyleFromTheSettings)
{
    settings.defaults().set("defaultGridStyle", "hexagons");
    settings.defaults().set("defaultProjectStyle", ProjectStyle::midnight().name);
    auto untitled = DocumentFactory::makeUntitledDocument();
    EXPECT_EQ(untitled->project().grid.type, GridType::hexagons);
    EXPECT_EQ(untitled->project().projectStyle, ProjectStyle::midnight());
    EXPECT_EQ(untitled->fileType(), "io.kelvarn.velquine.mindmap");
    EXPECT_FALSE(untitled->fileURL());

    settings.defaults().set("defaultGridStyle", "Hexagons");
    VQDocument unknown;
    DocumentFactory::applyNewDocumentDefaults(unknown);
    EXPECT_EQ(unknown.project().grid.type, GridType::noGrid);
}
