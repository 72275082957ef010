#include "app/GeneralPreferencesViewController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "platform/Settings.h"
#include "platform/UserDefaults.h"

namespace velquine {

namespace {

constexpr const char* copyRichTextKey = "copyRichTextToPasteboard";
constexpr const char* copyNodeColorsKey = "copyNodeTitleColorsToPasteboard";

QCheckBox* makeCheckbox(const char* objectName, const QString& title, QWidget* parent)
{
    auto* box = new QCheckBox(title, parent);
    box->setObjectName(QLatin1String(objectName));
    return box;
}

} // namespace

GeneralPreferencesViewController::GeneralPreferencesViewController(QWidget* parent)
    : QWidget(parent),
      userInterfaceStyleDropdown_(new QComboBox(this)),
      copyRichTextCheckbox_(makeCheckbox("copyRichTextCheckbox", tr("Copy nodes as rich text too"), this)),
      copyNodeColorsCheckbox_(makeCheckbox("copyNodeColorsCheckbox", tr("Keep the title colours in copied rich text"), this)),
      collisionDetectionCheckbox_(makeCheckbox("collisionDetectionCheckbox", tr("Push overlapping nodes apart"), this))
{
    setObjectName(QStringLiteral("GeneralPreferencesViewController"));
    userInterfaceStyleDropdown_->setObjectName(QStringLiteral("userInterfaceStyleDropdown"));
    userInterfaceStyleDropdown_->addItem(tr("Same as the system"), userInterfaceStyleTag(UserInterfaceStyle::systemDefault));
    userInterfaceStyleDropdown_->addItem(tr("Light"), userInterfaceStyleTag(UserInterfaceStyle::light));
    userInterfaceStyleDropdown_->addItem(tr("Dark"), userInterfaceStyleTag(UserInterfaceStyle::dark));

    auto* form = new QFormLayout;
    form->addRow(tr("Appearance:"), userInterfaceStyleDropdown_);
    auto* clipboard = new QVBoxLayout;
    clipboard->addWidget(copyRichTextCheckbox_);
    clipboard->addWidget(copyNodeColorsCheckbox_);
    form->addRow(tr("Clipboard:"), clipboard);
    form->addRow(tr("Layout:"), collisionDetectionCheckbox_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->addLayout(form);
    layout->addStretch();
    setFixedSize(460, 170);

    connect(userInterfaceStyleDropdown_, &QComboBox::activated, this, [this] { saveUserInterfaceStyle(); });
    for (QCheckBox* box : {copyRichTextCheckbox_, copyNodeColorsCheckbox_, collisionDetectionCheckbox_})
        connect(box, &QCheckBox::clicked, this, [this] { triggerSettingsSave(); });
    loadSettings();
}

void GeneralPreferencesViewController::loadSettings()
{
    const UserDefaults& defaults = UserDefaults::standard();
    const int tag = userInterfaceStyleTag(currentUserInterfaceStyle());
    userInterfaceStyleDropdown_->setCurrentIndex(userInterfaceStyleDropdown_->findData(tag));
    copyRichTextCheckbox_->setChecked(defaults.boolForKey(copyRichTextKey));
    copyNodeColorsCheckbox_->setChecked(defaults.boolForKey(copyNodeColorsKey));
    collisionDetectionCheckbox_->setChecked(defaults.boolForKey(std::string(collisionDetectionKey)));
}

void GeneralPreferencesViewController::saveSettings()
{
    UserDefaults& defaults = UserDefaults::standard();
    defaults.set(copyRichTextKey, copyRichTextCheckbox_->isChecked());
    defaults.set(copyNodeColorsKey, copyNodeColorsCheckbox_->isChecked());
    setCollisionDetectionEnabled(collisionDetectionCheckbox_->isChecked());
    if (userInterfaceStyleDropdown_->currentIndex() < 0)
        return;
    const int tag = userInterfaceStyleDropdown_->currentData().toInt();
    if (tag >= 1 && tag <= 3)
        setUserInterfaceStyle(static_cast<UserInterfaceStyle>(tag - 1));
}

void GeneralPreferencesViewController::triggerSettingsSave()
{
    saveUserInterfaceStyle();
}

void GeneralPreferencesViewController::saveUserInterfaceStyle()
{
    saveSettings();
}

void GeneralPreferencesViewController::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    loadSettings();
}

void GeneralPreferencesViewController::hideEvent(QHideEvent* event)
{
    saveUserInterfaceStyle();
    QWidget::hideEvent(event);
}

} // namespace velquine
