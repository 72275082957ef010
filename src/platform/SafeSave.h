#pragma once

// Replacing a file so that it is never left half-written: the new file is written beside the target under a
// hidden name of its own, reaches the disk, and only then is renamed over the target.

#include <functional>
#include <string>
#include <string_view>

namespace velquine {

// Lets `write` produce the new file at a path in the target's folder (a hidden name of its own) and, only when
// write answered true and the bytes reached the disk, renames it over the target (the real file when the target
// is a symbolic link; an existing file's permissions carry over). Any failure leaves the target exactly as it
// was, removes the new file and answers false, with the system's text for what failed in `cause` when given;
// exceptions of write pass through after the same clean-up.
bool replaceFile(const std::string& target, const std::function<bool(const std::string& path)>& write,
                 std::string* cause = nullptr);

// replaceFile with the bytes as the new file's contents.
bool replaceFileContents(const std::string& target, std::string_view bytes, std::string* cause = nullptr);

// Removes the hidden new files (and scratch folders, below) an earlier killed replacement of the target left
// beside it, unless a replacement is writing into that folder. Failures are ignored.
void removePartialFiles(const std::string& target) noexcept;

// A hidden folder beside the target, named as replaceFile names its new files, for what a replacement must
// build before it writes the new file (when no other folder can take it). It goes with everything in it when
// this object goes; one a killed program left behind goes with the next removePartialFiles of the target.
// Throws std::filesystem::filesystem_error when it cannot be made.
class ScratchFolderBeside {
public:
    explicit ScratchFolderBeside(const std::string& target);
    ~ScratchFolderBeside();
    ScratchFolderBeside(const ScratchFolderBeside&) = delete;
    ScratchFolderBeside& operator=(const ScratchFolderBeside&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
    // The shared lock on the folder it lies in, held meanwhile (see removePartialFiles).
    int lock_ = -1;
};

} // namespace velquine
