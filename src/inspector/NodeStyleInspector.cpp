#include "inspector/NodeStyleInspector.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include "document/VQDocument.h"
#include "inspector/FontFamilyPopUp.h"
#include "kit/CommandTable.h"
#include "kit/KVBorderedView.h"
#include "kit/KVLabeledDivider.h"
#include "kit/KVMicroTitleBar.h"
#include "kit/OnlyIntegerValueFormatter.h"
#include "kit/SegmentedControl.h"
#include "kit/SymbolImages.h"
#include "platform/FontManager.h"

namespace velquine {

namespace {

// The items of the shape segment: identifier, title and icon.
struct SegmentItem {
    const char* identifier;
    const char* title;
    std::optional<KVIconSegmentControl::IconTemplate> icon;
};

using Icon = KVIconSegmentControl::IconTemplate;

const SegmentItem shapeItems[] = {
    {"underline", "Underline", Icon::underline}, {"rect", "Rect", Icon::rect},
    {"roundedRect", "Rounded Rect", Icon::roundedRect}, {"ellipse", "Ellipse", Icon::oval},
    {"cloud", "Cloud", std::nullopt}};

const SegmentItem strokeItems[] = {
    {"solid", "Solid", Icon::solidLine}, {"dashed", "Dashed", Icon::dashedLine},
    {"dashed2", "Dashed 2", Icon::dashedLine2}, {"dashed3", "Dashed 3", Icon::dashedLine3},
    {"dotted", "Dotted", Icon::dottedLine}};

template <class T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

KVClickableBorderedView* thicknessEnd(QWidget* parent, const char* name, long width, const QString& toolTip)
{
    auto* view = named(new KVClickableBorderedView(parent), name);
    view->setShape(QStringLiteral("line"));
    view->setStrokeWidth(width);
    view->setFixedSize(18, 17); // an odd height keeps the thinnest line on whole pixels
    view->setToolTip(toolTip);
    return view;
}

QSlider* thicknessSlider(QWidget* parent, const char* name)
{
    auto* slider = named(new QSlider(Qt::Horizontal, parent), name);
    slider->setRange(0, 6);
    slider->setPageStep(1);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(1);
    return slider;
}

// A drawn alignment icon: four lines set flush left, centred, flush right or justified.
QIcon alignmentIcon(int alignment, const QColor& colour)
{
    QPixmap pixmap(32, 32);
    pixmap.setDevicePixelRatio(2.0);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setPen(QPen(colour, 1.5));
    const double lengths[] = {14, 9, 14, 11};
    for (int i = 0; i < 4; ++i) {
        const double length = alignment == 3 ? 14 : lengths[i];
        const double left = alignment == 0 || alignment == 3 ? 1 : alignment == 1 ? (16 - length) / 2 : 15 - length;
        painter.drawLine(QPointF(left, 3.5 + i * 3), QPointF(left + length, 3.5 + i * 3));
    }
    return QIcon(pixmap);
}

} // namespace

NodeStyleInspector::NodeStyleInspector(QWidget* parent) : InspectorController(parent)
{
    setObjectName(QStringLiteral("NodeStyleInspector"));
    buildInterface();
}

NodeStyleInspector::~NodeStyleInspector()
{
    // The controls are hidden and destroyed after this part of the inspector is gone; the signals they send
    // on the way (the font pop-up closing its list, a field losing focus) must not call back into it.
    for (QObject* control : findChildren<QObject*>())
        control->disconnect(this);
}

void NodeStyleInspector::buildInterface()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    titleBar = new KVMicroTitleBar(this);
    titleBar->setObjectName(QStringLiteral("titleBar"));
    titleBar->setTitle(tr("Node Style"));
    titleBar->setFixedHeight(titleBarHeight);
    outer->addWidget(titleBar);
    containerView = named(new QWidget(this), "containerView");
    outer->addWidget(containerView);
    outer->addStretch(1);

