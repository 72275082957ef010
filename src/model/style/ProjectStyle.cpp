#include "model/style/ProjectStyle.h"

#include "model/style/StyleJson.h"
#include "platform/UserDefaults.h"

#include <QString>

#include <algorithm>
#include <utility>

namespace velquine {

namespace {

std::vector<Color> strokes(const ProjectStyleValues& values, std::size_t limit)
{
    std::vector<Color> colors;
    const std::size_t count = std::min(limit, values.palette.size());
    colors.reserve(count + 1);
    for (std::size_t i = 0; i < count; ++i)
        colors.push_back(values.palette[i].strokeColor);
    return colors;
}

std::vector<Color> levelPreview(const ProjectStyleValues& values, const Color& styleColor)
{
    if (values.dynamicMainNodeColors)
        return strokes(values, 5);
    std::vector<Color> colors = strokes(values, 4);
    colors.push_back(styleColor);
    return colors;
}

std::string lowercased(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toLower().toStdString();
}

} // namespace

std::string ProjectStyle::jsonValue() const
{
    std::string currentText = current.jsonValue();
    std::string defaultsText = defaults.jsonValue();
    KeyedObject dictionary;
    dictionary.set("name", name);
    dictionary.set("current", std::move(currentText));
    dictionary.set("defaults", std::move(defaultsText));
    return JSONFromDict(dictionary);
}

ProjectStyle ProjectStyle::fromJsonString(std::string_view text)
{
    const KeyedValue object = parseJsonObject(text, "init(jsonString:)");
    ProjectStyle style;
    style.name = getString("name", object);
    style.current = Values::fromJsonString(getString("current", object));
    style.defaults = Values::fromJsonString(getString("defaults", object));
    return style;
}

std::vector<Color> ProjectStyle::previewColors() const
{
    return levelPreview(defaults, defaults.rootNodeStyle.borderColor);
}

std::vector<Color> ProjectStyle::previewColors2() const
{
    return levelPreview(defaults, defaults.rootNodeStyle.fillColor);
}

std::vector<Color> ProjectStyle::previewColors3() const
{
    std::vector<Color> colors = strokes(defaults, 4);
    colors.push_back(defaults.backgroundColor);
    return colors;
}

ProjectStyle defaultProjectStyle()
{
    const std::optional<std::string> stored = UserDefaults::standard().stringForKey(std::string(defaultProjectStyleKey));
    if (stored) {
        const std::string wanted = lowercased(*stored);
        for (ProjectStyle& style : ProjectStyle::builtInStyles()) {
            if (lowercased(style.name) == wanted)
                return std::move(style);
        }
    }
    return ProjectStyle::omaha();
}

} // namespace velquine
