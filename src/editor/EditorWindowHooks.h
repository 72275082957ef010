#pragma once

// What an editor window takes from the application above it: its menu bar, the cheat sheet shown once the
// first windows are up, and the inspector sidebar of its panes. The application sets them once at start-up;
// a window made before that has none of them.

#include <QMainWindow>

#include <functional>
#include <memory>

namespace velquine {

class InspectorSidebar;
class VQDocument;
class WindowActions;

struct EditorWindowHooks {
    // Builds the menu bar of window and binds its items to the window's actions.
    std::function<void(QMainWindow* window, WindowActions* actions)> installMenus;
    // Told of each new window, to show the cheat sheet shortly after start when the settings ask for it.
    std::function<void(QWidget* window)> scheduleCheatSheetOnStart;
    // Makes the inspector sidebar of a document's window.
    std::function<InspectorSidebar*(const std::shared_ptr<VQDocument>& document)> makeInspectorSidebar;
};

// The hooks of every editor window made from now on.
void setEditorWindowHooks(EditorWindowHooks hooks);
const EditorWindowHooks& editorWindowHooks();

} // namespace velquine
