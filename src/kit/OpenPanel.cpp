#include "kit/OpenPanel.h"

#include <QFileDialog>
#include <QImageReader>
#include <QStringList>

#include "kit/FileDialogFolders.h"

namespace velquine {

namespace {

std::optional<QString> runDialog(QWidget* parent, const QString& title, const QString& filter, const QString& folder)
{
    const QString path = QFileDialog::getOpenFileName(parent, title, folder, filter);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

OpenPanel::Handler& handler()
{
    static OpenPanel::Handler current = runDialog;
    return current;
}

} // namespace

std::optional<QString> OpenPanel::chooseFile(QWidget* parent, const QString& title, const QString& filter,
                                             const QString& folder)
{
    return handler()(parent, title, filter, folder);
}

std::optional<QString> OpenPanel::chooseImage(QWidget* parent, const QString& title)
{
    using Kind = FileDialogFolders::Kind;
    std::optional<QString> path = chooseFile(parent, title, imageFilter(), FileDialogFolders::startFolder({}, Kind::pictures));
    if (path)
        FileDialogFolders::noteChosenFile(*path, Kind::pictures);
    return path;
}

OpenPanel::Handler OpenPanel::setHandler(Handler replacement)
{
    Handler previous = std::move(handler());
    handler() = replacement ? std::move(replacement) : Handler(runDialog);
    return previous;
}

QString OpenPanel::imageFilter()
{
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats())
        patterns << QStringLiteral("*.") + QString::fromLatin1(format);
    return QObject::tr("Images (%1);;All files (*)").arg(patterns.join(u' '));
}

} // namespace velquine
