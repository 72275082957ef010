#pragma once

// What the controller's command groups share: the controller they act for, and the way they register their
// handlers on its responder.

#include <functional>
#include <string>

#include "platform/ActionDispatcher.h"

namespace velquine {

class GraphViewController;

// Registers a handler for a selector on the controller's responder.
using AddAction = std::function<void(const std::string& selector, Responder::Handler handler)>;

} // namespace velquine
