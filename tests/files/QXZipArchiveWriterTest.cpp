#include "files/QXZipArchive.h"

#include "ZipTestSupport.h"
#include "platform/Clock.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>

using namespace velquine;
using namespace ziptest;

namespace {

std::vector<std::string> names(const std::vector<CentralEntry>& entries)
{
    std::vector<std::string> out;
    for (const auto& e : entries)
        out.push_back(e.name);
    std::sort(out.begin(), out.end());
    return out;
}

// The folder a document save zips: one database file with a known date and mode.
struct DocumentFolder {
    TempDir dir;
    std::string folder = dir / "save";
    std::string database = folder + "/database.sqlite";
    std::string archive = dir / "Map.velquine";
    double date = localTime(2024, 3, 5, 14, 27, 37);

    DocumentFolder()
    {
        fs::create_directory(folder);
        std::string content = "SQLite format 3";
        content.push_back('\0');
        for (int i = 0; i < 5000; ++i)
            content += "row " + std::to_string(i) + ";";
        writeFile(database, content);
        ::chmod(database.c_str(), 0640);
        setModificationTime(database, date);
    }

    bool save() const
    {
        return QXZipArchive::createZipFileAtPath(archive, folder, false, 0, std::nullopt, false, {});
    }
};

} // namespace

TEST(QXZipArchiveWriter, DocumentArchiveHoldsOneStoredUtf8EntryWithDateAndMode)
{
    DocumentFolder doc;
    ASSERT_TRUE(doc.save());

    const std::string bytes = readFile(doc.archive);
    const auto entries = centralDirectory(bytes);
    ASSERT_EQ(entries.size(), 1u);
    const CentralEntry& e = entries[0];
    EXPECT_EQ(e.name, "database.sqlite");
    EXPECT_EQ(e.method, 0) << "stored, not deflated";
    EXPECT_EQ(e.flag & 0x0800, 0x0800) << "names in UTF-8";
    EXPECT_EQ(e.flag & 0x0001, 0) << "not encrypted";
    EXPECT_EQ(e.versionMadeBy, 0x1300);
    EXPECT_EQ(e.externalAttributes, 0x81A00000u) << "regular file, rw-r-----, low 16 bits clear";
    // 2024-03-05 14:27:37 local: seconds halved, rounded down.
    EXPECT_EQ(e.dosDate, (44u << 25) | (3u << 21) | (5u << 16) | (14u << 11) | (27u << 5) | 18u);
    EXPECT_EQ(e.uncompressedSize, fs::file_size(doc.database));
    EXPECT_EQ(e.compressedSize, e.uncompressedSize);
    EXPECT_EQ(e.localHeaderOffset, 0u);
    // A small entry gets plain headers: no zip64 extra field in either header.
    EXPECT_EQ(e.extraLength, 0u);
    EXPECT_EQ(le(bytes, 28, 2), 0u) << "local header extra field";
    EXPECT_EQ(le(bytes, 6, 2), 0x0800u) << "local header flag";
    EXPECT_EQ(le(bytes, 8, 2), 0u) << "local header method";
}

