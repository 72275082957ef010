// Layer geometry, tree order, layout and transactions, checked on layer state without rendering.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "platform/RunLoop.h"
#include "platform/layer/Animator.h"
#include "platform/layer/Layer.h"
#include "platform/layer/ShapeLayer.h"
#include "platform/layer/Transaction.h"
#include "support/CountedCuts.h"
#include "support/ManualTime.h"

using namespace velquine;

namespace {

struct CountingLayer : Layer {
    int layouts = 0;
    void layoutSublayers() override
    {
        ++layouts;
        if (!sublayers().empty())
            sublayers().front()->setFrame({0, 0, bounds().size.width / 2, 10});
    }
};

} // namespace

TEST(LayerTest, FrameFollowsPositionAnchorAndBoundsAndSublayersUseTheBoundsOrigin)
{
    auto root = std::make_shared<Layer>();
    auto layer = std::make_shared<Layer>();
    root->addSublayer(layer);
    EXPECT_EQ(layer->anchorPoint(), (Point{0.5, 0.5}));
    layer->setFrame({10, 20, 120, 60});
    EXPECT_EQ(layer->position(), (Point{70, 50}));
    EXPECT_EQ(layer->bounds(), Rect(0, 0, 120, 60));
    layer->setAnchorPoint({0, 0});
    EXPECT_EQ(layer->frame(), Rect(70, 50, 120, 60));  // the position stays, the frame moves
    layer->setBounds({-10, 5, 120, 60});               // the origin shifts the content, not the frame
    EXPECT_EQ(layer->frame(), Rect(70, 50, 120, 60));

    auto child = std::make_shared<Layer>();
    child->setAnchorPoint({0, 0});
    child->setFrame({-10, 5, 4, 4});
    layer->addSublayer(child);
    EXPECT_EQ(child->convertPointToLayer({0, 0}, root.get()), (Point{70, 50}));
    EXPECT_EQ(root->convertPointToLayer({75, 52}, child.get()), (Point{5, 2}));
    EXPECT_EQ(child->convertRectFromLayer({71, 51, 3, 3}, nullptr), Rect(1, 1, 3, 3));
}

TEST(LayerTest, ZPositionOrdersSiblingsOnlyAndTiesKeepInsertionOrder)
{
    auto root = std::make_shared<Layer>();
    auto a = std::make_shared<Layer>(), b = std::make_shared<Layer>(), c = std::make_shared<Layer>();
    auto inner = std::make_shared<Layer>();
    inner->setZPosition(1000);
    a->addSublayer(inner);
    for (auto& l : {a, b, c})
        root->addSublayer(l);
    a->setZPosition(5);
    EXPECT_EQ(root->sublayersInDrawingOrder(), (std::vector<Layer*>{b.get(), c.get(), a.get()}));
    c->setZPosition(-1);
    EXPECT_EQ(root->sublayersInDrawingOrder(), (std::vector<Layer*>{c.get(), b.get(), a.get()}));
    EXPECT_EQ(a->sublayersInDrawingOrder(), (std::vector<Layer*>{inner.get()}));

    // Moving a layer to another superlayer takes it out of the first; a layer cannot hold its ancestor.
    b->addSublayer(c);
    EXPECT_EQ(root->sublayers().size(), 2u);
    EXPECT_EQ(c->superlayer(), b.get());
    c->addSublayer(root);
    EXPECT_EQ(root->superlayer(), nullptr);
    c->removeFromSuperlayer();
    EXPECT_TRUE(b->sublayers().empty());
}

TEST(LayerTest, VisualBoundsSkipHiddenSubtreesAndShapeLayersCountTheirPath)
{
    auto root = std::make_shared<Layer>();
    root->setBounds({0, 0, 1000, 1000});
    auto node = std::make_shared<Layer>();
    node->setFrame({100, 100, 50, 20});
    auto ring = std::make_shared<Layer>();
    ring->setFrame({-6, -6, 62, 32});
    node->addSublayer(ring);
    root->addSublayer(node);
    EXPECT_EQ(node->visualBounds(), Rect(94, 94, 62, 32));
    ring->setHidden(true);
    EXPECT_EQ(node->visualBounds(), Rect(100, 100, 50, 20));
    node->setHidden(true);
    EXPECT_TRUE(node->visualBounds().isNull());

    // A branch whose frame is the whole canvas is as large as its stroked path.
    auto branch = std::make_shared<ShapeLayer>();
    branch->setFrame({0, 0, 1000, 1000});
    QPainterPath path;
    path.moveTo(10, 10);
    path.lineTo(30, 50);
    branch->setPath(path);
    branch->setFillColor(QColor());
    branch->setStrokeColor(Qt::red);
    branch->setLineWidth(2);
    branch->setLineJoin(LineJoin::round);
    root->addSublayer(branch);
    EXPECT_EQ(branch->visualBounds(), Rect(8, 8, 24, 44));
}

