#pragma once

// The General pane of the preferences: the appearance of the windows and three switches. Every change is
// saved at once (all four settings together), and again when the pane goes away.

#include <QWidget>

class QCheckBox;
class QComboBox;

namespace velquine {

class GeneralPreferencesViewController : public QWidget {
    Q_OBJECT
public:
    explicit GeneralPreferencesViewController(QWidget* parent = nullptr);

    // Shows the stored settings in the controls.
    void loadSettings();
    // Stores the controls' values: the two copy switches, then collision detection, then the appearance
    // (which stays alone unless an item tagged 1, 2 or 3 is chosen).
    void saveSettings();

    // The controls' actions: the switches send the first, the appearance menu the second; both save all.
    void triggerSettingsSave();
    void saveUserInterfaceStyle();

    QComboBox* userInterfaceStyleDropdown() const { return userInterfaceStyleDropdown_; }

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QComboBox* userInterfaceStyleDropdown_;
    QCheckBox* copyRichTextCheckbox_;
    QCheckBox* copyNodeColorsCheckbox_;
    QCheckBox* collisionDetectionCheckbox_;
};

} // namespace velquine
