#include "inspector/DocumentStyleInspector.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>
#include <QToolButton>
#include <QVBoxLayout>

#include "document/DocumentLayout.h"
#include "document/VQDocument.h"
#include "inspector/LayoutOptionsPopUps.h"
#include "model/project/FactorySettings.h"
#include "platform/UserDefaults.h"

namespace velquine {

namespace {

constexpr const char* shouldApplyThemeShapesKey = "shouldApplyThemeShapes";
constexpr const char* shouldAutosizeNodesKey = "shouldAutosizeNodesOnThemeChange";

// The grid pop-up's rows.
constexpr GridType gridTypes[] = {GridType::noGrid, GridType::dots, GridType::quad};

template <class T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QComboBox* popUp(QWidget* parent, const char* name, std::initializer_list<const char*> titles)
{
    auto* box = named(new QComboBox(parent), name);
    for (const char* title : titles)
        box->addItem(QString::fromLatin1(title));
    return box;
}

void retitle(QComboBox* box, const char* from, const char* to)
{
    const int index = box->findText(QString::fromLatin1(from));
    if (index >= 0)
        box->setItemText(index, QString::fromLatin1(to));
}

void selectTitle(QComboBox* box, const char* title)
{
    box->setCurrentIndex(box->findText(QString::fromLatin1(title)));
}

// The background well's ready-made swatches: the fill colours of the first four palette entries the style
// was defined with, its own background colour, and white.
std::vector<Color> backgroundSwatches(const ProjectStyle& style)
{
    std::vector<Color> colours;
    const std::vector<PaletteEntry>& palette = style.defaults.palette;
    for (std::size_t i = 0; i < std::min<std::size_t>(4, palette.size()); ++i)
        colours.push_back(palette[i].fillColor);
    colours.push_back(style.defaults.backgroundColor);
    return appendingWhiteSwatch(std::move(colours));
}

void addRow(QGridLayout* grid, int& row, const QString& label, QWidget* control)
{
    if (!label.isEmpty())
        grid->addWidget(new QLabel(label, grid->parentWidget()), row, 0, Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(control, row++, 1);
}

} // namespace

DocumentStyleInspector::DocumentStyleInspector(QWidget* parent) : InspectorController(parent)
{
    setObjectName(QStringLiteral("DocumentStyleInspector"));
    buildInterface();
    connectControls();
}

DocumentStyleInspector::~DocumentStyleInspector()
{
    if (document())
        unregisterEventListener();
}

void DocumentStyleInspector::buildInterface()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* title = named(new QLabel(tr("Document Style"), this), "titleBar");
    title->setAlignment(Qt::AlignCenter);
    outer->addWidget(title);
    containerView = named(new QWidget(this), "containerView");
    outer->addWidget(containerView);
    outer->addStretch(1);

    auto* grid = new QGridLayout(containerView);
    grid->setContentsMargins(10, 4, 10, 10);
    grid->setColumnStretch(1, 1);
    int row = 0;
    themeSelector = named(new QComboBox(containerView), "themeSelector");
    themeSelector->setIconSize(QSize(100, 12));
    addRow(grid, row, tr("Theme:"), themeSelector);
    themePreview = new ThemePreviewView(containerView);
    themePreview->setFixedHeight(140);
    grid->addWidget(themePreview, row++, 0, 1, 2);
    auto* stepper = new QHBoxLayout;
    auto* previous = named(new QToolButton(containerView), "previousThemeButton");
    previous->setArrowType(Qt::LeftArrow);
    previous->setToolTip(tr("Previous Theme"));
    auto* next = named(new QToolButton(containerView), "nextThemeButton");
    next->setArrowType(Qt::RightArrow);
    next->setToolTip(tr("Next Theme"));
    connect(previous, &QToolButton::clicked, this, [this] { selectPreviousTheme(); });
    connect(next, &QToolButton::clicked, this, [this] { selectNextTheme(); });
    stepper->addWidget(previous);
    stepper->addStretch(1);
    stepper->addWidget(next);
    grid->addLayout(stepper, row++, 0, 1, 2);
    applyShapesCheckbox = named(new QCheckBox(tr("Apply shapes and borders"), containerView), "applyShapesCheckbox");
    addRow(grid, row, QString(), applyShapesCheckbox);
    autosizeNodesCheckbox = named(new QCheckBox(tr("Resize nodes to fit"), containerView), "autosizeNodesCheckbox");
    addRow(grid, row, QString(), autosizeNodesCheckbox);

    backgroundColorWell = named(new KVColorWell(containerView), "backgroundColorWell");
    addRow(grid, row, tr("Background:"), backgroundColorWell);
    gridSelector = popUp(containerView, "gridSelector", {"None", "Dots", "Grid"});
    addRow(grid, row, tr("Grid:"), gridSelector);
    gridSizeSelector = named(new QComboBox(containerView), "gridSizeSelector");
    for (int size = 8; size <= 32; size += 4)
        gridSizeSelector->addItem(tr("%1 pt").arg(size), size);
    addRow(grid, row, tr("Grid Size:"), gridSizeSelector);

