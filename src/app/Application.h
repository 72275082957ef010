#pragma once

namespace velquine {

// Starts the editor: the application object, its settings and its first window. Returns the exit code.
int runApplication(int argc, char** argv);

} // namespace velquine
