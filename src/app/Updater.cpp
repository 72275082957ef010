#include "app/Updater.h"

#include <QMessageBox>
#include <QString>

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
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Check for Updates"),
                                QString::fromUtf8(noUpdateSourceMessage.data(), static_cast<qsizetype>(noUpdateSourceMessage.size())),
                                QMessageBox::Ok, parent);
    box->setObjectName(QStringLiteral("updaterMessage"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

} // namespace velquine
