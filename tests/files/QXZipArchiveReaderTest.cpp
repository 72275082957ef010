#include "files/QXZipArchive.h"

#include "ZipTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace velquine;
using namespace ziptest;


TEST(QXZipArchiveReader, ArchiveWithoutEntriesSucceedsAndCreatesNothing)
{
    TempDir dir;
    const std::string archive = ArchiveBuilder(dir, "empty.zip").finish();
    const std::string dest = dir / "dest";
    std::optional<bool> completed;
    const bool ok = QXZipArchive::unzipFileAtPath(
        archive, dest, {}, [&](const std::optional<std::string>& path, bool succeeded, const std::optional<QXZipArchiveError>& error) {
            completed = succeeded;
            EXPECT_EQ(path, archive);
            EXPECT_FALSE(error.has_value());
        });
    EXPECT_TRUE(ok);
    EXPECT_EQ(completed, true);
    EXPECT_FALSE(fs::exists(dest));
}

TEST(QXZipArchiveReader, WhatIsNoZipArchiveFailsWithErrorMinusOne)
{
    TempDir dir;
    writeFile(dir / "plain.sqlite", "SQLite format 3");
    std::optional<QXZipArchiveError> error;
    std::optional<std::string> completedPath;
    bool completedAnswer = true;
    EXPECT_FALSE(QXZipArchive::unzipFileAtPath(dir / "plain.sqlite", dir / "dest", true, std::nullopt, &error));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->domain(), "QXZipArchiveErrorDomain");
    EXPECT_EQ(error->code(), -1);
    EXPECT_EQ(error->message(), "failed to open zip file");
    EXPECT_FALSE(QXZipArchive::unzipFileAtPath(
        dir / "plain.sqlite", dir / "dest", {},
        [&](const std::optional<std::string>& path, bool succeeded, const std::optional<QXZipArchiveError>&) {
            completedPath = path;
            completedAnswer = succeeded;
        }));
    EXPECT_EQ(completedPath, dir / "plain.sqlite");
    EXPECT_FALSE(completedAnswer);
    EXPECT_FALSE(fs::exists(dir / "dest"));
    EXPECT_FALSE(QXZipArchive::unzipFileAtPath(dir / "missing.zip", dir / "dest"));

    // Empty arguments.
    EXPECT_FALSE(QXZipArchive::unzipFileAtPath("", dir / "dest", true, std::nullopt, &error));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code(), -6);
    EXPECT_EQ(error->message(), "received invalid argument(s)");
    completedPath = "unset";
    QXZipArchive::unzipFileAtPath(dir / "plain.sqlite", "", {},
                                  [&](const std::optional<std::string>& path, bool, const std::optional<QXZipArchiveError>& e) {
                                      completedPath = path;
                                      EXPECT_EQ(e->code(), -6);
                                  });
    EXPECT_FALSE(completedPath.has_value());
}

TEST(QXZipArchiveReader, HostileNamesStayInsideTheDestination)
{
    TempDir dir;
    const std::string archive = ArchiveBuilder(dir, "names.zip")
                                    .file("../../evil.txt", "evil")
                                    .file("/abs/x.txt", "abs")
                                    .file("a\\b.txt", "backslash")
                                    .file("c\\", "")
                                    .file("d/./e/../f.txt", "dots")
                                    .file("..", "dotdot")
                                    .finish();
    const std::string dest = dir / "box/dest";
    const Outcome o = unzip(archive, dest);
    EXPECT_TRUE(o.answer);
    EXPECT_FALSE(o.error.has_value());
    EXPECT_EQ(listing(dest), (std::set<std::string>{"evil.txt", "abs", "abs/x.txt", "a", "a/b.txt", "c", "d",
                                                    "d/f.txt", "5"}));
    EXPECT_EQ(topLevel(dir / "box"), std::set<std::string>{"dest"});
    EXPECT_FALSE(fs::exists(dir / "evil.txt"));
    EXPECT_FALSE(fs::exists(dir / "box/evil.txt"));
    EXPECT_EQ(readFile(dest + "/evil.txt"), "evil");
    EXPECT_EQ(readFile(dest + "/abs/x.txt"), "abs");
    EXPECT_EQ(readFile(dest + "/a/b.txt"), "backslash");
    EXPECT_TRUE(fs::is_directory(dest + "/c")) << "a stored name ending in a backslash is a folder";
    EXPECT_EQ(readFile(dest + "/d/f.txt"), "dots");
    EXPECT_EQ(readFile(dest + "/5"), "dotdot") << "a name that sanitises to nothing takes its entry number";
    EXPECT_EQ(o.reported, (std::vector<std::string>{"evil.txt", "/abs/x.txt", "a/b.txt", "c/", "d/f.txt", "5"}));
    EXPECT_EQ(o.numbers, (std::vector<long>{0, 1, 2, 3, 4, 5}));
}

