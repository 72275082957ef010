#pragma once

// The questions and reports of the document commands: the open and save panels (filtered through the table of
// file types), Save / Don't Save / Cancel, overwriting a file another program changed, reverting, the page
// setup and print panels and the error reports. Each is a virtual function, so tests put a subclass with ready
// answers in place of the real dialogs.

#include <QString>

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/DocumentController.h"

class QPageLayout;
class QPrinter;
class QWidget;

namespace velquine {

class DocumentDialogs {
public:
    virtual ~DocumentDialogs();

    // The open panel's filter: every type of the file-type table, then all files.
    static QString openPanelFilter();
    // The save panel's filter: the program's own document type.
    static QString savePanelFilter();

    // The panels start in the folder given (the document's own), else where the last file was opened or
    // saved (FileDialogFolders).
    virtual std::vector<std::string> runOpenPanel(QWidget* parent);
    virtual std::optional<std::string> runSavePanel(QWidget* parent, const QString& suggestedName,
                                                    const QString& folder);
    virtual SaveChangesAnswer askToSaveChanges(QWidget* parent, const QString& name, bool quitting);
    virtual bool askToOverwriteChangedFile(QWidget* parent, const QString& name);
    virtual bool askToRevert(QWidget* parent, const QString& name);
    // True when the user accepted the page setup (the layout then holds the chosen paper and orientation).
    virtual bool runPageLayout(QWidget* parent, QPageLayout& layout);
    // True when the user asked to print (the printer then holds the chosen settings).
    virtual bool runPrintPanel(QWidget* parent, QPrinter& printer);
    // Reports; shown without waiting for the user, unless a save's error is to wait until it is read.
    virtual void showOpenError(QWidget* parent, const QString& name, const QString& reason);
    // The file opened, but part of it could not be read (the reason says which).
    virtual void showOpenWarning(QWidget* parent, const QString& name, const QString& reason);
    virtual void showSaveError(QWidget* parent, const QString& name, const QString& reason, ReportTiming timing);
    virtual void showRecoveryCopyError(QWidget* parent, const QString& name, const QString& reason);
    virtual void showRecoveredCopiesLeft(QWidget* parent, std::size_t count, const QString& folder);
    virtual void showPrintError(QWidget* parent, const QString& name);
};

} // namespace velquine
