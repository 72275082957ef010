#pragma once

// The editor window's toolbar ("MyMainToolbar"): icon buttons that send their commands along the window's
// responder chain (each button's identifier, symbol, label and tag are in kit/CommandTable.h), with flexible
// spaces between the groups and separators that line up with the split view's dividers. The focus, centre,
// sort and balance buttons are validated: enabled as the responder that would take their command answers, and
// the focus button on while focus mode is on. Validation runs when something the answers depend on changes,
// and only then: a document event (selection, editing session, style, a replaced project, so undo and redo
// too), a command sent along the window's chain (focus mode is one), and a focus change in the window (it
// changes the chain). An idle window validates nothing.
//
// The user arranges the items in the customisation dialog (the toolbar's context menu). The arrangement is
// kept in the settings under "MyMainToolbar", shared by every editor window (open ones follow at once) and
// restored at the next start; identifiers it does not know are dropped with a log line.
//
// A tracking separator's right edge follows a divider of the split view: the sidebar's separator the right
// edge of the navigator bar, the inspector's separator the left edge of the inspector. The flexible spaces
// before a separator (or, without any, the separator itself) take up the difference, so the groups over each
// pane stay over it while the user drags the dividers or resizes the window. The focus and centre buttons
// stand in the middle of the toolbar, as far as the spaces before them allow.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QMenu;
class QSplitter;
class QToolBar;
class QWidget;

namespace velquine {

class DocumentListenerRelay;
class ToolbarCustomizationDialog;
class VQDocument;
class WindowActions;

class ToolbarController : public QObject {
    Q_OBJECT
public:
    ToolbarController(QSplitter* splitView, WindowActions* actions, const std::shared_ptr<VQDocument>& document);
    ~ToolbarController() override;

    QToolBar* toolBar() const { return toolBar_; }

    // Identifiers of the flexible space, the space and the two tracking separators.
    static const QString flexibleSpace;
    static const QString space;
    static const QString sidebarTrackingSeparator;
    static const QString trackingSplitItem;
    // The settings key of the arrangement, and the notification posted when it changes.
    static const char* const configurationKey;
    static const char* const configurationDidChangeNotification;

    static QStringList toolbarDefaultItemIdentifiers();
    static QStringList toolbarAllowedItemIdentifiers();
    // The stored arrangement without the identifiers no toolbar knows (each dropped one logged), or the
    // default items when none is stored.
    static QStringList savedItemIdentifiers();
    // Stores the arrangement and makes every toolbar show it.
    static void saveItemIdentifiers(const QStringList& identifiers);
    // The name of an item in the customisation dialog.
    static QString paletteLabel(const QString& identifier);

    // The button action of an item, made and added nowhere; null for an identifier that is not a button.
    QAction* makeItem(const QString& identifier);
    // The toolbar's action for an item identifier, or null.
    QAction* item(const QString& identifier) const;
    QStringList itemIdentifiers() const;
    // Shows these items, in this order.
    void setItemIdentifiers(const QStringList& identifiers);
    // Validates every validating item now.
    void validate();
    // How many times the items were validated.
    int validationCount() const { return validationCount_; }

    // The toolbar's context menu, with "Customize Toolbar…".
    QMenu* makeContextMenu(QWidget* parent);
    // Opens the customisation dialog; an accepted arrangement is saved for every window.
    void runCustomizationPalette();
    // Runs the dialog and answers whether the user accepted it. Tests replace it (the default runs exec()).
    using CustomizationRunner = std::function<bool(ToolbarCustomizationDialog& dialog)>;
    static void setCustomizationRunner(CustomizationRunner runner);

    // Sets the widths of the spaces and separators so the separators meet their dividers and the centred
    // items stand in the middle.
    void trackDividers();

private:
    void addItem(const QString& identifier);
    void scheduleTracking();
    void updateItemIcons();
    bool eventFilter(QObject* watched, QEvent* event) override;

    QPointer<QSplitter> splitView_;
    QPointer<WindowActions> actions_;
    QToolBar* toolBar_;
    std::shared_ptr<DocumentListenerRelay> relay_;
    bool trackingScheduled_ = false;
    bool iconsDark_ = false;
    int validationCount_ = 0;
};

} // namespace velquine
