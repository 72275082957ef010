#include "files/QXZipArchive.h"

#include "ZipTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace velquine;
using namespace ziptest;

TEST(QXZipArchiveNames, StoredNamesAreDecodedByTheirDeclaredEncoding)
{
    const char dos[] = "\x80\x81\x9E\xE1\xFF" "a";
    // MS-DOS host without the UTF-8 flag: code page 437.
    EXPECT_EQ(QXZipArchive::filenameStringWithCString(dos, 0x0014, 0, 6), "Çü₧ß\u00A0a");
    // Unix host, no flag, valid UTF-8: UTF-8.
    EXPECT_EQ(QXZipArchive::filenameStringWithCString("Grüße", 0x031E, 0, 7), "Grüße");
    // The flag wins over the MS-DOS host.
    EXPECT_EQ(QXZipArchive::filenameStringWithCString("Grüße", 0x0014, 0x0800, 7), "Grüße");
    // Neither code page 437 applies nor UTF-8 decodes: every byte stands for its Latin-1 character.
    EXPECT_EQ(QXZipArchive::filenameStringWithCString("\xE9t\xE9", 0x1300, 0x0800, 3), "été");
    EXPECT_EQ(QXZipArchive::filenameStringWithCString("\xC0\x80", 0x0300, 0, 2), "À\u0080") << "overlong form";
    // The name ends at its length or at a zero byte, whichever comes first.
    EXPECT_EQ(QXZipArchive::filenameStringWithCString("abcdef", 0x0300, 0, 3), "abc");
    EXPECT_EQ(QXZipArchive::filenameStringWithCString("ab\0cd", 0x0300, 0, 5), "ab");
    EXPECT_EQ(QXZipArchive::filenameStringWithCString(nullptr, 0x0300, 0, 5), "");
}

TEST(QXZipArchiveNames, SanitisingRemovesDotSegmentsWithoutClimbingOut)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"../../x", "x"},
        {"a/./b", "a/b"},
        {"..", ""},
        {".", ""},
        {"./", ""},
        {"/abs/x.txt", "/abs/x.txt"},
        {"a\\b.txt", "a/b.txt"},
        {"..\\..\\win.ini", "win.ini"},
        {"a/b/../../../c", "c"},
        {"a/b/..", "a/"},
        {"dir/", "dir/"},
        {"%2e%2e/x", "%2e%2e/x"},
        {"...", "..."},
        {"a/..b", "a/..b"},
        {"", ""},
        {"Grüße/ü.txt", "Grüße/ü.txt"},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(QXZipArchive::sanitizedPath(in), out) << in;
}

TEST(QXZipArchiveNames, EscapeTestComparesResolvedComponents)
{
    TempDir dir;
    const std::string folder = dir / "folder";
    fs::create_directories(folder + "/sub");
    fs::create_directory(dir / "folderish");
    fs::create_symlink("..", folder + "/sub/up");
    fs::create_symlink("sub", folder + "/in");

    EXPECT_FALSE(QXZipArchive::escapesTargetDirectory(folder + "/a", folder));
    EXPECT_FALSE(QXZipArchive::escapesTargetDirectory(folder, folder));
    EXPECT_FALSE(QXZipArchive::escapesTargetDirectory(folder + "/sub/../x", folder));
    EXPECT_FALSE(QXZipArchive::escapesTargetDirectory(folder + "/in/x", folder));
    EXPECT_FALSE(QXZipArchive::escapesTargetDirectory(folder + "/sub/up/x", folder)) << "sub/up is the folder itself";
    EXPECT_TRUE(QXZipArchive::escapesTargetDirectory(folder + "/sub/up/../x", folder)) << ".. is taken physically";
    EXPECT_TRUE(QXZipArchive::escapesTargetDirectory(folder + "/../x", folder));
    EXPECT_TRUE(QXZipArchive::escapesTargetDirectory(dir / "folderish/x", folder)) << "components, not prefixes";
    EXPECT_TRUE(QXZipArchive::escapesTargetDirectory(dir.path(), folder));
    EXPECT_TRUE(QXZipArchive::escapesTargetDirectory("/etc/passwd", folder));
    EXPECT_FALSE(QXZipArchive::escapesTargetDirectory("/etc/passwd", "")) << "a folder with no components";
    const char* home = std::getenv("HOME");
    if (home && *home) {
        EXPECT_FALSE(QXZipArchive::escapesTargetDirectory(std::string(home) + "/x", "~"));
    }

    // A loop of links leads nowhere inside.
    fs::create_symlink("loop2", folder + "/loop1");
    fs::create_symlink("loop1", folder + "/loop2");
    EXPECT_TRUE(QXZipArchive::escapesTargetDirectory(folder + "/loop1", folder));
}

TEST(QXZipArchiveNames, MsdosDatesRoundTripInLocalTime)
{
    const double date = localTime(2024, 2, 29, 23, 59, 59);
    const std::uint32_t packed = QXZipArchive::msdosDateTimeFromDate(date);
    EXPECT_EQ(packed, (44u << 25) | (2u << 21) | (29u << 16) | (23u << 11) | (59u << 5) | 29u);
    EXPECT_EQ(QXZipArchive::dateWithMSDOSFormat(packed), date - 1) << "seconds are stored halved";
    EXPECT_EQ(QXZipArchive::dateWithMSDOSFormat((0u << 25) | (1u << 21) | (1u << 16)), localTime(1980, 1, 1, 0, 0, 0));
    EXPECT_EQ(QXZipArchive::dateWithMSDOSFormat((127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u),
              localTime(2107, 12, 31, 23, 59, 58));
    // Outside the format's years the date is pinned to its ends.
    EXPECT_EQ(QXZipArchive::msdosDateTimeFromDate(localTime(1970, 1, 2, 3, 4, 5)), (1u << 21) | (1u << 16));
    EXPECT_EQ(QXZipArchive::msdosDateTimeFromDate(localTime(2200, 1, 1, 0, 0, 0)),
              (127u << 25) | (12u << 21) | (31u << 16) | (23u << 11) | (59u << 5) | 29u);
    EXPECT_EQ(QXZipArchive::msdosDateTimeFromDate(localTime(1980, 1, 1, 0, 0, 1)), (1u << 21) | (1u << 16));
}

TEST(QXZipArchiveNames, BytesAsHexadecimalAndUrlSafeBase64)
{
    EXPECT_EQ(QXZipArchive::hexString({}), "");
    EXPECT_EQ(QXZipArchive::hexString({0x00, 0x0F, 0xA5, 0xFF}), "000FA5FF");
    EXPECT_EQ(QXZipArchive::base64RFC4648({}), "");
    EXPECT_EQ(QXZipArchive::base64RFC4648({'f'}), "Zg==");
    EXPECT_EQ(QXZipArchive::base64RFC4648({'f', 'o'}), "Zm8=");
    EXPECT_EQ(QXZipArchive::base64RFC4648({'f', 'o', 'o'}), "Zm9v");
    EXPECT_EQ(QXZipArchive::base64RFC4648({0xFB, 0xFF}), "-_8=") << "'+' and '/' become '-' and '_'";
    EXPECT_EQ(QXZipArchive::base64RFC4648({0xFB, 0xEF, 0xBE}), "----");
}
