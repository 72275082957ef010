#include "platform/WindowFrames.h"

#include <vector>

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

using Entry = std::pair<std::string, std::string>;

std::vector<Entry> stored()
{
    std::vector<Entry> entries;
    const std::optional<std::string> text = UserDefaults::standard().stringForKey(std::string(WindowFrames::settingsKey));
    if (!text)
        return entries;
    try {
        const KeyedValue list = Json::read(*text);
        if (!list.isArray())
            return entries;
        for (const KeyedValue& item : list.asArray()) {
            if (!item.isArray() || item.asArray().size() != 2)
                continue;
            const KeyedValue& path = item.asArray()[0];
            const KeyedValue& frame = item.asArray()[1];
            if (path.isString() && frame.isString())
                entries.emplace_back(path.asString(), frame.asString());
        }
    } catch (const std::exception&) {
        return {}; // a damaged list is started afresh
    }
    return entries;
}

} // namespace

std::optional<std::string> WindowFrames::frame(const std::string& path)
{
    const std::string absolute = absolutePath(path);
    for (const auto& [stored, frame] : stored())
        if (stored == absolute)
            return frame;
    return std::nullopt;
}

void WindowFrames::note(const std::string& path, const std::string& frame)
{
    const std::string absolute = absolutePath(path);
    std::vector<Entry> entries = stored();
    std::erase_if(entries, [&](const Entry& entry) { return entry.first == absolute; });
    entries.insert(entries.begin(), {absolute, frame});
    if (entries.size() > maximumCount)
        entries.resize(maximumCount);
    KeyedValue::Array items;
    for (const auto& [stored, frame] : entries)
        items.push_back(KeyedValue::array({KeyedValue(stored), KeyedValue(frame)}));
    UserDefaults::standard().set(std::string(settingsKey), Json::write(KeyedValue(std::move(items))));
}

} // namespace velquine
