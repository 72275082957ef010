#include "base/LockedFolder.h"

#include "base/FilePaths.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace velquine {

namespace {

int lockEntirely(int descriptor, int how)
{
    int result;
    do
        result = ::flock(descriptor, how);
    while (result != 0 && errno == EINTR);
    return result;
}

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

LockedFolder::LockedFolder(const std::string& path) : path_(path)
{
    // Another program may remove the folder between its making and its lock (it holds the lock while it
    // removes): the folder is made again until the one locked is the one at the path.
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::error_code error;
        fs::create_directories(toPath(path_), error);
        if (error && error.value() != ENOENT)
            throw fs::filesystem_error("cannot create directories", toPath(path_), error);
        const int descriptor = ::open(path_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (descriptor < 0) {
            if (errno == ENOENT)
                continue;
            throw fs::filesystem_error("cannot open directory", toPath(path_), std::error_code(errno, std::generic_category()));
        }
        struct stat held {};
        struct stat there {};
        // Shared: holders of one folder (two working copies in it) never wait for each other, only for a removal.
        if (lockEntirely(descriptor, LOCK_SH) == 0 && ::fstat(descriptor, &held) == 0
            && ::stat(path_.c_str(), &there) == 0 && sameFile(held, there)) {
            descriptor_ = descriptor;
            return;
        }
        ::close(descriptor);
    }
    throw fs::filesystem_error("cannot hold directory", toPath(path_), std::make_error_code(std::errc::resource_unavailable_try_again));
}

LockedFolder::~LockedFolder()
{
    if (descriptor_ >= 0)
        ::close(descriptor_);
}

bool LockedFolder::removeUnheld(const std::string& path) noexcept
{
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    bool removed = false;
    if (lockEntirely(descriptor, LOCK_EX | LOCK_NB) == 0) {
        std::error_code error;
        fs::remove_all(toPath(path), error);
        removed = !error;
    }
    ::close(descriptor);
    return removed;
}

} // namespace velquine
