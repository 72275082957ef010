#pragma once

// The "style" pane of the inspector sidebar while no node is selected: the look of the whole document. The
// theme (chosen among the built-in styles from a pop-up or the preview strip), the background colour, the
// grid and the base layout options every tree without options of its own uses. Every change is one undo
// step of the document; the pane refreshes itself from the document's events while shown.

#include "document/VQDocumentEventListener.h"
#include "inspector/InspectorController.h"
#include "inspector/ThemePreviewView.h"
#include "kit/KVColorWell.h"

class QCheckBox;
class QComboBox;
class QGroupBox;

namespace velquine {

class DocumentStyleInspector : public InspectorController,
                               public VQDocumentEventListener,
                               public KVColorWellDelegate,
                               public ThemePreviewDelegate {
    Q_OBJECT
public:
    explicit DocumentStyleInspector(QWidget* parent = nullptr);
    ~DocumentStyleInspector() override;

    void inspectorDidShow() override;
    void inspectorDidHide() override;

    // Refreshes every control from the document's project.
    void sync();
    void syncLayoutOptions();

    // Applies the style to the document: restyle and re-layout in one undo step, and the defaults stored.
    void applyTheme(const ProjectStyle& style);
    void applySelectedTheme();
    void selectNextTheme();
    void selectPreviousTheme();
    void changeGrid();
    void changeGridSize();
    void changeLayout(QObject* sender);

    void documentDidReplaceProject() override { sync(); }
    void documentDidCancelEditingSession() override { sync(); }
    void documentDidCommitEditingSession() override { sync(); }
    void documentDidChangeBackgroundColor() override { sync(); }
    void documentDidChangeStyle() override { sync(); }

    void colorWellDidChange(KVColorWell* well, const Color& colour, bool isFinal) override;
    void didSelectTheme(const ProjectStyle& style) override { applyTheme(style); }

    // ---- Outlets (object names as the field names) ----
    QComboBox* themeSelector = nullptr;
    ThemePreviewView* themePreview = nullptr;
    KVColorWell* backgroundColorWell = nullptr;
    QComboBox* gridSelector = nullptr;
    QComboBox* gridSizeSelector = nullptr;
    QComboBox* layoutTypeSelector = nullptr;
    QComboBox* layoutDirectionSelector = nullptr;
    QComboBox* branchTypeSelector = nullptr;
    QCheckBox* isLayoutManualCheckbox = nullptr;
    QWidget* containerView = nullptr;
    QGroupBox* layoutBox = nullptr;
    QCheckBox* applyShapesCheckbox = nullptr;
    QCheckBox* autosizeNodesCheckbox = nullptr;

    // The grid size pop-up's item for a size in points.
    static int gridSizeIndex(double size, int itemCount);

protected:
    void viewDidLoad() override;

private:
    void buildInterface();
    void connectControls();
};

} // namespace velquine
