#pragma once

// What an editor window shows on the X screen, against a fresh paint of the same state. A part that differs
// is on screen because a partial repaint (a strip after a scroll, the areas layers report, a band) left it
// there: a fresh paint would not show it.

#include <gtest/gtest.h>

#include <QAbstractAnimation>
#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <string>

#include "canvas/GraphView.h"
#include "kit/ScrollView.h"
#include "platform/RunLoop.h"
#include "platform/layer/Animator.h"

namespace velquine::test {

// What the X server shows of the widget.
inline QImage screenPixels(QWidget* widget)
{
    const QPoint global = widget->mapToGlobal(QPoint(0, 0));
    return widget->screen()
        ->grabWindow(0, global.x(), global.y(), widget->width(), widget->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// The widget painted afresh and whole, its children over it.
inline QImage freshPaint(QWidget* widget)
{
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// The pixels whose colours differ by more than the antialiasing tolerance of the canvas's scrolled-paint test
// (4 levels in some channel), marked red on a faded copy of the first image.
inline int differingPixels(const QImage& a, const QImage& b, QImage* marked = nullptr)
{
    if (a.size() != b.size())
        return a.width() * a.height();
    if (marked) {
        *marked = a.copy();
        QPainter fade(marked);
        fade.fillRect(marked->rect(), QColor(255, 255, 255, 190));
    }
    int count = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* p = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* q = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if (std::abs(qRed(p[x]) - qRed(q[x])) <= 4 && std::abs(qGreen(p[x]) - qGreen(q[x])) <= 4
                && std::abs(qBlue(p[x]) - qBlue(q[x])) <= 4)
                continue;
            ++count;
            if (marked)
                marked->setPixel(x, y, qRgb(255, 0, 0));
        }
    }
    return count;
}

// Whether the window has come to rest: deferred calls run, no animation of its own (a scroll, a zoom, a pane)
// or of the layers runs, and no one-shot timer of the canvas (the new scale after a zoom) waits.
inline bool windowAtRest(const QWidget* window, const GraphView* canvas, const ScrollView* scroll)
{
    RunLoop::drain();
    if (RunLoop::pendingCount() != 0 || scroll->isAnimatingScroll() || Animator::shared().isRunning())
        return false;
    for (const QAbstractAnimation* animation : window->findChildren<QAbstractAnimation*>())
        if (animation->state() == QAbstractAnimation::Running)
            return false;
    for (const QTimer* timer : canvas->findChildren<QTimer*>())
        if (timer->isActive() && timer->isSingleShot())
            return false;
    return true;
}

// Waits until the window is at rest twice in a row, the events between handled: the paints a resting state
// asks for are done.
inline bool waitForRest(const QWidget* window, const GraphView* canvas, const ScrollView* scroll)
{
    return QTest::qWaitFor([&] {
        if (!windowAtRest(window, canvas, scroll))
            return false;
        QApplication::processEvents();
        return windowAtRest(window, canvas, scroll);
    }, 10000);
}

// Compares the scroll view on screen with its fresh paint. Pixels of a state at rest still on their way to
// the X server arrive at once; stale ones never. When they differ, the screen, the fresh paint and their
// difference are saved as <name>-screen.png, -fresh.png and -diff.png in the artefacts folder, and the
// problem is described (whether a whole repaint of the canvas then mends the screen says the pixels were left
// by a partial one).
inline bool screenShowsFreshPaint(ScrollView* scroll, GraphView* canvas, const QString& name, std::string& problem)
{
    QImage shown, painted;
    if (QTest::qWaitFor([&] {
            shown = screenPixels(scroll);
            painted = freshPaint(scroll);
            return differingPixels(shown, painted) == 0;
        }, 1500))
        return true;
    QDir().mkpath(QStringLiteral(VELQUINE_ARTEFACTS_DIR));
    const QString base = QStringLiteral(VELQUINE_ARTEFACTS_DIR "/") + name;
    QImage marked;
    const int count = differingPixels(shown, painted, &marked);
    shown.save(base + QStringLiteral("-screen.png"));
    painted.save(base + QStringLiteral("-fresh.png"));
    marked.save(base + QStringLiteral("-diff.png"));
    canvas->update();
    const bool mended = QTest::qWaitFor([&] { return differingPixels(screenPixels(scroll), freshPaint(scroll)) == 0; }, 1500);
    problem = "the screen differs from a fresh paint in " + std::to_string(count) + " pixels ("
        + base.toStdString() + "-*.png), which a whole repaint of the canvas "
        + (mended ? "mends: a partial repaint left them" : "does not mend");
    return false;
}

} // namespace velquine::test
