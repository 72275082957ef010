// The walk over an archive's entries, one step per kind of entry: files, folders and links.
//
// Nothing is created outside the destination: every folder on the way to an item is created one component at a
// time and its real path must stay inside the real destination; files are opened without following a link in
// their last component. Links are tested when they are made and all of them again at the end, since a later
// link can turn an earlier one into a way out (x -> "y/..", then y -> ".").

#include "files/QXZipArchiveExtraction.h"

#include "files/QXZipArchiveInternal.h"
#include "base/Utf8.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace velquine {

namespace qxzip {

namespace {

constexpr std::size_t kReadBufferSize = 1 << 20;
// Longer link targets than any system accepts are not links this program makes.
constexpr std::size_t kMaximumLinkTarget = PATH_MAX - 1;

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

} // namespace

Extraction::~Extraction()
{
    if (archiveFd_ >= 0)
        ::close(archiveFd_);
}

bool Extraction::run(std::optional<QXZipArchiveError>& error)
{
    UnzipHandle zip(unzOpen64(archivePath_.c_str()));
    if (!zip && !qxzip::isEmptyZipArchive(archivePath_)) {
        error = zipError(-1, "failed to open zip file");
        return false;
    }
    uf_ = static_cast<unzFile>(zip.get()); // none for an archive without entries
    int result = UNZ_OK;
    if (!start(result, error))
        return false;
    while (result != UNZ_END_OF_LIST_OF_FILE) {
        Entry entry;
        Step step = openEntry(result, entry);
        if (step == Step::extract)
            step = placeEntry(entry);
        if (step == Step::extract)
            step = entry.isLink ? makeLink(entry) : entry.isFolder ? Step::extract : writeFile(entry);
        if (step == Step::skip) {
            unzCloseCurrentFile(uf_);
            result = unzGoToNextFile(uf_);
            continue;
        }
        if (step == Step::stop || !closeEntry(entry, result))
            break;
    }
    zip.reset();
    uf_ = nullptr;
    finish();
    if (unzippingError_)
        error = unzippingError_;
    else if (crcFailed_)
        error = zipError(-3, "crc check failed for file");
    else
        error.reset();
    return success_;
}

bool Extraction::start(int& result, std::optional<QXZipArchiveError>& error)
{
    struct stat archiveStatus {};
    size_ = ::stat(archivePath_.c_str(), &archiveStatus) == 0 ? static_cast<std::uint64_t>(archiveStatus.st_size) : 0;
    unz_global_info64 global{};
    if (uf_)
        unzGetGlobalInfo64(uf_, &global);
    archiveInfo_.numberOfEntries = global.number_entry;
    archiveInfo_.commentSize = static_cast<std::uint32_t>(global.size_comment);
    total_ = static_cast<long>(global.number_entry);

    result = uf_ ? qxzip::goToFirstEntry(uf_) : UNZ_END_OF_LIST_OF_FILE;
    if (result != UNZ_OK && result != UNZ_END_OF_LIST_OF_FILE) {
        error = zipError(-2, "failed to open first file in zip file");
        return false;
    }
    if (uf_ && result == UNZ_OK) {
        if (auto refused = refuseOversize(uf_, size_)) {
            error = refused;
            return false;
        }
    }
    buffer_.assign(kReadBufferSize, 0);
    if (delegate_) {
        delegate_->zipArchiveWillUnzipArchiveAtPath(archivePath_, archiveInfo_);
        delegate_->zipArchiveProgressEvent(0, size_);
    }
    return true;
}

Extraction::Step Extraction::stop(QXZipArchiveError error, bool closeCurrent)
{
    unzippingError_ = std::move(error);
    if (closeCurrent)
        unzCloseCurrentFile(uf_);
    success_ = false;
    return Step::stop;
}

Extraction::Step Extraction::openEntry(int result, Entry& entry)
{
    // A central directory that breaks off is a damaged archive, not a complete one.
    if (result != UNZ_OK || unzGetCurrentFileInfo64(uf_, &entry.info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return stop(zipError(-3, "failed to retrieve info for file"), false);
    // Encrypted entries cannot be read with this zip library; the password is needed for none of the others.
    if ((entry.info.flag & 1) != 0 || unzOpenCurrentFile(uf_) != UNZ_OK)
        return stop(zipError(-2, "failed to open file in zip file"), false);
    // Sizes past 4 GB are kept in the zip64 extra field, which minizip 1.x leaves unread.
    qxzip::readZip64Sizes(uf_, entry.info);
    entry.entryInfo = entryInfoFrom(entry.info);
    ++entryNumber_;
    if (delegate_) {
        if (!delegate_->zipArchiveShouldUnzipFileAtIndex(entryNumber_, total_, archivePath_, entry.entryInfo)) {
            cancelled_ = true;
            success_ = false;
            return Step::stop;
        }
        delegate_->zipArchiveWillUnzipFileAtIndex(entryNumber_, total_, archivePath_, entry.entryInfo);
    }
    position_ += entry.info.compressed_size;
    if (delegate_)
        delegate_->zipArchiveProgressEvent(position_, size_);

    unz_file_info64& info = entry.info;
    std::vector<char> storedName(info.size_filename + 1, 0);
    unzGetCurrentFileInfo64(uf_, &info, storedName.data(), static_cast<uLong>(storedName.size()), nullptr, 0,
                            nullptr, 0);
    qxzip::readZip64Sizes(uf_, info);
    entry.isLink = ((info.version >> 8) & 0xFF) == 3 && (info.external_fa >> 28) == 0xA;
    std::optional<std::string> name =
        qxzip::extractedName(storedName.data(), static_cast<std::uint16_t>(info.version),
                             static_cast<std::uint16_t>(info.flag), info.size_filename, entryNumber_);
    if (!name || (only_ && *name != *only_))
        return Step::skip;
    const std::size_t storedLength = std::strlen(storedName.data());
    entry.isFolder = storedLength > 0
        && (storedName[storedLength - 1] == '/' || storedName[storedLength - 1] == '\\');
    entry.name = std::move(*name);
    entry.fullPath = destination_ + "/" + entry.name;
    entry.components = nameComponents(entry.name);
    return Step::extract;
}

void Extraction::recordDate(const Entry& entry)
{
    const std::vector<std::string>& components = entry.components;
    const std::size_t parentCount = entry.name.back() == '/' ? components.size()
                                                             : (components.empty() ? 0 : components.size() - 1);
    std::string parentKey;
    for (std::size_t i = 0; i < parentCount; ++i)
        parentKey += (i ? "/" : "") + components[i];
    directoryDates_.push_back({entry.fullPath,
                               QXZipArchive::dateWithMSDOSFormat(static_cast<std::uint32_t>(entry.info.dosDate)),
                               std::move(parentKey)});
}

Extraction::Step Extraction::placeEntry(Entry& entry)
{
    if (preserveAttributes_)
        recordDate(entry);
    // The folder that holds the item (or the folder entry itself), created inside the destination.
    const std::vector<std::string>& components = entry.components;
    const std::size_t folderCount =
        entry.isFolder ? components.size() : (components.empty() ? 0 : components.size() - 1);
    entry.folder = makeFolders(components, folderCount);
    const Folder& folder = entry.folder;
    if (folder.placement == Placement::outOfSpace)
        return stop(QXZipArchiveError(kQXZipFileErrorDomain, 640,
                                      "The folder could not be created: there is not enough space."));
    if (folder.placement == Placement::noDestination) {
        // Nothing can be extracted at all: that is no success.
        const std::string message = "The destination folder cannot be used: " + errnoText(folder.number);
        qxzip::log(message);
        return stop(QXZipArchiveError(kQXZipSystemErrorDomain, folder.number, message));
    }
    if (folder.placement == Placement::escapes) {
        const std::string message =
            "Symlink escapes target directory \"~" + entry.name + " -> " + folder.realPath + "\"";
        qxzip::log(message);
        return stop(zipError(-7, message));
    }
    if (folder.placement == Placement::failed)
        qxzip::log("Error: " + errnoText(folder.number));

    entry.hasLeaf = !entry.isFolder && !components.empty() && folder.placement == Placement::ok;
    entry.itemPath = entry.hasLeaf ? joinPath(folder.realPath, components.back()) : folder.realPath;
    entry.itemExists = folder.placement == Placement::ok && ::lstat(entry.itemPath.c_str(), &entry.existing) == 0;
    if (entry.itemExists && !entry.isFolder && !overwrite_) {
        // The existing item stays as it was, its date included.
        if (preserveAttributes_)
            directoryDates_.pop_back();
        return Step::skip;
    }
    return Step::extract;
}

int Extraction::openItemFile(const Entry& entry, int& openError)
{
    openError = ENOENT;
    if (!entry.hasLeaf) {
        if (entry.isFolder || entry.folder.placement == Placement::ok)
            openError = EISDIR;
        return -1;
    }
    if (entry.itemExists && S_ISLNK(entry.existing.st_mode)) {
        ::unlink(entry.itemPath.c_str()); // replace the link itself, never write through it
        knownFolders_.clear();
    }
    const int fd = ::open(entry.itemPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    openError = errno;
    return fd;
}

Extraction::Step Extraction::writeFile(const Entry& entry)
{
    const std::optional<std::uint64_t> stored = storedDataOffset(entry);
    int count = 0;
    if (!stored) {
        count = unzReadCurrentFile(uf_, buffer_.data(), static_cast<unsigned>(buffer_.size()));
        if (count < 0)
            return stop(zipError(-4, "failed to read contents of file entry"));
    }
    int openError = 0;
    const int fd = openItemFile(entry, openError);
    if (fd < 0) {
        if (openError == EISDIR)
            return Step::extract;
        qxzip::log("Failed to open file on unzipping.(" + errnoText(openError) + ")");
        if (openError == EMFILE || openError == ENOSPC)
            return stop(QXZipArchiveError(kQXZipSystemErrorDomain, openError, errnoText(openError)));
        return Step::extract;
    }
    if (stored)
        copyStored(entry, fd, *stored);
    else
        copyContents(entry, fd, count);
    if (::close(fd) != 0 && success_)
        failedWrite();
    if (success_ && !expandNestedArchive(entry) && preserveAttributes_)
        setFileAttributes(entry);
    return Step::extract;
}

void Extraction::failedWrite()
{
    const std::string message = "Failed to write file (check your free space)";
    qxzip::log(message);
    unzippingError_ = zipError(kQXZipErrorFailedToWriteFile, message);
    success_ = false;
}

void Extraction::copyContents(const Entry& entry, int fd, int count)
{
    std::uint64_t written = 0;
    while (count > 0) {
        written += static_cast<std::uint64_t>(count);
        if (written > entry.info.uncompressed_size) {
            const std::string message = "An entry holds more than the " + std::to_string(entry.info.uncompressed_size)
                + " bytes it declares: \"" + entry.name + "\"";
            qxzip::log(message);
            unzippingError_ = zipError(kQXZipErrorPayloadTooLarge, message);
            success_ = false;
            return;
        }
        if (!writeAll(fd, buffer_.data(), static_cast<std::size_t>(count))) {
            failedWrite();
            return;
        }
        count = unzReadCurrentFile(uf_, buffer_.data(), static_cast<unsigned>(buffer_.size()));
        if (count < 0) {
            unzippingError_ = zipError(-4, "failed to read contents of file entry");
            success_ = false;
        }
    }
}

std::optional<std::uint64_t> Extraction::storedDataOffset(const Entry& entry)
{
    const unz_file_info64& info = entry.info;
    if (info.compression_method != 0 || info.compressed_size != info.uncompressed_size)
        return std::nullopt;
    const std::uint64_t offset = unzGetCurrentFileZStreamPos64(uf_);
    if (offset == 0 || offset > size_ || info.uncompressed_size > size_ - offset)
        return std::nullopt;
    if (archiveFd_ < 0)
        archiveFd_ = ::open(archivePath_.c_str(), O_RDONLY | O_CLOEXEC);
    if (archiveFd_ < 0)
        return std::nullopt;
    return offset;
}

void Extraction::copyStored(const Entry& entry, int fd, std::uint64_t offset)
{
    std::uint64_t left = entry.info.uncompressed_size;
    uLong crc = crc32(0L, Z_NULL, 0);
    while (left > 0) {
        const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(left, buffer_.size()));
        const ssize_t got = ::pread(archiveFd_, buffer_.data(), piece, static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            unzippingError_ = zipError(-4, "failed to read contents of file entry");
            success_ = false;
            return;
        }
        crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer_.data()), static_cast<uInt>(got));
        if (!writeAll(fd, buffer_.data(), static_cast<std::size_t>(got))) {
            failedWrite();
            return;
        }
        offset += static_cast<std::uint64_t>(got);
        left -= static_cast<std::uint64_t>(got);
    }
    // What the zip library finds when it has read a whole entry whose checksum differs.
    if (crc != entry.info.crc) {
        crcFailed_ = true;
        success_ = false;
    }
}

bool Extraction::expandNestedArchive(const Entry& entry)
{
    if (nestedZipLevel_ <= 0)
        return false;
    std::string extension = fs::path(entry.itemPath).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension != ".zip"
        || !QXZipArchive::unzipFileAtPath(entry.itemPath, entry.folder.realPath, preserveAttributes_, overwrite_,
                                          symlinksValidWithin_, nestedZipLevel_ - 1, password_, nullptr, nullptr, {},
                                          {}))
        return false;
    if (!directoryDates_.empty())
        directoryDates_.pop_back();
    ::unlink(entry.itemPath.c_str());
    knownFolders_.clear();
    return true;
}

