#include "app/HelpPreferencesViewController.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

#include "platform/UserDefaults.h"

namespace velquine {

HelpPreferencesViewController::HelpPreferencesViewController(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("HelpPreferencesViewController"));
    auto* text = new QLabel(
        tr("<p><b>Keyboard Shortcuts</b> in the Help menu lists the keys of the map and its commands; the "
           "panel stays open beside your maps and never takes the keyboard.</p>"
           "<p><b>Velquine Help</b> opens the manual in your web browser, and <b>Contact Support</b> starts a "
           "mail with the versions of Velquine and your system filled in.</p>"),
        this);
    text->setWordWrap(true);
    text->setTextFormat(Qt::RichText);
    auto* showOnStart = new QCheckBox(tr("Show the keyboard shortcuts when the first map opens"), this);
    showOnStart->setObjectName(QStringLiteral("showsCheatSheetOnStartCheckbox"));
    showOnStart->setChecked(UserDefaults::standard().boolForKey("showsCheatSheetOnStart"));
    connect(showOnStart, &QCheckBox::toggled, this,
            [](bool on) { UserDefaults::standard().set("showsCheatSheetOnStart", on); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->addWidget(text);
    layout->addSpacing(8);
    layout->addWidget(showOnStart);
    layout->addStretch();
    setFixedSize(460, 230);
}

} // namespace velquine
