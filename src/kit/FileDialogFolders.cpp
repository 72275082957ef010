#include "kit/FileDialogFolders.h"

#include <QDir>
#include <QFileInfo>

#include "platform/UserDefaults.h"

namespace velquine {

QString FileDialogFolders::startFolder(const QString& preferred)
{
    if (!preferred.isEmpty() && QFileInfo(preferred).isDir())
        return preferred;
    const std::optional<std::string> stored = UserDefaults::standard().stringForKey(std::string(lastUsedKey));
    const QString last = stored ? QString::fromStdString(*stored) : QString();
    return !last.isEmpty() && QFileInfo(last).isDir() ? last : QDir::homePath();
}

void FileDialogFolders::noteChosenFile(const QString& file)
{
    UserDefaults::standard().set(std::string(lastUsedKey), QFileInfo(file).absolutePath().toStdString());
}

} // namespace velquine
