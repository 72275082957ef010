// The writing half of QXZipArchive: archives built from a folder or a list of files, entry by entry.

#include "files/QXZipArchive.h"

#include "files/QXZipArchiveInternal.h"
#include "platform/Clock.h"
#include "platform/Log.h"

#include <zip.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

namespace fs = std::filesystem;

namespace velquine {

namespace qxzip {

void log(std::string_view message)
{
    std::string line = "[QXZipArchive] ";
    line += message;
    systemLog(line);
}

std::string lastPathComponent(const std::string& path)
{
    std::size_t end = path.size();
    while (end > 1 && path[end - 1] == '/')
        --end;
    const std::string trimmed = path.substr(0, end);
    const auto slash = trimmed.find_last_of('/');
    if (slash == std::string::npos || trimmed == "/")
        return trimmed;
    return trimmed.substr(slash + 1);
}

std::uint32_t msdosAttributesFromMode(unsigned mode)
{
    std::uint32_t attributes;
    if (S_ISLNK(mode))
        attributes = 0x400;
    else if (S_ISDIR(mode))
        attributes = 0x10;
    else
        attributes = 0x80;
    if ((mode & 0333) == 0 && (mode & 0444) != 0)
        attributes |= 0x01;
    return attributes;
}

} // namespace qxzip

namespace {

constexpr std::size_t kCopyBufferSize = 16384;
constexpr std::uint16_t kVersionMadeByMac = 0x1300;
constexpr std::uint16_t kVersionMadeByUnix = 0x0300;
constexpr std::uint16_t kFlagUtf8Names = 0x0800;
// Entries that reach this size need zip64 records; smaller ones get plain headers, which every reader agrees on.
constexpr std::uint64_t kZip64Threshold = 0xFFFFFFFFull;

bool refusesPassword(const QXZipArchive::Password& password)
{
    if (password && !password->empty()) {
        qxzip::log("encryption not supported");
        return true;
    }
    return false;
}

struct FileCloser {
    void operator()(std::FILE* file) const
    {
        if (file)
            std::fclose(file);
    }
};

} // namespace

// ---- Class operations ----

bool QXZipArchive::createZipFileAtPath(const std::string& path, const std::string& directoryPath,
                                       bool keepParentDirectory, int compressionLevel, const Password& password,
                                       bool aes, const ProgressHandler& progressHandler)
{
    return createZipFileAtPath(path, directoryPath, keepParentDirectory, compressionLevel, password, aes,
                               progressHandler, false);
}

bool QXZipArchive::createZipFileAtPath(const std::string& path, const std::string& directoryPath,
                                       bool keepParentDirectory, int compressionLevel, const Password& password,
                                       bool aes, const ProgressHandler& progressHandler, bool keepSymlinks)
{
    // Refused before the archive file is touched, so no unreadable or empty archive replaces anything.
    if (refusesPassword(password))
        return false;

    QXZipArchive archive(path);
    if (!archive.open())
        return false;

    bool success = true;
    std::vector<std::string> items;
    {
        std::error_code ec;
        fs::recursive_directory_iterator it(directoryPath, fs::directory_options::none, ec);
        if (ec)
            success = false;
        const fs::recursive_directory_iterator end;
        while (!ec && it != end) {
            items.push_back(fs::path(it->path()).lexically_relative(directoryPath).generic_string());
            it.increment(ec);
        }
        if (ec)
            success = false; // a part of the folder could not be listed: the archive is incomplete
    }
    if (keepParentDirectory && items.empty())
        items.emplace_back();
    const unsigned long total = items.size();
    unsigned long complete = 0;

    const std::string parentName = qxzip::lastPathComponent(directoryPath);
    for (const std::string& relative : items) {
        std::string fullPath = directoryPath;
        if (!relative.empty()) {
            if (fullPath.empty() || fullPath.back() != '/')
                fullPath += '/';
            fullPath += relative;
        }
        std::string entryName = relative;
        if (keepParentDirectory)
            entryName = relative.empty() ? parentName : parentName + "/" + relative;

        struct stat linkStatus {};
        const bool isLink = ::lstat(fullPath.c_str(), &linkStatus) == 0 && S_ISLNK(linkStatus.st_mode);

        // The archive being written is never read into itself, links kept or not.
        const bool storedAsLink = keepSymlinks && isLink;
        std::error_code same;
        if (fullPath == path || (!storedAsLink && fs::equivalent(fullPath, path, same))) {
            qxzip::log("the archive path and the file path: " + fullPath + " are the same, which is forbidden.");
            continue;
        }

        std::error_code ec;
        const bool isDirectory = !storedAsLink && fs::is_directory(fullPath, ec);
        if (storedAsLink) {
            success = archive.writeSymlinkFileAtPath(fullPath, entryName, compressionLevel, password, aes) && success;
        } else if (!isDirectory) {
            success = archive.writeFileAtPath(fullPath, entryName, compressionLevel, password, aes) && success;
        } else {
            std::error_code listing;
            const bool empty = fs::directory_iterator(fullPath, listing) == fs::directory_iterator();
            if (listing)
                success = false;
            else if (empty)
                success = archive.writeFolderAtPath(fullPath, entryName, password) && success;
        }
        if (progressHandler) {
            ++complete;
            progressHandler(complete, total);
        }
    }

    success = archive.close() && success;
    return success;
}

bool QXZipArchive::createZipFileAtPath(const std::string& path, const std::string& directoryPath,
                                       bool keepParentDirectory, const Password& password,
                                       const ProgressHandler& progressHandler)
{
    return createZipFileAtPath(path, directoryPath, keepParentDirectory, -1, password, true, progressHandler);
}

bool QXZipArchive::createZipFileAtPath(const std::string& path, const std::string& directoryPath,
                                       bool keepParentDirectory, const Password& password)
{
    return createZipFileAtPath(path, directoryPath, keepParentDirectory, password, ProgressHandler{});
}

bool QXZipArchive::createZipFileAtPath(const std::string& path, const std::string& directoryPath,
                                       const Password& password)
{
    return createZipFileAtPath(path, directoryPath, false, password);
}

bool QXZipArchive::createZipFileAtPath(const std::string& path, const std::string& directoryPath,
                                       bool keepParentDirectory)
{
    return createZipFileAtPath(path, directoryPath, keepParentDirectory, Password{});
}

bool QXZipArchive::createZipFileAtPath(const std::string& path, const std::string& directoryPath)
{
    return createZipFileAtPath(path, directoryPath, Password{});
}

bool QXZipArchive::createZipFileAtPath(const std::string& path, const std::vector<std::string>& paths,
                                       const Password& password, const ProgressHandler& progressHandler)
{
    if (refusesPassword(password))
        return false;
    QXZipArchive archive(path);
    if (!archive.open())
        return false;
    bool success = true;
    unsigned long complete = 0;
    for (const std::string& filePath : paths) {
        success = archive.writeFile(filePath, password) && success;
        if (progressHandler) {
            ++complete;
            progressHandler(complete, paths.size());
        }
    }
    success = archive.close() && success;
    return success;
}

bool QXZipArchive::createZipFileAtPath(const std::string& path, const std::vector<std::string>& paths,
                                       const Password& password)
{
    return createZipFileAtPath(path, paths, password, ProgressHandler{});
}

bool QXZipArchive::createZipFileAtPath(const std::string& path, const std::vector<std::string>& paths)
{
    return createZipFileAtPath(path, paths, Password{});
}

bool QXZipArchive::createZipFileAtPath(const std::string& path, const std::vector<std::string>& paths,
                                       const Password& password, bool keepSymlinks)
{
    if (!keepSymlinks)
        return createZipFileAtPath(path, paths, password);
    if (refusesPassword(password))
        return false;
    QXZipArchive archive(path);
    if (!archive.open())
        return false;
    bool success = true;
    for (const std::string& filePath : paths) {
        struct stat status {};
        if (::lstat(filePath.c_str(), &status) == 0 && S_ISLNK(status.st_mode))
            success = archive.writeSymlinkFileAtPath(filePath, std::nullopt, -1, password, true) && success;
        else
            success = archive.writeFile(filePath, password) && success;
    }
    success = archive.close() && success;
    return success;
}

void QXZipArchive::zipInfoSetAttributesOfItemAtPath(EntryRecord& record, const std::string& path)
{
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0)
        return;
    zipInfoSetDate(record, static_cast<double>(status.st_mtim.tv_sec));
    // The regular-file type bits go with the permissions, for folders as well.
    record.externalAttributes = static_cast<std::uint32_t>(0x8000u + (status.st_mode & 0777u)) << 16;
}