    layoutBox = named(new QGroupBox(tr("Layout"), containerView), "layoutBox");
    auto* layoutGrid = new QGridLayout(layoutBox);
    layoutGrid->setColumnStretch(1, 1);
    int layoutRow = 0;
    layoutTypeSelector = popUp(layoutBox, "layoutTypeSelector", {"Horizontal", "Vertical"});
    addRow(layoutGrid, layoutRow, tr("Type:"), layoutTypeSelector);
    layoutDirectionSelector = popUp(layoutBox, "layoutDirectionSelector", {"Left to Right", "Right to Left", "Balanced"});
    addRow(layoutGrid, layoutRow, tr("Direction:"), layoutDirectionSelector);
    branchTypeSelector = popUp(layoutBox, "branchTypeSelector", {"Rounded", "Angular", "Line"});
    addRow(layoutGrid, layoutRow, tr("Branches:"), branchTypeSelector);
    isLayoutManualCheckbox = named(new QCheckBox(tr("Automatic layout"), layoutBox), "isLayoutManualCheckbox");
    addRow(layoutGrid, layoutRow, QString(), isLayoutManualCheckbox);
    grid->addWidget(layoutBox, row++, 0, 1, 2);
}

void DocumentStyleInspector::connectControls()
{
    connect(themeSelector, &QComboBox::activated, this, [this] { applySelectedTheme(); });
    connect(gridSelector, &QComboBox::activated, this, [this] { changeGrid(); });
    connect(gridSizeSelector, &QComboBox::activated, this, [this] { changeGridSize(); });
    for (QComboBox* selector : {layoutTypeSelector, layoutDirectionSelector, branchTypeSelector})
        connect(selector, &QComboBox::activated, this, [this, selector] { changeLayout(selector); });
    connect(isLayoutManualCheckbox, &QCheckBox::clicked, this, [this] { changeLayout(isLayoutManualCheckbox); });
}

void DocumentStyleInspector::viewDidLoad()
{
    backgroundColorWell->setDelegate(this);
    UserDefaults& defaults = UserDefaults::standard();
    applyShapesCheckbox->setChecked(defaults.boolForKey(shouldApplyThemeShapesKey));
    autosizeNodesCheckbox->setChecked(defaults.boolForKey(shouldAutosizeNodesKey));

    const std::vector<ProjectStyle> styles = ProjectStyle::builtInStyles();
    themeSelector->clear();
    for (const ProjectStyle& style : styles) {
        const Image swatch = style.paletteSwatch(Size{100, 12});
        themeSelector->addItem(QIcon(QPixmap::fromImage(swatch.bitmap())), QString::fromStdString(style.name));
    }
    themePreview->availableStyles = styles;
    themePreview->renderBackingImage();
    themePreview->selectedStyleIndex = 0;
    themePreview->delegate = this;
}

void DocumentStyleInspector::inspectorDidShow()
{
    if (!document())
        return;
    registerEventListener(this);
    sync();
}

void DocumentStyleInspector::inspectorDidHide()
{
    if (document())
        unregisterEventListener();
}

int DocumentStyleInspector::gridSizeIndex(double size, int itemCount)
{
    const auto s = static_cast<long long>(size);
    if (s < 9)
        return 0;
    if (s > 31)
        return itemCount - 1;
    return int((s - 8) / 4);
}

void DocumentStyleInspector::sync()
{
    const std::shared_ptr<VQDocument> doc = document();
    if (!doc)
        return;
    const VQProject& project = doc->project();
    const ProjectStyle& style = project.projectStyle;
    backgroundColorWell->setSelectedColor(style.current.backgroundColor);
    backgroundColorWell->setSwatchPaletteSeed(backgroundSwatches(style));
    backgroundColorWell->dropSwatchPopover();

    themeSelector->setCurrentIndex(themeSelector->findText(QString::fromStdString(style.name), Qt::MatchExactly));
    themePreview->selectedStyleIndex = int(indexOfTheme(style.name, themePreview->availableStyles).value_or(0));
    themePreview->layoutPreview();
    themePreview->updateIndicator();

    // Grid types the pop-up does not offer select no item.
    const auto* type = std::find(std::begin(gridTypes), std::end(gridTypes), project.grid.type);
    gridSelector->setCurrentIndex(type == std::end(gridTypes) ? -1 : int(type - std::begin(gridTypes)));
    gridSizeSelector->setCurrentIndex(gridSizeIndex(project.grid.size.width, gridSizeSelector->count()));
    syncLayoutOptions();
}

void DocumentStyleInspector::syncLayoutOptions()
{
    const std::shared_ptr<VQDocument> doc = document();
    if (!doc)
        return;
    using Options = LayoutOptions;
    const Options& options = doc->project().baseLayoutOptions;
    static constexpr const char* branchTitles[] = {"Rounded", "Angular", "Line"};
    selectTitle(branchTypeSelector, branchTitles[int(options.branchType)]);
    layoutDirectionSelector->setEnabled(true);
    const bool vertical = options.layoutType == Options::LayoutType::vertical;
    retitle(layoutDirectionSelector, vertical ? "Left to Right" : "Top-Down", vertical ? "Top-Down" : "Left to Right");
    retitle(layoutDirectionSelector, vertical ? "Right to Left" : "Bottom-Up", vertical ? "Bottom-Up" : "Right to Left");
    selectTitle(layoutTypeSelector, vertical ? "Vertical" : "Horizontal");
    const char* direction = options.layoutDirection == Options::LayoutDirection::balanced ? "Balanced"
                            : options.layoutDirection == Options::LayoutDirection::ascending
                                ? (vertical ? "Top-Down" : "Left to Right")
                                : (vertical ? "Bottom-Up" : "Right to Left");
    selectTitle(layoutDirectionSelector, direction);
    isLayoutManualCheckbox->setChecked(!options.isManual);
}

void DocumentStyleInspector::applySelectedTheme()
{
    if (!document() || themeSelector->currentIndex() < 0)
        return;
    const std::vector<ProjectStyle> styles = ProjectStyle::builtInStyles();
    if (const auto index = indexOfTheme(themeSelector->currentText().toStdString(), styles))
        applyTheme(styles[*index]);
}

void DocumentStyleInspector::applyTheme(const ProjectStyle& style)
{
    const std::shared_ptr<VQDocument> doc = document();
    if (!doc)
        return;
    doc->beginEditingSession("Apply Theme \"" + style.name + "\"");
    const bool shapes = applyShapesCheckbox->isChecked();
    const bool autosize = autosizeNodesCheckbox->isChecked();
    UserDefaults& defaults = UserDefaults::standard();
    defaults.set(shouldApplyThemeShapesKey, shapes);
    defaults.set(shouldAutosizeNodesKey, autosize);
    doc->applyStyleToDocument(style, shapes, shapes, autosize);
    DocumentLayout(*doc).autoLayoutGraph(false);
    if (doc->isInEditingSession())
        doc->commitEditingSession();
    defaults.set(std::string(defaultProjectStyleKey), style.name);
}

void DocumentStyleInspector::selectNextTheme()
{
    themePreview->selectNext();
    if (themePreview->delegate && !themePreview->availableStyles.empty())
        themePreview->delegate->didSelectTheme(themePreview->availableStyles.at(std::size_t(themePreview->selectedStyleIndex)));
}

void DocumentStyleInspector::selectPreviousTheme()
{
    themePreview->selectPrevious();
    if (themePreview->delegate && !themePreview->availableStyles.empty())
        themePreview->delegate->didSelectTheme(themePreview->availableStyles.at(std::size_t(themePreview->selectedStyleIndex)));
}

void DocumentStyleInspector::changeGrid()
{
    const std::shared_ptr<VQDocument> doc = document();
    const int index = gridSelector->currentIndex();
    if (!doc || index < 0 || index >= int(std::size(gridTypes)))
        return;
    const GridType type = gridTypes[index];
    const Size size = doc->project().grid.size;
    setDefaultGridStyle(type);
    doc->beginEditingSession("Change Grid Style");
    doc->setGrid(Grid{type, size});
    if (doc->isInEditingSession())
        doc->commitEditingSession();
}

void DocumentStyleInspector::changeGridSize()
{
    const std::shared_ptr<VQDocument> doc = document();
    if (!doc || gridSizeSelector->currentIndex() < 0)
        return;
    const int size = gridSizeSelector->currentData().toInt();
    setDefaultGridSize(size);
    doc->beginEditingSession("Change Grid Size");
    doc->setGrid(Grid{doc->project().grid.type, Size{double(size), double(size)}});
    if (doc->isInEditingSession())
        doc->commitEditingSession();
}

void DocumentStyleInspector::changeLayout(QObject* sender)
{
    const std::shared_ptr<VQDocument> doc = document();
    if (!doc)
        return;
    doc->beginEditingSession("Change Layout Options");
    using Options = LayoutOptions;
    const Options options = layoutOptionsFromPopUps(doc->project().baseLayoutOptions, layoutTypeSelector,
                                                    layoutDirectionSelector, branchTypeSelector, isLayoutManualCheckbox);
    doc->setBaseLayoutOptions(options);

    // The type and direction pop-ups balance; the check box only when the direction is balanced.
    const bool isPopUp = qobject_cast<QComboBox*>(sender) != nullptr;
    if (isPopUp ? sender != branchTypeSelector : options.layoutDirection == Options::LayoutDirection::balanced)
        DocumentLayout(*doc).balanceAllNodes();
    DocumentLayout(*doc).autoLayoutGraph(true);
    if (doc->isInEditingSession())
        doc->commitEditingSession();
}

void DocumentStyleInspector::colorWellDidChange(KVColorWell* /*well*/, const Color& colour, bool isFinal)
{
    const std::shared_ptr<VQDocument> doc = document();
    if (!doc)
        return;
    doc->beginEditingSession("Change Background Color");
    doc->setBackgroundColor(colour);
    // A drag keeps the session open so that the whole drag is one undo step.
    if (isFinal && doc->isInEditingSession())
        doc->commitEditingSession();
}

} // namespace velquine
