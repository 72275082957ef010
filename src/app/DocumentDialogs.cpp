#include "app/DocumentDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

#include "document/FileTypes.h"
#include "kit/Alert.h"
#include "kit/FileDialogFolders.h"

namespace velquine {

namespace {

QString patterns(const FileType& type)
{
    QStringList list;
    for (const std::string& extension : type.extensions)
        list << QStringLiteral("*.") + QString::fromStdString(extension);
    return list.join(u' ');
}

// A report that does not wait (Ctrl+Q on it quits as elsewhere), or one that returns once read (a step of the work
// under way, which a quit would cut short).
void showReport(QWidget* parent, const QString& objectName, const QString& text, const QString& detail,
                ReportTiming timing = ReportTiming::atOnce)
{
    const Report report{.objectName = objectName, .messageText = text, .informativeText = detail};
    if (timing == ReportTiming::untilRead)
        report.runOver(parent);
    else
        report.showOver(parent);
}

// A question whose answer destroys something: Cancel (the default) or the action; true for the action.
bool confirm(QWidget* parent, const QString& objectName, const QString& text, const QString& detail,
             const QString& action)
{
    QMessageBox box(QMessageBox::Warning, QObject::tr("Velquine"), text, QMessageBox::Cancel, parent);
    box.setObjectName(objectName);
    box.setInformativeText(detail);
    QPushButton* confirmed = box.addButton(action, QMessageBox::DestructiveRole);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == confirmed;
}

} // namespace

DocumentDialogs::~DocumentDialogs() = default;

QString DocumentDialogs::openPanelFilter()
{
    QStringList all;
    for (const FileType& type : FileTypes::all())
        all << patterns(type);
    return QObject::tr("Maps and outlines (%1);;All files (*)").arg(all.join(u' '));
}

QString DocumentDialogs::savePanelFilter()
{
    return QObject::tr("Velquine maps (%1)").arg(patterns(FileTypes::all().front()));
}

std::vector<std::string> DocumentDialogs::runOpenPanel(QWidget* parent)
{
    std::vector<std::string> paths;
    for (const QString& file :
         QFileDialog::getOpenFileNames(parent, QObject::tr("Open"), FileDialogFolders::startFolder(), openPanelFilter()))
        paths.push_back(file.toStdString());
    if (!paths.empty())
        FileDialogFolders::noteChosenFile(QString::fromStdString(paths.front()));
    return paths;
}

std::optional<std::string> DocumentDialogs::runSavePanel(QWidget* parent, const QString& suggestedName,
                                                         const QString& folder)
{
    const QString start = QDir(FileDialogFolders::startFolder(folder)).filePath(suggestedName);
    const QString file = QFileDialog::getSaveFileName(parent, QObject::tr("Save As"), start, savePanelFilter());
    if (file.isEmpty())
        return std::nullopt;
    FileDialogFolders::noteChosenFile(file);
    return file.toStdString();
}

SaveChangesAnswer DocumentDialogs::askToSaveChanges(QWidget* parent, const QString& name, bool quitting)
{
    QMessageBox box(QMessageBox::Warning, QObject::tr("Velquine"),
                    QObject::tr("Do you want to save the changes made to the document “%1”?").arg(name),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box.setObjectName(QStringLiteral("saveChangesQuestion"));
    box.setInformativeText(quitting ? QObject::tr("Your changes will be lost if you quit without saving them.")
                                    : QObject::tr("Your changes will be lost if you don't save them."));
    box.button(QMessageBox::Discard)->setText(QObject::tr("Don't Save"));
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        return SaveChangesAnswer::save;
    case QMessageBox::Discard:
        return SaveChangesAnswer::dontSave;
    default:
        return SaveChangesAnswer::cancel;
    }
}

bool DocumentDialogs::askToOverwriteChangedFile(QWidget* parent, const QString& name)
{
    return confirm(parent, QStringLiteral("fileChangedQuestion"),
                   QObject::tr("The file of the document “%1” was changed by another application.").arg(name),
                   QObject::tr("Do you want to overwrite it with your version?"), QObject::tr("Overwrite"));
}

bool DocumentDialogs::askToRevert(QWidget* parent, const QString& name)
{
    return confirm(parent, QStringLiteral("revertQuestion"),
                   QObject::tr("Do you want to revert “%1” to the last saved version?").arg(name),
                   QObject::tr("Your current changes will be lost."), QObject::tr("Revert"));
}

bool DocumentDialogs::runPageLayout(QWidget* parent, QPageLayout& layout)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(layout);
    QPageSetupDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("pageSetupDialog"));
    if (dialog.exec() != QDialog::Accepted)
        return false;
    layout = printer.pageLayout();
    return true;
}

bool DocumentDialogs::runPrintPanel(QWidget* parent, QPrinter& printer)
{
    QPrintDialog dialog(&printer, parent);
    return dialog.exec() == QDialog::Accepted;
}

void DocumentDialogs::showOpenError(QWidget* parent, const QString& name, const QString& reason)
{
    showReport(parent, QStringLiteral("openFailureMessage"),
               QObject::tr("The document “%1” could not be opened.").arg(name), reason);
}

void DocumentDialogs::showOpenWarning(QWidget* parent, const QString& name, const QString& reason)
{
    showReport(parent, QStringLiteral("partlyReadMessage"),
               QObject::tr("Part of the file “%1” could not be read.").arg(name), reason);
}

void DocumentDialogs::showSaveError(QWidget* parent, const QString& name, const QString& reason, ReportTiming timing)
{
    showReport(parent, QStringLiteral("saveFailureMessage"),
               QObject::tr("The document “%1” could not be saved.").arg(name), reason, timing);
}

void DocumentDialogs::showRecoveryCopyError(QWidget* parent, const QString& name, const QString& reason)
{
    showReport(parent, QStringLiteral("recoveryCopyFailureMessage"),
               QObject::tr("The unsaved changes of “%1” could not be kept for recovery.").arg(name),
               QObject::tr("If Velquine ends before they are saved, they are lost.\n%1").arg(reason));
}

void DocumentDialogs::showRecoveredCopiesLeft(QWidget* parent, std::size_t count, const QString& folder)
{
    Report{.icon = QMessageBox::Information,
           .objectName = QStringLiteral("recoveredCopiesLeftMessage"),
           .messageText = count == 1
                              ? QObject::tr("1 more map with unsaved changes from an earlier session is kept.")
                              : QObject::tr("%1 more maps with unsaved changes from earlier sessions are kept.").arg(count),
           .informativeText =
               QObject::tr("Velquine opened the %1 most recent. The others are kept in “%2” and open, %1 at a time, "
                           "the next times Velquine starts; each stays until its map is saved or closed without saving.")
                   .arg(DocumentController::maximumReopenedCopies)
                   .arg(folder)}
        .showOver(parent);
}

void DocumentDialogs::showPrintError(QWidget* parent, const QString& name)
{
    showReport(parent, QStringLiteral("printFailureMessage"),
               QObject::tr("The document “%1” could not be printed.").arg(name), QString());
}

} // namespace velquine