void Extraction::setFileAttributes(const Entry& entry)
{
    if (entry.info.dosDate != 0) {
        bool failed = false;
        setModificationDate(entry.itemPath,
                            QXZipArchive::dateWithMSDOSFormat(static_cast<std::uint32_t>(entry.info.dosDate)), failed);
        if (failed)
            qxzip::log("Failed to set attributes - whilst setting modification date");
    }
    const mode_t mode = static_cast<mode_t>(((entry.info.external_fa >> 16) | 0600) & 0777);
    if (::chmod(entry.itemPath.c_str(), mode) != 0)
        qxzip::log("Failed to set attributes - whilst setting permissions");
}

std::optional<std::string> Extraction::readLinkTarget()
{
    std::string target;
    bool tooLong = false;
    for (;;) {
        const int count = unzReadCurrentFile(uf_, buffer_.data(), static_cast<unsigned>(buffer_.size()));
        if (count < 0) {
            stop(zipError(-4, "failed to read contents of file entry"));
            return std::nullopt;
        }
        if (count == 0)
            break;
        if (target.size() + static_cast<std::size_t>(count) > kMaximumLinkTarget)
            tooLong = true;
        else
            target.append(buffer_.data(), static_cast<std::size_t>(count));
    }
    // An unusable target makes no link.
    if (tooLong)
        target.clear();
    return target;
}

