// Archives made to exhaust the disk or the clock: declared sizes far beyond what the archive can hold,
// and folders nested a thousand deep.

#include "ZipTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <utility>

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

// Makes the first entry's central record a zip64 one: its uncompressed size the placeholder 0xFFFFFFFF, and,
// when given, the real size in a zip64 extra field.
std::string withZip64Size(std::string archive, std::optional<std::uint64_t> size)
{
    std::size_t end = archive.size() - 22;
    while (le(archive, end, 4) != 0x06054b50)
        --end;
    const std::size_t central = le(archive, end + 16, 4);
    const std::size_t nameEnd = central + 46 + le(archive, central + 28, 2);
    const std::size_t extraEnd = nameEnd + le(archive, central + 30, 2);
    for (std::size_t i = 0; i < 4; ++i)
        archive[central + 24 + i] = '\xff';
    std::string extra;
    if (size) {
        extra = std::string("\x01\x00\x08\x00", 4);
        for (int i = 0; i < 8; ++i)
            extra += static_cast<char>((*size >> (8 * i)) & 0xff);
    }
    const auto put = [&](std::size_t at, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            archive[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xff);
    };
    put(central + 30, le(archive, central + 30, 2) + static_cast<std::uint32_t>(extra.size()), 2);
    put(end + 12, le(archive, end + 12, 4) + static_cast<std::uint32_t>(extra.size()), 4);
    archive.insert(extraEnd, extra);
    return archive;
}

} // namespace

TEST(QXZipArchiveLimits, AZip64BombIsRefusedWithTheSizeItDeclares)
{
    TempDir dir;
    const std::string archive = ArchiveBuilder(dir, "bomb64.zip").file("big", "b").file("small.txt", "s").finish();
    writeFile(dir / "sized.zip", withZip64Size(readFile(archive), 10ull << 30));
    writeFile(dir / "unsized.zip", withZip64Size(readFile(archive), std::nullopt));
    for (const auto& [name, declared] : {std::pair{"sized.zip", "declare 10737418241 bytes,"},
                                         std::pair{"unsized.zip", "declare an unknown size,"}}) {
        const Outcome o = unzip(dir / name, dir / "dest");
        EXPECT_FALSE(o.answer);
        ASSERT_TRUE(o.error);
        EXPECT_EQ(o.error->code(), -8);
        EXPECT_NE(std::string(o.error->what()).find(declared), std::string::npos) << o.error->what();
        EXPECT_TRUE(listing(dir / "dest").empty());
    }

    // A small archive in the zip64 form, as Info-ZIP writes it when asked to, is no bomb.
    writeFile(dir / "small.txt", "small");
    ASSERT_EQ(run("cd " + shellQuoted(dir.path()) + " && zip -q -fz forced.zip small.txt").status, 0);
    EXPECT_EQ(QXZipArchive::payloadSizeForArchiveAtPath(dir / "forced.zip", nullptr), 5u);
    const Outcome forced = unzip(dir / "forced.zip", dir / "forced");
    EXPECT_TRUE(forced.answer) << (forced.error ? forced.error->what() : "");
    EXPECT_EQ(readFile(dir / "forced/small.txt"), "small");
}

TEST(QXZipArchiveLimits, OneEntryIsExtractedWithoutMakingAnythingForTheOthers)
{
    TempDir dir;
    ArchiveBuilder builder(dir, "mixed.zip");
    std::string deep;
    for (int i = 0; i < 2000; ++i)
        deep += "d/";
    builder.file(deep, "").file(deep + "leaf.txt", "deep").link("out", "/etc").file("../wanted.txt", "first");
    const std::string archive = builder.file("other.txt", "other").file("wanted.txt", "second").finish();

    // The names as an extraction makes them, read without extracting anything.
    std::optional<QXZipArchiveError> error;
    const auto names = QXZipArchive::entryNamesAtPath(archive, 6, &error);
    ASSERT_TRUE(names) << (error ? error->what() : "");
    EXPECT_EQ(*names, (std::vector<std::string>{deep, deep + "leaf.txt", "out", "wanted.txt", "other.txt",
                                                 "wanted.txt"}));
    // More entries than asked for: refused before any is read.
    EXPECT_FALSE(QXZipArchive::entryNamesAtPath(archive, 5, &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), -9);
    EXPECT_STREQ(error->what(), "The archive holds 6 entries; no more than 5 are read.");

    // Every entry of the name, the last one winning; nothing of the deep folders or the link.
    EXPECT_TRUE(QXZipArchive::unzipEntryAtPath(archive, "wanted.txt", dir / "dest", &error))
        << (error ? error->what() : "");
    EXPECT_EQ(listing(dir / "dest"), std::set<std::string>{"wanted.txt"});
    EXPECT_EQ(readFile(dir / "dest/wanted.txt"), "second");
}

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