TEST(QXZipArchiveReader, FirstEntrySanitisedToNothingIsNamedZero)
{
    TempDir dir;
    const std::string archive = ArchiveBuilder(dir, "zero.zip").file("..", "first").file("./", "").finish();
    const Outcome o = unzip(archive, dir / "dest");
    EXPECT_TRUE(o.answer);
    EXPECT_EQ(readFile(dir / "dest/0"), "first");
    EXPECT_TRUE(fs::is_directory(dir / "dest/1"));
}

TEST(QXZipArchiveReader, MacResourceForksAreSkippedButUseUpEntryNumbers)
{
    TempDir dir;
    const std::string archive = ArchiveBuilder(dir, "mac.zip")
                                    .file("__MACOSX/._doc.txt", "fork")
                                    .file("doc.txt", "doc")
                                    .file("__MACOSX/", "")
                                    .file("..", "numbered")
                                    .finish();
    const Outcome o = unzip(archive, dir / "dest");
    EXPECT_TRUE(o.answer);
    EXPECT_EQ(listing(dir / "dest"), (std::set<std::string>{"doc.txt", "3"}));
    EXPECT_EQ(o.reported, (std::vector<std::string>{"doc.txt", "3"}));
    EXPECT_EQ(o.numbers, (std::vector<long>{1, 3}));
}

TEST(QXZipArchiveReader, LinksInsideAreMadeAsStoredAndLinksOutsideStopTheUnzip)
{
    TempDir dir;
    const std::string dest = dir / "dest";
    const std::string archive = ArchiveBuilder(dir, "links.zip")
                                    .file("data/file.txt", "inside")
                                    .link("data/rel", "file.txt")
                                    .link("up", "data/../data/file.txt")
                                    .link("absolute", dest + "/data/file.txt")
                                    .link("out", "../outside")
                                    .file("after.txt", "never")
                                    .finish();
    fs::create_directory(dir / "outside");
    testing::internal::CaptureStderr();
    const Outcome o = unzip(archive, dest);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(o.answer);
    ASSERT_TRUE(o.error.has_value());
    EXPECT_EQ(o.error->domain(), "QXZipArchiveErrorDomain");
    EXPECT_EQ(o.error->code(), -7);
    EXPECT_EQ(o.error->message(), "Symlink escapes target directory \"~out -> ../outside\"");
    EXPECT_NE(log.find("[QXZipArchive] Symlink escapes target directory \"~out -> ../outside\""), std::string::npos);
    EXPECT_EQ(linkTarget(dest + "/data/rel"), "file.txt") << "a relative target stays relative";
    EXPECT_EQ(readFile(dest + "/data/rel"), "inside");
    EXPECT_EQ(linkTarget(dest + "/up"), "data/../data/file.txt");
    EXPECT_EQ(linkTarget(dest + "/absolute"), dest + "/data/file.txt");
    EXPECT_FALSE(fs::exists(dest + "/out") || isLink(dest + "/out"));
    EXPECT_FALSE(fs::exists(dest + "/after.txt")) << "nothing after the failed entry is extracted";

    // Without a folder to test against, the link is made, but nothing is ever written through it.
    const std::string archive2 = ArchiveBuilder(dir, "through.zip")
                                     .link("out", "../outside")
                                     .file("out/evil.txt", "evil")
                                     .finish();
    const std::string dest2 = dir / "dest2";
    testing::internal::CaptureStderr();
    const Outcome o2 = unzip(archive2, dest2, true, std::nullopt);
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(o2.answer);
    ASSERT_TRUE(o2.error.has_value());
    EXPECT_EQ(o2.error->code(), -7);
    EXPECT_TRUE(isLink(dest2 + "/out"));
    EXPECT_TRUE(listing(dir / "outside").empty());
}

