#pragma once

// The commands that move nodes and node styles through the pasteboard: copy, cut, paste, and the copy and
// paste of a node's style.

#include "editor/CommandGroup.h"
#include "platform/Geometry.h"

namespace velquine {

class ClipboardCommands {
public:
    explicit ClipboardCommands(GraphViewController& controller) : controller_(controller) {}
    void registerActions(const AddAction& addAction);

    void copy();                                       // copy:
    void cut();                                        // cut:
    void paste(bool keepOriginalStyle);                // paste: / pasteAsPlainText:
    void copyNodeStyle();                              // copyNodeStyle:
    void pasteNodeStyle();                             // pasteNodeStyle:

    // Where pasted nodes go: the last mouse position on the canvas when it is visible, else the middle of the
    // visible rectangle.
    Point pasteLocation() const;

private:
    GraphViewController& controller_;
};

} // namespace velquine
