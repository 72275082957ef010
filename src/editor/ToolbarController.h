#pragma once

// The editor window's toolbar ("MyMainToolbar"): icon buttons that send their commands along the window's
// responder chain, in a fixed default order with flexible spaces between the groups and a separator that
// lines up with the inspector sidebar. The focus, centre, sort and balance buttons are validated: enabled
// as the responder that would take their command answers, and the focus button on while focus mode is on.
// Validation runs on every document event that may change the answer and on a slow timer.

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

class QAction;
class QSplitter;
class QTimer;
class QToolBar;

namespace velquine {

class DocumentListenerRelay;
class VQDocument;
class WindowActions;

class ToolbarController : public QObject {
    Q_OBJECT
public:
    ToolbarController(QSplitter* splitView, WindowActions* actions, const std::shared_ptr<VQDocument>& document);
    ~ToolbarController() override;

    QToolBar* toolBar() const { return toolBar_; }

    // Identifiers of the flexible space, the space and the sidebar's separator.
    static const QString flexibleSpace;
    static const QString space;
    static const QString sidebarTrackingSeparator;

    static QStringList toolbarDefaultItemIdentifiers();
    static QStringList toolbarAllowedItemIdentifiers();

    // The button action of an item, made and added nowhere; null for an identifier that is not a button.
    QAction* makeItem(const QString& identifier);
    // The toolbar's action for an item identifier, or null.
    QAction* item(const QString& identifier) const;
    bool isValidating(const QString& identifier) const;
    // Validates every validating item now.
    void validate();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void addDefaultItems();
    void updateItemIcons();

    QPointer<QSplitter> splitView_;
    QPointer<WindowActions> actions_;
    QToolBar* toolBar_;
    QTimer* validationTimer_;
    std::shared_ptr<DocumentListenerRelay> relay_;
    bool iconsDark_ = false;
};

} // namespace velquine
