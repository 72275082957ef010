#include "exchange/OutlineWalk.h"

#include "platform/Log.h"

#include <QSaveFile>
#include <QString>

namespace velquine::detail {

std::vector<const Node*> exportRoots(const Graph& graph)
{
    std::vector<const Node*> roots;
    for (const auto& [uid, node] : graph.nodeBin()) {
        if (!node.parentUID)
            roots.push_back(&node);
    }
    return roots;
}

void writeFileAtomically(const std::string& path, const std::string& text)
{
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        throw TextError(file.errorString().toStdString() + ": " + path);
    if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) || !file.commit())
        throw TextError(file.errorString().toStdString() + ": " + path);
}

} // namespace velquine::detail