    auto* grid = new QGridLayout(containerView);
    grid->setContentsMargins(10, 4, 10, 10);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    grid->setColumnStretch(1, 1);
    int row = 0;
    buildShapeSection(grid, row);
    buildStrokeSection(grid, row, false);
    buildStrokeSection(grid, row, true);
    buildFontSection(grid, row);
    buildLayoutSection(grid, row);
    connectControls();
    refreshAppearance();
}

void NodeStyleInspector::refreshAppearance()
{
    const QColor ink = palette().color(QPalette::WindowText);
    for (KVClickableBorderedView* end : {minBorderthicknessButton, maxBorderthicknessButton, minBranchThicknessButton,
                                         maxBranchThicknessButton})
        end->setColor(ink);
    fontVariantSegment->applySelectionColours();
    fontAlignmentSegment->applySelectionColours();
    for (int i = 0; i < fontAlignmentSegment->segmentCount(); ++i)
        fontAlignmentSegment->segmentButton(i)->setIcon(alignmentIcon(i, palette().color(QPalette::ButtonText)));
}

void NodeStyleInspector::changeEvent(QEvent* event)
{
    InspectorController::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        refreshAppearance();
}

namespace {

void addDivider(QGridLayout* grid, int& row, const QString& title)
{
    auto* divider = new KVLabeledDivider(grid->parentWidget());
    divider->setTitle(title);
    divider->setMinimumHeight(20);
    grid->addWidget(divider, row++, 0, 1, 2);
}

void addRow(QGridLayout* grid, int& row, const QString& label, QLayout* controls)
{
    auto* text = new QLabel(label, grid->parentWidget());
    grid->addWidget(text, row, 0, Qt::AlignRight | Qt::AlignVCenter);
    grid->addLayout(controls, row++, 1);
}

void addRow(QGridLayout* grid, int& row, const QString& label, QWidget* control)
{
    auto* line = new QHBoxLayout;
    line->addWidget(control);
    addRow(grid, row, label, line);
}

} // namespace

void NodeStyleInspector::buildShapeSection(QGridLayout* grid, int& row)
{
    QWidget* box = containerView;
    addDivider(grid, row, tr("Shape"));
    shapeSegment = named(new KVIconSegmentControl(box), "shapeSegment");
    addRow(grid, row, tr("Shape:"), shapeSegment);
    fillColorWell = named(new KVColorWell(box), "fillColorWell");
    addRow(grid, row, tr("Fill:"), fillColorWell);
    shapeInheritanceChecker = named(new QCheckBox(tr("Children inherit shape"), box), "shapeInheritanceChecker");
    addRow(grid, row, QString(), shapeInheritanceChecker);
}

void NodeStyleInspector::buildStrokeSection(QGridLayout* grid, int& row, bool branch)
{
    QWidget* box = containerView;
    addDivider(grid, row, branch ? tr("Branch") : tr("Border"));
    auto* segment = named(new KVIconSegmentControl(box), branch ? "branchStyleSegment" : "borderStyleSegment");
    addRow(grid, row, tr("Style:"), segment);
    auto* minimum = thicknessEnd(box, branch ? "minBranchThicknessButton" : "minBorderthicknessButton", 1,
                                 tr("Thinnest"));
    auto* slider = thicknessSlider(box, branch ? "branchThicknessSlider" : "borderThicknessSlider");
    auto* maximum = thicknessEnd(box, branch ? "maxBranchThicknessButton" : "maxBorderthicknessButton", 6,
                                 tr("Thickest"));
    auto* line = new QHBoxLayout;
    line->addWidget(minimum);
    line->addWidget(slider, 1);
    line->addWidget(maximum);
    addRow(grid, row, tr("Thickness:"), line);
    auto* well = named(new KVColorWell(box), branch ? "branchColorWell" : "borderColorWell");
    addRow(grid, row, tr("Color:"), well);
    if (branch) {
        branchStyleSegment = segment, branchThicknessSlider = slider, branchColorWell = well;
        minBranchThicknessButton = minimum, maxBranchThicknessButton = maximum;
    } else {
        borderStyleSegment = segment, borderThicknessSlider = slider, borderColorWell = well;
        minBorderthicknessButton = minimum, maxBorderthicknessButton = maximum;
    }
}