TEST(QXZipArchiveWriter, DocumentArchiveIsReadByTheSystemZipTools)
{
    DocumentFolder doc;
    ASSERT_TRUE(doc.save());

    const auto test = run("unzip -t " + shellQuoted(doc.archive));
    EXPECT_EQ(test.status, 0) << test.output;
    EXPECT_NE(test.output.find("No errors detected"), std::string::npos) << test.output;

    const auto info = run("zipinfo " + shellQuoted(doc.archive));
    EXPECT_EQ(info.status, 0) << info.output;
    EXPECT_NE(info.output.find("number of entries: 1"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find("-rw-r-----"), std::string::npos) << info.output;
    EXPECT_NE(info.output.find(" stor 24-Mar-05 14:27 database.sqlite"), std::string::npos) << info.output;

    const std::string out = doc.dir / "out";
    const auto extract = run("unzip -q " + shellQuoted(doc.archive) + " -d " + shellQuoted(out));
    ASSERT_EQ(extract.status, 0) << extract.output;
    EXPECT_EQ(listing(out), std::set<std::string>{"database.sqlite"});
    EXPECT_EQ(readFile(out + "/database.sqlite"), readFile(doc.database));
    EXPECT_EQ(modificationTime(out + "/database.sqlite"), localTime(2024, 3, 5, 14, 27, 36));
}

TEST(QXZipArchiveWriter, DocumentArchiveReadsBackThroughTheReader)
{
    DocumentFolder doc;
    ASSERT_TRUE(doc.save());
    const std::string out = doc.dir / "open";
    fs::create_directory(out);
    ASSERT_TRUE(QXZipArchive::unzipFileAtPath(doc.archive, out));
    EXPECT_EQ(listing(out), std::set<std::string>{"database.sqlite"});
    EXPECT_EQ(readFile(out + "/database.sqlite"), readFile(doc.database));
    EXPECT_EQ(mode(out + "/database.sqlite") & 0777, 0640u) << "stored mode, owner read and write included";
    EXPECT_EQ(modificationTime(out + "/database.sqlite"), localTime(2024, 3, 5, 14, 27, 36));
}

TEST(QXZipArchiveWriter, DefaultLevelDeflatesAndZipAgrees)
{
    TempDir dir;
    const std::string folder = dir / "in";
    fs::create_directories(folder + "/sub");
    writeFile(folder + "/a.txt", std::string(20000, 'a'));
    writeFile(folder + "/sub/b.txt", "bee");
    const std::string archive = dir / "x.zip";
    ASSERT_TRUE(QXZipArchive::createZipFileAtPath(archive, folder));
    const auto entries = centralDirectory(readFile(archive));
    EXPECT_EQ(names(entries), (std::vector<std::string>{"a.txt", "sub/b.txt"})) << "a folder with contents has no entry";
    for (const auto& e : entries)
        EXPECT_EQ(e.method, 8) << e.name;
    const auto test = run("unzip -t " + shellQuoted(archive));
    EXPECT_EQ(test.status, 0) << test.output;
}

TEST(QXZipArchiveWriter, EmptyFoldersGetTheirOwnEntries)
{
    TempDir dir;
    const std::string empty = dir / "lonely";
    fs::create_directory(empty);

    const std::string withParent = dir / "with.zip";
    ASSERT_TRUE(QXZipArchive::createZipFileAtPath(withParent, empty, true));
    const auto withEntries = centralDirectory(readFile(withParent));
    ASSERT_EQ(withEntries.size(), 1u);
    EXPECT_EQ(withEntries[0].name, "lonely/");
    EXPECT_EQ(withEntries[0].method, 0);

    const std::string without = dir / "without.zip";
    ASSERT_TRUE(QXZipArchive::createZipFileAtPath(without, empty, false));
    EXPECT_TRUE(centralDirectory(readFile(without)).empty());

    const std::string a = dir / "a";
    fs::create_directories(a + "/b");
    fs::create_directories(a + "/full");
    writeFile(a + "/full/f.txt", "f");
    const std::string nested = dir / "nested.zip";
    ASSERT_TRUE(QXZipArchive::createZipFileAtPath(nested, a, true));
    EXPECT_EQ(names(centralDirectory(readFile(nested))), (std::vector<std::string>{"a/b/", "a/full/f.txt"}));
}

TEST(QXZipArchiveWriter, ArchiveInsideTheFolderIsNotZippedIntoItself)
{
    TempDir dir;
    writeFile(dir / "keep.txt", "keep");
    const std::string archive = dir / "self.zip";
    testing::internal::CaptureStderr();
    const bool ok = QXZipArchive::createZipFileAtPath(archive, dir.path());
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(ok);
    EXPECT_EQ(names(centralDirectory(readFile(archive))), std::vector<std::string>{"keep.txt"});
    EXPECT_NE(log.find("[QXZipArchive] the archive path and the file path: " + archive
                       + " are the same, which is forbidden."),
              std::string::npos)
        << log;

    // A link to the archive is the archive; kept as a link, it is only its target text.
    fs::create_symlink("self.zip", dir / "alias");
    testing::internal::CaptureStderr();
    EXPECT_TRUE(QXZipArchive::createZipFileAtPath(archive, dir.path(), false, -1, std::nullopt, false, {}, false));
    const std::string followedLog = testing::internal::GetCapturedStderr();
    EXPECT_EQ(names(centralDirectory(readFile(archive))), std::vector<std::string>{"keep.txt"});
    EXPECT_NE(followedLog.find("file path: " + (dir / "alias") + " are the same"), std::string::npos) << followedLog;
    testing::internal::CaptureStderr();
    EXPECT_TRUE(QXZipArchive::createZipFileAtPath(archive, dir.path(), false, -1, std::nullopt, false, {}, true));
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(names(centralDirectory(readFile(archive))), (std::vector<std::string>{"alias", "keep.txt"}));
}

TEST(QXZipArchiveWriter, FilesThatVanishDuringTheWalkMakeTheResultFalse)
{
    TempDir dir;
    const std::string folder = dir / "in";
    fs::create_directory(folder);
    writeFile(folder + "/one", "1");
    writeFile(folder + "/two", "2");
    writeFile(folder + "/three", "3");
    const std::string archive = dir / "x.zip";
    std::vector<std::pair<unsigned long, unsigned long>> reports;
    const bool ok = QXZipArchive::createZipFileAtPath(
        archive, folder, false, -1, std::nullopt, false, [&](unsigned long done, unsigned long total) {
            reports.emplace_back(done, total);
            if (done == 1) // the first file is in the archive; the other two vanish before their turn
                for (const char* name : {"one", "two", "three"})
                    fs::remove(folder + "/" + name);
        });
    EXPECT_FALSE(ok);
    EXPECT_EQ(reports, (std::vector<std::pair<unsigned long, unsigned long>>{{1, 3}, {2, 3}, {3, 3}}));
    const auto entries = centralDirectory(readFile(archive));
    ASSERT_EQ(entries.size(), 1u) << "the entry written before stays, the vanished ones are missing";
    EXPECT_TRUE(entries[0].name == "one" || entries[0].name == "two" || entries[0].name == "three");
    EXPECT_EQ(run("unzip -t " + shellQuoted(archive)).status, 0);
}

TEST(QXZipArchiveWriter, ReadOrWriteFailuresAreReportedNotHidden)
{
    TempDir dir;
    // Opening a folder for reading works, reading it does not: the entry must not count as written.
    fs::create_directory(dir / "folder");
    {
        QXZipArchive archive(dir / "read.zip");
        ASSERT_TRUE(archive.open());
        EXPECT_FALSE(archive.writeFileAtPath(dir / "folder", std::string("folder.bin"), 0, std::nullopt, false));
        EXPECT_TRUE(archive.close());
    }
    // A device that is always full: the data writes and the close fail, and so does the whole archive.
    writeFile(dir / "big.bin", std::string(300000, 'x'));
    fs::create_directory(dir / "in");
    fs::copy_file(dir / "big.bin", dir / "in/big.bin");
    EXPECT_FALSE(QXZipArchive::createZipFileAtPath("/dev/full", dir / "in", false, 0, std::nullopt, false, {}));
    {
        QXZipArchive archive("/dev/full");
        ASSERT_TRUE(archive.open());
        EXPECT_FALSE(archive.writeFileAtPath(dir / "big.bin", std::nullopt, 0, std::nullopt, false));
        EXPECT_FALSE(archive.close());
    }
    // A file that cannot be opened adds nothing.
    {
        QXZipArchive archive(dir / "missing.zip");
        ASSERT_TRUE(archive.open());
        EXPECT_FALSE(archive.writeFile(dir / "no-such-file", std::nullopt));
        EXPECT_TRUE(archive.close());
        EXPECT_TRUE(centralDirectory(readFile(dir / "missing.zip")).empty());
    }
    // The folder to zip does not exist: no entries can be promised.
    EXPECT_FALSE(QXZipArchive::createZipFileAtPath(dir / "none.zip", dir / "no-such-folder"));
    // The archive cannot be created at all.
    EXPECT_FALSE(QXZipArchive::createZipFileAtPath(dir / "no-such-folder/x.zip", dir / "in"));
}

TEST(QXZipArchiveWriter, PasswordsAreRefusedBeforeTheArchiveIsTouched)
{
    TempDir dir;
    fs::create_directory(dir / "in");
    writeFile(dir / "in/secret.txt", "secret");
    writeFile(dir / "old.zip", "previous contents");

    testing::internal::CaptureStderr();
    EXPECT_FALSE(QXZipArchive::createZipFileAtPath(dir / "old.zip", dir / "in", std::optional<std::string>("pw")));
    EXPECT_FALSE(QXZipArchive::createZipFileAtPath(dir / "list.zip", std::vector<std::string>{dir / "in/secret.txt"},
                                                   std::optional<std::string>("pw")));
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("[QXZipArchive] encryption not supported"), std::string::npos) << log;
    EXPECT_EQ(readFile(dir / "old.zip"), "previous contents");
    EXPECT_FALSE(fs::exists(dir / "list.zip"));

    QXZipArchive archive(dir / "entries.zip");
    ASSERT_TRUE(archive.open());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(archive.writeFile(dir / "in/secret.txt", std::string("pw")));
    EXPECT_FALSE(archive.writeData(std::vector<std::uint8_t>{1, 2}, "d", std::string("pw")));
    EXPECT_FALSE(archive.writeFolderAtPath(dir / "in", "in", std::string("pw")));
    testing::internal::GetCapturedStderr();
    // An empty password is no password.
    EXPECT_TRUE(archive.writeFile(dir / "in/secret.txt", std::string()));
    ASSERT_TRUE(archive.close());
    const auto entries = centralDirectory(readFile(dir / "entries.zip"));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].flag & 1, 0);
}