void QXZipArchive::zipInfoSetDate(EntryRecord& record, double secondsSince1970)
{
    record.dosDate = msdosDateTimeFromDate(secondsSince1970);
}

// ---- One archive ----

QXZipArchive::QXZipArchive(std::string path) : path_(std::move(path))
{
    if (path_.empty())
        throw std::invalid_argument("QXZipArchive needs the path of its archive");
}

QXZipArchive::~QXZipArchive()
{
    if (zip_)
        zipClose(static_cast<zipFile>(zip_), nullptr);
}

bool QXZipArchive::open()
{
    if (zip_)
        throw std::logic_error("Attempting to open an archive which is already open");
    zip_ = zipOpen64(path_.c_str(), APPEND_STATUS_CREATE);
    return zip_ != nullptr;
}

bool QXZipArchive::openForAppending()
{
    if (zip_)
        throw std::logic_error("Attempting to open an archive which is already open");
    zip_ = zipOpen64(path_.c_str(), APPEND_STATUS_ADDINZIP);
    return zip_ != nullptr;
}

bool QXZipArchive::close()
{
    if (!zip_)
        throw std::logic_error("[QXZipArchive] Attempting to close an archive which was never opened");
    const int result = zipClose(static_cast<zipFile>(zip_), nullptr);
    zip_ = nullptr;
    return result == ZIP_OK;
}