TEST(LayerTest, BoundsChangesResizeFlexibleSublayersAndLayoutRunsAtTheOutermostCommit)
{
    auto root = std::make_shared<Layer>();
    auto layer = std::make_shared<CountingLayer>();
    auto half = std::make_shared<Layer>();
    auto flexible = std::make_shared<Layer>();
    layer->addSublayer(half);
    layer->addSublayer(flexible);
    root->addSublayer(layer);
    layer->setFrame({0, 0, 100, 40});
    flexible->setFrame({-6, -6, 112, 52});
    flexible->setAutoresizingMask(layerWidthSizable | layerHeightSizable);
    RunLoop::drain();
    const int before = layer->layouts;
    {
        Transaction outer(true);
        {
            Transaction inner;
            layer->setBounds({0, 0, 200, 50});
        }
        EXPECT_EQ(layer->layouts, before);  // not at the inner commit
        EXPECT_TRUE(layer->needsLayout());
    }
    EXPECT_EQ(layer->layouts, before + 1);
    EXPECT_EQ(half->frame(), Rect(0, 0, 100, 10));
    EXPECT_EQ(flexible->frame(), Rect(-6, -6, 212, 62));

    // Outside a transaction layout waits for the next turn of the main loop, or for layoutIfNeeded().
    layer->setNeedsLayout();
    EXPECT_EQ(layer->layouts, before + 1);
    root->layoutIfNeeded();
    EXPECT_EQ(layer->layouts, before + 2);
    RunLoop::drain();
    EXPECT_EQ(layer->layouts, before + 2);
}

TEST(LayerTest, TransactionsSetModelValuesAtOnceAndAnimatePresentationOnlyWithActionsOn)
{
    ManualTime time;
    auto root = std::make_shared<Layer>();
    auto layer = std::make_shared<Layer>();
    root->addSublayer(layer);
    layer->setPosition({0, 0});
    layer->setOpacity(1);

    layer->setPosition({100, 0});  // outside any transaction: actions on
    EXPECT_EQ(layer->position(), (Point{100, 0}));
    EXPECT_EQ(layer->presentationPosition(), (Point{0, 0}));
    time.now += Transaction::defaultAnimationDuration / 2;
    // Presentation values move on with the frames.
    EXPECT_EQ(layer->presentationPosition(), (Point{0, 0}));
    Animator::shared().tick();
    const double halfway = layer->presentationPosition().x;
    EXPECT_GT(halfway, 0);
    EXPECT_LT(halfway, 100);
    time.now += Transaction::defaultAnimationDuration;
    Animator::shared().tick();
    EXPECT_EQ(layer->presentationPosition(), (Point{100, 0}));
    EXPECT_FALSE(layer->hasAnimations());

    {
        Transaction outer(true);
        {
            Transaction inner;  // inherits: no actions
            EXPECT_TRUE(Transaction::disableActions());
            layer->setOpacity(0.5);
        }
        EXPECT_EQ(layer->presentationOpacity(), 0.5);
        {
            Transaction inner(false);  // this one turns them back on
            Transaction::setAnimationDuration(1.0);
            layer->setPosition({0, 50});
        }
        EXPECT_TRUE(layer->hasAnimationForKey("position"));
        EXPECT_FALSE(layer->hasAnimationForKey("opacity"));
        // A jump with actions off cancels the running animation.
        layer->setPosition({0, 60});
        EXPECT_EQ(layer->presentationPosition(), (Point{0, 60}));
    }
    EXPECT_EQ(Transaction::depth(), 0);
    EXPECT_FALSE(Transaction::disableActions());
}

