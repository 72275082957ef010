#include "kit/Alert.h"

#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QGridLayout>
#include <QPushButton>

#include <algorithm>
#include <vector>

#include "kit/WindowActions.h"

namespace velquine {

int Alert::runModalSheetForWindow(QWidget* window)
{
    if (!window)
        window = QApplication::activeWindow();
    QMessageBox box(window);
    box.setWindowModality(window ? Qt::WindowModal : Qt::ApplicationModal);
    box.setText(messageText);
    box.setInformativeText(informativeText);
    if (!windowTitle.isEmpty())
        box.setWindowTitle(windowTitle);
    if (showsSuppressionButton)
        box.setCheckBox(new QCheckBox(QObject::tr("Do not show this message again")));
    const QStringList titles = buttons_.isEmpty() ? QStringList{QStringLiteral("OK")} : buttons_;
    QEventLoop loop;
    std::vector<QAbstractButton*> buttons;
    QAbstractButton* escape = nullptr;
    for (int i = 0; i < titles.size(); ++i) {
        QPushButton* button = box.addButton(titles[i], QMessageBox::ActionRole);
        buttons.push_back(button);
        if (titles[i] == QLatin1String("Cancel"))
            escape = button;
    }
    box.setDefaultButton(static_cast<QPushButton*>(buttons.front()));
    // A message box sizes itself to its shortest wrapping; give it a readable width so a long path in the
    // detail wraps at the window's edge rather than at every slash.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(minimumWidth, 0, QSizePolicy::Minimum, QSizePolicy::Fixed), grid->rowCount(), 0,
                      1, grid->columnCount());
    box.setEscapeButton(escape ? escape : buttons.back());
    // Every way of closing the sheet ends here: a clicked button, or Escape, which clicks the escape button.
    QObject::connect(&box, &QDialog::finished, &loop, [&] {
        QAbstractButton* clicked = box.clickedButton() ? box.clickedButton() : box.escapeButton();
        const auto it = std::find(buttons.begin(), buttons.end(), clicked);
        loop.exit(firstButtonReturn + int(it == buttons.end() ? buttons.size() - 1 : it - buttons.begin()));
    });
    box_ = &box;
    box.open();
    const int code = loop.exec();
    box_ = nullptr;
    suppressionChecked_ = box.checkBox() && box.checkBox()->isChecked();
    box.hide();
    return code;
}

QMessageBox* Report::make(QWidget* window) const
{
    auto* box = new QMessageBox(icon, windowTitle.isEmpty() ? QObject::tr("Velquine") : windowTitle, messageText,
                                QMessageBox::Ok, window);
    box->setObjectName(objectName);
    box->setInformativeText(informativeText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    if (window)
        box->setWindowModality(Qt::WindowModal);
    return box;
}

void Report::showOver(QWidget* window) const
{
    QMessageBox* box = make(window);
    takeQuitKeys(box);
    box->show();
}

void Report::runOver(QWidget* window) const { make(window)->exec(); }

} // namespace velquine