TEST(QXZipArchiveReader, ChainedLinksCannotLeadOut)
{
    // x -> y/.. looks inside while y does not exist; y -> . then makes x the destination's parent.
    TempDir dir;
    const std::string archive = ArchiveBuilder(dir, "chain.zip")
                                    .link("x", "y/..")
                                    .link("y", ".")
                                    .file("x/evil.txt", "evil")
                                    .finish();
    for (const bool testLinks : {true, false}) {
        const std::string box = dir / (testLinks ? "tested" : "untested");
        const std::string dest = box + "/dest";
        fs::create_directories(dest);
        testing::internal::CaptureStderr();
        const Outcome o = unzip(archive, dest, true, testLinks ? std::optional<std::string>(dest) : std::nullopt);
        testing::internal::GetCapturedStderr();
        EXPECT_FALSE(o.answer) << testLinks;
        ASSERT_TRUE(o.error.has_value()) << testLinks;
        EXPECT_EQ(o.error->code(), -7) << testLinks;
        EXPECT_EQ(topLevel(box), std::set<std::string>{"dest"}) << testLinks;
        EXPECT_FALSE(fs::exists(box + "/evil.txt")) << testLinks;
        EXPECT_FALSE(fs::exists(dir / "evil.txt")) << testLinks;
        EXPECT_EQ(o.error->message(), "Symlink escapes target directory \"~x/evil.txt -> " + box + "\"") << testLinks;
        // Links tested: no link that leads out is left behind. Not tested: the caller asked for them as stored.
        EXPECT_EQ(isLink(dest + "/x"), !testLinks);
        EXPECT_TRUE(isLink(dest + "/y"));
    }

    // The same two links alone: the way out is found once both exist, and taken away.
    const std::string links = ArchiveBuilder(dir, "links.zip").link("x", "y/..").link("y", ".").link("z", "y").finish();
    const std::string dest = dir / "alone/dest";
    testing::internal::CaptureStderr();
    const Outcome o = unzip(links, dest);
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(o.answer);
    ASSERT_TRUE(o.error.has_value());
    EXPECT_EQ(o.error->code(), -7);
    EXPECT_EQ(o.error->message(), "Symlink escapes target directory \"~x -> y/..\"");
    EXPECT_EQ(topLevel(dest), (std::set<std::string>{"y", "z"}));
}

TEST(QXZipArchiveReader, ExistingLinkAtAFileEntryIsReplacedNotWrittenThrough)
{
    TempDir dir;
    writeFile(dir / "precious.txt", "precious");
    const std::string dest = dir / "dest";
    fs::create_directory(dest);
    fs::create_symlink(dir / "precious.txt", dest + "/doc.txt");
    fs::create_directory_symlink(dir.path(), dest + "/up");
    const std::string archive = ArchiveBuilder(dir, "replace.zip").file("doc.txt", "fresh").finish();
    const Outcome o = unzip(archive, dest);
    EXPECT_TRUE(o.answer);
    EXPECT_EQ(readFile(dir / "precious.txt"), "precious");
    EXPECT_FALSE(isLink(dest + "/doc.txt"));
    EXPECT_EQ(readFile(dest + "/doc.txt"), "fresh");

    // A folder link that was there before leads out as well: refused.
    const std::string archive2 = ArchiveBuilder(dir, "up.zip").file("up/evil.txt", "evil").finish();
    testing::internal::CaptureStderr();
    const Outcome o2 = unzip(archive2, dest);
    testing::internal::GetCapturedStderr();
    EXPECT_FALSE(o2.answer);
    EXPECT_EQ(o2.error->code(), -7);
    EXPECT_FALSE(fs::exists(dir / "evil.txt"));
}

