#include "platform/RecentDocuments.h"

#include <algorithm>

#include <QFileInfo>

#include "platform/Json.h"
#include "platform/KeyedValue.h"
#include "platform/UserDefaults.h"

namespace velquine {

namespace {

std::string absolutePath(const std::string& path)
{
    return QFileInfo(QString::fromStdString(path)).absoluteFilePath().toStdString();
}

} // namespace

std::vector<std::string> RecentDocuments::stored()
{
    std::vector<std::string> paths;
    const std::optional<std::string> text = UserDefaults::standard().stringForKey(std::string(settingsKey));
    if (!text)
        return paths;
    try {
        const KeyedValue list = Json::read(*text);
        if (!list.isArray())
            return paths;
        for (const KeyedValue& item : list.asArray())
            if (item.isString() && !item.asString().empty())
                paths.push_back(item.asString());
    } catch (const std::exception&) {
        return {}; // a damaged list is started afresh
    }
    return paths;
}

void RecentDocuments::store(const std::vector<std::string>& paths)
{
    KeyedValue::Array items;
    for (const std::string& path : paths)
        items.emplace_back(path);
    UserDefaults::standard().set(std::string(settingsKey), Json::write(KeyedValue(std::move(items))));
}

std::vector<std::string> RecentDocuments::paths()
{
    const std::vector<std::string> all = stored();
    std::vector<std::string> present;
    for (const std::string& path : all)
        if (QFileInfo(QString::fromStdString(path)).isFile())
            present.push_back(path);
    if (present.size() != all.size())
        store(present);
    return present;
}

void RecentDocuments::note(const std::string& path)
{
    const std::string absolute = absolutePath(path);
    std::vector<std::string> paths = stored();
    std::erase(paths, absolute);
    paths.insert(paths.begin(), absolute);
    if (paths.size() > maximumCount)
        paths.resize(maximumCount);
    store(paths);
}

void RecentDocuments::clear()
{
    store({});
}

} // namespace velquine
