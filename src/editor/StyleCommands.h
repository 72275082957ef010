#pragma once

// The commands that change how the selected nodes look: font variants and the resets of style, colours and
// size. Each is one editing session of the controller's document.

#include <cstdint>

#include "editor/CommandGroup.h"

namespace velquine {

class StyleCommands {
public:
    explicit StyleCommands(GraphViewController& controller) : controller_(controller) {}
    void registerActions(const AddAction& addAction);

    void toggleFontTrait(std::uint32_t trait, std::uint32_t reverse, const char* label);
    void toggleNodeUnderline();                        // toggleNodeUnderline:
    void resetNodeStyleAndSize();                      // resetNodeStyleAndSize:
    void resetNodes(int which);                        // resetNodeStyle: / resetNodeColors: / resetNodeSize:

private:
    GraphViewController& controller_;
};

} // namespace velquine
