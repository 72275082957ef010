#pragma once

// A folder a running program holds with a lock on the folder itself (flock), so that what programs that ended
// midway left behind can be told from folders in use, by this process or by any other: the system lets the
// lock go with the program, however it ends.

#include <string>

namespace velquine {

class LockedFolder {
public:
    // Makes the folder (and the folders above it) and holds its lock, which other holders may hold too. Throws std::filesystem::filesystem_error
    // when it cannot be made or opened.
    explicit LockedFolder(const std::string& path);
    // Lets the lock go; the folder stays.
    ~LockedFolder();
    LockedFolder(const LockedFolder&) = delete;
    LockedFolder& operator=(const LockedFolder&) = delete;

    const std::string& path() const { return path_; }

    // Removes the folder with everything in it unless someone holds its lock; the lock is held meanwhile, so
    // that nobody takes the folder up while it goes. True when it was removed. Failures are ignored.
    static bool removeUnheld(const std::string& path) noexcept;

private:
    std::string path_;
    int descriptor_ = -1;
};

} // namespace velquine