TEST(LayerTest, ActionForKeyDecidesWhatAnimatesAndPathsMorph)
{
    ManualTime time;
    struct NoBounds : Layer {
        std::optional<LayerAction> actionForKey(const std::string& key) const override
        {
            return key == "bounds" ? std::nullopt : Layer::actionForKey(key);
        }
    };
    auto root = std::make_shared<Layer>();
    auto layer = std::make_shared<NoBounds>();
    root->addSublayer(layer);
    layer->setBounds({0, 0, 10, 10});
    EXPECT_FALSE(layer->hasAnimations());  // a resize jumps
    layer->setPosition({5, 5});
    EXPECT_TRUE(layer->hasAnimationForKey("position"));  // a move animates
    EXPECT_FALSE(Layer::defaultActionForKey("zPosition"));

    auto shape = std::make_shared<ShapeLayer>();
    root->addSublayer(shape);
    QPainterPath from, to;
    from.moveTo(0, 0);
    from.lineTo(10, 0);
    to.moveTo(0, 20);
    to.lineTo(30, 20);
    {
        Transaction t(true);
        shape->setPath(from);
    }
    {
        Transaction t;
        Transaction::setAnimationDuration(1.0);
        shape->setPath(to);
    }
    EXPECT_EQ(shape->path(), to);
    time.now += 0.5;
    Animator::shared().tick();
    const QPainterPath mid = shape->presentationPath();
    EXPECT_GT(mid.elementAt(1).x, 10);
    EXPECT_LT(mid.elementAt(1).x, 30);
    EXPECT_GT(mid.elementAt(0).y, 0);
    time.now += 1;
    Animator::shared().tick();
    EXPECT_EQ(shape->presentationPath(), to);
}

TEST(LayerTest, ManySublayersLeaveInOnePassAndManyLayersAnimateAtOnce)
{
    ManualTime time;
    auto root = std::make_shared<Layer>();
    root->setFrame({0, 0, 100, 100});
    std::vector<Rect> dirty;
    root->setDirtyAreaHandler([&dirty](const Rect& area) { dirty.push_back(area); });
    std::vector<std::shared_ptr<Layer>> layers;
    for (int i = 0; i < 6; ++i) {
        layers.push_back(std::make_shared<Layer>());
        layers.back()->setFrame({10.0 * i, 0, 5, 5});
        root->addSublayer(layers.back());
    }
    dirty.clear();
    EXPECT_EQ(root->removeSublayers([&](const Layer& layer) { return &layer == layers[1].get() || &layer == layers[4].get(); }),
              2u);
    EXPECT_EQ(root->sublayers(), (std::vector<Layer::Ptr>{layers[0], layers[2], layers[3], layers[5]}));
    EXPECT_EQ(layers[1]->superlayer(), nullptr);
    EXPECT_EQ(root->sublayersInDrawingOrder().size(), 4u);
    // The areas the two layers covered are repainted.
    EXPECT_EQ(dirty, (std::vector<Rect>{{10, 0, 5, 5}, {40, 0, 5, 5}}));

    // Each animating layer is registered once, however often it starts an animation.
    for (const auto& layer : root->sublayers()) {
        layer->setPosition({50, 50});
        layer->setOpacity(0.5);
    }
    EXPECT_EQ(Animator::shared().animatingLayerCount(), 4u);
    time.now += 1;
    Animator::shared().tick();
    EXPECT_EQ(Animator::shared().animatingLayerCount(), 0u);
}

// The frame in which thousands of lines stop gliding shows them where they went and frees none of the paths
// they glided between: those go a slice at a time, in the turns of the event loop after it, until none is left.
TEST(LayerTest, TheFrameInWhichManyLinesStopGlidingLeavesTheirPathsToBeFreedLater)
{
    ManualTime time;
    const auto drain = [] {
        for (int turn = 0; turn < 10 && Animator::shared().retiredCount() > 0; ++turn)
            QCoreApplication::processEvents();
    };
    drain(); // what earlier tests left
    auto root = std::make_shared<Layer>();
    const auto lineTo = [](double y) {
        QPainterPath path;
        path.cubicTo(100, 0, 200, y, 300, y);
        return path;
    };
    std::vector<std::shared_ptr<ShapeLayer>> lines(6000);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        lines[i] = std::make_shared<ShapeLayer>();
        lines[i]->setPath(lineTo(double(i % 400)));
        root->addSublayer(lines[i]);
    }
    {
        Transaction glide;
        for (std::size_t i = 0; i < lines.size(); ++i)
            lines[i]->setPath(lineTo(double((i + 20) % 400)));
    }
    time.now += 1;
    Animator::shared().tick();
    EXPECT_EQ(Animator::shared().animatingLayerCount(), 0u);
    EXPECT_EQ(lines[7]->presentationPath(), lineTo(27));
    EXPECT_EQ(Animator::shared().retiredCount(), 6000u);
    QCoreApplication::processEvents();
    EXPECT_GT(Animator::shared().retiredCount(), 0u);
    EXPECT_LT(Animator::shared().retiredCount(), 6000u);
    drain();
    EXPECT_EQ(Animator::shared().retiredCount(), 0u);
}

