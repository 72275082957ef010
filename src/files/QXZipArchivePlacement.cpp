// Placing what an extraction makes: the folders on the way to each item, created one component at a time
// inside the real destination, the check of an archive's declared size against the disk, and the final check
// of every link made.

#include "files/QXZipArchiveExtraction.h"

#include "files/QXZipArchiveInternal.h"

#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace velquine::qxzip {

namespace {

// An archive may declare at most this many times its own size, plus the allowance, and must leave the
// reserve free on the destination's disk.
constexpr std::uint64_t kMaximumExpansion = 100;
constexpr std::uint64_t kExpansionAllowance = 64ull << 20;
constexpr std::uint64_t kFreeSpaceReserve = QXZipArchive::freeSpaceReserve;

struct DeclaredSize {
    std::uint64_t total = 0;
    // Some entry's size could not be read: its placeholder of 4 GB counts instead.
    bool unknown = false;
};

// The sizes the central directory declares, added up (saturating); the archive is left at its first entry.
DeclaredSize declaredSize(unzFile uf)
{
    DeclaredSize declared;
    for (int result = unzGoToFirstFile(uf); result == UNZ_OK; result = unzGoToNextFile(uf)) {
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(uf, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            break;
        if (!readZip64Sizes(uf, info) && info.uncompressed_size == 0xFFFFFFFFu)
            declared.unknown = true;
        const std::uint64_t size = info.uncompressed_size;
        declared.total = size > UINT64_MAX - declared.total ? UINT64_MAX : declared.total + size;
    }
    unzGoToFirstFile(uf);
    return declared;
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

} // namespace

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
    const DeclaredSize sizes = declaredSize(uf);
    const std::uint64_t declared = sizes.total;
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
    const std::string message = "The archive's entries declare "
        + (sizes.unknown ? std::string("an unknown size") : std::to_string(declared) + " bytes") + ", more than "
        + (tooLarge ? "an archive of " + std::to_string(archiveSize) + " bytes can hold"
                    : "the disk can take while keeping " + std::to_string(kFreeSpaceReserve >> 20) + " MB free");
    qxzip::log(message);
    // Too large for the archive is the archive's fault; too large for the disk as it is now is not.
    return zipError(tooLarge ? kQXZipErrorPayloadTooLarge : kQXZipErrorNotEnoughFreeSpace, message);
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

} // namespace velquine::qxzip
