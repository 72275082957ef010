#pragma once

// The one colour panel of the application: a non-modal colour dialog shared by every colour well. A well
// that opens it becomes its target; every colour the user picks goes to the target while the target is
// active. A change counts as final when no mouse button is down; since the dialog reports nothing when the
// button comes up, the panel also reports the current colour as final on the release of a drag inside it
// and when it closes, so an editing session opened by a drag always ends.

#include "platform/Color.h"

#include <QObject>
#include <QPointer>

#include <QColorDialog>

namespace velquine {

class KVColorWell;

class ColorPanel : public QObject {
    Q_OBJECT
public:
    static ColorPanel& shared();
    ~ColorPanel() override;

    Color color() const { return color_; }
    // Sets the panel's colour without reporting it to anyone.
    void setColor(const Color& colour);

    // Brings the panel to the front with sender as the well that receives its changes.
    void orderFront(KVColorWell* sender);
    void close();
    bool isVisible() const;
    KVColorWell* target() const { return target_; }
    QColorDialog* dialog() const { return dialog_; }

    // A colour picked by the user. final: whether it ends the gesture (by default: no mouse button is down).
    void userChangedColor(const Color& colour, bool final);

signals:
    // Sent as the panel closes.
    void willClose();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ColorPanel();
    void reportFinal();

    QPointer<QColorDialog> dialog_;
    QPointer<KVColorWell> target_;
    Color color_;
    bool settingColor_ = false;
    bool lastReportFinal_ = true;
};

} // namespace velquine