TEST(LayerTest, ALayerAskingAgainAndAgainIsLaidOutOnceAndAgainWhenItAsksDuringTheFlush)
{
    auto root = std::make_shared<Layer>();
    auto layer = std::make_shared<CountingLayer>();
    root->addSublayer(layer);
    RunLoop::drain();
    const int before = layer->layouts;
    {
        Transaction transaction(true);
        for (int i = 0; i < 1000; ++i)
            layer->setNeedsLayout();
    }
    EXPECT_EQ(layer->layouts, before + 1);
    EXPECT_FALSE(layer->needsLayout());

    // Asked for again by another layer's layout in the same flush: laid out again in the next round.
    struct Asking : Layer {
        std::shared_ptr<Layer> other;
        void layoutSublayers() override { other->setNeedsLayout(); }
    };
    auto asking = std::make_shared<Asking>();
    asking->other = layer;
    root->addSublayer(asking);
    {
        Transaction transaction(true);
        layer->setNeedsLayout();
        asking->setNeedsLayout();
    }
    EXPECT_EQ(layer->layouts, before + 3);
    EXPECT_FALSE(layer->needsLayout());
}

// Many layers asked for layout in one transaction, their layouts taken from its commit and done in runs: the
// parent asked first does not take its 1,000 sublayers into one run, and what a layout asks for is done too.
TEST(LayerTest, LayoutsTakenFromACommitAreDoneInRunsWithTheCallerBetween)
{
    struct Counted : Layer {
        int* done = nullptr;
        std::shared_ptr<Layer> other;
        void layoutSublayers() override
        {
            ++*done;
            if (other)
                other->setNeedsLayout();
        }
    };
    int done = 0;
    auto root = std::make_shared<Counted>();
    root->done = &done;
    std::vector<std::shared_ptr<Counted>> layers;
    std::vector<std::weak_ptr<Layer>> taken;
    {
        Transaction building(true);
        root->setNeedsLayout();
        for (int i = 0; i < 1000; ++i) {
            layers.push_back(std::make_shared<Counted>());
            layers.back()->done = &done;
            root->addSublayer(layers.back());
            layers.back()->setNeedsLayout();
        }
        auto other = std::make_shared<Counted>();
        other->done = &done;
        layers.front()->other = other;
        taken = Transaction::takeScheduledLayouts();
    }
    EXPECT_EQ(done, 0) << "the commit left the taken layouts alone";
    std::vector<int> runs;
    Transaction::layOut(taken, [&] { runs.push_back(done); });
    EXPECT_EQ(runs.size(), 4u);
    for (std::size_t i = 0; i < runs.size(); ++i)
        EXPECT_LE(runs[i] - (i == 0 ? 0 : runs[i - 1]), 258) << "run " << i;
    EXPECT_EQ(done, 1002) << "every layer once, and the one a layout asked for";
    EXPECT_FALSE(root->needsLayout());
    Transaction::flushLayouts();
    EXPECT_EQ(done, 1002);
}

TEST(LayerTest, AShapeLayerKeepsItsPathInStorageOfItsOwnSize)
{
    ShapeLayer shape;
    QPainterPath line;
    line.moveTo(0, 0);
    line.lineTo(100, 0);
    ASSERT_GT(line.capacity(), 2);
    shape.setPath(line);
    EXPECT_EQ(shape.path(), line);
    EXPECT_EQ(shape.path().capacity(), 2);

    QPainterPath rounded;
    rounded.addRoundedRect(QRectF(0, 0, 100, 40), 6, 6);
    rounded.setFillRule(Qt::WindingFill);
    shape.setPath(rounded);
    EXPECT_EQ(shape.path(), rounded);
    EXPECT_EQ(shape.path().capacity(), rounded.elementCount());
    EXPECT_EQ(shape.path().fillRule(), Qt::WindingFill);
}

