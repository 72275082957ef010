#pragma once

// Pieces shared by the writing and the reading half of QXZipArchive; not part of its interface.

#include <cstdint>
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

} // namespace velquine::qxzip
