#pragma once

// The inspector sidebar: a vertical tab bar ("Style", "Content") beside a scroll view that shows one pane.
//
// The bar creates its six panes once. The "style" tab shows the node style pane while nodes are selected and
// the document style pane otherwise; the "content" tab the node or document content pane by the same rule.
// It follows the document's selection and remembers the tab chosen last in "lastSelectedInspectorTab"
// (0 style, 1 content, 2 information, 3 help). A stored value with no tab here selects no tab, and the
// sidebar stays empty until the selection changes. The bar is at least as wide as its widest pane needs.

#include <QWidget>

#include <memory>

#include "editor/InspectorSidebar.h"
#include "inspector/InspectorController.h"
#include "kit/KVVerticalTabBar.h"

class QScrollArea;

namespace velquine {

class DocumentListenerRelay;
class VQDocument;

class InspectorBarController : public InspectorSidebar, public KVVerticalTabBarDelegate {
    Q_OBJECT
public:
    explicit InspectorBarController(const std::shared_ptr<VQDocument>& document, QWidget* parent = nullptr);
    ~InspectorBarController() override;

    KVVerticalTabBar* tabBar() const { return tabBar_; }
    QScrollArea* scrollView() const { return scrollView_; }
    InspectorController* currentInspector() const { return currentInspector_; }

    InspectorController* documentStyleInspector() const { return documentStyleInspector_; }
    InspectorController* nodeStyleInspector() const { return nodeStyleInspector_; }
    InspectorController* documentContentInspector() const { return documentContentInspector_; }
    InspectorController* nodeContentInspector() const { return nodeContentInspector_; }
    InspectorController* objectInfoInspector() const { return objectInfoInspector_; }
    InspectorController* cheatSheetInspector() const { return cheatSheetInspector_; }

    void showInspector(InspectorController* inspector);
    void selectInspectorTab(const QString& identifier) override;
    void switchSidebarInspector(const ActionItem* sender) override;
    void documentDidChangeSelection();

    bool validateMenuItem(ActionItem&) override { return true; }

    // Room for the widest pane beside the tab bar, with a vertical scroll bar.
    QSize minimumSizeHint() const override;

private:
    void setUp();
    bool hasSelectedNodes() const;
    InspectorController* adopt(InspectorController* pane);

    std::weak_ptr<VQDocument> document_;
    KVVerticalTabBar* tabBar_;
    QScrollArea* scrollView_;
    InspectorController* documentStyleInspector_ = nullptr;
    InspectorController* nodeStyleInspector_ = nullptr;
    InspectorController* documentContentInspector_ = nullptr;
    InspectorController* nodeContentInspector_ = nullptr;
    InspectorController* objectInfoInspector_ = nullptr;
    InspectorController* cheatSheetInspector_ = nullptr;
    InspectorController* currentInspector_ = nullptr;
    std::shared_ptr<DocumentListenerRelay> relay_;
};

} // namespace velquine