TEST(QXZipArchiveReader, OverwriteOffKeepsExistingFilesAndGoesOn)
{
    TempDir dir;
    const std::string archive = ArchiveBuilder(dir, "ow.zip").file("keep.txt", "new").file("other.txt", "other").finish();
    const std::string dest = dir / "dest";
    fs::create_directory(dest);
    writeFile(dest + "/keep.txt", "old contents, longer");
    setModificationTime(dest + "/keep.txt", localTime(2001, 2, 3, 4, 5, 6));

    Outcome o = unzip(archive, dest, false);
    EXPECT_TRUE(o.answer);
    EXPECT_EQ(readFile(dest + "/keep.txt"), "old contents, longer");
    EXPECT_EQ(modificationTime(dest + "/keep.txt"), localTime(2001, 2, 3, 4, 5, 6)) << "its date stays too";
    EXPECT_EQ(readFile(dest + "/other.txt"), "other");

    o = unzip(archive, dest, true);
    EXPECT_TRUE(o.answer);
    EXPECT_EQ(readFile(dest + "/keep.txt"), "new") << "truncated and rewritten";
}

TEST(QXZipArchiveReader, DamagedEntryFailsWithTheCrcError)
{
    TempDir dir;
    const std::string archive = ArchiveBuilder(dir, "crc.zip")
                                    .file("good.txt", "good")
                                    .file("bad.txt", "PAYLOAD-TO-DAMAGE")
                                    .file("later.txt", "later")
                                    .finish();
    std::string content = readFile(archive);
    const auto at = content.find("PAYLOAD-TO-DAMAGE");
    ASSERT_NE(at, std::string::npos);
    content[at] = 'X';
    writeFile(archive, content);

    std::optional<std::string> completedError;
    std::optional<QXZipArchiveError> error;
    const bool ok = QXZipArchive::unzipFileAtPath(
        archive, dir / "dest", true, true, std::nullopt, &error, nullptr, {},
        [&](const std::optional<std::string>&, bool, const std::optional<QXZipArchiveError>& e) {
            if (e)
                completedError = e->message();
        });
    EXPECT_FALSE(ok);
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code(), -3);
    EXPECT_EQ(error->message(), "crc check failed for file");
    EXPECT_EQ(completedError, "crc check failed for file");
    EXPECT_EQ(readFile(dir / "dest/good.txt"), "good");
    EXPECT_EQ(readFile(dir / "dest/bad.txt"), "XAYLOAD-TO-DAMAGE") << "the damaged file stays where it was written";
    EXPECT_FALSE(fs::exists(dir / "dest/later.txt"));
}

TEST(QXZipArchiveReader, ArchivesWrittenByZipExtractCorrectly)
{
    TempDir dir;
    const std::string src = dir / "src";
    fs::create_directories(src + "/Grüße/deep/er");
    fs::create_directories(src + "/empty");
    writeFile(src + "/Grüße/ünïcode.txt", "unicode");
    writeFile(src + "/Grüße/deep/er/big.txt", std::string(100000, 'z') + "end");
    writeFile(src + "/tool.sh", "#!/bin/sh\n");
    ::chmod((src + "/tool.sh").c_str(), 0755);
    writeFile(src + "/setuid", "s");
    ::chmod((src + "/setuid").c_str(), 04755);
    fs::create_symlink("tool.sh", src + "/tool-link");
    setModificationTime(src + "/tool.sh", localTime(2020, 6, 1, 8, 30, 10));
    setModificationTime(src + "/empty", localTime(2019, 4, 4, 10, 0, 0));
    const std::string archive = dir / "made-by-zip.zip";
    const auto made = run("cd " + shellQuoted(src) + " && zip -q -r -y " + shellQuoted(archive) + " .");
    ASSERT_EQ(made.status, 0) << made.output;

    const std::string dest = dir / "dest";
    const Outcome o = unzip(archive, dest);
    ASSERT_TRUE(o.answer) << (o.error ? o.error->message() : "");
    EXPECT_EQ(listing(dest), listing(src));
    EXPECT_EQ(readFile(dest + "/Grüße/ünïcode.txt"), "unicode");
    EXPECT_EQ(readFile(dest + "/Grüße/deep/er/big.txt"), readFile(src + "/Grüße/deep/er/big.txt"));
    EXPECT_EQ(mode(dest + "/tool.sh") & 07777, 0755u);
    EXPECT_EQ(mode(dest + "/setuid") & 07777, 0755u) << "set-user-id is not taken from an archive";
    EXPECT_EQ(modificationTime(dest + "/tool.sh"), localTime(2020, 6, 1, 8, 30, 10));
    EXPECT_TRUE(isLink(dest + "/tool-link"));
    EXPECT_EQ(linkTarget(dest + "/tool-link"), "tool.sh");
    EXPECT_TRUE(fs::is_directory(dest + "/empty"));
    EXPECT_EQ(modificationTime(dest + "/empty"), localTime(2019, 4, 4, 10, 0, 0)) << "folder dates are set last";
}

