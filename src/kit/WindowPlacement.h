#pragma once

// Where windows open: wholly on the available area of their screen (the screen without the desktop's panels,
// as the window manager tells it), shrunk where they are larger. The frame a window manager puts around a
// window counts as part of it: its margins are read from the window once it has been shown, before that from
// another window of the program on show (none without a window manager).

#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

namespace velquine::WindowPlacement {

// The geometry (a window's inner area) moved, and shrunk where it is larger, so that with the frame margins
// around it it lies wholly inside the area. It is never made smaller than minimum.
QRect fitted(const QRect& geometry, const QMargins& frame, const QRect& area, const QSize& minimum = {});

// The available area of the window's screen: its own once shown, else that of its parent window, of the active
// window or of the screen under the pointer.
QRect availableArea(const QWidget* window);
// The margins of the frame around the window as far as they are known.
QMargins frameMargins(const QWidget* window);

// Moves and, where needed, shrinks the window so that it lies wholly on its screen's available area.
void fitOnScreen(QWidget* window);

enum class FirstSpot {
    centred,   // over the active window, else in the middle of the available area
    rightEdge, // at the right edge of the available area, at its top: a panel beside the documents
};
// Before every showing: the first one puts the window at its spot; every one fits it on the screen, so a
// window the user moved stays where it was as long as it can be seen whole.
void placeForShowing(QWidget* window, FirstSpot spot);

// Before a new document window's first showing: a step below and to the right of previous (the window opened
// or used last), back at the area's top-left corner where that step would leave the area, or centred without
// a previous window; then fitted.
void placeCascaded(QWidget* window, const QWidget* previous);

} // namespace velquine::WindowPlacement
