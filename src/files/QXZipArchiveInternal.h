#pragma once

// Pieces shared by the writing and the reading half of QXZipArchive; not part of its interface.

#include "files/QXZipArchive.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velquine::qxzip {

// One diagnostic line in the system log, prefixed "[QXZipArchive] ".
void log(std::string_view message);

// The last component of a path ("a/b/" -> "b").
std::string lastPathComponent(const std::string& path);

// The MS-DOS attribute byte of a Unix mode: 0x400 for a link, 0x10 for a folder, else 0x80; plus 0x01
// (read-only) when some read bits but no write or execute bits are set.
std::uint32_t msdosAttributesFromMode(unsigned mode);

// The path with every link replaced by its target and every ".." taken physically, component by component from
// the root (relative paths from the working folder). Components that do not exist are taken as written. None
// when links loop.
std::optional<std::string> resolvePhysically(const std::string& path);

// "/a//b/" -> {"/", "a", "b"}; "a/b" -> {"a", "b"}.
std::vector<std::string> pathComponents(const std::string& path);

// An error of the archive's own domain.
inline QXZipArchiveError zipError(long code, const std::string& message)
{
    return QXZipArchiveError(kQXZipArchiveErrorDomain, code, message);
}

// An open archive for reading (a minizip unzFile), closed at the end.
struct UnzipCloser {
    void operator()(void* file) const;
};
using UnzipHandle = std::unique_ptr<void, UnzipCloser>;

// minizip 1.x reads the end record as an entry header when there are no entries; an empty archive simply ends.
int goToFirstEntry(void* uf);

// minizip 1.x refuses to open an archive that holds nothing but its end record, which is a valid zip file.
bool isEmptyZipArchive(const std::string& path);

} // namespace velquine::qxzip
