#include "platform/Resources.h"

#include <QFile>
#include <QString>

namespace velquine {

std::optional<std::string> resourceData(const std::string& name, const std::string& type)
{
    QFile file(QStringLiteral(":/") + QString::fromStdString(name) + QLatin1Char('.') + QString::fromStdString(type));
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

} // namespace velquine