TEST(QXZipArchiveWriter, MisuseOfTheOpenStateIsAProgrammingError)
{
    EXPECT_THROW(QXZipArchive(""), std::invalid_argument);
    TempDir dir;
    QXZipArchive archive(dir / "x.zip");
    EXPECT_EQ(archive.path(), dir / "x.zip");
    try {
        archive.writeFile(dir / "x", std::nullopt);
        ADD_FAILURE() << "no exception";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "Attempting to write to an archive which was never opened");
    }
    try {
        archive.close();
        ADD_FAILURE() << "no exception";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "[QXZipArchive] Attempting to close an archive which was never opened");
    }
    // Data to a closed archive is a plain false, as is absent data.
    EXPECT_FALSE(archive.writeData(std::vector<std::uint8_t>{1}, "d", std::nullopt));
    ASSERT_TRUE(archive.open());
    try {
        archive.open();
        ADD_FAILURE() << "no exception";
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "Attempting to open an archive which is already open");
    }
    EXPECT_FALSE(archive.writeData(std::nullopt, "nothing", std::nullopt));
    EXPECT_TRUE(archive.close());
    EXPECT_FALSE(archive.isOpen());
    EXPECT_TRUE(centralDirectory(readFile(dir / "x.zip")).empty());
}

TEST(QXZipArchiveWriter, DataEntriesAreDatedNowAndAppendingKeepsEarlierEntries)
{
    TempDir dir;
    const std::string path = dir / "data.zip";
    {
        ScopedClock clock(localTime(2031, 12, 24, 18, 0, 59));
        QXZipArchive archive(path);
        ASSERT_TRUE(archive.open());
        EXPECT_TRUE(archive.writeData(std::vector<std::uint8_t>{'h', 'i'}, "notes/hi.txt", 0, std::nullopt, false));
        EXPECT_TRUE(archive.close());
    }
    {
        QXZipArchive archive(path);
        ASSERT_TRUE(archive.openForAppending());
        EXPECT_TRUE(archive.writeData(std::vector<std::uint8_t>(), "empty", std::nullopt));
        EXPECT_TRUE(archive.close());
    }
    const auto entries = centralDirectory(readFile(path));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].name, "notes/hi.txt");
    EXPECT_EQ(entries[0].dosDate, (51u << 25) | (12u << 21) | (24u << 16) | (18u << 11) | (0u << 5) | 29u);
    EXPECT_EQ(entries[0].externalAttributes, 0u);
    EXPECT_EQ(entries[1].name, "empty");
    EXPECT_EQ(run("unzip -t " + shellQuoted(path)).status, 0);
    EXPECT_EQ(run("unzip -p " + shellQuoted(path) + " notes/hi.txt").output, "hi");
}