void QXZipArchive::requireOpen() const
{
    if (!zip_)
        throw std::logic_error("Attempting to write to an archive which was never opened");
}

bool QXZipArchive::openEntry(const std::string& name, const EntryRecord& record, int compressionLevel,
                             std::uint16_t versionMadeBy, std::uint16_t flagBase, bool zip64)
{
    zip_fileinfo info{};
    // minizip reads a zero date as "take the broken-down date", which is all zero and no valid date.
    info.dosDate = record.dosDate != 0 ? record.dosDate : (1u << 21) | (1u << 16);
    info.internal_fa = record.internalAttributes;
    info.external_fa = record.externalAttributes;
    // minizip honours the requested method even at level 0, so "no compression" must ask for "stored" itself.
    const int method = compressionLevel == 0 ? 0 : Z_DEFLATED;
    return zipOpenNewFileInZip4_64(static_cast<zipFile>(zip_), name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                   method, compressionLevel, 0, -MAX_WBITS, DEF_MEM_LEVEL, Z_DEFAULT_STRATEGY,
                                   nullptr, 0, versionMadeBy, flagBase, zip64 ? 1 : 0)
        == ZIP_OK;
}

bool QXZipArchive::writeFileAtPath(const std::string& path, const std::optional<std::string>& fileName,
                                   int compressionLevel, const Password& password, bool /*aes*/)
{
    requireOpen();
    if (refusesPassword(password))
        return false;
    std::unique_ptr<std::FILE, FileCloser> input(std::fopen(path.c_str(), "rb"));
    if (!input)
        return false;
    const std::string name = fileName && !fileName->empty() ? *fileName : qxzip::lastPathComponent(path);

    EntryRecord record;
    zipInfoSetAttributesOfItemAtPath(record, path);
    struct stat status {};
    bool large = false;
    if (::fstat(::fileno(input.get()), &status) == 0) {
        // The entry holds what was read, so it takes the date and mode of that file, not of a link to it.
        zipInfoSetDate(record, static_cast<double>(status.st_mtim.tv_sec));
        record.externalAttributes = static_cast<std::uint32_t>(0x8000u + (status.st_mode & 0777u)) << 16;
        large = static_cast<std::uint64_t>(status.st_size) >= kZip64Threshold;
    }

    std::vector<char> buffer(kCopyBufferSize);
    if (!openEntry(name, record, compressionLevel, kVersionMadeByMac, kFlagUtf8Names, large))
        return false;

    bool success = true;
    zipFile zip = static_cast<zipFile>(zip_);
    while (success) {
        const std::size_t count = std::fread(buffer.data(), 1, buffer.size(), input.get());
        if (count > 0 && zipWriteInFileInZip(zip, buffer.data(), static_cast<unsigned>(count)) != ZIP_OK)
            success = false;
        if (std::ferror(input.get()))
            success = false;
        if (count < buffer.size())
            break;
    }
    success = zipCloseFileInZip(zip) == ZIP_OK && success;
    return success;
}