TEST(LayerTest, ALayoutVisitsTheSublayersThatAskedInListOrderAndOnlyTheSizableOnesFollowASize)
{
    struct Recording : Layer {
        std::vector<const Layer*>* log = nullptr;
        void layoutSublayers() override { log->push_back(this); }
    };
    std::vector<const Layer*> log;
    auto root = std::make_shared<Layer>();
    auto crowd = std::make_shared<Layer>();
    root->addSublayer(crowd);
    std::vector<std::shared_ptr<Recording>> layers;
    for (int i = 0; i < 300; ++i) {
        layers.push_back(std::make_shared<Recording>());
        layers.back()->log = &log;
        crowd->addSublayer(layers.back());
    }
    root->layoutIfNeeded();
    log.clear();
    // Asked out of order, one of them twice, one taken away before the layout and one put elsewhere after asking.
    for (int i : {250, 7, 120, 7, 40, 299})
        layers[std::size_t(i)]->setNeedsLayout();
    layers[120]->removeFromSuperlayer();
    auto other = std::make_shared<Layer>();
    root->addSublayer(other);
    other->addSublayer(layers[40]);
    crowd->insertSublayer(layers[299], 0);
    root->layoutIfNeeded();
    EXPECT_EQ(log, (std::vector<const Layer*>{layers[299].get(), layers[7].get(), layers[250].get(), layers[40].get()}));
    log.clear();
    root->layoutIfNeeded();
    EXPECT_TRUE(log.empty());

    // A mask set or cleared while the layer is a sublayer decides whether it follows.
    crowd->setBounds({0, 0, 100, 100});
    layers[3]->setFrame({0, 0, 10, 10});
    layers[4]->setFrame({0, 0, 10, 10});
    layers[3]->setAutoresizingMask(layerWidthSizable);
    layers[4]->setAutoresizingMask(layerWidthSizable);
    layers[4]->setAutoresizingMask(layerNotSizable);
    crowd->setBounds({0, 0, 150, 100});
    EXPECT_EQ(layers[3]->frame(), Rect(0, 0, 60, 10));
    EXPECT_EQ(layers[4]->frame(), Rect(0, 0, 10, 10));
    layers[3]->removeFromSuperlayer();
    crowd->setBounds({0, 0, 200, 100});
    EXPECT_EQ(layers[3]->frame(), Rect(0, 0, 60, 10));
}

TEST(LayerTest, TimingCurvesFollowTheirCubicCurves)
{
    struct Sample {
        TimingFunction timing;
        double at10, at50, at90;
    };
    for (const Sample& c : {Sample{TimingFunction::standard, 0.094796305716, 0.802403387585, 0.994316477485},
                            Sample{TimingFunction::easeIn, 0.017026609652, 0.315356812573, 0.839427845762},
                            Sample{TimingFunction::easeOut, 0.160572154238, 0.684643187427, 0.982973390348},
                            Sample{TimingFunction::easeInEaseOut, 0.019722453548, 0.5, 0.980277546452}}) {
        EXPECT_NEAR(applyTiming(c.timing, 0.1), c.at10, 1e-9);
        EXPECT_NEAR(applyTiming(c.timing, 0.5), c.at50, 1e-9);
        EXPECT_NEAR(applyTiming(c.timing, 0.9), c.at90, 1e-9);
        double last = 0;
        for (int i = 1; i <= 1000; ++i) {
            const double y = applyTiming(c.timing, i / 1000.0);
            EXPECT_GE(y, last);
            last = y;
        }
        EXPECT_EQ(last, 1.0);
    }
}

TEST(LayerTest, PresentationValuesHeldForOneInstantAreNotShownAtAnother)
{
    ManualTime time;
    auto root = std::make_shared<Layer>();
    auto layer = std::make_shared<Layer>();
    root->addSublayer(layer);
    {
        Transaction t(true);
        layer->setPosition({0, 0});
    }
    layer->setPosition({100, 0});
    time.now += 0.1;
    Animator::shared().tick();
    Point held;
    {
        const Animator::FrozenTime frozen;
        const Animator::HeldValues holding;
        held = layer->presentationPosition();
    }
    EXPECT_GT(held.x, 0);
    EXPECT_LT(held.x, 100);
    time.now += 0.05;
    Animator::shared().tick();
    const Point later = layer->presentationPosition();
    EXPECT_GT(later.x, held.x);
    time.now -= 0.05;
    Animator::shared().tick();
    EXPECT_EQ(layer->presentationPosition(), held);
    time.now += 1;
    Animator::shared().tick();
    EXPECT_EQ(layer->presentationPosition(), (Point{100, 0}));
}