TEST(QXZipArchiveReader, EncryptedEntriesAreRefusedWithAClearError)
{
    TempDir dir;
    writeFile(dir / "secret.txt", "secret");
    const std::string archive = dir / "locked.zip";
    ASSERT_EQ(run("cd " + shellQuoted(dir.path()) + " && zip -q -P pw locked.zip secret.txt").status, 0);

    EXPECT_TRUE(QXZipArchive::isFilePasswordProtectedAtPath(archive));
    std::optional<QXZipArchiveError> error;
    EXPECT_FALSE(QXZipArchive::isPasswordValidForArchiveAtPath(archive, "pw", &error));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code(), -2);
    EXPECT_EQ(error->message(), "failed to open file in zip archive");

    EXPECT_FALSE(QXZipArchive::unzipFileAtPath(archive, dir / "dest", true, std::string("pw"), &error));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code(), -2);
    EXPECT_EQ(error->message(), "failed to open file in zip file");
    EXPECT_FALSE(fs::exists(dir / "dest/secret.txt"));
}

TEST(QXZipArchiveReader, InspectionOfPlainArchives)
{
    TempDir dir;
    const std::string archive = ArchiveBuilder(dir, "plain.zip").file("a", "12345").file("b", std::string(1000, 'b'), -1).finish();
    EXPECT_FALSE(QXZipArchive::isFilePasswordProtectedAtPath(archive));
    EXPECT_FALSE(QXZipArchive::isFilePasswordProtectedAtPath(dir / "missing.zip"));
    std::optional<QXZipArchiveError> error = QXZipArchiveError("x", 1, "stale");
    EXPECT_TRUE(QXZipArchive::isPasswordValidForArchiveAtPath(archive, "anything", &error));
    EXPECT_FALSE(error.has_value());
    EXPECT_EQ(QXZipArchive::payloadSizeForArchiveAtPath(archive, &error), 1005u);
    EXPECT_FALSE(error.has_value());

    writeFile(dir / "junk", "junk");
    EXPECT_FALSE(QXZipArchive::isPasswordValidForArchiveAtPath(dir / "junk", "", &error));
    EXPECT_EQ(error->code(), -1);
    EXPECT_EQ(QXZipArchive::payloadSizeForArchiveAtPath(dir / "junk", &error), 0u);
    EXPECT_EQ(error->message(), "failed to open zip file");
    const std::string empty = ArchiveBuilder(dir, "empty.zip").finish();
    EXPECT_TRUE(QXZipArchive::isPasswordValidForArchiveAtPath(empty, "pw", &error));
    EXPECT_EQ(QXZipArchive::payloadSizeForArchiveAtPath(empty, nullptr), 0u);
}

