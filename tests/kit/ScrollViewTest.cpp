// The magnifying scroll view and the layer host inside it, in a real window.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPaintEvent>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <cmath>
#include <limits>
#include <tuple>

#include "kit/KitTestSupport.h"
#include "kit/LayerHostWidget.h"
#include "kit/ScrollView.h"
#include "platform/layer/Animator.h"
#include "platform/layer/Layer.h"
#include "platform/layer/ShapeLayer.h"
#include "platform/layer/Transaction.h"
#include "support/CountedCuts.h"
#include "support/ManualTime.h"

using namespace velquine;

namespace {

struct Window {
    ScrollView scrollView;
    LayerHostWidget* host = new LayerHostWidget;
    Window()
    {
        host->setFrameSize({2000, 1500});
        scrollView.setDocumentView(host);
        scrollView.resize(400, 300);
        scrollView.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&scrollView));
    }
};

// What the host shows on the X screen: only areas that were really repainted change there.
QColor onScreen(QWidget* host, QPoint p)
{
    const QPoint global = host->mapToGlobal(p);
    return host->screen()->grabWindow(0, global.x(), global.y(), 1, 1).toImage().pixelColor(0, 0);
}

std::shared_ptr<Layer> box(Rect frame, QColor color)
{
    auto layer = std::make_shared<Layer>();
    layer->setFrame(frame);
    layer->setBackgroundColor(color);
    return layer;
}

} // namespace

TEST(ScrollViewTest, MagnificationStaysInRangeAndZoomKeepsThePointUnderThePointer)
{
    Window w;
    QSignalSpy bounds(&w.scrollView, &ScrollView::boundsChanged);
    for (double bad : {0.0, -1.0, -0.25, 0.1})
        w.scrollView.setMagnification(bad);
    EXPECT_EQ(w.scrollView.magnification(), 0.25);
    w.scrollView.setMagnification(std::numeric_limits<double>::quiet_NaN());
    w.scrollView.setMagnification(std::numeric_limits<double>::infinity());
    EXPECT_EQ(w.scrollView.magnification(), 0.25);
    w.scrollView.setMagnification(10);
    EXPECT_EQ(w.scrollView.magnification(), 4.0);
    EXPECT_EQ(w.host->size(), QSize(8000, 6000));
    EXPECT_GT(bounds.count(), 0);

    w.scrollView.setMagnification(1.0);
    w.scrollView.scrollToPoint({500, 400});
    const Point pointer{600, 450};
    const QPointF before = w.scrollView.viewportPointFromDocument(pointer);
    w.scrollView.setMagnification(2.0, pointer);
    EXPECT_NEAR(w.scrollView.viewportPointFromDocument(pointer).x(), before.x(), 1.0);
    EXPECT_NEAR(w.scrollView.viewportPointFromDocument(pointer).y(), before.y(), 1.0);
    const Rect visible = w.scrollView.documentVisibleRect();
    EXPECT_NEAR(visible.size.width, w.scrollView.viewport()->width() / 2.0, 1e-9);
    EXPECT_NEAR(w.scrollView.documentPointFromViewport(QPointF(0, 0)).x, visible.minX(), 1e-9);
    EXPECT_EQ(w.host->layerPointFromWidget(QPointF(200, 100)), (Point{100, 50}));
}

