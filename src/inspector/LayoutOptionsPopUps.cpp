#include "inspector/LayoutOptionsPopUps.h"

#include <optional>
#include <utility>

#include <QCheckBox>
#include <QComboBox>

namespace velquine {

namespace {

// The layout value a pop-up title stands for, if any.
template <class Value>
std::optional<Value> valueForTitle(const QComboBox* selector,
                                   std::initializer_list<std::pair<const char*, Value>> titles)
{
    if (selector->currentIndex() < 0)
        return std::nullopt;
    const QString title = selector->currentText();
    for (const auto& [text, value] : titles)
        if (title == QLatin1String(text))
            return value;
    return std::nullopt;
}

} // namespace

LayoutOptions layoutOptionsFromPopUps(LayoutOptions options, const QComboBox* type, const QComboBox* direction,
                                      const QComboBox* branch, const QCheckBox* automatic)
{
    using Options = LayoutOptions;
    options.layoutType = valueForTitle<Options::LayoutType>(
        type, {{"Horizontal", Options::LayoutType::horizontal}, {"Vertical", Options::LayoutType::vertical}})
        .value_or(options.layoutType);
    options.layoutDirection = valueForTitle<Options::LayoutDirection>(
        direction, {{"Left to Right", Options::LayoutDirection::ascending},
                    {"Top-Down", Options::LayoutDirection::ascending},
                    {"Right to Left", Options::LayoutDirection::descending},
                    {"Bottom-Up", Options::LayoutDirection::descending},
                    {"Balanced", Options::LayoutDirection::balanced}})
        .value_or(options.layoutDirection);
    options.branchType = valueForTitle<Options::BranchType>(
        branch, {{"Rounded", Options::BranchType::rounded}, {"Angular", Options::BranchType::angular},
                 {"Line", Options::BranchType::line}})
        .value_or(options.branchType);
    options.isManual = !automatic->isChecked();
    return options;
}

} // namespace velquine
