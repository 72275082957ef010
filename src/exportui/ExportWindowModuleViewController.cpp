#include "exportui/ExportWindowModuleViewController.h"

#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QVBoxLayout>

#include "document/VQDocument.h"
#include "kit/FileDialogFolders.h"
#include "platform/Log.h"
#include "platform/LongWork.h"

namespace velquine {

ExportSavePanel::ExportSavePanel(QWidget* parent, const QString& formatName, std::vector<std::string> allowedFileTypes)
    : QFileDialog(parent), allowedFileTypes_(std::move(allowedFileTypes))
{
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    setOption(QFileDialog::DontUseNativeDialog);
    setWindowModality(Qt::ApplicationModal);
    QStringList patterns;
    for (const std::string& type : allowedFileTypes_)
        patterns << QStringLiteral("*.") + QString::fromStdString(type);
    setNameFilter(QStringLiteral("%1 (%2)").arg(formatName, patterns.join(QLatin1Char(' '))));
    if (!allowedFileTypes_.empty())
        setDefaultSuffix(QString::fromStdString(allowedFileTypes_.front()));
}

QString ExportSavePanel::withAllowedExtension(const QString& path, const std::vector<std::string>& allowedFileTypes)
{
    if (allowedFileTypes.empty())
        return path;
    const QString suffix = QFileInfo(path).suffix();
    for (const std::string& type : allowedFileTypes) {
        if (suffix.compare(QString::fromStdString(type), Qt::CaseInsensitive) == 0)
            return path;
    }
    return path + QLatin1Char('.') + QString::fromStdString(allowedFileTypes.front());
}

void ExportSavePanel::accept()
{
    const QStringList files = selectedFiles();
    if (files.isEmpty())
        return;
    const QString fixed = withAllowedExtension(files.front(), allowedFileTypes_);
    // A folder is opened, and a name that already has an allowed extension goes through the dialog's own
    // checks (overwrite question included).
    if (fixed == files.front() || QFileInfo(files.front()).isDir()) {
        chosenPath_ = files.front();
        QFileDialog::accept();
        return;
    }
    // The dialog would check the name as typed; the file written is the one with the extension.
    if (QFileInfo::exists(fixed)
        && QMessageBox::warning(this, windowTitle(),
                                tr("%1 already exists.\nDo you want to replace it?").arg(QFileInfo(fixed).fileName()),
                                QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
               != QMessageBox::Yes)
        return;
    chosenPath_ = fixed;
    QDialog::accept();
}

ExportWindowModuleViewController::ExportWindowModuleViewController(QWidget* parent)
    : QWidget(parent)
{
}

void ExportWindowModuleViewController::loadViewIfNeeded()
{
    if (viewLoaded_)
        return;
    viewLoaded_ = true;
    viewDidLoad();
}

std::string ExportWindowModuleViewController::exportingText(const std::string& url)
{
    return tr("Exporting \u201c%1\u201d\u2026").arg(QFileInfo(QString::fromStdString(url)).fileName()).toStdString();
}

void ExportWindowModuleViewController::exportWaiting(const std::string& url, std::function<void()> write)
{
    LongWork::wait(exportingText(url), std::move(write));
}

std::optional<std::string> ExportWindowModuleViewController::askForSaveURL(const std::vector<std::string>& allowedFileTypes)
{
    ExportSavePanel panel(window(), QString::fromStdString(moduleTitle()), allowedFileTypes);
    panel.setWindowTitle(tr("Export"));
    const std::shared_ptr<VQDocument> doc = document();
    const std::optional<QFileInfo> file =
        doc && doc->fileURL() ? std::optional(QFileInfo(QString::fromStdString(*doc->fileURL()))) : std::nullopt;
    // Beside the map, else where the last file went.
    panel.setDirectory(FileDialogFolders::startFolder(file ? file->absolutePath() : QString()));
    if (file) {
        const QString name = file->fileName();
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        panel.selectFile(dot > 0 ? name.left(dot) : name);
    }
    if (panel.exec() != QDialog::Accepted || panel.chosenPath().isEmpty())
        return std::nullopt;
    FileDialogFolders::noteChosenFile(panel.chosenPath());
    return ExportSavePanel::withAllowedExtension(panel.chosenPath(), allowedFileTypes).toStdString();
}

void ExportWindowModuleViewController::exportToPaseboard()
{
    if (supportsPasteboardExport())
        throw VQ_TEXT_ERROR("exportToPaseboard()", "Implement in subclass!");
    throw TextError("Export to Clipboard is not supported for this content type");
}

void ExportWindowModuleViewController::addDescription(const QString& text)
{
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(text, this);
    label->setWordWrap(true);
    layout->addWidget(label);
    layout->addStretch();
}

std::shared_ptr<VQDocument> ExportWindowModuleViewController::requireDocument(std::string_view file, long line,
                                                                              std::string_view function) const
{
    std::shared_ptr<VQDocument> doc = document();
    if (!doc)
        throw TextError(file, function, line, "no document found");
    return doc;
}

} // namespace velquine