TEST(ScrollViewTest, ScrollingToARectangleMovesAsLittleAsNeededAndCentresOnAPoint)
{
    Window w;
    w.scrollView.scrollToPoint({100, 100});
    const Rect v = w.scrollView.documentVisibleRect();
    w.scrollView.scrollRectToVisible({150, 150, 20, 20});  // already visible
    EXPECT_EQ(w.scrollView.documentVisibleRect(), v);
    w.scrollView.scrollRectToVisible({150, v.maxY() + 10, 20, 20});  // just enough to show its bottom edge
    EXPECT_NEAR(w.scrollView.documentVisibleRect().maxY(), v.maxY() + 30, 1);
    EXPECT_EQ(w.scrollView.documentVisibleRect().minX(), v.minX());
    w.host->scrollRectToVisible({0, 0, 1000, 1000});  // larger: its far edges align
    EXPECT_NEAR(w.scrollView.documentVisibleRect().maxX(), 1000, 1);
    EXPECT_NEAR(w.scrollView.documentVisibleRect().maxY(), 1000, 1);

    w.scrollView.setMagnification(0.5);
    w.scrollView.centerOn({1000, 750});
    const Rect centred = w.scrollView.documentVisibleRect();
    EXPECT_NEAR(centred.midX(), 1000, 4);
    EXPECT_NEAR(centred.midY(), 750, 4);
    w.scrollView.centerOn({1200, 900}, 0.2);  // animated: arrives later
    EXPECT_NEAR(w.scrollView.documentVisibleRect().midX(), 1000, 4);
    EXPECT_TRUE(QTest::qWaitFor([&] { return std::lround(w.scrollView.documentVisibleRect().midX() / 4) == 1200 / 4; }, 3000));

    // At 75 % a point is three quarters of a pixel: a rectangle whose edges fall between pixels is brought wholly
    // into view, on either side, never half a pixel short.
    w.scrollView.setMagnification(0.75);
    for (const Rect r : {Rect(1500.3, 1200.5, 40.2, 20.1), Rect(300.9, 250.6, 40.3, 20.3), Rect(1510.7, 300.2, 30.1, 11.1)}) {
        w.scrollView.scrollRectToVisible(r);
        EXPECT_TRUE(w.scrollView.documentVisibleRect().contains(r))
            << r.minX() << ", " << r.minY() << " in " << w.scrollView.documentVisibleRect().minX() << ", "
            << w.scrollView.documentVisibleRect().minY();
    }
}

TEST(ScrollViewTest, TheHostPaintsItsLayersMagnifiedAndRepaintsWhatMoved)
{
    Window w;
    Transaction noActions(true);
    w.host->layer()->setBackgroundColor(Qt::white);
    auto red = box({20, 20, 40, 30}, Qt::red);
    w.host->layer()->addSublayer(red);
    w.scrollView.setMagnification(2.0, {0, 0});
    w.scrollView.scrollToPoint({0, 0});
    QImage shot = w.host->grab(QRect(0, 0, 300, 200)).toImage();
    EXPECT_EQ(shot.pixelColor(60, 60), QColor(Qt::red));   // (30, 30) in layer points
    EXPECT_EQ(shot.pixelColor(130, 60), QColor(Qt::white)); // (65, 30) is past its edge
    EXPECT_TRUE(QTest::qWaitFor([&] { return onScreen(w.host, {60, 60}) == QColor(Qt::red); }, 3000));
    red->setPosition({140, 40});  // repainted through the areas it reports, old and new
    EXPECT_TRUE(QTest::qWaitFor([&] { return onScreen(w.host, {280, 80}) == QColor(Qt::red); }, 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return onScreen(w.host, {60, 60}) == QColor(Qt::white); }, 3000));
    test::saveArtefact(w.scrollView.grab().toImage(), "kit_scroll_view_magnified.png");

    // Many changes at once repaint the whole view; afterwards single changes report their areas again.
    std::vector<std::shared_ptr<Layer>> many;
    for (int i = 0; i < 100; ++i) {
        many.push_back(box({double(i), 90, 1, 1}, Qt::white));
        w.host->layer()->addSublayer(many.back());
    }
    for (auto& layer : many)
        layer->setBackgroundColor(Qt::green);
    EXPECT_TRUE(QTest::qWaitFor([&] { return onScreen(w.host, {2 * 99 + 1, 181}) == QColor(Qt::green); }, 3000));
    red->setPosition({40, 40});
    EXPECT_TRUE(QTest::qWaitFor([&] { return onScreen(w.host, {80, 80}) == QColor(Qt::red); }, 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return onScreen(w.host, {280, 80}) == QColor(Qt::white); }, 3000));
}

