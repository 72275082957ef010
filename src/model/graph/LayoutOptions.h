#pragma once

// How a tree of nodes is laid out and how its branches are drawn.
//
// The project has one set of base options and a node may carry its own for the tree under it. Two forms:
// the keyed object {"layoutType":{"horizontal":{}}, "layoutDirection":{...}, "branchType":{...},
// "isManual":false}, all four members required; and the case names as texts, which the document store keeps
// in its columns and whose readers fall back to the first case.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "model/style/OneKeyCoding.h"
#include "platform/KeyedValue.h"

namespace velquine {

struct LayoutOptions {
    // The axis along which the tree grows.
    enum class LayoutType : std::uint8_t { horizontal, vertical };
    // The direction of growth from the root, or both sides.
    enum class LayoutDirection : std::uint8_t { ascending, descending, balanced };
    // The form of the branch lines between parent and child.
    enum class BranchType : std::uint8_t { rounded, angular, line };

    // Defaults: the base options of a new project.
    LayoutType layoutType = LayoutType::horizontal;
    LayoutDirection layoutDirection = LayoutDirection::balanced;
    BranchType branchType = BranchType::rounded;
    // The tree is arranged by hand.
    bool isManual = false;

    // All four fields equal.
    friend bool operator==(const LayoutOptions&, const LayoutOptions&) = default;

    // The keyed form, members in the order layoutType, layoutDirection, branchType, isManual.
    KeyedValue encode() const;
    // Options from the keyed form, members read in the same order. Throws DecodingError at the first member
    // that is missing, null or malformed.
    static LayoutOptions decode(const KeyedValue& from);
};

template <>
struct CaseNames<LayoutOptions::LayoutType> {
    static constexpr std::string_view typeName = "LayoutType";
    static constexpr std::array<std::string_view, 2> names{"horizontal", "vertical"};
};

template <>
struct CaseNames<LayoutOptions::LayoutDirection> {
    static constexpr std::string_view typeName = "LayoutDirection";
    static constexpr std::array<std::string_view, 3> names{"ascending", "descending", "balanced"};
};

template <>
struct CaseNames<LayoutOptions::BranchType> {
    static constexpr std::string_view typeName = "BranchType";
    static constexpr std::array<std::string_view, 3> names{"rounded", "angular", "line"};
};

// The case name as text ("horizontal", "balanced", "line", ...).
std::string stringValue(LayoutOptions::LayoutType type);
std::string stringValue(LayoutOptions::LayoutDirection direction);
std::string stringValue(LayoutOptions::BranchType type);

// The case whose name is exactly the text (compared with case), else the first case: horizontal, ascending,
// rounded. Never fails.
LayoutOptions::LayoutType layoutTypeFromString(std::string_view string);
LayoutOptions::LayoutDirection layoutDirectionFromString(std::string_view string);
LayoutOptions::BranchType branchTypeFromString(std::string_view string);

} // namespace velquine
