#pragma once

// The modal dialog that asks for one existing file, behind a seam tests replace.

#include <QString>

#include <functional>
#include <optional>

class QWidget;

namespace velquine {

class OpenPanel {
public:
    // Gets the parent window, the dialog's title and its name filter; answers the chosen path, or nothing
    // when the user cancelled.
    using Handler = std::function<std::optional<QString>(QWidget* parent, const QString& title, const QString& filter)>;

    // Asks for one file through the handler (a modal file dialog, unless replaced).
    static std::optional<QString> chooseFile(QWidget* parent, const QString& title, const QString& filter);
    // Replaces the handler and returns the previous one; an empty handler restores the dialog.
    static Handler setHandler(Handler handler);

    // A name filter for every image format the program reads, then all files.
    static QString imageFilter();
};

} // namespace velquine