TEST(ScrollViewTest, AnAnimatedMoveRepaintsTheHostFrameByFrameAndTheBackingScaleFollowsTheZoom)
{
    Window w;
    double now = 10;
    Animator::shared().setTimeSource([&] { return now; });
    {
        Transaction noActions(true);
        w.host->layer()->setBackgroundColor(Qt::white);
    }
    auto blue = box({0, 0, 20, 20}, Qt::blue);
    w.host->layer()->addSublayer(blue);
    {
        Transaction t;
        Transaction::setAnimationDuration(1.0);
        Transaction::setDisableActions(false);
        blue->setPosition({210, 10});  // model at once, presentation from (10, 10)
    }
    EXPECT_EQ(blue->frame(), Rect(200, 0, 20, 20));
    now += 0.5;
    Animator::shared().tick();
    const double x = blue->presentationPosition().x;
    EXPECT_GT(x, 10);
    EXPECT_LT(x, 210);
    EXPECT_TRUE(QTest::qWaitFor([&] { return onScreen(w.host, {int(x), 10}) == QColor(Qt::blue); }, 3000));
    now += 1;
    Animator::shared().tick();
    EXPECT_TRUE(QTest::qWaitFor([&] { return onScreen(w.host, {215, 10}) == QColor(Qt::blue); }, 3000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return onScreen(w.host, {int(x) - 8, 10}) == QColor(Qt::white); }, 3000));
    Animator::shared().setTimeSource({});

    w.scrollView.setMagnification(2);
    EXPECT_EQ(w.host->effectiveBackingScale(), 2 * w.host->devicePixelRatioF());
}

namespace {

// The paint events a widget receives and the pixels they cover.
struct PaintCounter : QObject {
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    int paints = 0;
    qint64 pixels = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
            for (const QRect& r : static_cast<QPaintEvent*>(event)->region())
                pixels += qint64(r.width()) * r.height();
        }
        return false;
    }
};

} // namespace

TEST(ScrollViewTest, AnimatedScrollAndLayerMovesShareFramesAndTheBarRepaintsOnlyWhereItsSliderMoves)
{
    Window w;
    w.host->setFrameSize({2000, 200000});
    auto moving = box({10, 10, 50, 50}, Qt::red);
    w.host->layer()->addSublayer(moving);
    QScrollBar* bar = w.scrollView.verticalScrollBar();
    PaintCounter hostPaints(w.host), barPaints(bar);
    int frames = 0;
    QObject::connect(bar, &QScrollBar::valueChanged, [&frames] { ++frames; });
    // A layer moving and, from its first frame on, a shorter scroll, both animated: each frame of the scroll
    // is painted once.
    {
        Transaction t;
        Transaction::setAnimationDuration(0.8);
        moving->setPosition({300, 2100});
    }
    EXPECT_TRUE(QTest::qWaitFor([&] { return hostPaints.paints > 0; }, 3000));
    w.scrollView.scrollRectToVisible({0, 2000, 10, 10}, 0.4);
    const int paintsBefore = hostPaints.paints;
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.scrollView.isAnimatingScroll(); }, 3000));
    EXPECT_TRUE(Animator::shared().isRunning());
    EXPECT_GT(frames, 3);
    EXPECT_LE(hostPaints.paints - paintsBefore, frames + 1);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Animator::shared().isRunning(); }, 3000));

    // A step that leaves the slider on its pixels paints no part of the bar; one that moves it, little of it.
    QCoreApplication::sendPostedEvents();
    barPaints.paints = 0;
    barPaints.pixels = 0;
    w.scrollView.scrollToPoint({0, 2010});
    w.scrollView.scrollToPoint({0, 12000});
    EXPECT_TRUE(QTest::qWaitFor([&] { return barPaints.paints > 0; }, 3000));
    QCoreApplication::sendPostedEvents();
    EXPECT_LT(barPaints.pixels, qint64(bar->width()) * bar->height() / 4);

    // Step by step, each painted before the next: the groove keeps no line of the slider's old edges, the bar
    // on the screen is the bar painted whole.
    for (int step = 0; step < 12; ++step) {
        const int painted = barPaints.paints;
        w.scrollView.scrollToPoint({0, 12000.0 + 8000 * (step + 1)});
        EXPECT_TRUE(QTest::qWaitFor([&] { return barPaints.paints > painted; }, 3000));
    }
    QImage shown, whole;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        const QPoint global = bar->mapToGlobal(QPoint(0, 0));
        shown = bar->screen()->grabWindow(0, global.x(), global.y(), bar->width(), bar->height()).toImage()
                    .convertToFormat(QImage::Format_RGB32);
        whole = bar->grab().toImage().convertToFormat(QImage::Format_RGB32);
        return shown == whole;
    }, 3000));
    shown.save(QStringLiteral(VELQUINE_ARTEFACTS_DIR "/scroll_bar_on_screen.png"));
}

