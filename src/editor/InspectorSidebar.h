#pragma once

// The inspector sidebar an editor window shows at its right, as the window's panes see it: a widget that
// carries commands and switches its inspector on "switchSidebarInspector:". The bar itself lives with the
// inspectors above this library; the application hands its maker to the editor (EditorWindowHooks).

#include <QWidget>

#include "platform/ActionDispatcher.h"

namespace velquine {

class InspectorSidebar : public QWidget, public Responder {
    Q_OBJECT
public:
    using QWidget::QWidget;

    // The sidebar's width as built (it may be dragged out to twice that).
    static constexpr int barWidth = 340;

    // Shows the inspector the sender names, opening the sidebar's tab for it.
    virtual void switchSidebarInspector(const ActionItem* sender) = 0;
};

} // namespace velquine
