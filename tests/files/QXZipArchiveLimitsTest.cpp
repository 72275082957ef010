// Archives made to exhaust the disk or the clock: declared sizes far beyond what the archive can hold,
// and folders nested a thousand deep.

#include "ZipTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace velquine;
using namespace ziptest;

namespace {

// Sets the uncompressed size of the first entry, in its local header and in the central directory.
std::string withDeclaredSize(std::string archive, std::uint32_t size)
{
    const CentralEntry entry = centralDirectory(archive).front();
    const auto put = [&](std::size_t at) {
        for (int i = 0; i < 4; ++i)
            archive[at + static_cast<std::size_t>(i)] = static_cast<char>((size >> (8 * i)) & 0xff);
    };
    put(entry.localHeaderOffset + 22);
    std::size_t end = archive.size() - 22;
    while (le(archive, end, 4) != 0x06054b50)
        --end;
    put(le(archive, end + 16, 4) + 24);
    return archive;
}

} // namespace

TEST(QXZipArchiveLimits, AnArchiveDeclaringFarMoreThanItCanHoldIsRefusedBeforeAnyWrite)
{
    TempDir dir;
    const std::string archive = ArchiveBuilder(dir, "bomb.zip").file("small.txt", "small").file("big", "b").finish();
    writeFile(archive, withDeclaredSize(readFile(archive), 0xFFFFFFF0u));
    const Outcome o = unzip(archive, dir / "dest");
    EXPECT_FALSE(o.answer);
    ASSERT_TRUE(o.error);
    EXPECT_EQ(o.error->code(), -8);
    EXPECT_EQ(o.error->domain(), kQXZipArchiveErrorDomain);
    EXPECT_NE(std::string(o.error->what()).find("declare 4294967281 bytes"), std::string::npos) << o.error->what();
    EXPECT_TRUE(o.reported.empty());
    EXPECT_TRUE(listing(dir / "dest").empty());

    // Within a hundred times its size plus the allowance, an archive extracts as usual.
    const std::string plain = ArchiveBuilder(dir, "plain.zip").file("a.txt", std::string(100000, 'a'), 9).finish();
    EXPECT_TRUE(unzip(plain, dir / "plain").answer);
}

TEST(QXZipArchiveLimits, DeepFoldersCostTimeInProportionToTheirDepth)
{
    TempDir dir;
    constexpr int depth = 1500;
    ArchiveBuilder builder(dir, "deep.zip");
    std::string path;
    for (int i = 0; i < depth; ++i) {
        path += "a/";
        builder.file(path, "");
    }
    const std::string archive = builder.file(path + "leaf.txt", "deep").finish();
    const auto started = std::chrono::steady_clock::now();
    const Outcome o = unzip(archive, dir / "dest");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
    EXPECT_TRUE(o.answer) << (o.error ? o.error->what() : "");
    EXPECT_EQ(readFile(dir / "dest/" + path + "leaf.txt"), "deep");
    EXPECT_EQ(o.reported.size(), std::size_t(depth + 1));
}
