#include "document/FileTypes.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>

#include "document/VQDocumentFiles.h"

using namespace velquine;

namespace {

std::string writeFile(const QTemporaryDir& dir, const std::string& name, const std::string& bytes)
{
    const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

} // namespace

TEST(FileTypes, TheTableListsTheOwnTypeFirstAndEveryTypeTheReaderKnows)
{
    const std::vector<FileType>& types = FileTypes::all();
    ASSERT_EQ(types.size(), 6u);
    EXPECT_EQ(types[0].typeName, "io.kelvarn.velquine.mindmap");
    EXPECT_EQ(types[0].mimeType, "application/x-velquine-mindmap");
    EXPECT_EQ(types[0].extensions, std::vector<std::string>{"radovudo"});
    // Every row's name and every extension lead to a reader of the document.
    for (const FileType& type : types) {
        EXPECT_NE(VQDocumentFiles::readerFor(type.typeName, ""), DocumentReader::none) << type.typeName;
        for (const std::string& extension : type.extensions)
            EXPECT_EQ(VQDocumentFiles::readerFor("", "a." + extension), VQDocumentFiles::readerFor(type.typeName, ""))
                << extension;
    }
    EXPECT_EQ(FileTypes::desktopMimeTypes(),
              "application/x-velquine-mindmap;text/plain;text/markdown;text/x-markdown;application/rtf;text/rtf;"
              "application/vnd.openxmlformats-officedocument.wordprocessingml.document;text/x-opml+xml;text/x-opml;");
}

TEST(FileTypes, ParsingSkipsCommentsAndIncompleteLines)
{
    const auto types = FileTypes::parse("# comment\n\nx.y|a/b||EXT other\r\nbroken|line\n|no/name||z\nq|c/d|c/e c/f|\n");
    ASSERT_EQ(types.size(), 2u);
    EXPECT_EQ(types[0].extensions, (std::vector<std::string>{"ext", "other"}));
    EXPECT_TRUE(types[0].mimeAliases.empty());
    EXPECT_EQ(types[1].mimeAliases, (std::vector<std::string>{"c/e", "c/f"}));
    EXPECT_TRUE(types[1].extensions.empty());
}

TEST(FileTypes, AFileIsNamedByItsExtensionElseByItsFirstBytes)
{
    QTemporaryDir dir;
    EXPECT_EQ(FileTypes::typeNameForFile(writeFile(dir, "Map.RADOVUDO", "PK\3\4rest")), "io.kelvarn.velquine.mindmap");
    EXPECT_EQ(FileTypes::typeNameForFile(writeFile(dir, "notes.TXT", "<opml>")), "public.text");
    EXPECT_EQ(FileTypes::typeNameForFile(writeFile(dir, "read.md", "# a")), "public.markdown");
    EXPECT_EQ(FileTypes::typeNameForFile(writeFile(dir, "w.docx", "PK\3\4")),
              "org.openxmlformats.wordprocessingml.document");
    EXPECT_EQ(FileTypes::typeNameForFile(writeFile(dir, "o.opml", "")), "public.data.xml.opml");

    // Unknown or missing extensions: the content decides.
    EXPECT_EQ(FileTypes::typeNameForFile(writeFile(dir, "archive", "PK\3\4....")), "io.kelvarn.velquine.mindmap");
    EXPECT_EQ(FileTypes::typeNameForFile(writeFile(dir, "db.bin", std::string("SQLite format 3\0xx", 18))),
              "io.kelvarn.velquine.mindmap");
    EXPECT_EQ(FileTypes::typeNameForFile(writeFile(dir, "outline.xml", "<?xml version=\"1.0\"?>\n<opml version=\"2.0\">")),
              "public.data.xml.opml");
    EXPECT_EQ(FileTypes::typeNameForFile(writeFile(dir, "letter", "{\\rtf1\\ansi hi}")), "public.rtf");
    EXPECT_EQ(FileTypes::typeNameForFile(writeFile(dir, "README", "Grüße\n\tchild\n")), "public.text");
    // A multi-byte character cut by the sample's end is still text.
    EXPECT_EQ(FileTypes::typeNameForFile(writeFile(dir, "long", std::string(4095, 'a') + "ü")), "public.text");
    EXPECT_EQ(FileTypes::typeNameForFile(writeFile(dir, "image.png", "\x89PNG\r\n\x1a\n\0\0")), "");
    EXPECT_EQ(FileTypes::typeNameForFile(writeFile(dir, "bad", "\xff\xfe\x41")), "");
    EXPECT_EQ(FileTypes::typeNameForFile(writeFile(dir, "empty", "")), "");
    EXPECT_EQ(FileTypes::typeNameForFile(dir.filePath("missing").toStdString()), "");
}