TEST(LayerTest, AFewDepthChangesAmongVeryManySiblingsKeepTheDrawingOrderAndTheOrderOfWhatIsNear)
{
    auto root = std::make_shared<Layer>();
    root->setBounds({0, 0, 6000, 6000});
    std::vector<std::shared_ptr<Layer>> layers;
    for (int i = 0; i < 600; ++i) {
        auto layer = std::make_shared<Layer>();
        layer->setFrame({double(i % 30) * 200, double(i / 30) * 200, 150, 150});
        layer->setBackgroundColor(Qt::red);
        layer->setZPosition(i % 7);
        root->addSublayer(layer);
        layers.push_back(layer);
    }
    // By depth, ties in the order of the list.
    const auto expected = [&root] {
        std::vector<Layer*> order;
        for (const auto& layer : root->sublayers())
            order.push_back(layer.get());
        std::stable_sort(order.begin(), order.end(), [](Layer* a, Layer* b) { return a->zPosition() < b->zPosition(); });
        return order;
    };
    ASSERT_EQ(root->sublayersInDrawingOrder(), expected());
    const Rect area(150, 150, 900, 700);
    for (int round = 0; round < 12; ++round) {
        // A new depth, a tie with others, a depth changed and back, and a layer leaving while one joins.
        layers[std::size_t(round * 37 % 600)]->setZPosition(-3 + round);
        layers[std::size_t(round * 53 % 600)]->setZPosition(round % 7);
        layers[std::size_t(round * 11 % 600)]->setZPosition(40);
        layers[std::size_t(round * 11 % 600)]->setZPosition(round * 11 % 7);
        if (round % 3 == 0) {
            root->sublayers()[std::size_t(round * 7)]->removeFromSuperlayer();
            auto joining = std::make_shared<Layer>();
            joining->setFrame({300, 300, 40, 40});
            joining->setZPosition(2.5);
            root->addSublayer(joining);
        }
        // What is near an area comes in the drawing order too.
        std::vector<Layer*> near;
        std::vector<Layer*> found = root->sublayersNear(area, near);
        const std::vector<Layer*> order = expected();
        std::vector<Layer*> nearInOrder;
        for (Layer* layer : order)
            if (std::find(found.begin(), found.end(), layer) != found.end())
                nearInOrder.push_back(layer);
        EXPECT_EQ(found, nearInOrder) << "round " << round;
        EXPECT_GE(found.size(), 20u);
        EXPECT_EQ(root->sublayersInDrawingOrder(), order) << "round " << round;
    }
}

TEST(LayerTest, ALongLineReportsItsChangesAlongItsPathNotItsWholeBox)
{
    ManualTime time;
    auto root = std::make_shared<Layer>();
    root->setFrame({0, 0, 5000, 40000});
    auto line = std::make_shared<ShapeLayer>();
    line->setFillColor(QColor());
    line->setStrokeColor(Qt::black);
    line->setLineWidth(2);
    root->addSublayer(line);
    const auto curve = [](double dx) {
        QPainterPath path;
        path.moveTo(100 + dx, 100);
        path.cubicTo(3000 + dx, 100, 100 + dx, 30000, 3000 + dx, 30000);
        return path;
    };
    {
        Transaction t(true);
        line->setPath(curve(0));
    }
    std::vector<Rect> dirty;
    root->setDirtyAreaHandler([&dirty](const Rect& area) { dirty.push_back(area); });
    {
        Transaction t;
        Transaction::setAnimationDuration(1.0);
        line->setPath(curve(40));
    }
    time.now += 0.5;
    Animator::shared().tick();
    // Every point of the line where it was, is and is now drawn lies in a reported area.
    for (const QPainterPath& path : {curve(0), curve(40), line->presentationPath()})
        for (double t = 0; t <= 1; t += 0.001) {
            const QPointF p = path.pointAtPercent(t);
            EXPECT_TRUE(std::any_of(dirty.begin(), dirty.end(), [&](const Rect& r) { return r.contains({p.x(), p.y()}); }))
                << p.x() << ", " << p.y();
        }
    // Together they cover a small part of the line's box.
    double area = 0;
    for (const Rect& r : dirty)
        area += r.size.width * r.size.height;
    EXPECT_LT(area, 0.1 * 3000 * 30000);
}