void NodeStyleInspector::buildFontSection(QGridLayout* grid, int& row)
{
    QWidget* box = containerView;
    addDivider(grid, row, tr("Text"));
    fontNameDropdown = named(new FontFamilyPopUp(box), "fontNameDropdown");
    fontNameDropdown->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    fontNameDropdown->setMinimumContentsLength(10);
    addRow(grid, row, tr("Font:"), fontNameDropdown);

    fontVariantSegment = named(new SegmentedControl(box), "fontVariantSegment");
    QFont bold = font(), italic = font(), underline = font();
    bold.setBold(true);
    italic.setItalic(true);
    underline.setUnderline(true);
    fontVariantSegment->addSegment(QStringLiteral("B"), tr("Bold"), bold);
    fontVariantSegment->addSegment(QStringLiteral("I"), tr("Italic"), italic);
    fontVariantSegment->addSegment(QStringLiteral("U"), tr("Underline"), underline);
    fontSizeTextField = named(new QLineEdit(box), "fontSizeTextField");
    fontSizeTextField->setFixedWidth(44);
    fontSizeTextField->setAlignment(Qt::AlignRight);
    fontSizeStepper = named(new Stepper(box), "fontSizeStepper");
    fontSizeStepper->setRange(minimumFontSize, maximumFontSize);
    auto* line = new QHBoxLayout;
    line->addWidget(fontVariantSegment, 1);
    line->addSpacing(6);
    line->addWidget(fontSizeTextField);
    line->addWidget(fontSizeStepper);
    addRow(grid, row, tr("Style:"), line);

    fontAlignmentSegment = named(new SegmentedControl(box), "fontAlignmentSegment");
    const QString tips[] = {tr("Left"), tr("Center"), tr("Right"), tr("Justified")};
    for (int i = 0; i < 4; ++i)
        fontAlignmentSegment->addSegment(QIcon(), tips[i]);
    addRow(grid, row, tr("Alignment:"), fontAlignmentSegment);
    fontColorWell = named(new KVColorWell(box), "fontColorWell");
    addRow(grid, row, tr("Color:"), fontColorWell);
}

void NodeStyleInspector::buildLayoutSection(QGridLayout* grid, int& row)
{
    QWidget* box = containerView;
    addDivider(grid, row, tr("Reset"));
    resetNodeStyleButton = named(new QPushButton(tr("Style"), box), "resetNodeStyleButton");
    resetNodeColorsButton = named(new QPushButton(tr("Colors"), box), "resetNodeColorsButton");
    resetNodeSizeButton = named(new QPushButton(tr("Size"), box), "resetNodeSizeButton");
    auto* resets = new QHBoxLayout;
    for (QPushButton* button : {resetNodeStyleButton, resetNodeColorsButton, resetNodeSizeButton})
        resets->addWidget(button);
    addRow(grid, row, tr("Reset:"), resets);

    layoutBox = named(new QGroupBox(tr("Layout (Base)"), box), "layoutBox");
    auto* form = new QGridLayout(layoutBox);
    form->setColumnStretch(1, 1);
    layoutTypeSelector = named(new QComboBox(layoutBox), "layoutTypeSelector");
    layoutTypeSelector->addItems({QStringLiteral("Horizontal"), QStringLiteral("Vertical")});
    layoutDirectionSelector = named(new QComboBox(layoutBox), "layoutDirectionSelector");
    layoutDirectionSelector->addItems(
        {QStringLiteral("Left to Right"), QStringLiteral("Right to Left"), QStringLiteral("Balanced")});
    branchTypeSelector = named(new QComboBox(layoutBox), "branchTypeSelector");
    branchTypeSelector->addItems({QStringLiteral("Rounded"), QStringLiteral("Angular"), QStringLiteral("Line")});
    isLayoutManualCheckbox = named(new QCheckBox(tr("Automatic layout"), layoutBox), "isLayoutManualCheckbox");
    useBaseLayoutButton = named(new QPushButton(tr("Use Base Layout"), layoutBox), "useBaseLayoutButton");
    int line = 0;
    const std::pair<QString, QWidget*> rows[] = {{tr("Layout:"), layoutTypeSelector},
                                                 {tr("Direction:"), layoutDirectionSelector},
                                                 {tr("Branches:"), branchTypeSelector},
                                                 {QString(), isLayoutManualCheckbox},
                                                 {QString(), useBaseLayoutButton}};
    for (const auto& [label, control] : rows) {
        form->addWidget(new QLabel(label, layoutBox), line, 0, Qt::AlignRight | Qt::AlignVCenter);
        form->addWidget(control, line++, 1);
    }
    grid->addWidget(layoutBox, row++, 0, 1, 2);
    setAsDefaultStyleButton = named(new QPushButton(tr("Set as default for main nodes"), box),
                                    "setAsDefaultStyleButton");
    grid->addWidget(setAsDefaultStyleButton, row++, 0, 1, 2);
}