TEST(QXZipArchiveWriter, SymbolicLinksAreStoredAsLinksWhenAsked)
{
    TempDir dir;
    const std::string folder = dir / "in";
    fs::create_directory(folder);
    writeFile(folder + "/target.txt", "target");
    fs::create_symlink("target.txt", folder + "/link");
    fs::create_directory(folder + "/emptydir");
    fs::create_directory_symlink("emptydir", folder + "/dirlink");

    const std::string kept = dir / "kept.zip";
    ASSERT_TRUE(QXZipArchive::createZipFileAtPath(kept, folder, false, -1, std::nullopt, false, {}, true));
    const auto entries = centralDirectory(readFile(kept));
    EXPECT_EQ(names(entries), (std::vector<std::string>{"dirlink", "emptydir/", "link", "target.txt"}));
    for (const auto& e : entries) {
        if (e.name == "link" || e.name == "dirlink") {
            EXPECT_EQ(e.versionMadeBy, 0x0300) << e.name;
            EXPECT_EQ(e.flag & 0x0800, 0) << e.name;
            EXPECT_EQ(e.externalAttributes, 0xA1FF0400u) << e.name;
        }
    }
    const auto info = run("zipinfo " + shellQuoted(kept));
    EXPECT_NE(info.output.find("lrwxrwxrwx"), std::string::npos) << info.output;
    const std::string out = dir / "out";
    ASSERT_EQ(run("unzip -q " + shellQuoted(kept) + " -d " + shellQuoted(out)).status, 0);
    EXPECT_EQ(linkTarget(out + "/link"), "target.txt");
    EXPECT_EQ(linkTarget(out + "/dirlink"), "emptydir");

    // Without keeping links, a link to a file is stored as the file's contents, with the file's mode.
    ::chmod((folder + "/target.txt").c_str(), 0640);
    const std::string followed = dir / "followed.zip";
    ASSERT_TRUE(QXZipArchive::createZipFileAtPath(followed, folder, false, -1, std::nullopt, false, {}, false));
    EXPECT_EQ(run("unzip -p " + shellQuoted(followed) + " link").output, "target");
    for (const auto& e : centralDirectory(readFile(followed))) {
        if (e.name == "link") {
            EXPECT_EQ(e.externalAttributes, 0x81A00000u) << "not the link's rwxrwxrwx";
        }
    }

    // The file-list form.
    const std::string listed = dir / "listed.zip";
    ASSERT_TRUE(QXZipArchive::createZipFileAtPath(listed, std::vector<std::string>{folder + "/link", folder + "/target.txt"},
                                                  std::nullopt, true));
    const auto listedEntries = centralDirectory(readFile(listed));
    ASSERT_EQ(listedEntries.size(), 2u);
    EXPECT_EQ(listedEntries[0].name, "link");
    EXPECT_EQ(listedEntries[0].externalAttributes >> 28, 0xAu);

    QXZipArchive archive(dir / "bad.zip");
    ASSERT_TRUE(archive.open());
    testing::internal::CaptureStderr();
    EXPECT_FALSE(archive.writeSymlinkFileAtPath(folder + "/target.txt", std::nullopt, -1, std::nullopt, false));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("[QXZipArchive] Failed to read sylink"), std::string::npos);
    EXPECT_TRUE(archive.close());
}

