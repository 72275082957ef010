#pragma once

// The folder the file dialogs start in, as the desktop keeps it: the one asked for (a map's own folder), else
// the folder of the file last opened or saved through a dialog, kept in the settings under lastUsedKey, else
// the home folder.

#include <QString>

#include <string_view>

namespace velquine {

class FileDialogFolders {
public:
    static constexpr std::string_view lastUsedKey = "lastDocumentFolder";

    // The preferred folder when it is there, else the last used one when it is there, else home.
    static QString startFolder(const QString& preferred = QString());
    // Remembers the folder of the file chosen in a dialog.
    static void noteChosenFile(const QString& file);
};

} // namespace velquine