bool QXZipArchive::writeFileAtPath(const std::string& path, const std::optional<std::string>& fileName,
                                   const Password& password)
{
    return writeFileAtPath(path, fileName, -1, password, true);
}

bool QXZipArchive::writeFile(const std::string& path, const Password& password)
{
    return writeFileAtPath(path, std::nullopt, -1, password, true);
}

bool QXZipArchive::writeFolderAtPath(const std::string& path, const std::string& folderName, const Password& password)
{
    requireOpen();
    if (refusesPassword(password))
        return false;
    EntryRecord record;
    zipInfoSetAttributesOfItemAtPath(record, path);
    if (!openEntry(folderName + "/", record, 0, kVersionMadeByMac, kFlagUtf8Names, false))
        return false;
    return zipCloseFileInZip(static_cast<zipFile>(zip_)) == ZIP_OK;
}

bool QXZipArchive::writeData(const std::optional<std::vector<std::uint8_t>>& data, const std::string& filename,
                             int compressionLevel, const Password& password, bool /*aes*/)
{
    if (!data || !zip_)
        return false;
    if (refusesPassword(password))
        return false;
    EntryRecord record;
    zipInfoSetDate(record, Clock::now());
    if (!openEntry(filename, record, compressionLevel, kVersionMadeByMac, kFlagUtf8Names,
                   data->size() >= kZip64Threshold))
        return false;
    zipFile zip = static_cast<zipFile>(zip_);
    bool success = true;
    // minizip takes at most 4 GiB - 1 bytes per call.
    std::size_t offset = 0;
    while (success && offset < data->size()) {
        const std::size_t count = std::min<std::size_t>(data->size() - offset, 1u << 30);
        success = zipWriteInFileInZip(zip, data->data() + offset, static_cast<unsigned>(count)) == ZIP_OK;
        offset += count;
    }
    success = zipCloseFileInZip(zip) == ZIP_OK && success;
    return success;
}

bool QXZipArchive::writeData(const std::optional<std::vector<std::uint8_t>>& data, const std::string& filename,
                             const Password& password)
{
    return writeData(data, filename, -1, password, true);
}

bool QXZipArchive::writeSymlinkFileAtPath(const std::string& path, const std::optional<std::string>& fileName,
                                          int compressionLevel, const Password& password, bool /*aes*/)
{
    requireOpen();
    if (refusesPassword(password))
        return false;
    char target[1024];
    const ssize_t length = ::readlink(path.c_str(), target, sizeof target - 1);
    if (length < 0) {
        qxzip::log("Failed to read sylink");
        return false;
    }
    const std::string name = fileName && !fileName->empty() ? *fileName : qxzip::lastPathComponent(path);

    EntryRecord record;
    zipInfoSetAttributesOfItemAtPath(record, path);
    struct stat status {};
    if (::lstat(path.c_str(), &status) == 0)
        record.externalAttributes = qxzip::msdosAttributesFromMode(status.st_mode)
            | (static_cast<std::uint32_t>(status.st_mode & 0xFFFFu) << 16);

    if (!openEntry(name, record, compressionLevel, kVersionMadeByUnix, 0, false))
        return false;
    zipFile zip = static_cast<zipFile>(zip_);
    bool success = zipWriteInFileInZip(zip, target, static_cast<unsigned>(length)) == ZIP_OK;
    success = zipCloseFileInZip(zip) == ZIP_OK && success;
    return success;
}

} // namespace velquine