namespace {

struct RecordingDelegate : QXZipArchiveDelegate {
    std::vector<std::string> events;
    bool cancelAtSecond = false;
    bool fileInfoForm = false;
    void zipArchiveWillUnzipArchiveAtPath(const std::string&, const QXZipArchiveInfo& info) override
    {
        events.push_back("willArchive " + std::to_string(info.numberOfEntries));
    }
    void zipArchiveProgressEvent(std::uint64_t loaded, std::uint64_t total) override
    {
        events.push_back(loaded == total ? "progress end" : loaded == 0 ? "progress start" : "progress");
    }
    bool zipArchiveShouldUnzipFileAtIndex(long index, long total, const std::string&, const QXZipEntryInfo&) override
    {
        events.push_back("should " + std::to_string(index) + "/" + std::to_string(total));
        return !(cancelAtSecond && index == 1);
    }
    void zipArchiveWillUnzipFileAtIndex(long index, long, const std::string&, const QXZipEntryInfo&) override
    {
        events.push_back("will " + std::to_string(index));
    }
    bool wantsDidUnzipFileInfo() const override { return fileInfoForm; }
    void zipArchiveDidUnzipFileAtIndex(long index, long, const std::string&, const QXZipEntryInfo& info) override
    {
        events.push_back("didInfo " + std::to_string(index) + " " + std::to_string(info.uncompressedSize));
    }
    void zipArchiveDidUnzipFileAtIndex(long index, long, const std::string&, const std::string& path) override
    {
        events.push_back("didPath " + std::to_string(index) + " " + fs::path(path).filename().string());
    }
    void zipArchiveDidUnzipArchiveAtPath(const std::string&, const QXZipArchiveInfo&, const std::string&) override
    {
        events.push_back("didArchive");
    }
};

} // namespace

TEST(QXZipArchiveReader, DelegateHearsEveryStepAndCanCancel)
{
    TempDir dir;
    const std::string archive = ArchiveBuilder(dir, "d.zip").file("one", "1").file("two", "22").finish();
    RecordingDelegate plain;
    ASSERT_TRUE(QXZipArchive::unzipFileAtPath(archive, dir / "a", &plain));
    EXPECT_EQ(plain.events, (std::vector<std::string>{"willArchive 2", "progress start", "should 0/2", "will 0",
                                                      "progress", "didPath 0 one", "should 1/2", "will 1", "progress",
                                                      "didPath 1 two", "didArchive", "progress end"}));

    RecordingDelegate info;
    info.fileInfoForm = true;
    ASSERT_TRUE(QXZipArchive::unzipFileAtPath(archive, dir / "b", &info));
    EXPECT_EQ(info.events[5], "didInfo 0 1");
    EXPECT_EQ(info.events[9], "didInfo 1 2");

    RecordingDelegate cancelling;
    cancelling.cancelAtSecond = true;
    std::optional<QXZipArchiveError> error = QXZipArchiveError("x", 1, "stale");
    EXPECT_FALSE(QXZipArchive::unzipFileAtPath(archive, dir / "c", true, std::nullopt, &error, &cancelling));
    EXPECT_FALSE(error.has_value()) << "a cancelled unzip carries no error";
    EXPECT_EQ(cancelling.events.back(), "should 1/2") << "no end-of-archive report after a cancel";
    EXPECT_TRUE(fs::exists(dir / "c/one"));
    EXPECT_FALSE(fs::exists(dir / "c/two"));
}

TEST(QXZipArchiveReader, NestedArchivesAreExpandedInPlaceWhenAsked)
{
    TempDir dir;
    const std::string inner = ArchiveBuilder(dir, "inner.zip").file("deep.txt", "deep").finish();
    const std::string outer = ArchiveBuilder(dir, "outer.zip").file("box/Inner.ZIP", readFile(inner)).finish();

    ASSERT_TRUE(QXZipArchive::unzipFileAtPath(outer, dir / "flat", true, true, 0, std::nullopt, nullptr, nullptr, {}, {}));
    EXPECT_EQ(listing(dir / "flat"), (std::set<std::string>{"box", "box/Inner.ZIP"}));

    ASSERT_TRUE(QXZipArchive::unzipFileAtPath(outer, dir / "deep", true, true, 1, std::nullopt, nullptr, nullptr, {}, {}));
    EXPECT_EQ(listing(dir / "deep"), (std::set<std::string>{"box", "box/deep.txt"}));
    EXPECT_EQ(readFile(dir / "deep/box/deep.txt"), "deep");
}

