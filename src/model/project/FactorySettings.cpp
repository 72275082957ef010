#include "model/project/FactorySettings.h"

#include <cmath>
#include <cstdint>

#include "model/style/ProjectStyle.h"
#include "platform/Settings.h"

namespace velquine {

std::vector<std::pair<std::string, UserDefaults::Value>> factoryDefaults()
{
    using Value = UserDefaults::Value;
    const auto integer = [](std::int64_t value) { return Value(value); };
    const auto text = [](std::string_view value) { return Value(std::string(value)); };
    return {
        {"NSShowAppCentricOpenPanelInsteadOfUntitledFile", false},
        {std::string(userInterfaceStyleKey), text(userInterfaceStyleName(UserInterfaceStyle::systemDefault))},
        {"disableAnimations", false},
        {"showWelcomeWindow", false},
        {"lastSelectedInspectorTab", integer(0)},
        {"isNoteViewCollapsed", true},
        {"isNavigatorBarCollapsed", true},
        {"isInspectorCollapsed", false},
        {"defaultGridStyle", text(caseName(GridType::noGrid))},
        {"defaultGridSize", integer(24)},
        {std::string(defaultProjectStyleKey), text(ProjectStyle::omaha().name)},
        {"shouldApplyThemeShapes", true},
        {"shouldAutosizeNodesOnThemeChange", true},
        {"showsCheatSheetOnStart", false},
        {"copyRichTextToPasteboard", true},
        {"copyNodeTitleColorsToPasteboard", true},
        {std::string(collisionDetectionKey), true},
        {"RichTextExporterModuleViewController.keepColors", true},
        {"SUEnableAutomaticChecks", true},
    };
}

void registerFactoryDefaults()
{
    UserDefaults::Dictionary table;
    for (auto& [key, value] : factoryDefaults())
        table.insert_or_assign(key, std::move(value));
    UserDefaults::standard().registerDefaults(table);
}

void setDefaultGridStyle(GridType type)
{
    UserDefaults::standard().set("defaultGridStyle", std::string(caseName(type)));
}

void setDefaultGridSize(double size)
{
    if (!std::isfinite(size) || std::fabs(size) >= 2147483648.0)
        return;
    UserDefaults::standard().set("defaultGridSize", static_cast<std::int64_t>(std::trunc(size)));
}

} // namespace velquine