void NodeStyleInspector::viewDidLoad()
{
    setUpControls();
}

void NodeStyleInspector::setUpControls()
{
    for (KVColorWell* well : {fillColorWell, borderColorWell, branchColorWell, fontColorWell})
        well->setDelegate(this);
    enumerateFonts();
    fontSizeTextField->setValidator(new OnlyIntegerValueFormatter(fontSizeTextField));
    for (const SegmentItem& item : shapeItems) {
        const QImage cloud = item.icon ? QImage()
                                       : SymbolImages::render(QStringLiteral("segm_cloud"), QSizeF(18, 12),
                                                              devicePixelRatioF(), Qt::black);
        shapeSegment->addItem(QString::fromLatin1(item.identifier), tr(item.title), item.icon, cloud);
    }
    shapeSegment->setDelegate(this);
    for (KVIconSegmentControl* segment : {borderStyleSegment, branchStyleSegment}) {
        for (const SegmentItem& item : strokeItems)
            segment->addItem(QString::fromLatin1(item.identifier), tr(item.title), item.icon);
        segment->setDelegate(this);
    }
    const std::pair<KVClickableBorderedView*, Command> ends[] = {
        {minBorderthicknessButton, Command::minBorderThicknessAction},
        {maxBorderthicknessButton, Command::maxBorderThicknessAction},
        {minBranchThicknessButton, Command::minBranchThicknessAction},
        {maxBranchThicknessButton, Command::maxBranchThicknessAction}};
    for (const auto& [view, command] : ends) {
        view->setTarget(this);
        view->setAction(commandSelector(command));
    }
    sync();
}

std::vector<Node> NodeStyleInspector::selectedNodes(const VQProject& project)
{
    return project.graph.nodes(project.selectedNodeUIDs);
}

void NodeStyleInspector::inspectorDidShow()
{
    if (!document())
        return;
    registerEventListener(this);
    sync();
}

void NodeStyleInspector::inspectorDidHide()
{
    if (document())
        unregisterEventListener();
}

void NodeStyleInspector::sync()
{
    const std::shared_ptr<VQDocument> doc = document();
    if (!doc)
        return;
    const VQProject& project = doc->project();
    const SelectedNodes nodes = project.graph.findNodes(project.selectedNodeUIDs);
    if (nodes.empty()) {
        disableControls();
        return;
    }
    enableControls();
    setSwatchPalettes(project);
    syncShapeControls(project, nodes);
    syncBorderControls(nodes);
    syncBranchControls(nodes);
    syncFontControls(nodes);
    syncAlignmentControl(nodes);
    static const QString defaultTitles[] = {tr("Set as default for root nodes"), tr("Set as default for main nodes"),
                                            tr("Set as default for sub nodes")};
    setAsDefaultStyleButton->setText(defaultTitles[int(project.graph.nodeType(*nodes.front()))]);
    refreshLayoutControls(project, nodes);
}

