// A layer with very many sublayers finds those near an area and keeps its drawing order without visiting all:
// checked against a walk of every sublayer while sublayers move, animate, hide, cast shadows, change depth,
// come and go.
#include <gtest/gtest.h>

#include <QPainter>

#include <algorithm>
#include <random>

#include "platform/layer/Animator.h"
#include "platform/layer/Layer.h"
#include "platform/layer/LayerRenderer.h"
#include "platform/layer/ShapeLayer.h"
#include "platform/layer/Transaction.h"
#include "support/ManualTime.h"

using namespace velquine;

namespace {

// What a walk of every sublayer finds.
std::vector<Layer*> meetingByWalk(const Layer& layer, const Rect& area)
{
    std::vector<Layer*> found;
    for (Layer* sublayer : layer.sublayersInDrawingOrder())
        if (!sublayer->visualBounds().isNull() && extentsMeet(sublayer->visualBounds(), area))
            found.push_back(sublayer);
    return found;
}

std::vector<Layer*> sortedAfresh(const Layer& layer)
{
    std::vector<Layer*> sorted;
    for (const auto& sublayer : layer.sublayers())
        sorted.push_back(sublayer.get());
    std::stable_sort(sorted.begin(), sorted.end(), [](const Layer* a, const Layer* b) { return a->zPosition() < b->zPosition(); });
    return sorted;
}

class Canvas {
public:
    std::shared_ptr<Layer> root = std::make_shared<Layer>();
    std::mt19937 random{20261207};

    explicit Canvas(int count)
    {
        root->setFrame({0, 0, 20000, 20000});
        for (int i = 0; i < count; ++i)
            root->addSublayer(make());
    }

    double uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(random); }
    std::size_t pick(std::size_t count) { return std::size_t(random() % count); }

    // A node-like layer with a label inside, or now and then a long line across much of the canvas.
    std::shared_ptr<Layer> make()
    {
        if (pick(10) == 0) {
            auto line = std::make_shared<ShapeLayer>();
            line->setFrame({0, 0, 20000, 20000});
            QPainterPath path({uniform(0, 20000), uniform(0, 20000)});
            path.cubicTo(uniform(0, 20000), uniform(0, 20000), 10, 10, uniform(0, 20000), uniform(0, 20000));
            line->setPath(path);
            line->setStrokeColor(Qt::black);
            line->setZPosition(-11);
            return line;
        }
        auto node = std::make_shared<Layer>();
        node->setFrame({uniform(-500, 20000), uniform(-500, 20000), uniform(0, 300), uniform(0, 80)});
        node->setZPosition(-10);
        auto label = std::make_shared<Layer>();
        label->setFrame({4, 4, 40, 12});
        label->setBackgroundColor(Qt::blue);
        node->addSublayer(label);
        return node;
    }

    Layer& any() { return *root->sublayers()[pick(root->sublayers().size())]; }

    void step(ManualTime& time)
    {
        switch (pick(12)) {
        case 0: { Transaction t(true); any().setPosition({uniform(-500, 20000), uniform(-500, 20000)}); break; }
        case 1: any().setPosition({uniform(-500, 20000), uniform(-500, 20000)}); break;  // animates
        case 2: { Transaction t(true); any().setBounds({0, 0, uniform(0, 2000), uniform(0, 600)}); break; }
        case 3: any().setHidden(!any().isHidden()); break;
        case 4: any().setShadowOpacity(any().shadowOpacity() > 0 ? 0 : 0.5); break;
        case 5: any().setZPosition(double(pick(4)) - 12); break;
        case 6: {
            Layer& node = any();
            if (!node.sublayers().empty()) {
                Transaction t(true);
                node.sublayers().front()->setFrame({uniform(-900, 900), uniform(-300, 300), 40, 12});
            }
            break;
        }
        case 7: any().removeFromSuperlayer(); break;
        case 8: {
            std::vector<const Layer*> leaving;
            for (int i = 0; i < 9; ++i)
                leaving.push_back(&any());
            root->removeSublayers([&](const Layer& l) { return std::count(leaving.begin(), leaving.end(), &l) != 0; });
            break;
        }
        case 9:
            for (int i = 0; i < 10; ++i)
                root->addSublayer(make());
            break;
        case 10: root->insertSublayer(make(), pick(root->sublayers().size())); break;
        default:
            // The clock runs on between frames: presentation values move at the animator's ticks.
            time.now += uniform(0.01, 0.1);
            if (pick(2) == 0)
                Animator::shared().tick();
        }
    }

    // Areas of every kind: a view, a band, a point, an edge a layer touches, all of the canvas, nothing.
    std::vector<Rect> areas()
    {
        const Rect touched = any().visualBounds();
        std::vector<Rect> areas{{uniform(-500, 19000), uniform(-500, 19000), 1200, 800},
                                {uniform(-500, 19000), uniform(-500, 19000), 1200, 64},
                                {uniform(0, 20000), uniform(0, 20000), 0, 0},
                                {-1e6, -1e6, 3e6, 3e6},
                                Rect::null()};
        if (!touched.isNull())
            areas.push_back({touched.maxX(), touched.maxY(), 300, 300});
        return areas;
    }
};

} // namespace

TEST(SublayerIndexTest, FindsWhatAWalkOfEverySublayerFindsAndKeepsTheDrawingOrderThroughEveryKindOfChange)
{
    ManualTime time(500);
    Canvas canvas(900);
    for (int step = 0; step < 1500; ++step) {
        canvas.step(time);
        if (step % 10 != 0)
            continue;
        ASSERT_EQ(canvas.root->sublayersInDrawingOrder(), sortedAfresh(*canvas.root)) << "after step " << step;
        for (const Rect& area : canvas.areas()) {
            std::vector<Layer*> near, found;
            for (Layer* sublayer : canvas.root->sublayersNear(area, near))
                if (extentsMeet(sublayer->visualBounds(), area))
                    found.push_back(sublayer);
            ASSERT_EQ(found, meetingByWalk(*canvas.root, area)) << "after step " << step;
        }
    }
    EXPECT_GE(canvas.root->sublayers().size(), Layer::sublayersFiledByArea);
}

TEST(SublayerIndexTest, APreparationForPaintsOfPartsListsTheCrowdedLayersSublayersNearTheArea)
{
    ManualTime time(500);
    Canvas canvas(2000);
    QImage image(1200, 800, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    // Paints of one view while nodes move in and out of it and animate.
    for (int frame = 0; frame < 40; ++frame) {
        for (int i = 0; i < 60; ++i)
            canvas.step(time);
        LayerRenderOptions options;
        options.sourceRect = {8000, 8000, 1200, 800};
        const Animator::FrozenTime frozen;
        const LayerPaintPreparation made = LayerRenderer::prepareSharedPaints(
            painter, *canvas.root, options, [](const std::vector<std::function<void()>>& jobs) {
                for (const auto& job : jobs)
                    job();
            });
        const auto listed = made.crowdedSublayers.find(canvas.root.get());
        ASSERT_NE(listed, made.crowdedSublayers.end());
        std::vector<Layer*> visible;
        for (Layer* sublayer : meetingByWalk(*canvas.root, options.sourceRect))
            if (sublayer->presentationOpacity() > 0)
                visible.push_back(sublayer);
        ASSERT_EQ(listed->second, visible) << "frame " << frame;
        EXPECT_FALSE(visible.empty());
    }
}
