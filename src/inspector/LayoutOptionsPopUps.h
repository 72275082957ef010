#pragma once

// The layout pop-ups shared by the style panes: the options their selected titles stand for.

#include "model/graph/LayoutOptions.h"

class QCheckBox;
class QComboBox;

namespace velquine {

// The options with the type, direction and branch type of the pop-ups' selected titles ("Horizontal",
// "Vertical"; "Left to Right" or "Top-Down", "Right to Left" or "Bottom-Up", "Balanced"; "Rounded",
// "Angular", "Line") and isManual = the automatic check box is off. A pop-up without a selection or with
// another title keeps the current member.
LayoutOptions layoutOptionsFromPopUps(LayoutOptions current, const QComboBox* type, const QComboBox* direction,
                                      const QComboBox* branch, const QCheckBox* automatic);

} // namespace velquine
