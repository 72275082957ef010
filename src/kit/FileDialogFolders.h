#pragma once

// The folder the file dialogs start in, as the desktop keeps it: the one asked for (a map's own folder), else
// the folder of the last file of the same kind opened or saved through a dialog, kept in the settings, else
// the desktop's folder for the kind (the XDG user folders: Documents for maps and outlines, Pictures for
// images, as ~/.config/user-dirs.dirs names them), else the home folder.

#include <QString>

#include <string_view>

namespace velquine {

class FileDialogFolders {
public:
    enum class Kind { documents, pictures };

    static constexpr std::string_view lastUsedKey = "lastDocumentFolder";
    static constexpr std::string_view lastPictureKey = "lastPictureFolder";

    // The preferred folder when it is there, else the last used one of the kind when it is there, else the
    // desktop's folder of the kind when it is there, else home.
    static QString startFolder(const QString& preferred = QString(), Kind kind = Kind::documents);
    // Remembers the folder of the file chosen in a dialog for the dialogs of its kind.
    static void noteChosenFile(const QString& file, Kind kind = Kind::documents);
};

} // namespace velquine