Extraction::Step Extraction::makeLink(const Entry& entry)
{
    const std::optional<std::string> read = readLinkTarget();
    if (!read)
        return Step::stop;
    const std::string& target = *read;
    const bool usable = !target.empty() && target.find('\0') == std::string::npos && isValidUtf8(target)
        && entry.folder.placement == Placement::ok;
    if (!usable) {
        qxzip::log("Skipped symbolic link \"" + entry.name + "\": its target cannot be made");
        return Step::extract;
    }
    const Folder& folder = entry.folder;
    const std::string linkPath = entry.isFolder || entry.components.empty()
        ? folder.realPath
        : joinPath(folder.realPath, entry.components.back());
    const std::string tested =
        target.front() == '/' ? target : joinPath(fs::path(linkPath).parent_path().string(), target);
    if (symlinksValidWithin_ && QXZipArchive::escapesTargetDirectory(tested, *symlinksValidWithin_)) {
        const std::string message = "Symlink escapes target directory \"~" + entry.name + " -> " + target + "\"";
        qxzip::log(message);
        unzippingError_ = zipError(-7, message);
        success_ = false;
    } else if (linkPath == realDestination_) {
        qxzip::log("Skipped symbolic link \"" + entry.name + "\": it would replace the destination");
    } else if (replaceExisting(linkPath)) {
        placeLink(entry, linkPath, target);
    }
    return Step::extract;
}