namespace {

// A layer that counts its paints.
struct Probe : Layer {
    mutable int draws = 0;
    void draw(QPainter& painter) const override
    {
        ++draws;
        painter.fillRect(QRectF(QPointF(0, 0), QSizeF(bounds().size.width, bounds().size.height)), Qt::blue);
    }
};

// The viewport as the X screen shows it, and as a fresh paint of all it holds.
std::pair<QImage, QImage> screenAndFreshPaint(ScrollView& scrollView)
{
    QWidget* viewport = scrollView.viewport();
    const QPoint global = viewport->mapToGlobal(QPoint(0, 0));
    return {viewport->screen()->grabWindow(0, global.x(), global.y(), viewport->width(), viewport->height())
                .toImage().convertToFormat(QImage::Format_RGB32),
            viewport->grab().toImage().convertToFormat(QImage::Format_RGB32)};
}

} // namespace

// A frame in which an animated scroll moves the view by more than its size repaints all of it, and the layers
// moving in that frame (thousands of branch lines) do not work out which parts of the view they cover. The
// screen then equals a fresh paint.
TEST(ScrollViewTest, AFrameThatScrollsPastTheWholeViewAsksNoMovingLayerWhereItIs)
{
    using Line = CutCountingLine;
    ManualTime time;
    Window w;
    w.host->setFrameSize({2000, 400000});
    // A node's lines to children far down a long list, as a pasted list of 300 lines makes them.
    const auto pathTo = [](int i, double shift) {
        QPainterPath path(QPointF(50, 150));
        path.cubicTo(QPointF(300, 150), QPointF(100, 1000.0 * i + shift), QPointF(350, 1000.0 * i + shift));
        return path;
    };
    std::vector<std::shared_ptr<Line>> lines;
    for (int i = 0; i < 300; ++i)
        lines.push_back(addCutCountingLine(*w.host->layer(), {0, 0, 2000, 400000}, QColor(60, 60, 160), 2,
                                           pathTo(i, 0)));
    {
        Transaction t;
        Transaction::setAnimationDuration(1.0);
        for (int i = 0; i < 300; ++i)
            lines[std::size_t(i)]->setPath(pathTo(i, 40));
    }
    const auto cutsOfAFrame = [&] {
        QCoreApplication::processEvents();
        takeCuts(lines);
        time.now += 0.1;
        Animator::shared().tick();
        return takeCuts(lines);
    };
    // Without a scroll, the lines crossing the view say which parts of it they cover.
    EXPECT_GT(cutsOfAFrame(), 0);
    w.scrollView.scrollRectToVisible({0, 150000, 10, 10}, 0.2);
    EXPECT_EQ(cutsOfAFrame(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !w.scrollView.isAnimatingScroll(); }, 3000));
    QImage shown, fresh;
    EXPECT_TRUE(QTest::qWaitFor([&] {
        std::tie(shown, fresh) = screenAndFreshPaint(w.scrollView);
        return shown == fresh;
    }, 3000));
    shown.save(QStringLiteral(VELQUINE_ARTEFACTS_DIR "/scroll_past_gliding_lines.png"));
}

