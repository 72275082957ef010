#include "platform/UrlOpener.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace velquine {

namespace {
UrlOpener::Handler& currentHandler()
{
    static UrlOpener::Handler handler;
    return handler;
}
// The desktop's opener ("xdg-open") hands the address to the program the user set up for it and tells by its
// exit status whether there was one; it is watched for that. Without it, the toolkit's own search for a
// browser or mail program answers at once.
bool openOnDesktop(const QUrl& url, const UrlOpener::FailureHandler& failed)
{
    const QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (opener.isEmpty() || !failed) {
        if (QDesktopServices::openUrl(url))
            return true;
        if (failed)
            failed(QString());
        return false;
    }
    // Not owned by anything: a browser the opener runs in the foreground must outlive the program.
    auto* process = new QProcess;
    process->setProgram(opener);
    process->setArguments({url.toString(QUrl::FullyEncoded)});
    process->setStandardOutputFile(QProcess::nullDevice());
    QObject::connect(process, &QProcess::finished, process, [process, failed](int code, QProcess::ExitStatus status) {
        if (status != QProcess::NormalExit || code != 0)
            failed(QString::fromLocal8Bit(process->readAllStandardError()).trimmed());
        process->deleteLater();
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [process, failed](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        failed(process->errorString());
        process->deleteLater();
    });
    process->start();
    return true;
}

} // namespace

bool UrlOpener::open(const QUrl& url, FailureHandler failed)
{
    if (const Handler& handler = currentHandler()) {
        const bool opened = handler(url);
        if (!opened && failed)
            failed(QString());
        return opened;
    }
    return openOnDesktop(url, failed);
}

UrlOpener::Handler UrlOpener::setHandler(Handler handler)
{
    Handler previous = std::move(currentHandler());
    currentHandler() = std::move(handler);
    return previous;
}

UrlOpenerCapture::UrlOpenerCapture()
    : previous_(UrlOpener::setHandler([this](const QUrl& url) {
          urls_.push_back(url);
          return true;
      }))
{
}

UrlOpenerCapture::~UrlOpenerCapture()
{
    UrlOpener::setHandler(std::move(previous_));
}

} // namespace velquine
