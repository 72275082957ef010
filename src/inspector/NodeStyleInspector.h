#pragma once

// The "style" pane of the inspector sidebar while nodes are selected: shape, fill, border, branch, font,
// text colour, alignment and the layout options of the selected nodes' trees, in one column of controls.
//
// The pane keeps no copy of the model: every refresh and every edit reads the document's project afresh;
// the selected nodes are the project graph's nodes for the project's selection, in selection order. With
// several nodes selected, wells and sliders show the first node, the shape and stroke segments the union of
// all, the bold, italic and underline segments the last node. Every edit runs in the document's editing
// session with its own undo label and commits it, except a colour still being dragged and the size field
// while it is typed in: those keep the session open so that the whole gesture is one undo step.
//
// The controls carry their field names as object names. The family pop-up is filled once, from a list of
// installed families gathered off the main thread and handed back to it.

#include <memory>
#include <string>
#include <vector>

#include <QPointer>

#include "document/VQDocumentEventListener.h"
#include "inspector/InspectorController.h"
#include "kit/KVColorWell.h"
#include "kit/KVIconSegmentControl.h"
#include "model/graph/LayoutOptions.h"
#include "model/graph/Node.h"
#include "platform/ActionDispatcher.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace velquine {

class FontFamilyPopUp;
class KVMicroTitleBar;
class KVClickableBorderedView;
class SegmentedControl;
class Stepper;
class VQProject;

