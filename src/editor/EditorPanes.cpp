#include "editor/EditorPanes.h"

#include <cmath>

#include <QLabel>
#include <QVariantAnimation>
#include <QVBoxLayout>

#include "canvas/GraphView.h"
#include "document/VQDocument.h"
#include "editor/EditorWindowHooks.h"
#include "editor/GraphViewController.h"
#include "editor/InspectorSidebar.h"
#include "editor/NoteViewController.h"
#include "kit/CommandTable.h"
#include "kit/ScrollView.h"
#include "kit/SystemTheme.h"
#include "kit/WindowActions.h"
#include "kit/WindowAppearance.h"
#include "platform/NotificationCenter.h"
#include "platform/RunLoop.h"
#include "platform/Settings.h"
#include "platform/UserDefaults.h"

namespace velquine {

namespace {

const char* const navigatorKey = "isNavigatorBarCollapsed";
const char* const inspectorKey = "isInspectorCollapsed";
const char* const noteKey = "isNoteViewCollapsed";

} // namespace

// ---- Opening and closing panes ----

void PaneAnimation::run(QSplitter* split, const QList<int>& target, QWidget* pane)
{
    finish();
    const QList<int> start = split->sizes();
    if (UserDefaults::standard().boolForKey("disableAnimations") || !split->isVisible() || start.size() != target.size()
        || start == target) {
        split->setSizes(target);
        return;
    }
    // The pane passes through sizes below its minimum (and the one its layout asks for) while it opens or
    // closes; its limits return at the end.
    target_ = target;
    const QSize minimum = pane->minimumSize();
    const QSizePolicy policy = pane->sizePolicy();
    pane->setMinimumSize(0, 0);
    pane->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    auto* animation = new QVariantAnimation(split);
    animation->setDuration(duration);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    animation->setStartValue(0.0);
    animation->setEndValue(1.0);
    QObject::connect(animation, &QVariantAnimation::valueChanged, split, [split, start, target](const QVariant& value) {
        const double done = value.toDouble();
        QList<int> sizes;
        for (qsizetype i = 0; i < start.size(); ++i)
            sizes << int(std::lround(start[i] + (target[i] - start[i]) * done));
        split->setSizes(sizes);
    });
    QObject::connect(animation, &QVariantAnimation::finished, split,
                     [split, target, pane = QPointer<QWidget>(pane), minimum, policy] {
                         if (pane) {
                             pane->setMinimumSize(minimum);
                             pane->setSizePolicy(policy);
                         }
                         split->setSizes(target);
                     });
    animation_ = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

bool PaneAnimation::isRunning() const
{
    return animation_ && animation_->state() == QAbstractAnimation::Running;
}

void PaneAnimation::finish()
{
    if (isRunning())
        animation_->setCurrentTime(animation_->duration()); // ends it, with its limits back in place
}

// ---- Navigator bar ----

NavbarController::NavbarController(const std::shared_ptr<VQDocument>& document, QWidget* parent)
    : QWidget(parent), document_(document)
{
    setObjectName(QStringLiteral("NavbarController"));
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Window);
    auto* layout = new QVBoxLayout(this);
    auto* title = new QLabel(tr("Navigator"), this);
    title->setForegroundRole(QPalette::PlaceholderText);
    layout->addWidget(title);
    layout->addStretch();
    resize(barWidth, 400);
}

// ---- Editor content ----

EditorContentViewController::EditorContentViewController(const std::shared_ptr<VQDocument>& document,
                                                         QWidget* parent)
    : QWidget(parent), document_(document), split_(new QSplitter(Qt::Vertical, this)),
      scrollView_(new ScrollView(split_)), graphView_(new GraphView(Rect{{0, 0}, {1000, 1000}})),
      noteViewController_(new NoteViewController(document, split_))
{
    setObjectName(QStringLiteral("EditorContentViewController"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split_);
    split_->setObjectName(QStringLiteral("editorSplitView"));
    split_->setChildrenCollapsible(false);
    scrollView_->setObjectName(QStringLiteral("canvasScrollView"));
    scrollView_->setDocumentView(graphView_);
    split_->addWidget(scrollView_);
    split_->addWidget(noteViewController_);
    split_->setCollapsible(0, false);
    split_->setCollapsible(1, true);
    split_->setStretchFactor(0, 1);
    split_->setStretchFactor(1, 0);
    noteHeight_ = 160;
    noteViewController_->setMinimumHeight(noteHeight_);
    noteViewController_->setMaximumHeight(noteHeight_ * 3);
    split_->setSizes({600, noteHeight_});
    setNoteViewCollapsed(UserDefaults::standard().boolForKey(noteKey));

    if (document) {
        QPointer<GraphView> canvas = graphView_;
        document->setFocusGraphViewHandler([canvas] {
            if (canvas)
                canvas->setFocus(Qt::OtherFocusReason);
        });
        graphViewController_ = GraphViewController::create(document, graphView_, scrollView_);
    }
}

EditorContentViewController::~EditorContentViewController() = default;

GraphViewController* EditorContentViewController::graphViewController() const
{
    return graphViewController_.get();
}

bool EditorContentViewController::isNoteViewCollapsed() const
{
    return (noteAnimation_.isRunning() ? noteAnimation_.target() : split_->sizes()).value(1) == 0;
}

void EditorContentViewController::setNoteViewCollapsed(bool collapsed)
{
    noteAnimation_.finish();
    QList<int> sizes = split_->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    if (collapsed)
        noteAnimation_.run(split_, {total, 0}, noteViewController_);
    else if (isNoteViewCollapsed())
        noteAnimation_.run(split_, {std::max(total - noteHeight_, 1), noteHeight_}, noteViewController_);
}

void EditorContentViewController::toggleNoteView()
{
    setNoteViewCollapsed(!isNoteViewCollapsed());
    UserDefaults::standard().set(noteKey, isNoteViewCollapsed());
}

void EditorContentViewController::showNoteView()
{
    setNoteViewCollapsed(false);
    UserDefaults::standard().set(noteKey, isNoteViewCollapsed());
}

// ---- The outer split ----

MindMapEditorWindowContentViewController::MindMapEditorWindowContentViewController(
    const std::shared_ptr<VQDocument>& document, QWidget* parent)
    : QSplitter(Qt::Horizontal, parent)
{
    setObjectName(QStringLiteral("MindMapEditorWindowContentViewController"));
    setChildrenCollapsible(false);
    if (!document)
        return;
    const UserDefaults& defaults = UserDefaults::standard();
    navbar_ = new NavbarController(document);
    addSidePane(navbar_, NavbarController::barWidth);
    editorContent_ = new EditorContentViewController(document);
    addWidget(editorContent_);
    setStretchFactor(1, 1);
    if (const auto& makeInspectorSidebar = editorWindowHooks().makeInspectorSidebar) {
        inspectorBar_ = makeInspectorSidebar(document);
        addSidePane(inspectorBar_, InspectorSidebar::barWidth);
    }
    setStretchFactor(0, 0);
    setStretchFactor(2, 0);
    setSizes({defaults.boolForKey(navigatorKey) ? 0 : paneWidths_[0], 600,
              defaults.boolForKey(inspectorKey) ? 0 : paneWidths_[2]});

    Responder::addAction(commandSelector(Command::toggleSidebar), [this](const ActionItem*) { toggleSidebar(); });
    Responder::addAction(commandSelector(Command::myToggleInspector),
                         [this](const ActionItem*) { myToggleInspector(); });
    Responder::addAction(commandSelector(Command::switchSidebarInspector),
                         [this](const ActionItem* sender) { switchSidebarInspector(sender); });
    Responder::addAction(commandSelector(Command::toggleNoteView),
                         [this](const ActionItem*) { editorContent_->toggleNoteView(); });
    Responder::addAction(commandSelector(Command::showNoteView),
                         [this](const ActionItem*) { editorContent_->showNoteView(); });

    interfaceModeChanged();
    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.addObserver(systemThemeChangedNotification, [this](const Notification&) { interfaceModeChanged(); }, this);
    center.addObserver(std::string(uiModeDidSwitchNotification), [this](const Notification&) { didChangeUIMode(); },
                       this);
}

MindMapEditorWindowContentViewController::~MindMapEditorWindowContentViewController()
{
    NotificationCenter::defaultCenter().removeObserversOf(this);
}

void MindMapEditorWindowContentViewController::didChangeUIMode()
{
    if (navbar_)
        setWindowAppearance(navbar_, currentUserInterfaceStyle());
}

void MindMapEditorWindowContentViewController::interfaceModeChanged()
{
    if (currentUserInterfaceStyle() != UserInterfaceStyle::systemDefault) {
        didChangeUIMode();
        return;
    }
    QPointer<NavbarController> navbar = navbar_;
    RunLoop::post([navbar] {
        if (navbar)
            setWindowAppearance(navbar, UserInterfaceStyle::systemDefault);
    });
}

void MindMapEditorWindowContentViewController::addSidePane(QWidget* pane, int width)
{
    width = std::max(width, pane->minimumSizeHint().width());
    paneWidths_[count()] = width;
    pane->setMinimumWidth(width);
    pane->setMaximumWidth(width * 2);
    addWidget(pane);
    setCollapsible(count() - 1, true);
}

bool MindMapEditorWindowContentViewController::isPaneCollapsed(int index) const
{
    return (paneAnimation_.isRunning() ? paneAnimation_.target() : sizes()).value(index) == 0;
}

void MindMapEditorWindowContentViewController::setPaneCollapsed(int index, bool collapsed)
{
    paneAnimation_.finish();
    QList<int> current = sizes();
    if (current.size() != 3 || isPaneCollapsed(index) == collapsed)
        return;
    const int width = paneWidths_[index];
    if (collapsed) {
        current[1] += current[index];
        current[index] = 0;
    } else {
        current[index] = width;
        current[1] = std::max(current[1] - width, 1);
    }
    paneAnimation_.run(this, current, widget(index));
}

void MindMapEditorWindowContentViewController::toggleSidebar()
{
    setPaneCollapsed(0, !isPaneCollapsed(0));
    UserDefaults::standard().set(navigatorKey, isPaneCollapsed(0));
}

void MindMapEditorWindowContentViewController::myToggleInspector()
{
    setPaneCollapsed(2, !isPaneCollapsed(2));
    UserDefaults::standard().set(inspectorKey, isPaneCollapsed(2));
}

void MindMapEditorWindowContentViewController::switchSidebarInspector(const ActionItem* sender)
{
    if (isPaneCollapsed(2))
        myToggleInspector();
    if (inspectorBar_)
        inspectorBar_->switchSidebarInspector(sender);
}

} // namespace velquine
