#include "kit/OpenPanel.h"

#include <QFileDialog>
#include <QImageReader>
#include <QStringList>

namespace velquine {

namespace {

std::optional<QString> runDialog(QWidget* parent, const QString& title, const QString& filter)
{
    const QString path = QFileDialog::getOpenFileName(parent, title, QString(), filter);
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

std::optional<QString> OpenPanel::chooseFile(QWidget* parent, const QString& title, const QString& filter)
{
    return handler()(parent, title, filter);
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
