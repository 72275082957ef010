#include "editor/EditorWindowHooks.h"

namespace velquine {

namespace {

EditorWindowHooks& installedHooks()
{
    static EditorWindowHooks hooks;
    return hooks;
}

} // namespace

void setEditorWindowHooks(EditorWindowHooks hooks)
{
    installedHooks() = std::move(hooks);
}

const EditorWindowHooks& editorWindowHooks()
{
    return installedHooks();
}

} // namespace velquine
