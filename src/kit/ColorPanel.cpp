#include "kit/ColorPanel.h"

#include "kit/KVColorWell.h"

#include <QApplication>
#include <QColorDialog>
#include <QMouseEvent>

namespace velquine {

namespace {

Color fromQColor(const QColor& colour)
{
    const QColor rgb = colour.toRgb();
    return Color::deviceRGB(rgb.redF(), rgb.greenF(), rgb.blueF(), rgb.alphaF());
}

} // namespace

ColorPanel& ColorPanel::shared()
{
    static ColorPanel* panel = new ColorPanel;
    return *panel;
}

ColorPanel::ColorPanel() : QObject(qApp), dialog_(new QColorDialog)
{
    dialog_->setOptions(QColorDialog::DontUseNativeDialog | QColorDialog::NoButtons | QColorDialog::ShowAlphaChannel);
    dialog_->setWindowTitle(QStringLiteral("Colors"));
    dialog_->setObjectName(QStringLiteral("colorPanel"));
    dialog_->setModal(false);
    connect(dialog_, &QColorDialog::currentColorChanged, this, [this](const QColor& colour) {
        if (!settingColor_)
            userChangedColor(fromQColor(colour), QGuiApplication::mouseButtons() == Qt::NoButton);
    });
    connect(dialog_, &QColorDialog::finished, this, [this] {
        reportFinal();
        emit willClose();
    });
    qApp->installEventFilter(this);
    // The dialog is a window of its own, which only a running application can take down: it goes as the
    // event loop ends, before the application object does.
    // Nothing it reports then reaches a well: the documents have had their last save.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] {
        if (dialog_)
            dialog_->disconnect(this);
        delete dialog_.data();
    });
}

ColorPanel::~ColorPanel()
{
    // Torn down with the application object, the dialog's window system is already gone: leave it.
    if (!QCoreApplication::closingDown())
        delete dialog_.data();
}

void ColorPanel::setColor(const Color& colour)
{
    color_ = colour;
    settingColor_ = true;
    dialog_->setCurrentColor(colour.toQColor());
    settingColor_ = false;
}

void ColorPanel::orderFront(KVColorWell* sender)
{
    target_ = sender;
    dialog_->show();
    dialog_->raise();
}

void ColorPanel::close()
{
    if (dialog_->isVisible())
        dialog_->close();
}

bool ColorPanel::isVisible() const
{
    return dialog_ && dialog_->isVisible();
}

void ColorPanel::userChangedColor(const Color& colour, bool final)
{
    color_ = colour;
    lastReportFinal_ = final;
    if (target_ && target_->isActive())
        target_->changeColor(this, final);
}

void ColorPanel::reportFinal()
{
    if (!lastReportFinal_)
        userChangedColor(color_, true);
}

// The release that ends a drag anywhere in the panel makes the current colour final.
bool ColorPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease && watched->isWidgetType() && dialog_ &&
        static_cast<QWidget*>(watched)->window() == dialog_ && !lastReportFinal_) {
        reportFinal();
    }
    return QObject::eventFilter(watched, event);
}

} // namespace velquine
