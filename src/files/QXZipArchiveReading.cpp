// The reading half of QXZipArchive: extraction into a folder and questions about an archive.
//
// Nothing is created outside the destination: every folder on the way to an item is created one component at a
// time and its real path must stay inside the real destination; files are opened without following a link in
// their last component. Links are tested when they are made and all of them again at the end, since a later
// link can turn an earlier one into a way out (x -> "y/..", then y -> ".").

#include "files/QXZipArchive.h"

#include "files/QXZipArchiveInternal.h"
#include "base/Utf8.h"

#include <unzip.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <unordered_map>

namespace fs = std::filesystem;

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

namespace {

constexpr std::size_t kReadBufferSize = 4096;
// Longer link targets than any system accepts are not links this program makes.
constexpr std::size_t kMaximumLinkTarget = PATH_MAX - 1;

// An archive may declare at most this many times its own size, plus the allowance, and must leave the
// reserve free on the destination's disk.
constexpr std::uint64_t kMaximumExpansion = 100;
constexpr std::uint64_t kExpansionAllowance = 64ull << 20;
constexpr std::uint64_t kFreeSpaceReserve = 100ull << 20;

QXZipArchiveError zipError(long code, const std::string& message)
{
    return QXZipArchiveError(kQXZipArchiveErrorDomain, code, message);
}

// The sizes the central directory declares, added up (saturating); the archive is left at its first entry.
std::uint64_t declaredSize(unzFile uf)
{
    std::uint64_t total = 0;
    for (int result = unzGoToFirstFile(uf); result == UNZ_OK; result = unzGoToNextFile(uf)) {
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(uf, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            break;
        total = info.uncompressed_size > UINT64_MAX - total ? UINT64_MAX : total + info.uncompressed_size;
    }
    unzGoToFirstFile(uf);
    return total;
}

// The bytes this process may still write on the disk of the folder; none when unknown.
std::optional<std::uint64_t> freeSpace(const std::string& folder)
{
    struct statvfs disk {};
    if (::statvfs(folder.c_str(), &disk) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(disk.f_bavail) * static_cast<std::uint64_t>(disk.f_frsize);
}

// A component that names a folder entry itself (not ".", "..", or empty).
bool isPlainComponent(const std::string& component)
{
    return !component.empty() && component != "." && component != ".." && component.find('/') == std::string::npos;
}

QXZipEntryInfo entryInfoFrom(const unz_file_info64& info)
{
    QXZipEntryInfo out;
    out.versionMadeBy = static_cast<std::uint16_t>(info.version);
    out.versionNeeded = static_cast<std::uint16_t>(info.version_needed);
    out.flag = static_cast<std::uint16_t>(info.flag);
    out.compressionMethod = static_cast<std::uint16_t>(info.compression_method);
    out.dosDate = static_cast<std::uint32_t>(info.dosDate);
    out.crc = static_cast<std::uint32_t>(info.crc);
    out.compressedSize = info.compressed_size;
    out.uncompressedSize = info.uncompressed_size;
    out.nameLength = static_cast<std::uint16_t>(info.size_filename);
    out.internalAttributes = static_cast<std::uint16_t>(info.internal_fa);
    out.externalAttributes = static_cast<std::uint32_t>(info.external_fa);
    return out;
}

bool isInside(const std::string& real, const std::string& root)
{
    if (root == "/")
        return true;
    return real == root || (real.size() > root.size() && real.compare(0, root.size(), root) == 0 && real[root.size()] == '/');
}

std::optional<std::string> realPath(const std::string& path)
{
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return std::nullopt;
    std::string out(resolved);
    std::free(resolved);
    return out;
}

std::string joinPath(const std::string& folder, const std::string& name)
{
    return folder == "/" ? "/" + name : folder + "/" + name;
}

std::vector<std::string> nameComponents(const std::string& name)
{
    std::vector<std::string> parts = qxzip::pathComponents(name);
    if (!parts.empty() && parts.front() == "/")
        parts.erase(parts.begin());
    return parts;
}

void setModificationDate(const std::string& path, double seconds, bool& failed)
{
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = static_cast<time_t>(seconds);
    times[1].tv_nsec = 0;
    failed = ::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0;
}

std::string errnoText(int number)
{
    return std::strerror(number);
}

bool writeAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// minizip 1.x reads the end record as an entry header when there are no entries; an empty archive simply ends.
int goToFirstEntry(unzFile uf)
{
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(uf, &global) == UNZ_OK && global.number_entry == 0)
        return UNZ_END_OF_LIST_OF_FILE;
    return unzGoToFirstFile(uf);
}

// minizip 1.x refuses to open an archive that holds nothing but its end record, which is a valid zip file.
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

struct UnzipCloser {
    void operator()(void* file) const
    {
        if (file)
            unzClose(static_cast<unzFile>(file));
    }
};
using UnzipHandle = std::unique_ptr<void, UnzipCloser>;

// One extraction: the state of the full unzip routine.
class Extraction {
public:
    Extraction(const std::string& archivePath, const std::string& destination, bool preserveAttributes, bool overwrite,
               const std::optional<std::string>& symlinksValidWithin, int nestedZipLevel,
               const QXZipArchive::Password& password, QXZipArchiveDelegate* delegate,
               const QXZipArchive::UnzipProgressHandler& progressHandler)
        : archivePath_(archivePath)
        , destination_(destination)
        , preserveAttributes_(preserveAttributes)
        , overwrite_(overwrite)
        , symlinksValidWithin_(symlinksValidWithin)
        , nestedZipLevel_(nestedZipLevel)
        , password_(password)
        , delegate_(delegate)
        , progressHandler_(progressHandler)
    {
    }

    // Answer, the error to report (if any), and whether the delegate cancelled.
    bool run(std::optional<QXZipArchiveError>& error);

private:
    enum class Placement { ok, failed, outOfSpace, escapes, noDestination };
    struct Folder {
        Placement placement = Placement::failed;
        std::string realPath;
        int number = 0;
    };

    Folder realDestination();
    // The error of an archive that declares more than it can hold or the disk can take.
    std::optional<QXZipArchiveError> refuseOversize(unzFile uf, std::uint64_t archiveSize);
    Folder makeFolders(const std::vector<std::string>& components, std::size_t count);
    // Removes every link made here that now leads outside; the error of the first one.
    std::optional<QXZipArchiveError> removeEscapingLinks();

    const std::string archivePath_;
    const std::string destination_;
    const bool preserveAttributes_;
    const bool overwrite_;
    const std::optional<std::string> symlinksValidWithin_;
    const int nestedZipLevel_;
    const QXZipArchive::Password password_;
    QXZipArchiveDelegate* const delegate_;
    const QXZipArchive::UnzipProgressHandler& progressHandler_;

    // The real paths of the folders resolved so far, by their path in the archive. Emptied whenever a link
    // is made or removed, since a link can change what a path leads to.
    std::unordered_map<std::string, std::string> knownFolders_;
    std::optional<std::string> realDestination_;
    struct CreatedLink {
        std::string path;
        std::string name;
        std::string target;
    };
    std::vector<CreatedLink> createdLinks_;
};

Extraction::Folder Extraction::realDestination()
{
    Folder folder;
    if (realDestination_) {
        folder.placement = Placement::ok;
        folder.realPath = *realDestination_;
        return folder;
    }
    std::error_code ec;
    fs::create_directories(destination_, ec);
    if (ec && (ec.value() == ENOSPC || ec.value() == EDQUOT)) {
        folder.placement = Placement::outOfSpace;
        folder.number = ec.value();
        return folder;
    }
    const auto real = realPath(destination_);
    struct stat status {};
    if (!real || ::stat(real->c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
        folder.number = real ? ENOTDIR : errno;
        folder.placement = Placement::noDestination;
        return folder;
    }
    realDestination_ = real;
    folder.placement = Placement::ok;
    folder.realPath = *real;
    return folder;
}

std::optional<QXZipArchiveError> Extraction::refuseOversize(unzFile uf, std::uint64_t archiveSize)
{
    const std::uint64_t declared = declaredSize(uf);
    const std::uint64_t allowed = archiveSize > (UINT64_MAX - kExpansionAllowance) / kMaximumExpansion
        ? UINT64_MAX
        : archiveSize * kMaximumExpansion + kExpansionAllowance;
    std::optional<std::uint64_t> free;
    const Folder destination = realDestination();
    if (destination.placement == Placement::ok)
        free = freeSpace(destination.realPath);
    const bool tooLarge = declared > allowed;
    const bool tooFull = free && declared > (*free > kFreeSpaceReserve ? *free - kFreeSpaceReserve : 0);
    if (!tooLarge && !tooFull)
        return std::nullopt;
    const std::string message = "The archive's entries declare " + std::to_string(declared) + " bytes, more than "
        + (tooLarge ? "an archive of " + std::to_string(archiveSize) + " bytes can hold"
                    : "the disk can take while keeping " + std::to_string(kFreeSpaceReserve >> 20) + " MB free");
    qxzip::log(message);
    return zipError(-8, message);
}

Extraction::Folder Extraction::makeFolders(const std::vector<std::string>& components, std::size_t count)
{
    Folder folder = realDestination();
    if (folder.placement != Placement::ok)
        return folder;
    // The deepest folder of the path resolved before is where the walk starts.
    std::string key;
    std::vector<std::size_t> keyEnds;
    keyEnds.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        key += (i ? "/" : "") + components[i];
        keyEnds.push_back(key.size());
    }
    std::size_t start = 0;
    std::string current = folder.realPath;
    for (std::size_t i = count; i > 0; --i) {
        const auto known = knownFolders_.find(key.substr(0, keyEnds[i - 1]));
        if (known != knownFolders_.end()) {
            start = i;
            current = known->second;
            break;
        }
    }
    for (std::size_t i = start; i < count; ++i) {
        const std::string next = joinPath(current, components[i]);
        struct stat status {};
        bool made = false;
        if (::lstat(next.c_str(), &status) != 0) {
            if (errno != ENOENT || ::mkdir(next.c_str(), 0777) != 0) {
                folder.number = errno;
                folder.placement = (errno == ENOSPC || errno == EDQUOT) ? Placement::outOfSpace : Placement::failed;
                return folder;
            }
            made = true;
        }
        if ((made || S_ISDIR(status.st_mode)) && isPlainComponent(components[i])) {
            // A folder (no link) inside a folder whose real path is known: that path and its name are real.
            current = next;
            knownFolders_.insert_or_assign(key.substr(0, keyEnds[i]), current);
            continue;
        }
        const auto real = realPath(next);
        if (!real) {
            // A link that leads nowhere: whatever it names is not inside yet, so nothing is made through it.
            folder.number = errno;
            folder.placement = Placement::failed;
            if (S_ISLNK(status.st_mode)) {
                folder.placement = Placement::escapes;
                folder.realPath = next;
            }
            return folder;
        }
        if (!isInside(*real, *realDestination_)) {
            folder.placement = Placement::escapes;
            folder.realPath = *real;
            return folder;
        }
        if (::stat(real->c_str(), &status) != 0 || !S_ISDIR(status.st_mode)) {
            folder.number = ENOTDIR;
            folder.placement = Placement::failed;
            return folder;
        }
        current = *real;
        knownFolders_.insert_or_assign(key.substr(0, keyEnds[i]), current);
    }
    folder.placement = Placement::ok;
    folder.realPath = current;
    return folder;
}

std::optional<QXZipArchiveError> Extraction::removeEscapingLinks()
{
    std::optional<QXZipArchiveError> first;
    if (!symlinksValidWithin_)
        return first;
    for (const CreatedLink& link : createdLinks_) {
        struct stat status {};
        if (::lstat(link.path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
            continue;
        if (QXZipArchive::escapesTargetDirectory(link.path, *symlinksValidWithin_)) {
            ::unlink(link.path.c_str());
            const std::string message = "Symlink escapes target directory \"~" + link.name + " -> " + link.target + "\"";
            qxzip::log(message);
            if (!first)
                first = zipError(-7, message);
        }
    }
    return first;
}

bool Extraction::run(std::optional<QXZipArchiveError>& error)
{
    std::optional<QXZipArchiveError> unzippingError;
    UnzipHandle zip(unzOpen64(archivePath_.c_str()));
    if (!zip && !isEmptyZipArchive(archivePath_)) {
        error = zipError(-1, "failed to open zip file");
        return false;
    }
    unzFile uf = static_cast<unzFile>(zip.get()); // none for an archive without entries

    struct stat archiveStatus {};
    const std::uint64_t size = ::stat(archivePath_.c_str(), &archiveStatus) == 0
        ? static_cast<std::uint64_t>(archiveStatus.st_size)
        : 0;
    unz_global_info64 global{};
    if (uf)
        unzGetGlobalInfo64(uf, &global);
    QXZipArchiveInfo archiveInfo;
    archiveInfo.numberOfEntries = global.number_entry;
    archiveInfo.commentSize = static_cast<std::uint32_t>(global.size_comment);
    const long total = static_cast<long>(global.number_entry);

    int result = uf ? goToFirstEntry(uf) : UNZ_END_OF_LIST_OF_FILE;
    if (result != UNZ_OK && result != UNZ_END_OF_LIST_OF_FILE) {
        error = zipError(-2, "failed to open first file in zip file");
        return false;
    }
    if (uf && result == UNZ_OK) {
        if (auto refused = refuseOversize(uf, size)) {
            error = refused;
            return false;
        }
    }

    std::vector<char> buffer(kReadBufferSize, 0);
    struct DateRecord {
        std::string path;
        double date;
        // The archive path of the folder the item's path names as its parent.
        std::string parentKey;
    };
    std::vector<DateRecord> directoryDates;
    if (delegate_) {
        delegate_->zipArchiveWillUnzipArchiveAtPath(archivePath_, archiveInfo);
        delegate_->zipArchiveProgressEvent(0, size);
    }
    long entryNumber = -1;
    std::uint64_t position = 0;
    bool success = true;
    bool cancelled = false;
    bool crcFailed = false;

    while (result != UNZ_END_OF_LIST_OF_FILE) {
        if (result != UNZ_OK) {
            // The central directory breaks off: the archive is damaged, not complete.
            unzippingError = zipError(-3, "failed to retrieve info for file");
            success = false;
            break;
        }
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(uf, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) {
            unzippingError = zipError(-3, "failed to retrieve info for file");
            success = false;
            break;
        }
        // Encrypted entries cannot be read with this zip library; the password is needed for none of the others.
        if ((info.flag & 1) != 0 || unzOpenCurrentFile(uf) != UNZ_OK) {
            unzippingError = zipError(-2, "failed to open file in zip file");
            success = false;
            break;
        }
        const QXZipEntryInfo entryInfo = entryInfoFrom(info);
        ++entryNumber;
        if (delegate_) {
            if (!delegate_->zipArchiveShouldUnzipFileAtIndex(entryNumber, total, archivePath_, entryInfo)) {
                cancelled = true;
                success = false;
                break;
            }
            delegate_->zipArchiveWillUnzipFileAtIndex(entryNumber, total, archivePath_, entryInfo);
        }
        position += info.compressed_size;
        if (delegate_)
            delegate_->zipArchiveProgressEvent(position, size);

        std::vector<char> storedName(info.size_filename + 1, 0);
        unzGetCurrentFileInfo64(uf, &info, storedName.data(), static_cast<uLong>(storedName.size()), nullptr, 0,
                                nullptr, 0);
        const bool isLink = ((info.version >> 8) & 0xFF) == 3 && (info.external_fa >> 28) == 0xA;
        const std::string decoded = QXZipArchive::filenameStringWithCString(
            storedName.data(), static_cast<std::uint16_t>(info.version), static_cast<std::uint16_t>(info.flag),
            info.size_filename);
        if (decoded.rfind("__MACOSX/", 0) == 0) {
            unzCloseCurrentFile(uf);
            result = unzGoToNextFile(uf);
            continue;
        }
        const std::size_t storedLength = std::strlen(storedName.data());
        const bool isFolder = storedLength > 0
            && (storedName[storedLength - 1] == '/' || storedName[storedLength - 1] == '\\');
        std::string name = QXZipArchive::sanitizedPath(decoded).value_or(std::string());
        if (name.empty())
            name = std::to_string(entryNumber);
        const std::string fullPath = destination_ + "/" + name;
        const std::vector<std::string> components = nameComponents(name);

        if (preserveAttributes_) {
            const std::size_t parentCount = name.back() == '/' ? components.size()
                                                               : (components.empty() ? 0 : components.size() - 1);
            std::string parentKey;
            for (std::size_t i = 0; i < parentCount; ++i)
                parentKey += (i ? "/" : "") + components[i];
            directoryDates.push_back({fullPath, QXZipArchive::dateWithMSDOSFormat(static_cast<std::uint32_t>(info.dosDate)),
                                      std::move(parentKey)});
        }

        // The folder that holds the item (or the folder entry itself), created inside the destination.
        const std::size_t folderCount = isFolder ? components.size() : (components.empty() ? 0 : components.size() - 1);
        const Folder folder = makeFolders(components, folderCount);
        if (folder.placement == Placement::outOfSpace) {
            unzippingError = QXZipArchiveError(kQXZipFileErrorDomain, 640,
                                               "The folder could not be created: there is not enough space.");
            unzCloseCurrentFile(uf);
            success = false;
            break;
        }
        if (folder.placement == Placement::noDestination) {
            // Nothing can be extracted at all: that is no success.
            const std::string message = "The destination folder cannot be used: " + errnoText(folder.number);
            qxzip::log(message);
            unzippingError = QXZipArchiveError(kQXZipSystemErrorDomain, folder.number, message);
            unzCloseCurrentFile(uf);
            success = false;
            break;
        }
        if (folder.placement == Placement::escapes) {
            const std::string message = "Symlink escapes target directory \"~" + name + " -> " + folder.realPath + "\"";
            qxzip::log(message);
            unzippingError = zipError(-7, message);
            unzCloseCurrentFile(uf);
            success = false;
            break;
        }
        if (folder.placement == Placement::failed)
            qxzip::log("Error: " + errnoText(folder.number));

        const bool hasLeaf = !isFolder && !components.empty() && folder.placement == Placement::ok;
        const std::string itemPath = hasLeaf ? joinPath(folder.realPath, components.back()) : folder.realPath;
        struct stat existing {};
        const bool itemExists = folder.placement == Placement::ok && ::lstat(itemPath.c_str(), &existing) == 0;

        if (itemExists && !isFolder && !overwrite_) {
            // The existing item stays as it was, its date included.
            if (preserveAttributes_)
                directoryDates.pop_back();
            unzCloseCurrentFile(uf);
            result = unzGoToNextFile(uf);
            continue;
        }

        if (!isLink && !isFolder) {
            int count = unzReadCurrentFile(uf, buffer.data(), static_cast<unsigned>(buffer.size()));
            if (count < 0) {
                unzippingError = zipError(-4, "failed to read contents of file entry");
                unzCloseCurrentFile(uf);
                success = false;
                break;
            }
            int fd = -1;
            int openError = ENOENT;
            if (hasLeaf) {
                if (itemExists && S_ISLNK(existing.st_mode)) {
                    ::unlink(itemPath.c_str()); // replace the link itself, never write through it
                    knownFolders_.clear();
                }
                fd = ::open(itemPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
                openError = errno;
            } else if (isFolder || folder.placement == Placement::ok) {
                openError = EISDIR;
            }
            if (fd >= 0) {
                std::uint64_t written = 0;
                while (count > 0) {
                    written += static_cast<std::uint64_t>(count);
                    if (written > info.uncompressed_size) {
                        const std::string message = "An entry holds more than the " + std::to_string(info.uncompressed_size)
                            + " bytes it declares: \"" + name + "\"";
                        qxzip::log(message);
                        unzippingError = zipError(-8, message);
                        success = false;
                        break;
                    }
                    if (!writeAll(fd, buffer.data(), static_cast<std::size_t>(count))) {
                        const std::string message = "Failed to write file (check your free space)";
                        qxzip::log(message);
                        unzippingError = zipError(-5, message);
                        success = false;
                        break;
                    }
                    count = unzReadCurrentFile(uf, buffer.data(), static_cast<unsigned>(buffer.size()));
                    if (count < 0) {
                        unzippingError = zipError(-4, "failed to read contents of file entry");
                        success = false;
                    }
                }
                if (::close(fd) != 0 && success) {
                    const std::string message = "Failed to write file (check your free space)";
                    qxzip::log(message);
                    unzippingError = zipError(-5, message);
                    success = false;
                }

                bool expanded = false;
                if (success && nestedZipLevel_ > 0) {
                    std::string extension = fs::path(itemPath).extension().string();
                    std::transform(extension.begin(), extension.end(), extension.begin(),
                                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
                    if (extension == ".zip"
                        && QXZipArchive::unzipFileAtPath(itemPath, folder.realPath, preserveAttributes_, overwrite_,
                                                         symlinksValidWithin_, nestedZipLevel_ - 1, password_, nullptr,
                                                         nullptr, {}, {})) {
                        if (!directoryDates.empty())
                            directoryDates.pop_back();
                        ::unlink(itemPath.c_str());
                        knownFolders_.clear();
                        expanded = true;
                    }
                }
                if (success && !expanded && preserveAttributes_) {
                    if (info.dosDate != 0) {
                        bool failed = false;
                        setModificationDate(itemPath, QXZipArchive::dateWithMSDOSFormat(static_cast<std::uint32_t>(info.dosDate)), failed);
                        if (failed)
                            qxzip::log("Failed to set attributes - whilst setting modification date");
                    }
                    const mode_t mode = static_cast<mode_t>(((info.external_fa >> 16) | 0600) & 0777);
                    if (::chmod(itemPath.c_str(), mode) != 0)
                        qxzip::log("Failed to set attributes - whilst setting permissions");
                }
            } else if (openError != EISDIR) {
                qxzip::log("Failed to open file on unzipping.(" + errnoText(openError) + ")");
                if (openError == EMFILE || openError == ENOSPC) {
                    unzippingError = QXZipArchiveError(kQXZipSystemErrorDomain, openError, errnoText(openError));
                    unzCloseCurrentFile(uf);
                    success = false;
                    break;
                }
            }
        } else if (isLink) {
            std::string target;
            bool tooLong = false;
            for (;;) {
                const int count = unzReadCurrentFile(uf, buffer.data(), static_cast<unsigned>(buffer.size()));
                if (count < 0) {
                    unzippingError = zipError(-4, "failed to read contents of file entry");
                    success = false;
                    break;
                }
                if (count == 0)
                    break;
                if (target.size() + static_cast<std::size_t>(count) > kMaximumLinkTarget)
                    tooLong = true;
                else
                    target.append(buffer.data(), static_cast<std::size_t>(count));
            }
            if (!success) {
                unzCloseCurrentFile(uf);
                break;
            }
            const bool usable = !tooLong && !target.empty() && target.find('\0') == std::string::npos
                && isValidUtf8(target) && folder.placement == Placement::ok;
            if (!usable) {
                qxzip::log("Skipped symbolic link \"" + name + "\": its target cannot be made");
            } else {
                const std::string linkPath = isFolder || components.empty() ? folder.realPath
                                                                             : joinPath(folder.realPath, components.back());
                const std::string tested = target.front() == '/' ? target : joinPath(fs::path(linkPath).parent_path().string(), target);
                if (symlinksValidWithin_ && QXZipArchive::escapesTargetDirectory(tested, *symlinksValidWithin_)) {
                    const std::string message = "Symlink escapes target directory \"~" + name + " -> " + target + "\"";
                    qxzip::log(message);
                    unzippingError = zipError(-7, message);
                    success = false;
                } else if (linkPath == realDestination_) {
                    qxzip::log("Skipped symbolic link \"" + name + "\": it would replace the destination");
                } else {
                    struct stat present {};
                    if (overwrite_ && ::lstat(linkPath.c_str(), &present) == 0) {
                        std::error_code removal;
                        knownFolders_.clear();
                        fs::remove_all(linkPath, removal);
                        if (removal) {
                            const std::string message = "Failed to delete existing symbolic link at \"" + removal.message() + "\"";
                            qxzip::log(message);
                            unzippingError = zipError(removal.value(), message);
                            success = false;
                        }
                    }
                    if (success) {
                        if (::symlink(target.c_str(), linkPath.c_str()) != 0) {
                            const int number = errno;
                            const std::string message = "Failed to create symbolic link at \"" + fullPath + "\" to \""
                                + target + "\" - symlink() error code: " + std::to_string(number);
                            qxzip::log(message);
                            unzippingError = QXZipArchiveError(kQXZipSystemErrorDomain, -1, message);
                            success = false;
                        } else {
                            createdLinks_.push_back({linkPath, name, target});
                            knownFolders_.clear();
                        }
                    }
                }
            }
        }

        const int closed = unzCloseCurrentFile(uf);
        if (closed == UNZ_CRCERROR) {
            crcFailed = true;
            success = false;
            break;
        }
        if (!success)
            break;

        result = unzGoToNextFile(uf);
        if (delegate_) {
            if (delegate_->wantsDidUnzipFileInfo())
                delegate_->zipArchiveDidUnzipFileAtIndex(entryNumber, total, archivePath_, entryInfo);
            else
                delegate_->zipArchiveDidUnzipFileAtIndex(entryNumber, total, archivePath_, fullPath);
        }
        if (progressHandler_)
            progressHandler_(name, entryInfo, entryNumber, total);
    }
    zip.reset();

    if (auto escaping = removeEscapingLinks()) {
        if (!unzippingError && !crcFailed)
            unzippingError = escaping;
        success = false;
    }

    if (success && preserveAttributes_) {
        for (const DateRecord& record : directoryDates) {
            // A link made later may have replaced a folder on the way: dates are set inside only. Folders
            // resolved since the last link was made are known to be inside.
            const bool known = realDestination_
                && (record.parentKey.empty() || knownFolders_.count(record.parentKey) != 0);
            if (!known) {
                const auto parent = realPath(fs::path(record.path).parent_path().string());
                if (!parent || !realDestination_ || !isInside(*parent, *realDestination_))
                    continue;
            }
            bool failed = false;
            setModificationDate(record.path, record.date, failed);
            if (failed && errno != ENOENT)
                qxzip::log("Set attributes failed for directory: " + record.path + ".");
        }
    }
    if (success && delegate_)
        delegate_->zipArchiveDidUnzipArchiveAtPath(archivePath_, archiveInfo, destination_);
    if (!cancelled && delegate_)
        delegate_->zipArchiveProgressEvent(size, size);

    if (unzippingError)
        error = unzippingError;
    else if (crcFailed)
        error = zipError(-3, "crc check failed for file");
    else
        error.reset();
    return success;
}

} // namespace

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

bool QXZipArchive::unzipFileAtPath(const std::string& path, const std::string& destination, bool preserveAttributes,
                                   bool overwrite, const std::optional<std::string>& symlinksValidWithin,
                                   int nestedZipLevel, const Password& password, ErrorOut error,
                                   QXZipArchiveDelegate* delegate, const UnzipProgressHandler& progressHandler,
                                   const CompletionHandler& completionHandler)
{
    std::optional<QXZipArchiveError> failure;
    bool answer = false;
    if (path.empty() || destination.empty()) {
        failure = QXZipArchiveError(kQXZipArchiveErrorDomain, -6, "received invalid argument(s)");
    } else {
        Extraction extraction(path, destination, preserveAttributes, overwrite, symlinksValidWithin, nestedZipLevel,
                              password, delegate, progressHandler);
        answer = extraction.run(failure);
    }
    if (error)
        *error = failure;
    if (completionHandler) {
        const bool early = path.empty() || destination.empty();
        completionHandler(early ? std::nullopt : std::optional<std::string>(path), answer, failure);
    }
    return answer;
}

// ---- Inspection ----

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
        sum += info.uncompressed_size;
        unzCloseCurrentFile(uf);
        result = unzGoToNextFile(uf);
    }
    return sum;
}

} // namespace velquine
