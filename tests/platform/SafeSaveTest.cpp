#include "platform/SafeSave.h"

#include "support/TempFiles.h"

#include <sys/stat.h>

#include <stdexcept>

using namespace velquine;
using namespace velquine::testing;

TEST(SafeFileReplacement, TheTargetChangesOnlyWhenTheNewFileIsComplete)
{
    Folder folder;
    const std::string target = folder / "doc.radovudo";
    writeBytes(target, "old contents");
    ::chmod(target.c_str(), 0640);

    // A writer that fails after writing part of its file.
    std::string seenPath;
    EXPECT_FALSE(replaceFile(target, [&](const std::string& path) {
        seenPath = path;
        writeBytes(path, "half");
        return false;
    }));
    EXPECT_EQ(std::filesystem::path(seenPath).parent_path(), std::filesystem::path(folder.path()));
    EXPECT_NE(seenPath, target);
    EXPECT_EQ(fileBytes(target), "old contents");
    EXPECT_EQ(folderNames(folder.path()), std::vector<std::string>{"doc.radovudo"});

    // A writer that throws.
    EXPECT_THROW(replaceFile(target,
                             [&](const std::string& path) -> bool {
                                 writeBytes(path, "partial");
                                 throw std::runtime_error("boom");
                             }),
                 std::runtime_error);
    EXPECT_EQ(fileBytes(target), "old contents");
    EXPECT_EQ(folderNames(folder.path()), std::vector<std::string>{"doc.radovudo"});

    // A writer that answers true without making a file: nothing to put in place.
    EXPECT_FALSE(replaceFile(target, [](const std::string&) { return true; }));
    EXPECT_EQ(fileBytes(target), "old contents");

    // Success: new contents, old permissions, nothing else left.
    EXPECT_TRUE(replaceFile(target, [](const std::string& path) {
        writeBytes(path, "new contents");
        return true;
    }));
    EXPECT_EQ(fileBytes(target), "new contents");
    struct stat info {};
    ASSERT_EQ(::stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(folderNames(folder.path()), std::vector<std::string>{"doc.radovudo"});
}

TEST(SafeFileReplacement, ALinkKeepsPointingAtItsReplacedFile)
{
    Folder folder;
    std::filesystem::create_directory(folder / "real");
    writeBytes(folder / "real/doc", "old");
    std::filesystem::create_symlink(folder / "real/doc", folder / "link");
    EXPECT_TRUE(replaceFile(folder / "link", [](const std::string& path) {
        writeBytes(path, "new");
        return true;
    }));
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "link"));
    EXPECT_EQ(fileBytes(folder / "real/doc"), "new");
    EXPECT_EQ(folderNames(folder / "real"), std::vector<std::string>{"doc"});
}

TEST(SafeFileReplacement, ANewFileIsMadeWhereNoneWas)
{
    Folder folder;
    EXPECT_TRUE(replaceFile(folder / "fresh", [](const std::string& path) {
        writeBytes(path, "content");
        return true;
    }));
    EXPECT_EQ(fileBytes(folder / "fresh"), "content");
    EXPECT_FALSE(replaceFile(folder / "missing-folder/fresh", [](const std::string& path) {
        writeBytes(path, "content");
        return true;
    }));
    EXPECT_FALSE(std::filesystem::exists(folder / "missing-folder"));
}

TEST(SafeFileReplacement, ContentsAreWrittenWholeAndLeftoversOfAKilledSaveAreRemoved)
{
    Folder folder;
    const std::string target = folder / "notes.txt";
    EXPECT_TRUE(replaceFileContents(target, std::string("line\0two", 8)));
    EXPECT_EQ(fileBytes(target), std::string("line\0two", 8));
    std::string cause;
    EXPECT_FALSE(replaceFileContents(folder / "missing/notes.txt", "x", &cause));
    EXPECT_EQ(cause, "No such file or directory");

    // Only the target's own hidden partial files go; other names stay.
    writeBytes(folder / ".notes.txt.0F2A3B4C-1D2E-4F50-8A6B-7C8D9E0F1A2B.saving", "partial");
    writeBytes(folder / ".notes.txt.not-a-uuid.saving", "kept");
    writeBytes(folder / ".other.txt.0F2A3B4C-1D2E-4F50-8A6B-7C8D9E0F1A2B.saving", "kept");
    removePartialFiles(target);
    EXPECT_EQ(folderNames(folder.path()),
              (std::vector<std::string>{".notes.txt.not-a-uuid.saving",
                                        ".other.txt.0F2A3B4C-1D2E-4F50-8A6B-7C8D9E0F1A2B.saving", "notes.txt"}));
}
