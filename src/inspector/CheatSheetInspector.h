#pragma once

// The help pane of the inspector sidebar: the keyboard shortcuts page, listening to the document only while
// shown (it reacts to no event).

#include <memory>

#include "inspector/InspectorController.h"

namespace velquine {

class CheatSheetInspector : public InspectorController {
    Q_OBJECT
public:
    explicit CheatSheetInspector(QWidget* parent = nullptr);
    ~CheatSheetInspector() override;

    void inspectorDidShow() override;
    void inspectorDidHide() override;

protected:
    void viewDidLoad() override;

private:
    class Listener;
    std::unique_ptr<Listener> listener_;
};

} // namespace velquine
