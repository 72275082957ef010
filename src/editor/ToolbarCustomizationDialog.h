#pragma once

// The toolbar's customisation dialog: the items the toolbar may hold on the left, the toolbar's current items
// on the right. The user adds an item (a button at most once, spaces as often as wanted), removes, reorders
// (buttons or dragging) and can go back to the default set. The caller reads itemIdentifiers() after the
// dialog was accepted.

#include <QDialog>
#include <QIcon>
#include <QStringList>

#include <functional>

class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace velquine {

class ToolbarCustomizationDialog : public QDialog {
    Q_OBJECT
public:
    // How an item appears in the lists.
    struct ItemLook {
        QString label;
        QIcon icon;
    };
    using LookFor = std::function<ItemLook(const QString& identifier)>;
    // Identifiers that may stand in the toolbar any number of times.
    using Repeatable = std::function<bool(const QString& identifier)>;

    ToolbarCustomizationDialog(const QStringList& allowed, const QStringList& current, const QStringList& defaults,
                               LookFor look, Repeatable repeatable, QWidget* parent = nullptr);

    QStringList itemIdentifiers() const;
    QStringList availableIdentifiers() const;

    // What the buttons do, for the row given (the selected one when -1).
    void addItem(const QString& identifier);
    void removeItem(int row = -1);
    void moveItem(int row, int delta);
    void restoreDefaults();

    QListWidget* availableList() const { return available_; }
    QListWidget* itemsList() const { return items_; }
    QPushButton* addButton() const { return add_; }
    QPushButton* removeButton() const { return remove_; }
    QPushButton* moveUpButton() const { return up_; }
    QPushButton* moveDownButton() const { return down_; }
    QPushButton* defaultsButton() const { return defaults_; }

private:
    QListWidgetItem* makeItem(const QString& identifier) const;
    void setItems(const QStringList& identifiers);
    void updateButtons();

    QStringList defaultIdentifiers_;
    LookFor look_;
    Repeatable repeatable_;
    QListWidget* available_;
    QListWidget* items_;
    QPushButton* add_;
    QPushButton* remove_;
    QPushButton* up_;
    QPushButton* down_;
    QPushButton* defaults_;
};

} // namespace velquine