class NodeStyleInspector : public InspectorController,
                           public VQDocumentEventListener,
                           public KVIconSegmentControlDelegate,
                           public KVColorWellDelegate,
                           public Responder {
    Q_OBJECT
public:
    explicit NodeStyleInspector(QWidget* parent = nullptr);
    ~NodeStyleInspector() override;

    void inspectorDidShow() override;
    void inspectorDidHide() override;

    // Refreshes every control from the selection.
    void sync();
    void disableControls();
    void enableControls();

    static constexpr int titleBarHeight = 24;

    // The stepper's range, which typed sizes must lie in as well.
    static constexpr int minimumFontSize = 1;
    static constexpr int maximumFontSize = 999;

    // The family pop-up's faces: whether a lower-cased face name stands for a bold or an italic face.
    static bool isBoldFaceName(const std::string& lowerCasedName);
    static bool isItalicFaceName(const std::string& lowerCasedName);

    // Document events.
    void documentDidReplaceProject() override { sync(); }
    void documentDidCancelEditingSession() override { sync(); }
    void documentDidCommitEditingSession() override { sync(); }
    void documentDidChangeStyle() override { sync(); }
    void documentDidChangeSelection() override { sync(); }
    void documentDidBeginEditingNodeTitle() override { disableControls(); }
    void documentDidEndEditingNodeTitle() override { sync(); }

    // Control callbacks.
    void iconSegmentSelectionChanged(KVIconSegmentControl* control) override;
    void colorWellDidChange(KVColorWell* well, const Color& colour, bool isFinal) override;

    // The family list arrived: fills the pop-up and selects the first node's family.
    void setFontNames(const std::vector<std::string>& names);
    // Whether the family list has arrived.
    bool hasFontNames() const { return hasFontNames_; }

    // ---- Outlets (object names as the field names) ----
    // The pane's title bar; the pane never changes it after building it.
    QPointer<KVMicroTitleBar> titleBar;
    QWidget* containerView = nullptr;
    FontFamilyPopUp* fontNameDropdown = nullptr;
    SegmentedControl* fontVariantSegment = nullptr;
    QLineEdit* fontSizeTextField = nullptr;
    Stepper* fontSizeStepper = nullptr;
    SegmentedControl* fontAlignmentSegment = nullptr;
    KVColorWell* fontColorWell = nullptr;
    KVIconSegmentControl* shapeSegment = nullptr;
    KVColorWell* fillColorWell = nullptr;
    QCheckBox* shapeInheritanceChecker = nullptr;
    KVIconSegmentControl* borderStyleSegment = nullptr;
    QSlider* borderThicknessSlider = nullptr;
    KVClickableBorderedView* minBorderthicknessButton = nullptr;
    KVClickableBorderedView* maxBorderthicknessButton = nullptr;
    KVColorWell* borderColorWell = nullptr;
    KVIconSegmentControl* branchStyleSegment = nullptr;
    QSlider* branchThicknessSlider = nullptr;
    KVClickableBorderedView* minBranchThicknessButton = nullptr;
    KVClickableBorderedView* maxBranchThicknessButton = nullptr;
    KVColorWell* branchColorWell = nullptr;
    QPushButton* resetNodeStyleButton = nullptr;
    QPushButton* resetNodeColorsButton = nullptr;
    QPushButton* resetNodeSizeButton = nullptr;
    QGroupBox* layoutBox = nullptr;
    QComboBox* layoutTypeSelector = nullptr;
    QComboBox* layoutDirectionSelector = nullptr;
    QComboBox* branchTypeSelector = nullptr;
    QCheckBox* isLayoutManualCheckbox = nullptr;
    QPushButton* useBaseLayoutButton = nullptr;
    QPushButton* setAsDefaultStyleButton = nullptr;

protected:
    void viewDidLoad() override;
    void changeEvent(QEvent* event) override;

private:
    // The interface: controls, their object names and their placement.
    void buildInterface();
    void buildShapeSection(QGridLayout* grid, int& row);
    void buildStrokeSection(QGridLayout* grid, int& row, bool branch);
    void buildFontSection(QGridLayout* grid, int& row);
    void buildLayoutSection(QGridLayout* grid, int& row);
    void connectControls();
    // Colours of the drawn parts that follow the light or dark appearance.
    void refreshAppearance();

    // Set-up and refresh. The controls are set from the selected nodes read where the graph stores them: a copy
    // of each node of a selection of thousands would cost more than all else a refresh does.
    using SelectedNodes = std::vector<const Node*>;
    void setUpControls();
    void syncShapeControls(const VQProject& project, const SelectedNodes& nodes);
    void syncBorderControls(const SelectedNodes& nodes);
    void syncBranchControls(const SelectedNodes& nodes);
    void syncFontControls();
    void syncFontControls(const SelectedNodes& nodes);
    void syncAlignmentControl(const SelectedNodes& nodes);
    void refreshLayoutControls(const VQProject& project, const SelectedNodes& nodes);
    void setSwatchPalettes(const VQProject& project);
    void setEnabledOfDirectSubviews(bool enabled);

    // Edits.
    void applyShape();
    void applyBorderStyle();
    void applyBranchStyle();
    void applyFillColor();
    void applyBorderColor();
    void applyBranchColor();
    void applyTextColor(bool isFinal);
    void toggleShapeInheritance();
    void setBorderThickness(StrokeThickness thickness);
    void setBranchThickness(StrokeThickness thickness);
    void fontVariantSegmentDidChange();
    void fontAlignmentSegmentDidChange();
    void fontSizeStepperAction();
    void applyFontFamily();
    void controlTextDidChange();
    void controlTextDidEndEditing();
    void applyFontSize(VQDocument& document, double size);
    void applyStrokeStyle(bool branch);
    void applyColor(KVColorWell* well, Color NodeStyle::*field, const char* label, NodeUpdateOperation code);

    // Fonts.
    void enumerateFonts();
    void fontNameDropdownAction();
    void updateFontVariantAvailability();
    void menuWillOpen();
    void menuDidClose();

    // Layout options and the default style.
    void changeLayout(QObject* sender);
    void resetLayout();
    void setNodeStyleAsDefault();

    // The document and its selected nodes; null when the document is gone or nothing is selected.
    std::shared_ptr<VQDocument> documentWithSelection(std::vector<Node>& selected) const;
    // The nodes of the document's selection, in order.
    static std::vector<Node> selectedNodes(const VQProject& project);

    bool hasFontNames_ = false;
    bool fontSizeFieldIsEditing_ = false;
};

} // namespace velquine
