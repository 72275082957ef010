#include "platform/SafeSave.h"

#include "base/FilePaths.h"

#include <QUuid>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace velquine {

namespace {

constexpr std::size_t uuidLength = 36;

std::string freshUUID()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
}

// The hidden name replaceFile gives the new file for the target named `name`.
std::string partialFileName(const std::string& name, const std::string& uuid)
{
    return "." + name + "." + uuid + ".saving";
}

bool isUpperCaseUUID(const std::string& text)
{
    if (text.size() != uuidLength)
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
        if (hyphen ? c != '-' : !((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return false;
    }
    return true;
}

// The file a replacement of the target puts in place: a link's own file.
fs::path resolvedTarget(const std::string& target, std::error_code& error)
{
    fs::path destination = toPath(target);
    std::error_code ignored;
    if (fs::is_symlink(fs::symlink_status(destination, ignored)))
        destination = fs::weakly_canonical(destination, error);
    return destination;
}

fs::path folderOf(const fs::path& file)
{
    return file.parent_path().empty() ? fs::path(".") : file.parent_path();
}

// Writes the file's data and its metadata to the disk; false when the system reports a failure.
bool syncFile(const std::string& path)
{
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    const bool synced = ::fsync(descriptor) == 0;
    return ::close(descriptor) == 0 && synced;
}

// Makes the rename itself durable; a folder that cannot be synchronised is no failure.
void syncFolder(const std::string& path)
{
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0)
        return;
    ::fsync(descriptor);
    ::close(descriptor);
}

// The new file goes unless it was renamed; the folder's shared lock is held meanwhile, so that
// removePartialFiles of another replacement leaves the folder alone.
struct PartialFile {
    std::string path;
    bool renamed = false;
    int lock = -1;

    PartialFile(std::string path, const fs::path& folder) : path(std::move(path))
    {
        lock = ::open(fromPath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (lock >= 0)
            ::flock(lock, LOCK_SH);
    }
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;
    ~PartialFile()
    {
        if (!renamed)
            ::unlink(path.c_str());
        if (lock >= 0)
            ::close(lock);
    }
};

bool writeAll(const std::string& path, std::string_view bytes)
{
    const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor < 0)
        return false;
    while (!bytes.empty()) {
        const ssize_t written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const int number = written < 0 ? errno : EIO;
            ::close(descriptor);
            errno = number;
            return false;
        }
        bytes.remove_prefix(std::size_t(written));
    }
    return ::close(descriptor) == 0;
}

} // namespace

bool replaceFile(const std::string& target, const std::function<bool(const std::string& path)>& write,
                 std::string* cause)
{
    const auto fail = [&](int number) {
        if (cause)
            *cause = number ? std::strerror(number) : "The new file could not be written.";
        return false;
    };
    std::error_code error;
    const fs::path destination = resolvedTarget(target, error);
    if (error)
        return fail(error.value());
    const fs::path folder = folderOf(destination);
    PartialFile partial(fromPath(folder / toPath(partialFileName(fromPath(destination.filename()), freshUUID()))),
                        folder);

    errno = 0;
    if (!write(partial.path))
        return fail(errno);
    struct stat existing {};
    if (::stat(fromPath(destination).c_str(), &existing) == 0 && S_ISREG(existing.st_mode))
        ::chmod(partial.path.c_str(), existing.st_mode & 07777);
    if (!syncFile(partial.path))
        return fail(errno);
    if (::rename(partial.path.c_str(), fromPath(destination).c_str()) != 0)
        return fail(errno);
    partial.renamed = true;
    syncFolder(fromPath(folder));
    return true;
}

bool replaceFileContents(const std::string& target, std::string_view bytes, std::string* cause)
{
    return replaceFile(target, [bytes](const std::string& path) { return writeAll(path, bytes); }, cause);
}

ScratchFolderBeside::ScratchFolderBeside(const std::string& target)
{
    std::error_code error;
    const fs::path destination = resolvedTarget(target, error);
    if (error)
        throw fs::filesystem_error("cannot find the folder of the file", toPath(target), error);
    const fs::path folder = folderOf(destination);
    lock_ = ::open(fromPath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock_ >= 0)
        ::flock(lock_, LOCK_SH);
    const fs::path made = folder / toPath(partialFileName(fromPath(destination.filename()), freshUUID()));
    if (!fs::create_directory(made, error)) {
        if (lock_ >= 0)
            ::close(lock_);
        throw fs::filesystem_error("cannot create directory", made, error ? error : std::make_error_code(std::errc::file_exists));
    }
    path_ = fromPath(made);
}

ScratchFolderBeside::~ScratchFolderBeside()
{
    std::error_code ignored;
    fs::remove_all(toPath(path_), ignored);
    if (lock_ >= 0)
        ::close(lock_);
}

void removePartialFiles(const std::string& target) noexcept
{
    try {
        std::error_code error;
        const fs::path destination = resolvedTarget(target, error);
        const fs::path folder = folderOf(destination);
        const std::string name = fromPath(destination.filename());
        const std::string prefix = partialFileName(name, "");
        // Only while no replacement writes into the folder.
        const int lock = ::open(fromPath(folder).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (lock < 0)
            return;
        struct Unlock {
            int descriptor;
            ~Unlock() { ::close(descriptor); }
        } unlock{lock};
        if (::flock(lock, LOCK_EX | LOCK_NB) != 0)
            return;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
            const std::string candidate = fromPath(entry.path().filename());
            if (candidate.size() != prefix.size() + uuidLength)
                continue;
            const std::string uuid = candidate.substr(name.size() + 2, uuidLength);
            if (candidate != partialFileName(name, uuid) || !isUpperCaseUUID(uuid))
                continue;
            if (entry.is_symlink(error))
                continue;
            if (entry.is_regular_file(error))
                fs::remove(entry.path(), error);
            else if (entry.is_directory(error))
                fs::remove_all(entry.path(), error);
        }
    } catch (...) {
        // Leftovers stay until the next time.
    }
}

} // namespace velquine
