#include "exchange/ZipPackageReader.h"
#include "exchange/ZipPackageWriter.h"

#include "ExchangeTestSupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace velquine;
using namespace velquine::testing;

TEST(ZipPackage, EntriesRoundTripThroughMemory)
{
    ZipPackageWriter writer;
    std::string binary;
    for (int i = 0; i < 70000; ++i)
        binary.push_back(static_cast<char>(i * 7919 % 256));
    writer.addEntry("a.txt", "hello");
    writer.addEntry("dir/binary.bin", binary);
    writer.addEntry("empty", "");
    writer.addEntry("Grüße.xml", "<x/>");
    const std::string bytes = writer.finish();
    EXPECT_EQ(bytes.substr(0, 4), std::string("PK\x03\x04", 4));
    EXPECT_THROW(writer.addEntry("late", "x"), ZipPackageError);

    ZipPackageReader reader(bytes);
    EXPECT_EQ(reader.read("a.txt", 100), "hello");
    EXPECT_EQ(reader.read("A.TXT", 100), "hello");
    EXPECT_EQ(reader.read("dir/binary.bin", binary.size()), binary);
    EXPECT_EQ(reader.read("empty", 0), "");
    EXPECT_EQ(reader.read("Grüße.xml", 100), "<x/>");
    EXPECT_TRUE(reader.contains("dir/binary.bin"));
    EXPECT_FALSE(reader.contains("missing"));
    EXPECT_THROW(reader.read("missing", 100), ZipPackageError);
    EXPECT_THROW(reader.read("a.txt", 4), ZipPackageError);
}

TEST(ZipPackage, UnzipReadsOurPackage)
{
    ZipPackageWriter writer;
    writer.addEntry("folder/file.txt", "contents of the file\n");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("package.zip");
    ASSERT_TRUE(writeFile(path, writer.finish()));
    const auto listing = runTool("unzip", {"-Z", "-l", path});
    VQ_REQUIRE_TOOL(listing, "unzip");
    EXPECT_EQ(listing->exitCode, 0);
    EXPECT_NE(listing->out.find("-rw-r--r--"), std::string::npos) << listing->out;
    EXPECT_NE(listing->out.find("defN"), std::string::npos);
    EXPECT_EQ(listing->out.find(" 80-"), std::string::npos);
    const auto contents = runTool("unzip", {"-p", path, "folder/file.txt"});
    ASSERT_TRUE(contents);
    EXPECT_EQ(contents->out, "contents of the file\n");
}

TEST(ZipPackage, RefusesWhatIsNoZipOrIsEncrypted)
{
    EXPECT_THROW(ZipPackageReader(""), ZipPackageError);
    EXPECT_THROW(ZipPackageReader("just some text"), ZipPackageError);
    EXPECT_THROW(ZipPackageReader(std::string(100, '\0')), ZipPackageError);

    ZipPackageWriter writer;
    writer.addEntry("secret.txt", "data");
    std::string bytes = writer.finish();
    // Set the encryption flag in the local and the central header.
    for (std::size_t at = bytes.find("PK\x03\x04"); at != std::string::npos; at = bytes.find("PK\x03\x04", at + 4))
        bytes[at + 6] = static_cast<char>(bytes[at + 6] | 1);
    for (std::size_t at = bytes.find("PK\x01\x02"); at != std::string::npos; at = bytes.find("PK\x01\x02", at + 4))
        bytes[at + 8] = static_cast<char>(bytes[at + 8] | 1);
    ZipPackageReader reader(bytes);
    try {
        reader.read("secret.txt", 100);
        FAIL() << "an encrypted entry was read";
    } catch (const ZipPackageError& error) {
        EXPECT_NE(std::string(error.what()).find("encrypted"), std::string::npos) << error.what();
    }
}
