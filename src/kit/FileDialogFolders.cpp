#include "kit/FileDialogFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include "platform/UserDefaults.h"

namespace velquine {

namespace {

std::string keyFor(FileDialogFolders::Kind kind)
{
    return std::string(kind == FileDialogFolders::Kind::pictures ? FileDialogFolders::lastPictureKey
                                                                  : FileDialogFolders::lastUsedKey);
}

bool isFolder(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

} // namespace

QString FileDialogFolders::startFolder(const QString& preferred, Kind kind)
{
    if (isFolder(preferred))
        return preferred;
    const std::optional<std::string> stored = UserDefaults::standard().stringForKey(keyFor(kind));
    if (const QString last = stored ? QString::fromStdString(*stored) : QString(); isFolder(last))
        return last;
    const QString desktop = QStandardPaths::writableLocation(kind == Kind::pictures ? QStandardPaths::PicturesLocation
                                                                                    : QStandardPaths::DocumentsLocation);
    return isFolder(desktop) ? desktop : QDir::homePath();
}

void FileDialogFolders::noteChosenFile(const QString& file, Kind kind)
{
    UserDefaults::standard().set(keyFor(kind), QFileInfo(file).absolutePath().toStdString());
}

} // namespace velquine
