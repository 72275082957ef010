#pragma once

// The modal dialog that asks for one existing file, behind a seam tests replace.

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace velquine {

class OpenPanel {
public:
    // Gets the parent window, the dialog's title, its name filter and the folder it starts in; answers the
    // chosen path, or nothing when the user cancelled.
    using Handler = std::function<std::optional<QString>(QWidget* parent, const QString& title, const QString& filter,
                                                         const QString& folder)>;

    // Asks for one file through the handler (a modal file dialog, unless replaced).
    static std::optional<QString> chooseFile(QWidget* parent, const QString& title, const QString& filter,
                                             const QString& folder);
    // Asks for one image file, starting where the last image was chosen or in the desktop's pictures folder
    // (FileDialogFolders), and remembers the folder of the one chosen.
    static std::optional<QString> chooseImage(QWidget* parent, const QString& title);
    // Replaces the handler and returns the previous one; an empty handler restores the dialog.
    static Handler setHandler(Handler handler);

    // A name filter for every image format the program reads, then all files.
    static QString imageFilter();
};

} // namespace velquine