// What a paint between two frames draws is where the last frame left the layers, and the next frame reports
// that area again as the layer moves on, with whatever was shown in it meanwhile: nothing a paint drew is left
// behind on screen.
TEST(LayerTest, WhatIsDrawnBetweenFramesIsReportedByTheNextFrame)
{
    ManualTime time;
    auto root = std::make_shared<Layer>();
    root->setFrame({0, 0, 2000, 1000});
    auto node = std::make_shared<Layer>();
    auto ring = std::make_shared<Layer>();
    {
        Transaction t(true);
        node->setFrame({0, 0, 40, 20});
        node->setBackgroundColor(Qt::white);
        ring->setFrame({-6, -6, 52, 32});
        ring->setBackgroundColor(Qt::blue);
        ring->setHidden(true);
        node->addSublayer(ring);
        root->addSublayer(node);
    }
    std::vector<Rect> dirty;
    root->setDirtyAreaHandler([&dirty](const Rect& area) { dirty.push_back(area); });
    const auto reported = [&dirty](const Rect& drawn) {
        return std::any_of(dirty.begin(), dirty.end(), [&](const Rect& r) { return r.contains(drawn); });
    };
    {
        Transaction t;
        Transaction::setAnimationDuration(1.0);
        node->setPosition({1000, 10});
    }
    // The clock runs on, but until the next frame a paint draws the layer where it was.
    time.now += 0.3;
    EXPECT_EQ(node->presentationFrame(), Rect(0, 0, 40, 20));
    dirty.clear();
    Animator::shared().tick();
    EXPECT_TRUE(reported({0, 0, 40, 20}));
    const Rect first = node->presentationFrame();
    EXPECT_GT(first.minX(), 0);
    EXPECT_TRUE(reported(first));

    // The ring shown between frames is drawn around the layer where the frame left it; the next frame reports
    // it there.
    {
        Transaction t(true);
        ring->setHidden(false);
    }
    EXPECT_EQ(node->presentationFrame(), first);
    time.now += 0.3;
    dirty.clear();
    Animator::shared().tick();
    EXPECT_TRUE(reported(first.insetBy(-6, -6)));
    EXPECT_TRUE(reported(node->presentationFrame().insetBy(-6, -6)));
    time.now += 1;
    Animator::shared().tick();
    EXPECT_FALSE(node->hasAnimations());
}

// A long line crossing a big map reports, as it changes, only its pieces in the part of the map a view shows:
// working out the rest would cost a frame of a thousand such lines for nothing.
TEST(LayerTest, ALongLineReportsOnlyItsPiecesInTheShownPart)
{
    auto root = std::make_shared<Layer>();
    root->setFrame({0, 0, 40000, 40000});
    std::vector<Rect> reported;
    root->setDirtyAreaHandler([&reported](const Rect& area) { reported.push_back(area); });
    const Rect shown(1000, 1000, 1600, 1000);
    root->setDirtyAreaFocus(shown);
    const auto curve = [](double dy) {
        QPainterPath path(QPointF(1100, 1500 + dy));
        path.cubicTo(QPointF(9000, 1500 + dy), QPointF(30000, 39000 + dy), QPointF(39000, 39000 + dy));
        return path;
    };
    auto line = std::make_shared<ShapeLayer>();
    {
        Transaction still(true);
        line->setFrame({0, 0, 40000, 40000});
        line->setFillColor(QColor());
        line->setStrokeColor(Qt::black);
        line->setLineWidth(3);
        line->setPath(curve(0));
        root->addSublayer(line);
    }
    reported.clear();
    {
        Transaction still(true);
        line->setPath(curve(27));
    }
    ASSERT_FALSE(reported.empty());
    Rect covered = Rect::null();
    for (const Rect& area : reported) {
        EXPECT_TRUE(area.intersects(shown)) << "a piece out of view was worked out";
        covered = covered.isNull() ? area : covered.unionWith(area);
    }
    // Where the line crosses the view, old and new, is reported.
    EXPECT_TRUE(covered.contains(Point{1100, 1500}));
    EXPECT_TRUE(covered.contains(Point{2590, 1527}));
}