TEST(QXZipArchiveReader, WithoutPreservingAttributesFilesGetTodaysDateAndDefaultMode)
{
    TempDir dir;
    writeFile(dir / "f", "f");
    ::chmod((dir / "f").c_str(), 0700);
    setModificationTime(dir / "f", localTime(1995, 1, 1, 0, 0, 0));
    const std::string archive = dir / "a.zip";
    ASSERT_TRUE(QXZipArchive::createZipFileAtPath(archive, std::vector<std::string>{dir / "f"}));
    ASSERT_TRUE(QXZipArchive::unzipFileAtPath(archive, dir / "kept"));
    EXPECT_EQ(modificationTime(dir / "kept/f"), localTime(1995, 1, 1, 0, 0, 0));
    EXPECT_EQ(mode(dir / "kept/f") & 0777, 0700u);
    ASSERT_TRUE(QXZipArchive::unzipFileAtPath(archive, dir / "plain", false, true, std::nullopt, nullptr, nullptr));
    EXPECT_GT(modificationTime(dir / "plain/f"), localTime(2020, 1, 1, 0, 0, 0));
}

TEST(QXZipArchiveReader, DamagedCompressedDataFailsWithAnError)
{
    TempDir dir;
    std::string text;
    for (int i = 0; i < 400; ++i)
        text += "line " + std::to_string(i * 7919 % 1000) + " of the map\n";
    const std::string archive = ArchiveBuilder(dir, "deflated.zip").file("map.txt", text, 9).file("later.txt", "later").finish();
    const auto entries = centralDirectory(readFile(archive));
    ASSERT_EQ(entries[0].method, 8);
    // Damage the middle of the compressed data of the first entry.
    std::string content = readFile(archive);
    const std::size_t dataStart = 30 + entries[0].name.size();
    content[dataStart + entries[0].compressedSize / 2] ^= 0x55;
    writeFile(archive, content);

    std::optional<QXZipArchiveError> error;
    EXPECT_FALSE(QXZipArchive::unzipFileAtPath(archive, dir / "dest", true, std::nullopt, &error));
    ASSERT_TRUE(error.has_value()) << "a damaged entry is never a silent failure";
    EXPECT_EQ(error->domain(), "QXZipArchiveErrorDomain");
    EXPECT_EQ(error->code(), -4);
    EXPECT_EQ(error->message(), "failed to read contents of file entry");
    EXPECT_FALSE(fs::exists(dir / "dest/later.txt"));
}

TEST(QXZipArchiveReader, UnusableDestinationIsAnError)
{
    TempDir dir;
    const std::string archive = ArchiveBuilder(dir, "a.zip").file("f.txt", "f").finish();
    writeFile(dir / "occupied", "a file where the folder should be");
    std::optional<QXZipArchiveError> error;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(QXZipArchive::unzipFileAtPath(archive, dir / "occupied", true, std::nullopt, &error));
    EXPECT_FALSE(QXZipArchive::unzipFileAtPath(archive, dir / "occupied/below", true, std::nullopt, &error));
    testing::internal::GetCapturedStderr();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->domain(), "NSPOSIXErrorDomain");
    EXPECT_EQ(error->code(), ENOTDIR);
    EXPECT_EQ(readFile(dir / "occupied"), "a file where the folder should be");
}

TEST(QXZipArchiveReader, StoredEntriesLargerThanOneReadComeOutWholeAndCheckedAgainstTheirChecksum)
{
    TempDir dir;
    std::string payload;
    for (int i = 0; payload.size() < 2'500'000; ++i)
        payload += std::to_string(i) + ",";
    const std::string archive = ArchiveBuilder(dir, "big.zip").file("big.bin", payload).finish();
    ASSERT_TRUE(QXZipArchive::unzipFileAtPath(archive, dir / "dest"));
    EXPECT_EQ(readFile(dir / "dest/big.bin"), payload);

    // A byte changed past the first megabyte is found at the end.
    std::string content = readFile(archive);
    const auto at = content.find("300000,");
    ASSERT_NE(at, std::string::npos);
    content[at] = '9';
    writeFile(archive, content);
    std::optional<QXZipArchiveError> error;
    EXPECT_FALSE(QXZipArchive::unzipFileAtPath(archive, dir / "again", true, true, std::nullopt, &error, nullptr));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->message(), "crc check failed for file");
}
