#include "editor/ToolbarCustomizationDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

namespace velquine {

namespace {

QString identifierOf(const QListWidgetItem* item)
{
    return item ? item->data(Qt::UserRole).toString() : QString();
}

QListWidget* makeList(QWidget* parent, const char* name)
{
    auto* list = new QListWidget(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setIconSize(QSize(20, 20));
    list->setMinimumSize(220, 300);
    return list;
}

} // namespace

ToolbarCustomizationDialog::ToolbarCustomizationDialog(const QStringList& allowed, const QStringList& current,
                                                       const QStringList& defaults, LookFor look,
                                                       Repeatable repeatable, QWidget* parent)
    : QDialog(parent), defaultIdentifiers_(defaults), look_(std::move(look)), repeatable_(std::move(repeatable)),
      available_(makeList(this, "availableItems")), items_(makeList(this, "toolbarItems")),
      add_(new QPushButton(tr("&Add"), this)), remove_(new QPushButton(tr("&Remove"), this)),
      up_(new QPushButton(tr("Move &Up"), this)), down_(new QPushButton(tr("Move &Down"), this)),
      defaults_(new QPushButton(tr("Restore &Defaults"), this))
{
    setObjectName(QStringLiteral("toolbarCustomizationDialog"));
    setWindowTitle(tr("Customize Toolbar"));
    for (const QString& identifier : allowed)
        available_->addItem(makeItem(identifier));
    items_->setDragDropMode(QAbstractItemView::InternalMove);
    setItems(current);

    auto* buttons = new QVBoxLayout;
    buttons->addStretch();
    for (QPushButton* button : {add_, remove_, up_, down_})
        buttons->addWidget(button);
    buttons->addStretch();
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->addButton(defaults_, QDialogButtonBox::ResetRole);
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(tr("Available items:"), this), 0, 0);
    grid->addWidget(new QLabel(tr("Toolbar items:"), this), 0, 2);
    grid->addWidget(available_, 1, 0);
    grid->addLayout(buttons, 1, 1);
    grid->addWidget(items_, 1, 2);
    grid->addWidget(box, 2, 0, 1, 3);

    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(add_, &QPushButton::clicked, this, [this] { addItem(identifierOf(available_->currentItem())); });
    connect(available_, &QListWidget::itemDoubleClicked, this,
            [this](QListWidgetItem* item) { addItem(identifierOf(item)); });
    connect(remove_, &QPushButton::clicked, this, [this] { removeItem(); });
    connect(up_, &QPushButton::clicked, this, [this] { moveItem(items_->currentRow(), -1); });
    connect(down_, &QPushButton::clicked, this, [this] { moveItem(items_->currentRow(), 1); });
    connect(defaults_, &QPushButton::clicked, this, [this] { restoreDefaults(); });
    connect(available_, &QListWidget::currentRowChanged, this, [this] { updateButtons(); });
    connect(items_, &QListWidget::currentRowChanged, this, [this] { updateButtons(); });
    connect(items_->model(), &QAbstractItemModel::rowsMoved, this, [this] { updateButtons(); });
    available_->setCurrentRow(0);
    updateButtons();
}

QListWidgetItem* ToolbarCustomizationDialog::makeItem(const QString& identifier) const
{
    const ItemLook itemLook = look_(identifier);
    // Spaces and separators have no symbol: a blank one keeps their labels in line with the buttons'.
    QIcon icon = itemLook.icon;
    if (icon.isNull()) {
        QPixmap blank(20, 20);
        blank.fill(Qt::transparent);
        icon = QIcon(blank);
    }
    auto* item = new QListWidgetItem(icon, itemLook.label);
    item->setData(Qt::UserRole, identifier);
    item->setToolTip(itemLook.label);
    return item;
}

void ToolbarCustomizationDialog::setItems(const QStringList& identifiers)
{
    items_->clear();
    for (const QString& identifier : identifiers)
        items_->addItem(makeItem(identifier));
}

QStringList ToolbarCustomizationDialog::itemIdentifiers() const
{
    QStringList identifiers;
    for (int row = 0; row < items_->count(); ++row)
        identifiers << identifierOf(items_->item(row));
    return identifiers;
}

QStringList ToolbarCustomizationDialog::availableIdentifiers() const
{
    QStringList identifiers;
    for (int row = 0; row < available_->count(); ++row)
        identifiers << identifierOf(available_->item(row));
    return identifiers;
}

void ToolbarCustomizationDialog::addItem(const QString& identifier)
{
    if (identifier.isEmpty() || (!repeatable_(identifier) && itemIdentifiers().contains(identifier)))
        return;
    // A new item goes after the selected one, else at the end.
    const int row = items_->currentRow() >= 0 ? items_->currentRow() + 1 : items_->count();
    items_->insertItem(row, makeItem(identifier));
    items_->setCurrentRow(row);
    updateButtons();
}

void ToolbarCustomizationDialog::removeItem(int row)
{
    if (row < 0)
        row = items_->currentRow();
    if (row < 0 || row >= items_->count())
        return;
    delete items_->takeItem(row);
    updateButtons();
}

void ToolbarCustomizationDialog::moveItem(int row, int delta)
{
    const int target = row + delta;
    if (row < 0 || row >= items_->count() || target < 0 || target >= items_->count())
        return;
    items_->insertItem(target, items_->takeItem(row));
    items_->setCurrentRow(target);
    updateButtons();
}

void ToolbarCustomizationDialog::restoreDefaults()
{
    setItems(defaultIdentifiers_);
    updateButtons();
}

void ToolbarCustomizationDialog::updateButtons()
{
    const QString chosen = identifierOf(available_->currentItem());
    add_->setEnabled(!chosen.isEmpty() && (repeatable_(chosen) || !itemIdentifiers().contains(chosen)));
    const int row = items_->currentRow();
    remove_->setEnabled(row >= 0);
    up_->setEnabled(row > 0);
    down_->setEnabled(row >= 0 && row + 1 < items_->count());
}

} // namespace velquine