// Thousands of long lines morph at once (the branches of a node with thousands of children). A host that has had
// enough areas stops listening and repaints everything: a frame works out the pieces of no line after that, before
// or after moving it on, and the lines still animate to their ends.
TEST(LayerTest, AFrameWorksOutNoAreasOnceTheHostStopsListening)
{
    using Line = CutCountingLine;
    ManualTime time;
    auto root = std::make_shared<Layer>();
    root->setFrame({0, 0, 4000, 4000});
    std::vector<std::shared_ptr<Line>> lines;
    for (int i = 0; i < 1000; ++i) {
        QPainterPath path(QPointF(100, 2000));
        path.cubicTo(QPointF(900, 2000), QPointF(-500, 3 * i), QPointF(300, 3 * i));
        lines.push_back(addCutCountingLine(*root, {0, 0, 4000, 4000}, Qt::blue, 3.75, path));
    }
    {
        Transaction t;
        Transaction::setAnimationDuration(1.0);
        for (int i = 0; i < 1000; ++i) {
            QPainterPath path(QPointF(100, 2000));
            path.cubicTo(QPointF(900, 2000), QPointF(-500, 3 * i + 20), QPointF(300, 3 * i + 20));
            lines[std::size_t(i)]->setPath(path);
        }
    }
    int reports = 0;
    root->setDirtyAreaHandler([&](const Rect&) {
        if (++reports == 50)
            root->setReportsDirtyAreas(false);
    });
    takeCuts(lines);
    time.now += 0.5;
    Animator::shared().tick();
    const int cuts = takeCuts(lines);
    EXPECT_FALSE(root->reportsDirtyAreas());
    EXPECT_LE(cuts, 50);
    EXPECT_TRUE(lines.back()->hasAnimationForKey("path"));
    time.now += 1;
    Animator::shared().tick();
    EXPECT_FALSE(lines.back()->hasAnimations());
    EXPECT_EQ(lines.back()->presentationPath().elementAt(3).y, 3 * 999 + 20);
}

// Lines set gliding, or moved in depth only among lines of their own colour, look as they did until the next
// frame: nothing is reported as they change, and that frame reports where they were drawn and where they go. A
// line moved in depth past one of another colour, or changed without animation, is reported at once.
TEST(LayerTest, ChangesThatShowNothingYetAreLeftToTheNextFrame)
{
    ManualTime time;
    auto root = std::make_shared<Layer>();
    root->setFrame({0, 0, 1000, 1000});
    const auto curve = [](double y) {
        QPainterPath path(QPointF(10, 500));
        path.cubicTo(QPointF(300, 500), QPointF(300, y), QPointF(600, y));
        return path;
    };
    const auto line = [&](double y, QColor color, double z) {
        auto layer = std::make_shared<ShapeLayer>();
        Transaction t(true);
        layer->setFrame({0, 0, 1000, 1000});
        layer->setFillColor(QColor());
        layer->setStrokeColor(color);
        layer->setLineWidth(2);
        layer->setPath(curve(y));
        layer->setZPosition(z);
        root->addSublayer(layer);
        return layer;
    };
    auto a = line(100, Qt::black, 1), b = line(300, Qt::black, 2), c = line(700, Qt::black, 3);
    auto red = line(900, Qt::red, 10);
    root->sublayersInDrawingOrder();
    std::vector<Rect> dirty;
    root->setDirtyAreaHandler([&dirty](const Rect& area) { dirty.push_back(area); });
    const auto reported = [&dirty](const Rect& drawn) {
        return std::any_of(dirty.begin(), dirty.end(), [&](const Rect& r) { return r.contains(drawn); });
    };
    const Rect before = a->visualBounds();
    {
        Transaction t;
        Transaction::setAnimationDuration(1.0);
        a->setPath(curve(150));
        b->setZPosition(0.5);
        c->setZPosition(2.5);
    }
    EXPECT_TRUE(dirty.empty());
    EXPECT_EQ(a->visualBounds(), before);
    time.now += 0.3;
    Animator::shared().tick();
    EXPECT_TRUE(reported(before));
    EXPECT_TRUE(reported(a->visualBounds()));
    EXPECT_NE(a->visualBounds(), before);
    EXPECT_EQ(root->sublayersInDrawingOrder(), (std::vector<Layer*>{b.get(), a.get(), c.get(), red.get()}));

    dirty.clear();
    c->setZPosition(11);
    EXPECT_TRUE(reported(c->visualBounds()));
    dirty.clear();
    {
        Transaction t(true);
        b->setPath(curve(350));
    }
    EXPECT_TRUE(reported(b->visualBounds()));
}