TEST(QXZipArchiveWriter, FileListReportsProgressAfterEveryPath)
{
    TempDir dir;
    writeFile(dir / "a", "a");
    writeFile(dir / "b", "b");
    std::vector<std::pair<unsigned long, unsigned long>> reports;
    const bool ok = QXZipArchive::createZipFileAtPath(
        dir / "x.zip", std::vector<std::string>{dir / "a", dir / "missing", dir / "b"}, std::nullopt,
        [&](unsigned long done, unsigned long total) { reports.emplace_back(done, total); });
    EXPECT_FALSE(ok) << "one path could not be read";
    EXPECT_EQ(reports, (std::vector<std::pair<unsigned long, unsigned long>>{{1, 3}, {2, 3}, {3, 3}}));
    EXPECT_EQ(names(centralDirectory(readFile(dir / "x.zip"))), (std::vector<std::string>{"a", "b"}));
}

TEST(QXZipArchiveWriter, EntryRecordFromAnItemAndFromADate)
{
    TempDir dir;
    writeFile(dir / "f", "x");
    ::chmod((dir / "f").c_str(), 0754);
    setModificationTime(dir / "f", localTime(1999, 12, 31, 23, 59, 58));
    QXZipArchive::EntryRecord record;
    QXZipArchive::zipInfoSetAttributesOfItemAtPath(record, dir / "f");
    EXPECT_EQ(record.externalAttributes, (0x8000u + 0754u) << 16);
    EXPECT_EQ(record.dosDate, (19u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u);

    fs::create_directory(dir / "d");
    ::chmod((dir / "d").c_str(), 0700);
    QXZipArchive::zipInfoSetAttributesOfItemAtPath(record, dir / "d");
    EXPECT_EQ(record.externalAttributes, 0x81C00000u) << "folders get the regular-file type bits too";

    // An item without a date still gets a valid one: the first day the format holds.
    {
        QXZipArchive archive(dir / "dateless.zip");
        ASSERT_TRUE(archive.open());
        EXPECT_TRUE(archive.writeFolderAtPath(dir / "missing", "ghost", std::nullopt));
        ASSERT_TRUE(archive.close());
        const auto entries = centralDirectory(readFile(dir / "dateless.zip"));
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].name, "ghost/");
        EXPECT_EQ(entries[0].dosDate, (1u << 21) | (1u << 16));
    }

    QXZipArchive::EntryRecord untouched{123, 4, 567};
    QXZipArchive::zipInfoSetAttributesOfItemAtPath(untouched, dir / "missing");
    EXPECT_EQ(untouched.dosDate, 123u);
    EXPECT_EQ(untouched.externalAttributes, 567u);
}
