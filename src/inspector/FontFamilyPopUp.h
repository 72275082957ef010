#pragma once

// The font family pop-up of the node style pane: tells its owner when its list opens (before it shows)
// and when it closes, so that the owner can draw each family in its own face while the list is open.

#include <QComboBox>

namespace velquine {

class FontFamilyPopUp : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;

    void showPopup() override
    {
        emit menuWillOpen();
        QComboBox::showPopup();
    }
    void hidePopup() override
    {
        QComboBox::hidePopup();
        emit menuDidClose();
    }

signals:
    void menuWillOpen();
    void menuDidClose();
};

} // namespace velquine
