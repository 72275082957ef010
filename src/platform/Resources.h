#pragma once

// Files the program reads by name and type ("db_schema" of type "sql"), compiled into the executable.

#include <optional>
#include <string>

namespace velquine {

// The bytes of resource "name.type", or nothing when there is no such resource.
std::optional<std::string> resourceData(const std::string& name, const std::string& type);

} // namespace velquine