void NodeStyleInspector::setSwatchPalettes(const VQProject& project)
{
    const std::vector<Color> fills = appendingWhiteSwatch(project.projectStyle.previewColors2());
    const std::vector<Color> lines = appendingWhiteSwatch(project.projectStyle.previewColors());
    for (KVColorWell* well : {fillColorWell, borderColorWell, branchColorWell, fontColorWell}) {
        well->setSwatchPaletteSeed(well == fillColorWell ? fills : lines);
        well->dropSwatchPopover();
    }
}

void NodeStyleInspector::syncShapeControls(const VQProject& project, const SelectedNodes& nodes)
{
    fillColorWell->setSelectedColor(nodes.front()->style.fillColor);
    QStringList shapes;
    bool allInherit = true;
    bool anyRoot = false;
    for (const Node* node : nodes) {
        if (const QString shape = QString::fromStdString(stringValue(node->shape)); !shapes.contains(shape))
            shapes << shape;
        allInherit = allInherit && node->childrenShouldInheritShape;
        anyRoot = anyRoot || project.graph.nodeType(*node) == NodeType::root;
    }
    shapeSegment->setSelectedItems(shapes);
    shapeInheritanceChecker->setChecked(allInherit);
    shapeInheritanceChecker->setEnabled(!anyRoot);
}

namespace {

void syncStroke(KVIconSegmentControl* segment, QSlider* slider, KVColorWell* well,
                const std::vector<const Node*>& nodes, bool branch)
{
    QStringList styles;
    for (const Node* node : nodes) {
        const StrokeStyle stroke = branch ? node->style.branchStyle : node->style.borderStyle;
        if (const QString style = QString::fromLatin1(textName(stroke).data()); !styles.contains(style))
            styles << style;
    }
    segment->setSelectedItems(styles);
    const NodeStyle& first = nodes.front()->style;
    slider->setValue(int(branch ? first.branchWidth : first.borderWidth));
    well->setSelectedColor(branch ? first.branchColor : first.borderColor);
}

} // namespace

void NodeStyleInspector::syncBorderControls(const SelectedNodes& nodes)
{
    syncStroke(borderStyleSegment, borderThicknessSlider, borderColorWell, nodes, false);
}

void NodeStyleInspector::syncBranchControls(const SelectedNodes& nodes)
{
    syncStroke(branchStyleSegment, branchThicknessSlider, branchColorWell, nodes, true);
}

void NodeStyleInspector::syncFontControls()
{
    const std::shared_ptr<VQDocument> doc = document();
    if (!doc)
        return;
    syncFontControls(doc->project().graph.findNodes(doc->project().selectedNodeUIDs));
}

