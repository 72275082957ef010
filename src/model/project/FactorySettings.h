#pragma once

// The factory settings: the value every setting has until the user changes it. They are registered at
// every start, before any window or document reads a setting, and are never written to the user's file.

#include <string>
#include <utility>
#include <vector>

#include "model/graph/Grid.h"
#include "platform/UserDefaults.h"

namespace velquine {

// The nineteen factory settings in their order of registration.
std::vector<std::pair<std::string, UserDefaults::Value>> factoryDefaults();

// Registers factoryDefaults() in the registration domain of the standard user defaults.
void registerFactoryDefaults();

// Stores the grid type's case name ("noGrid", "dots", ...) under "defaultGridStyle".
void setDefaultGridStyle(GridType type);
// Stores the size with its fraction dropped (toward zero) under "defaultGridSize"; a size that is not
// finite or lies outside ±2^31 is ignored.
void setDefaultGridSize(double size);

} // namespace velquine
