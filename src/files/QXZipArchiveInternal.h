#pragma once

// Pieces shared by the writing and the reading half of QXZipArchive; not part of its interface.

#include "files/QXZipArchive.h"

#include <unzip.h>

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

// The sizes of the current entry, whose information is given: minizip 1.x leaves the 32-bit placeholder
// 0xFFFFFFFF where an entry keeps its sizes in the zip64 extra field, and this reads them from there into the
// information. False when a size stays unknown (its placeholder is left in place).
bool readZip64Sizes(void* uf, unz_file_info64& info);

// The name an extraction gives the current entry, whose stored name and information are given: decoded, made
// safe, a folder's with its closing "/", the entry number (from 0) when nothing of it is left. None for an
// entry that is passed over ("__MACOSX/").
std::optional<std::string> extractedName(const char* storedName, std::uint16_t versionMadeBy, std::uint16_t flag,
                                         std::size_t nameLength, long entryNumber);

// minizip 1.x refuses to open an archive that holds nothing but its end record, which is a valid zip file.
bool isEmptyZipArchive(const std::string& path);

} // namespace velquine::qxzip
