// The reading half of QXZipArchive: the ways to ask for an extraction, and questions about an archive.

#include "files/QXZipArchive.h"

#include "files/QXZipArchiveExtraction.h"
#include "files/QXZipArchiveInternal.h"

#include <unzip.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace velquine {

// ---- Delegate defaults ----

void QXZipArchiveDelegate::zipArchiveWillUnzipArchiveAtPath(const std::string&, const QXZipArchiveInfo&) {}
void QXZipArchiveDelegate::zipArchiveProgressEvent(std::uint64_t, std::uint64_t) {}
bool QXZipArchiveDelegate::zipArchiveShouldUnzipFileAtIndex(long, long, const std::string&, const QXZipEntryInfo&)
{
    return true;
}
void QXZipArchiveDelegate::zipArchiveWillUnzipFileAtIndex(long, long, const std::string&, const QXZipEntryInfo&) {}
void QXZipArchiveDelegate::zipArchiveDidUnzipFileAtIndex(long, long, const std::string&, const QXZipEntryInfo&) {}
void QXZipArchiveDelegate::zipArchiveDidUnzipFileAtIndex(long, long, const std::string&, const std::string&) {}
void QXZipArchiveDelegate::zipArchiveDidUnzipArchiveAtPath(const std::string&, const QXZipArchiveInfo&,
                                                           const std::string&)
{
}

namespace qxzip {

int goToFirstEntry(void* uf)
{
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(uf, &global) == UNZ_OK && global.number_entry == 0)
        return UNZ_END_OF_LIST_OF_FILE;
    return unzGoToFirstFile(uf);
}

bool readZip64Sizes(void* file, unz_file_info64& info)
{
    constexpr ZPOS64_T placeholder = 0xFFFFFFFFu;
    const bool uncompressedUnknown = info.uncompressed_size == placeholder;
    const bool compressedUnknown = info.compressed_size == placeholder;
    if (!uncompressedUnknown && !compressedUnknown)
        return true;
    if (info.size_file_extra == 0)
        return false;
    std::vector<unsigned char> extra(info.size_file_extra);
    unz_file_info64 again{};
    if (unzGetCurrentFileInfo64(static_cast<unzFile>(file), &again, nullptr, 0, extra.data(),
                                static_cast<uLong>(extra.size()), nullptr, 0)
        != UNZ_OK)
        return false;
    const auto le = [&extra](std::size_t at, int bytes) {
        std::uint64_t value = 0;
        for (int i = bytes - 1; i >= 0; --i)
            value = (value << 8) | extra[at + static_cast<std::size_t>(i)];
        return value;
    };
    // Blocks of an identifier and a length; the zip64 block holds the sizes that have the placeholder, in order.
    for (std::size_t at = 0; at + 4 <= extra.size();) {
        const std::uint64_t id = le(at, 2);
        const std::size_t length = static_cast<std::size_t>(le(at + 2, 2));
        at += 4;
        if (length > extra.size() - at)
            return false;
        if (id == 0x0001) {
            const std::size_t needed = (uncompressedUnknown ? 8 : 0) + (compressedUnknown ? 8 : 0);
            if (length < needed)
                return false;
            if (uncompressedUnknown) {
                info.uncompressed_size = le(at, 8);
                at += 8;
            }
            if (compressedUnknown)
                info.compressed_size = le(at, 8);
            return true;
        }
        at += length;
    }
    return false;
}

std::optional<std::string> extractedName(const char* storedName, std::uint16_t versionMadeBy, std::uint16_t flag,
                                         std::size_t nameLength, long entryNumber)
{
    const std::string decoded = QXZipArchive::filenameStringWithCString(storedName, versionMadeBy, flag, nameLength);
    if (decoded.rfind("__MACOSX/", 0) == 0)
        return std::nullopt;
    std::string name = QXZipArchive::sanitizedPath(decoded).value_or(std::string());
    if (name.empty())
        name = std::to_string(entryNumber);
    return name;
}

bool isEmptyZipArchive(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return false;
    std::string tail;
    if (std::fseek(file, 0, SEEK_END) == 0) {
        const long size = std::ftell(file);
        const long start = std::max(0L, size - 22 - 65535);
        if (size >= 22 && std::fseek(file, start, SEEK_SET) == 0) {
            tail.resize(static_cast<std::size_t>(size - start));
            tail.resize(std::fread(tail.data(), 1, tail.size(), file));
        }
    }
    std::fclose(file);
    auto le = [&tail](std::size_t at, int bytes) {
        std::uint32_t v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>(tail[at + static_cast<std::size_t>(i)]);
        return v;
    };
    for (std::size_t at = tail.size() >= 22 ? tail.size() - 22 : std::string::npos; at != std::string::npos; --at) {
        if (le(at, 4) == 0x06054b50 && at + 22 + le(at + 20, 2) == tail.size())
            return le(at + 8, 2) == 0 && le(at + 10, 2) == 0 && le(at + 12, 4) == 0;
        if (at == 0)
            break;
    }
    return false;
}