// A canvas that grows under a view that stays where it is (a map grows to the left and upwards) keeps the
// pixels on screen: only the strips that come into view, and what changed, are painted; gaining or losing the
// keyboard focus paints nothing; a few changes far apart are painted apart. The screen always equals a fresh
// paint.
TEST(ScrollViewTest, AGrowingCanvasAndTheFocusRepaintOnlyWhatChanged)
{
    Window w;
    Transaction noActions(true);
    w.host->setAttribute(Qt::WA_OpaquePaintEvent);
    w.host->layer()->setBackgroundColor(Qt::white);
    for (int i = 0; i < 60; ++i)
        w.host->layer()->addSublayer(box({400.0 + 37 * (i % 12), 380.0 + 41 * (i / 12), 20, 15},
                                         QColor::fromHsv(i * 6, 200, 220)));
    auto moved = box({520, 420, 30, 30}, Qt::black);
    w.host->layer()->addSublayer(moved);
    w.scrollView.scrollToPoint({400, 380});
    QTest::qWait(200);
    PaintCounter paints(w.host);
    const qint64 viewPixels = qint64(w.scrollView.viewport()->width()) * w.scrollView.viewport()->height();

    const Rect visible = w.scrollView.documentVisibleRect();
    moved->setPosition({600, 460});
    w.host->setFrameRect({-40, -24, 2040, 1524});
    w.scrollView.scrollToPoint(visible.origin);
    EXPECT_TRUE(QTest::qWaitFor([&] { return paints.paints > 0; }, 3000));
    QTest::qWait(100);
    EXPECT_EQ(w.scrollView.documentVisibleRect().origin, visible.origin);
    EXPECT_LT(paints.pixels, viewPixels / 3);
    std::pair<QImage, QImage> shown;
    EXPECT_TRUE(QTest::qWaitFor([&] { return (shown = screenAndFreshPaint(w.scrollView)).first == shown.second; }, 3000));
    shown.first.save(test::artefactPath("kit_grown_canvas_on_screen.png"));

    // Another widget to take the focus, in the corner between the scroll bars, over none of the canvas.
    QLineEdit other(&w.scrollView);
    other.setGeometry(w.scrollView.width() - 2, w.scrollView.height() - 2, 1, 1);
    other.show();
    w.host->setFocusPolicy(Qt::StrongFocus);
    w.scrollView.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w.scrollView));
    w.host->setFocus();
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.host->hasFocus(); }, 3000));
    QTest::qWait(50);
    paints.paints = 0;
    other.setFocus();
    EXPECT_TRUE(QTest::qWaitFor([&] { return other.hasFocus(); }, 3000));
    w.host->setFocus();
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.host->hasFocus(); }, 3000));
    QTest::qWait(100);
    EXPECT_EQ(paints.paints, 0);

    // Twelve small changes down the left edge and one at the right: a probe in the middle is not painted.
    auto probe = std::make_shared<Probe>();
    probe->setFrame({visible.midX() - 10, visible.midY() - 10, 20, 20});
    w.host->layer()->addSublayer(probe);
    EXPECT_TRUE(QTest::qWaitFor([&] { return probe->draws > 0; }, 3000));
    QTest::qWait(100);
    probe->draws = 0;
    for (int i = 0; i < 12; ++i)
        w.host->update(w.host->widgetRectFromLayer({visible.minX() + 2, visible.minY() + 24 * i, 4, 4}).toAlignedRect());
    w.host->update(w.host->widgetRectFromLayer({visible.maxX() - 8, visible.minY() + 4, 4, 4}).toAlignedRect());
    QTest::qWait(200);
    EXPECT_EQ(probe->draws, 0);
}

// An animated scroll that follows another goes only from where the view stands to its end: it does not show
// its end first and come back (each such jump repaints the whole view).
TEST(ScrollViewTest, AScrollAfterAnotherGoesStraightFromWhereTheViewStandsToItsEnd)
{
    Window w;
    w.host->setFrameSize({2000, 200000});
    w.scrollView.scrollRectToVisible({0, 2000, 10, 10}, 0.1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.scrollView.isAnimatingScroll(); }, 3000));
    QScrollBar* bar = w.scrollView.verticalScrollBar();
    std::vector<int> values{bar->value()};
    QObject::connect(bar, &QScrollBar::valueChanged, [&values](int value) { values.push_back(value); });
    w.scrollView.scrollRectToVisible({0, 100000, 10, 10}, 0.1);
    EXPECT_EQ(values.size(), 1u);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.scrollView.isAnimatingScroll(); }, 3000));
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end()));
    EXPECT_GT(values.back(), 90000);
}