void NodeStyleInspector::syncFontControls(const SelectedNodes& nodes)
{
    const std::shared_ptr<VQDocument> doc = document();
    if (!doc || nodes.empty())
        return;
    updateFontVariantAvailability();
    // The variant buttons show the last selected node's variants.
    const Node& last = *nodes.back();
    const std::uint32_t traits = FontManager::traits(last.style.font);
    fontVariantSegment->setSelected(traits & FontTrait::bold, 0);
    fontVariantSegment->setSelected(traits & FontTrait::italic, 1);
    fontVariantSegment->setSelected(last.style.isUnderlined, 2);
    const Node& first = *nodes.front();
    fontColorWell->setSelectedColor(first.style.textColor);
    if (!doc->isInEditingSession()) {
        const int size = int(first.style.font.pointSize());
        fontSizeStepper->setValue(size);
        fontSizeTextField->setText(QString::number(size));
    }
    const int family = fontNameDropdown->findText(QString::fromStdString(FontManager::familyName(first.style.font)),
                                                  Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (family >= 0)
        fontNameDropdown->setCurrentIndex(family);
}

void NodeStyleInspector::syncAlignmentControl(const SelectedNodes& nodes)
{
    bool segments[4] = {false, false, false, false};
    for (const Node* node : nodes) {
        switch (static_cast<TextAlignment>(node->style.textAlignment)) {
        case TextAlignment::center: segments[1] = true; break;
        case TextAlignment::right: segments[2] = true; break;
        case TextAlignment::justified: segments[3] = true; break;
        default: segments[0] = true; break;
        }
    }
    for (int i = 0; i < 4; ++i)
        fontAlignmentSegment->setSelected(segments[i], i);
}

void NodeStyleInspector::refreshLayoutControls(const VQProject& project, const SelectedNodes& nodes)
{
    LayoutOptions options = project.baseLayoutOptions;
    layoutBox->setTitle(QStringLiteral("Layout (Base)"));
    useBaseLayoutButton->setEnabled(false);
    if (!nodes.empty()) {
        const Node root = project.graph.rootAncestor(*nodes.front());
        if (root.layoutOptions) {
            options = *root.layoutOptions;
            layoutBox->setTitle(QStringLiteral("Layout"));
            useBaseLayoutButton->setEnabled(true);
        }
    }
    static const char* branchTitles[] = {"Rounded", "Angular", "Line"};
    branchTypeSelector->setCurrentText(QString::fromLatin1(branchTitles[int(options.branchType)]));
    const bool vertical = options.layoutType == LayoutOptions::LayoutType::vertical;
    const QString ascending = vertical ? QStringLiteral("Top-Down") : QStringLiteral("Left to Right");
    const QString descending = vertical ? QStringLiteral("Bottom-Up") : QStringLiteral("Right to Left");
    const QString oldAscending = vertical ? QStringLiteral("Left to Right") : QStringLiteral("Top-Down");
    const QString oldDescending = vertical ? QStringLiteral("Right to Left") : QStringLiteral("Bottom-Up");
    for (const auto& [from, to] : {std::pair{oldAscending, ascending}, std::pair{oldDescending, descending}}) {
        const int item = layoutDirectionSelector->findText(from, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (item >= 0)
            layoutDirectionSelector->setItemText(item, to);
    }
    layoutTypeSelector->setCurrentText(vertical ? QStringLiteral("Vertical") : QStringLiteral("Horizontal"));
    const QString direction = options.layoutDirection == LayoutOptions::LayoutDirection::ascending ? ascending
        : options.layoutDirection == LayoutOptions::LayoutDirection::descending                  ? descending
                                                                                   : QStringLiteral("Balanced");
    layoutDirectionSelector->setCurrentText(direction);
    isLayoutManualCheckbox->setChecked(!options.isManual);
}

void NodeStyleInspector::setEnabledOfDirectSubviews(bool enabled)
{
    for (QObject* child : containerView->children()) {
        auto* view = qobject_cast<QWidget*>(child);
        if (!view || qobject_cast<QLabel*>(view) || qobject_cast<KVLabeledDivider*>(view))
            continue;
        if (auto* box = qobject_cast<QGroupBox*>(view)) {
            // Disabling leaves the box's controls alone; enabling reaches them too.
            if (enabled)
                for (QWidget* control : box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                    control->setEnabled(true);
            continue;
        }
        if (auto* segment = qobject_cast<KVIconSegmentControl*>(view)) {
            segment->setIsEnabled(enabled);
            for (KVIconSegmentControl::Item& item : segment->items())
                item.enabled = enabled;
            segment->update();
        } else if (auto* well = qobject_cast<KVColorWell*>(view)) {
            well->setIsEnabled(enabled);
            well->update();
        } else {
            view->setEnabled(enabled);
        }
    }
}

void NodeStyleInspector::disableControls()
{
    setEnabledOfDirectSubviews(false);
}

void NodeStyleInspector::enableControls()
{
    const std::shared_ptr<VQDocument> doc = document();
    if (doc && doc->isInEditingSession())
        return;
    setEnabledOfDirectSubviews(true);
}

} // namespace velquine