void UnzipCloser::operator()(void* file) const
{
    if (file)
        unzClose(static_cast<unzFile>(file));
}

} // namespace qxzip

using qxzip::UnzipHandle;
using qxzip::goToFirstEntry;
using qxzip::isEmptyZipArchive;
using qxzip::zipError;

// ---- Extraction ----

bool QXZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination)
{
    return unzipFileAtPath(path, destination, static_cast<QXZipArchiveDelegate*>(nullptr));
}

bool QXZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination,
                                   QXZipArchiveDelegate* delegate)
{
    return unzipFileAtPath(path, destination, true, true, Password{}, ErrorOut{}, delegate);
}

bool QXZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination, bool overwrite,
                                   const Password& password, ErrorOut error)
{
    return unzipFileAtPath(path, destination, overwrite, password, error, nullptr);
}

bool QXZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination, bool overwrite,
                                   const Password& password, ErrorOut error, QXZipArchiveDelegate* delegate)
{
    return unzipFileAtPath(path, destination, true, overwrite, password, error, delegate);
}

bool QXZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination, bool overwrite,
                                   const Password& password, const UnzipProgressHandler& progressHandler,
                                   const CompletionHandler& completionHandler)
{
    return unzipFileAtPath(path, destination, true, overwrite, password, ErrorOut{}, nullptr, progressHandler,
                           completionHandler);
}

bool QXZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination,
                                   const UnzipProgressHandler& progressHandler,
                                   const CompletionHandler& completionHandler)
{
    return unzipFileAtPath(path, destination, true, Password{}, progressHandler, completionHandler);
}

bool QXZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination, bool preserveAttributes,
                                   bool overwrite, const Password& password, ErrorOut error,
                                   QXZipArchiveDelegate* delegate)
{
    return unzipFileAtPath(path, destination, preserveAttributes, overwrite, password, error, delegate,
                           UnzipProgressHandler{}, CompletionHandler{});
}

bool QXZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination, bool preserveAttributes,
                                   bool overwrite, const Password& password, ErrorOut error,
                                   QXZipArchiveDelegate* delegate, const UnzipProgressHandler& progressHandler,
                                   const CompletionHandler& completionHandler)
{
    return unzipFileAtPath(path, destination, preserveAttributes, overwrite, 0, password, error, delegate,
                           progressHandler, completionHandler);
}

bool QXZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination, bool preserveAttributes,
                                   bool overwrite, int nestedZipLevel, const Password& password, ErrorOut error,
                                   QXZipArchiveDelegate* delegate, const UnzipProgressHandler& progressHandler,
                                   const CompletionHandler& completionHandler)
{
    return unzipFileAtPath(path, destination, preserveAttributes, overwrite, std::optional<std::string>(destination),
                           nestedZipLevel, password, error, delegate, progressHandler, completionHandler);
}

bool QXZipArchive::unzipEntryAtPath(const std::string& path, const std::string& name, const std::string& destination,
                                    ErrorOut error)
{
    std::optional<QXZipArchiveError> failure;
    bool answer = false;
    if (path.empty() || destination.empty() || name.empty()) {
        failure = zipError(-6, "received invalid argument(s)");
    } else {
        // The extraction keeps a reference to its progress handler: it must outlive the extraction.
        const UnzipProgressHandler noProgress;
        qxzip::Extraction extraction(path, destination, true, true, std::optional<std::string>(destination), 0,
                                     Password{}, nullptr, noProgress);
        extraction.extractOnly(name);
        answer = extraction.run(failure);
    }
    if (error)
        *error = failure;
    return answer;
}

// ---- Inspection ----

