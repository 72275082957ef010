#pragma once

// The Help pane of the preferences: where to find help, and whether the keyboard shortcuts are shown when a
// map window opens ("showsCheatSheetOnStart").

#include <QWidget>

namespace velquine {

class HelpPreferencesViewController : public QWidget {
    Q_OBJECT
public:
    explicit HelpPreferencesViewController(QWidget* parent = nullptr);
};

} // namespace velquine
