#include "app/Updater.h"

#include <QString>

#include "kit/Alert.h"
#include "platform/Log.h"

namespace velquine {

Updater& Updater::shared()
{
    static Updater updater;
    return updater;
}

void Updater::checkForUpdatesInBackground()
{
    ++backgroundChecks_;
    systemLog(noUpdateSourceMessage);
}

void Updater::checkForUpdates(QWidget* parent)
{
    systemLog(noUpdateSourceMessage);
    Report{.icon = QMessageBox::Information,
           .objectName = QStringLiteral("updaterMessage"),
           .messageText = QString::fromUtf8(noUpdateSourceMessage.data(), qsizetype(noUpdateSourceMessage.size())),
           .windowTitle = QStringLiteral("Check for Updates")}
        .showOver(parent);
}

} // namespace velquine