std::optional<std::vector<std::string>> QXZipArchive::entryNamesAtPath(const std::string& path,
                                                                       std::uint64_t maximumEntries, ErrorOut error)
{
    if (error)
        error->reset();
    const auto fail = [&](QXZipArchiveError failure) -> std::optional<std::vector<std::string>> {
        if (error)
            *error = std::move(failure);
        return std::nullopt;
    };
    UnzipHandle zip(unzOpen64(path.c_str()));
    if (!zip && isEmptyZipArchive(path))
        return std::vector<std::string>{};
    if (!zip)
        return fail(zipError(-1, "failed to open zip file"));
    unzFile uf = static_cast<unzFile>(zip.get());
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(uf, &global) != UNZ_OK)
        return fail(zipError(-1, "failed to open zip file"));
    const auto tooMany = [&](std::optional<std::uint64_t> count) {
        const std::string message = "The archive holds "
            + (count ? std::to_string(*count) : "more than " + std::to_string(maximumEntries))
            + " entries; no more than " + std::to_string(maximumEntries) + " are read.";
        qxzip::log(message);
        return fail(zipError(kQXZipErrorTooManyEntries, message));
    };
    // The count of the end record, before anything is read; minizip walks as many entries (for 65535, as
    // many as the central directory holds, which the walk counts again).
    if (global.number_entry > maximumEntries)
        return tooMany(global.number_entry);
    std::vector<std::string> names;
    long entryNumber = -1;
    std::vector<char> storedName;
    for (int result = goToFirstEntry(uf); result != UNZ_END_OF_LIST_OF_FILE; result = unzGoToNextFile(uf)) {
        if (static_cast<std::uint64_t>(entryNumber + 1) >= maximumEntries)
            return tooMany(std::nullopt);
        unz_file_info64 info{};
        if (result != UNZ_OK || unzGetCurrentFileInfo64(uf, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            return fail(zipError(-3, "failed to retrieve info for file"));
        storedName.assign(info.size_filename + 1, 0);
        unzGetCurrentFileInfo64(uf, &info, storedName.data(), static_cast<uLong>(storedName.size()), nullptr, 0,
                                nullptr, 0);
        ++entryNumber;
        if (auto name = qxzip::extractedName(storedName.data(), static_cast<std::uint16_t>(info.version),
                                             static_cast<std::uint16_t>(info.flag), info.size_filename, entryNumber))
            names.push_back(std::move(*name));
    }
    return names;
}

bool QXZipArchive::isFilePasswordProtectedAtPath(const std::string& path)
{
    UnzipHandle zip(unzOpen64(path.c_str()));
    if (!zip)
        return false; // no archive, or one without entries
    unzFile uf = static_cast<unzFile>(zip.get());
    int result = goToFirstEntry(uf);
    while (result == UNZ_OK) {
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(uf, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            return false;
        if ((info.flag & 1) != 0)
            return true;
        result = unzGoToNextFile(uf);
    }
    return false;
}

bool QXZipArchive::isPasswordValidForArchiveAtPath(const std::string& path, const std::string& /*password*/,
                                                   ErrorOut error)
{
    if (error)
        error->reset();
    UnzipHandle zip(unzOpen64(path.c_str()));
    if (!zip && isEmptyZipArchive(path))
        return true;
    if (!zip) {
        if (error)
            *error = zipError(-1, "failed to open zip file");
        return false;
    }
    unzFile uf = static_cast<unzFile>(zip.get());
    int result = goToFirstEntry(uf);
    while (result == UNZ_OK) {
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(uf, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
            if (error)
                *error = zipError(-3, "failed to retrieve info for file");
            return false;
        }
        // An encrypted entry cannot be opened by this zip library, whatever the password.
        if ((info.flag & 1) != 0) {
            if (error)
                *error = zipError(-2, "failed to open file in zip archive");
            return false;
        }
        result = unzGoToNextFile(uf);
    }
    return true;
}

std::uint64_t QXZipArchive::payloadSizeForArchiveAtPath(const std::string& path, ErrorOut error)
{
    if (error)
        error->reset();
    UnzipHandle zip(unzOpen64(path.c_str()));
    if (!zip && isEmptyZipArchive(path))
        return 0;
    if (!zip) {
        if (error)
            *error = zipError(-1, "failed to open zip file");
        return 0;
    }
    unzFile uf = static_cast<unzFile>(zip.get());
    std::uint64_t sum = 0;
    int result = goToFirstEntry(uf);
    while (result == UNZ_OK) {
        if (unzOpenCurrentFile(uf) != UNZ_OK) {
            if (error)
                *error = zipError(-2, "failed to open file in zip archive");
            break;
        }
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(uf, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
            if (error)
                *error = zipError(-3, "failed to retrieve info for file");
            unzCloseCurrentFile(uf);
            break;
        }
        qxzip::readZip64Sizes(uf, info);
        sum += info.uncompressed_size;
        unzCloseCurrentFile(uf);
        result = unzGoToNextFile(uf);
    }
    return sum;
}

} // namespace velquine
