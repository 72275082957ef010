#include "model/style/NodeStyle.h"

namespace velquine {

const std::array<std::string_view, 14>& NodeStyle::codingKeys()
{
    static constexpr std::array<std::string_view, 14> keys{
        "borderWidth", "borderColor", "fillColor",     "borderStyle",  "branchColor",
        "branchStyle", "branchWidth", "textColor",     "textAlignment", "font",
        "userOverrides", "isUnderlined", "isStrikeThrough", "imagePosition"};
    return keys;
}

const std::array<std::string_view, 14>& NodeStyle::writeOrder()
{
    static constexpr std::array<std::string_view, 14> keys{
        "borderWidth", "borderColor", "borderStyle",  "fillColor",       "branchColor",
        "branchStyle", "branchWidth", "textColor",    "textAlignment",   "font",
        "isUnderlined", "isStrikeThrough", "imagePosition", "userOverrides"};
    return keys;
}

} // namespace velquine