bool Extraction::replaceExisting(const std::string& linkPath)
{
    struct stat present {};
    if (!overwrite_ || ::lstat(linkPath.c_str(), &present) != 0)
        return true;
    std::error_code removal;
    knownFolders_.clear();
    fs::remove_all(linkPath, removal);
    if (!removal)
        return true;
    const std::string message = "Failed to delete existing symbolic link at \"" + removal.message() + "\"";
    qxzip::log(message);
    unzippingError_ = zipError(removal.value(), message);
    success_ = false;
    return false;
}

void Extraction::placeLink(const Entry& entry, const std::string& linkPath, const std::string& target)
{
    if (::symlink(target.c_str(), linkPath.c_str()) != 0) {
        const int number = errno;
        const std::string message = "Failed to create symbolic link at \"" + entry.fullPath + "\" to \"" + target
            + "\" - symlink() error code: " + std::to_string(number);
        qxzip::log(message);
        unzippingError_ = QXZipArchiveError(kQXZipSystemErrorDomain, -1, message);
        success_ = false;
        return;
    }
    createdLinks_.push_back({linkPath, entry.name, target});
    knownFolders_.clear();
}

bool Extraction::closeEntry(const Entry& entry, int& result)
{
    if (unzCloseCurrentFile(uf_) == UNZ_CRCERROR) {
        crcFailed_ = true;
        success_ = false;
        return false;
    }
    if (!success_)
        return false;
    result = unzGoToNextFile(uf_);
    if (delegate_) {
        if (delegate_->wantsDidUnzipFileInfo())
            delegate_->zipArchiveDidUnzipFileAtIndex(entryNumber_, total_, archivePath_, entry.entryInfo);
        else
            delegate_->zipArchiveDidUnzipFileAtIndex(entryNumber_, total_, archivePath_, entry.fullPath);
    }
    if (progressHandler_)
        progressHandler_(entry.name, entry.entryInfo, entryNumber_, total_);
    return true;
}

void Extraction::finish()
{
    if (auto escaping = removeEscapingLinks()) {
        if (!unzippingError_ && !crcFailed_)
            unzippingError_ = escaping;
        success_ = false;
    }
    if (success_ && preserveAttributes_)
        setFolderDates();
    if (success_ && delegate_)
        delegate_->zipArchiveDidUnzipArchiveAtPath(archivePath_, archiveInfo_, destination_);
    if (!cancelled_ && delegate_)
        delegate_->zipArchiveProgressEvent(size_, size_);
}

void Extraction::setFolderDates()
{
    for (const DateRecord& record : directoryDates_) {
        // A link made later may have replaced a folder on the way: dates are set inside only. Folders
        // resolved since the last link was made are known to be inside.
        const bool known =
            realDestination_ && (record.parentKey.empty() || knownFolders_.count(record.parentKey) != 0);
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

} // namespace qxzip

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
        qxzip::Extraction extraction(path, destination, preserveAttributes, overwrite, symlinksValidWithin,
                                     nestedZipLevel, password, delegate, progressHandler);
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

} // namespace velquine
