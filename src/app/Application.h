#pragma once

#include <string>
#include <vector>

#include <QStringList>

namespace velquine {

// Starts the editor: the application object, its settings and its first windows. Returns the exit code.
int runApplication(int argc, char** argv);

// The files named on a command line (the program's own name and options left out; after "--" every
// argument is a file).
std::vector<std::string> documentArguments(const QStringList& arguments);

// Hands the editor windows what they take from the application: the main menu, the cheat sheet on start and
// the inspector sidebar. Called by runApplication, and by whatever else makes editor windows.
void installEditorWindowHooks();

} // namespace velquine
