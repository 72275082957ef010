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

// Removes the hidden new files an earlier killed replacement of the target left beside it, unless a
// replacement is writing into that folder. Failures are ignored.
void removePartialFiles(const std::string& target) noexcept;

} // namespace velquine
