#include "canvas/layers/BranchLayer.h"
#include "canvas/layers/NodeLayer.h"

#include <gtest/gtest.h>

#include "layout/NodeSizing.h"
#include "platform/UserDefaults.h"
#include "platform/layer/Transaction.h"

using namespace velquine;
using LayoutType = LayoutOptions::LayoutType;

namespace {

Node makeNode(std::string title, NodeShape shape, Point center = {200, 100}, Size size = {100, 40})
{
    Node node(-1, std::nullopt, NodeStyle());
    node.title = std::move(title);
    node.shape = shape;
    node.center = center;
    node.size = size;
    return node;
}

// A node layer placed in a canvas-like root, the way the canvas sets one up.
struct Placed {
    std::shared_ptr<Layer> root = std::make_shared<Layer>();
    std::shared_ptr<NodeLayer> layer = std::make_shared<NodeLayer>();

    explicit Placed(const Node& node, LayoutType type = LayoutType::horizontal)
    {
        root->setFrame(Rect(0, 0, 800, 600));
        root->addSublayer(layer);
        Transaction transaction(true);
        layer->setBounds(Rect({0, 0}, node.size));
        layer->setPosition(node.center);
        LayoutOptions options;
        options.layoutType = type;
        layer->setLayoutOptions(options);
        layer->setNode(node);
        layer->updateContents();
    }
    void refresh(const Node& node)
    {
        Transaction transaction(true);
        layer->setNode(node);
        layer->updateContents();
    }
};

} // namespace

TEST(NodeLayer, ANewLayerHoldsOnlyItsOutlineAndTitle)
{
    Placed p(makeNode("Hello world", NodeShape::roundedRect));
    NodeLayer& layer = *p.layer;
    EXPECT_EQ(layer.frame(), Rect(150, 80, 100, 40));
    EXPECT_EQ(layer.zPosition(), -10);
    EXPECT_EQ(layer.sublayers().size(), 2u);
    EXPECT_EQ(layer.shapeLayer()->zPosition(), -50);
    EXPECT_EQ(layer.labelLayer()->zPosition(), 10);
    EXPECT_FALSE(layer.hasFocusRingLayer() || layer.hasHandleLayer() || layer.hasHoverButtonLayer() ||
                 layer.hasUnderlineLayer() || layer.hasImageLayer());

    // The title frame is the layout library's label frame made integral.
    EXPECT_EQ(layer.labelFrameInLayer(), integralRect(labelLayout(layer.node()).second));
    EXPECT_EQ(layer.labelLayer()->string().string(), "Hello world");
    EXPECT_EQ(layer.labelLayer()->alignmentMode(), TextAlignment::center);
    EXPECT_EQ(layer.shapeLayer()->path().boundingRect(), QRectF(0, 0, 100, 40));
    EXPECT_EQ(layer.shapeLayer()->lineWidth(), 3.75);
    EXPECT_EQ(layer.shapeLayer()->fillColor(), QColor(Qt::white));
    EXPECT_GT(layer.lineHeight(), 10);

    // Selecting makes the ring and handles, and only then.
    layer.setSelected(true);
    ASSERT_TRUE(layer.isFocusRingShown() && layer.areHandlesShown());
    EXPECT_EQ(layer.focusRingLayer().zPosition(), -100);
    EXPECT_EQ(layer.handleLayer().zPosition(), 50);
    EXPECT_EQ(layer.focusRingLayer().path().boundingRect(), QRectF(-6, -6, 112, 52));
    EXPECT_NEAR(layer.focusRingLayer().fillColor().alphaF(), 0.5, 1e-3);
    p.root->layoutIfNeeded();
    EXPECT_EQ(layer.handleLayer().frame(), Rect(0, 0, 100, 40));
    EXPECT_EQ(layer.handleLayer().bottomRightHandleLayer()->frame(), Rect(94, 34, 8, 8));
    layer.setSelected(false);
    EXPECT_FALSE(layer.isFocusRingShown() || layer.areHandlesShown());
}

TEST(NodeLayer, EmptyTitleNaturalAlignmentAndDraggedLayers)
{
    Node node = makeNode("", NodeShape::rect);
    node.style.textAlignment = static_cast<std::int64_t>(TextAlignment::natural);
    Placed p(node);
    EXPECT_EQ(p.layer->lineHeight(), 0);
    EXPECT_TRUE(p.layer->labelLayer()->string().empty());
    EXPECT_EQ(p.layer->labelLayer()->alignmentMode(), TextAlignment::center);

    // A dragged layer keeps its look whatever the node says.
    p.layer->setDragged(true);
    Node changed = makeNode("Changed", NodeShape::ellipse);
    changed.style.fillColor = Color::red();
    p.refresh(changed);
    EXPECT_TRUE(p.layer->labelLayer()->string().empty());
    EXPECT_EQ(p.layer->shapeLayer()->fillColor(), QColor(Qt::white));
}

TEST(NodeLayer, UnderlineFollowsBranchColourBorderWidthAndLayout)
{
    Node node = makeNode("Under", NodeShape::underline);
    node.style.borderStyle = StrokeStyle::dotted;
    node.style.borderWidth = StrokeThickness::thick;
    node.style.branchWidth = StrokeThickness::thin;
    node.style.branchColor = Color::red();
    Placed p(node);
    NodeLayer& layer = *p.layer;
    p.root->layoutIfNeeded();
    ASSERT_TRUE(layer.isUnderlineShown());
    ShapeLayer& line = layer.underlineLayer();
    EXPECT_EQ(line.frame(), Rect(0, 40, 100, 2.25));
    EXPECT_EQ(line.lineWidth(), 5.25);
    EXPECT_EQ(line.strokeColor(), Color::red().toQColor());
    EXPECT_EQ(line.lineCap(), LineCap::round);
    EXPECT_EQ(line.lineDashPattern(), (std::vector<double>{2, 2}));
    EXPECT_EQ(layer.shapeLayer()->lineDashPattern(), (std::vector<double>{2, 2}));
    EXPECT_TRUE(layer.shapeLayer()->path().isEmpty());
    EXPECT_EQ(line.path().boundingRect(), QRectF(0, 0, 100, 0));
    layer.setSelected(true);
    EXPECT_EQ(layer.focusRingLayer().path().boundingRect(), QRectF(0, 0, 100, 40));

    Placed vertical(node, LayoutType::vertical);
    EXPECT_TRUE(vertical.layer->hasUnderlineLayer());
    EXPECT_FALSE(vertical.layer->isUnderlineShown());

    // Another shape hides the underline again.
    p.refresh(makeNode("Under", NodeShape::rect));
    EXPECT_FALSE(layer.isUnderlineShown());
}

TEST(NodeLayer, CloudStretchesOverBoundsAndRing)
{
    Placed p(makeNode("Cloud", NodeShape::cloud, {100, 100}, {160, 60}));
    const QRectF shape = p.layer->shapeLayer()->path().boundingRect();
    EXPECT_NEAR(shape.width(), 160, 1e-6);
    EXPECT_NEAR(shape.height(), 60, 1e-6);
    EXPECT_NEAR(shape.left(), 0, 1e-6);
    p.layer->setSelected(true);
    const QRectF ring = p.layer->focusRingLayer().path().boundingRect();
    EXPECT_NEAR(ring.left(), -6, 1e-6);
    EXPECT_NEAR(ring.width(), 172, 1e-6);
    EXPECT_NEAR(ring.height(), 72, 1e-6);
}

TEST(NodeLayer, FadedNodesStayFadedThroughUpdates)
{
    Placed p(makeNode("Faded", NodeShape::roundedRect));
    NodeLayer& layer = *p.layer;
    layer.setFaded(true);
    layer.updateFadedState();
    EXPECT_TRUE(layer.hasGrayFilter());
    EXPECT_EQ(layer.labelLayer()->opacity(), 0.25);
    EXPECT_EQ(layer.shapeLayer()->opacity(), 1.0);
    EXPECT_NEAR(layer.shapeLayer()->strokeColor().alphaF(), 0.25, 1e-3);
    p.refresh(layer.node());
    EXPECT_NEAR(layer.shapeLayer()->strokeColor().alphaF(), 0.25, 1e-3);
    // Layers made later come in faded too.
    layer.setSelected(true);
    EXPECT_EQ(layer.focusRingLayer().opacity(), 0.25);
    EXPECT_EQ(layer.handleLayer().opacity(), 0.25);

    layer.setFaded(false);
    layer.updateFadedState();
    EXPECT_FALSE(layer.hasGrayFilter());
    EXPECT_EQ(layer.handleLayer().opacity(), 1.0);
    EXPECT_EQ(layer.shapeLayer()->strokeColor().alphaF(), 1.0f);
}

TEST(NodeLayer, EditingHidesRingTitleAndHandles)
{
    Placed p(makeNode("Edit", NodeShape::rect));
    NodeLayer& layer = *p.layer;
    layer.setSelected(true);
    layer.setBeingEdited(true);
    layer.updateEditingState();
    EXPECT_FALSE(layer.isFocusRingShown() || layer.areHandlesShown());
    EXPECT_TRUE(layer.labelLayer()->isHidden());
    layer.setSelected(true);  // keeps the editing state
    EXPECT_FALSE(layer.isFocusRingShown());
    layer.setBeingEdited(false);
    layer.updateEditingState();
    EXPECT_TRUE(layer.isFocusRingShown() && layer.areHandlesShown());
    EXPECT_FALSE(layer.labelLayer()->isHidden());
}

TEST(NodeLayer, HoverButtonSideAndActiveState)
{
    Placed p(makeNode("Hover", NodeShape::rect));  // frame (150, 80, 100, 40)
    NodeLayer& layer = *p.layer;
    LayoutOptions manual;
    manual.isManual = true;
    layer.setLayoutOptions(manual);
    layer.setHoverButtonHidden(false);
    p.root->layoutIfNeeded();

    layer.updateHover({200, 100});  // on the middle line: right
    p.root->layoutIfNeeded();
    EXPECT_EQ(layer.hoverButtonDockPoint(), DockPointLocation::right);
    EXPECT_EQ(layer.hoverButtonLayer().frame(), Rect(101, 4, 32, 32));
    EXPECT_EQ(layer.hoverButtonLayer().connectionLayer()->frame(), Rect(0, 14, 6, 4));
    EXPECT_FALSE(layer.hoverButtonLayer().isActive());
    layer.updateHover({260, 100});  // on the button
    EXPECT_TRUE(layer.hoverButtonLayer().isActive());
    EXPECT_FALSE(layer.needsLayout());

    layer.updateHover({160, 100});
    EXPECT_TRUE(layer.needsLayout());
    p.root->layoutIfNeeded();
    EXPECT_EQ(layer.hoverButtonLayer().frame(), Rect(-33, 4, 32, 32));
    EXPECT_EQ(layer.hoverButtonLayer().connectionLayer()->frame(), Rect(26, 14, 6, 4));
    EXPECT_EQ(layer.mouseLocation(), (Point{160, 100}));

    // The tint follows the border colour, at 0.8 while inactive.
    Node node = layer.node();
    node.style.borderColor = Color::sRGB(0, 0, 1);
    p.refresh(node);
    EXPECT_EQ(layer.hoverButtonLayer().tintColor(), Color::sRGB(0, 0, 1));
    const QImage symbol = layer.hoverButtonLayer().plusLayer()->contents();
    ASSERT_FALSE(symbol.isNull());
    const QColor ring = symbol.pixelColor(symbol.width() / 2, int(symbol.height() * 0.15));
    EXPECT_NEAR(ring.alphaF(), 0.8, 0.02);
    EXPECT_GT(ring.blueF(), 0.9);
}

TEST(NodeHandleLayer, HandleHitsInOrderAndNeedANodeLayer)
{
    NodeHandleLayer loose;
    loose.setFrame(Rect(0, 0, 100, 40));
    EXPECT_EQ(loose.handle({0, 0}), NodeHandle::none);

    Placed p(makeNode("", NodeShape::rect, {20, 20}, {8, 8}));  // frame (16, 16, 8, 8): squares overlap
    p.layer->setSelected(true);
    p.root->layoutIfNeeded();
    NodeHandleLayer& handles = p.layer->handleLayer();
    // Squares (14, 14), (14, 18), (18, 18) and (18, 14), each 8 × 8: overlaps go to the first in order.
    EXPECT_EQ(handles.handle({20, 20}), NodeHandle::topLeft);
    EXPECT_EQ(handles.handle({19, 23}), NodeHandle::bottomLeft);
    EXPECT_EQ(handles.handle({24, 24}), NodeHandle::bottomRight);
    EXPECT_EQ(handles.handle({24, 16}), NodeHandle::topRight);
    EXPECT_EQ(handles.handle({100, 100}), NodeHandle::none);
}

TEST(HoverButtonLayer, StubFollowsTheSide)
{
    auto button = std::make_shared<HoverButtonLayer>();
    button->setFrame(Rect(0, 0, 32, 32));
    button->layoutIfNeeded();
    EXPECT_EQ(button->connectionLayer()->frame(), Rect(26, 14, 6, 4));
    button->setWhereToDrawConnectionLayer(DockPointLocation::top);
    button->layoutIfNeeded();
    EXPECT_EQ(button->connectionLayer()->frame(), Rect(14, 25, 4, 7));
    button->setWhereToDrawConnectionLayer(DockPointLocation::bottom);
    button->layoutIfNeeded();
    EXPECT_EQ(button->connectionLayer()->frame(), Rect(14, 0, 4, 7));
}

TEST(BranchLayer, PathDashAndDepthFromItsFields)
{
    auto root = std::make_shared<Layer>();
    auto branch = std::make_shared<BranchLayer>();
    root->addSublayer(branch);
    branch->updatePath();
    EXPECT_TRUE(branch->path().isEmpty());  // not configured yet
    EXPECT_EQ(branch->zPosition(), -11);
    EXPECT_EQ(branch->strokeColor(), QColor(Qt::black));

    branch->parentNodeUID = 1;
    branch->childNodeUID = 2;
    branch->parentNodeOrigin = {0, 0};
    branch->childNodeOrigin = {10, 0};
    branch->parentDockPoint = {0, 0};
    branch->childDockPoint = {10, 0};
    branch->branchStyle = StrokeStyle::dotted;
    branch->branchType = LayoutOptions::BranchType::line;
    branch->updatePath();
    EXPECT_EQ(branch->path().boundingRect(), QRectF(0, 0, 10, 0));
    EXPECT_EQ(branch->lineDashPattern(), (std::vector<double>{2, 2}));
    EXPECT_DOUBLE_EQ(branch->zPosition(), -10.99);

    // Path changes morph unless animations are switched off.
    branch->childDockPoint = {10, 20};
    branch->updatePath();
    EXPECT_TRUE(branch->hasAnimationForKey("path"));
    ScopedStandardUserDefaults defaults;
    defaults.defaults().set("disableAnimations", true);
    branch->childDockPoint = {10, 30};
    branch->updatePath();
    EXPECT_FALSE(branch->hasAnimationForKey("path"));
    EXPECT_EQ(branch->path().currentPosition(), QPointF(10, 30));
}

TEST(BranchLayer, DockPointsFromNodeLayers)
{
    Node parentNode = makeNode("P", NodeShape::roundedRect, {0, 0}, {100, 40});
    Node childNode = makeNode("C", NodeShape::underline, {200, 100}, {80, 30});
    Placed parent(parentNode);
    Placed child(childNode);
    parent.layer->setNodeType(NodeType::main);
    BranchLayer branch;
    branch.horizontalDockPoints(*parent.layer, *child.layer, LayoutOptions::BranchType::rounded);
    EXPECT_EQ(branch.parentDockPoint, (Point{50, 0}));
    EXPECT_EQ(branch.childDockPoint, (Point{160, 115}));
    EXPECT_EQ(branch.childNodeOrigin, (Point{200, 100}));
}

TEST(NodeLayer, AnimationsFollowTheUserDefault)
{
    Placed p(makeNode("Move", NodeShape::rect));
    p.layer->setPosition({300, 300});
    EXPECT_TRUE(p.layer->hasAnimationForKey("position"));
    p.layer->setBounds(Rect(0, 0, 120, 40));
    EXPECT_FALSE(p.layer->hasAnimationForKey("bounds"));
    ScopedStandardUserDefaults defaults;
    defaults.defaults().set("disableAnimations", true);
    p.layer->setPosition({100, 100});
    EXPECT_FALSE(p.layer->hasAnimationForKey("position"));
    EXPECT_EQ(p.layer->frame(), Rect(40, 80, 120, 40));
}

TEST(NodeLayer, TheOutlineJumpsWithTheNodesBoundsAndStillMorphsItsShape)
{
    Placed p(makeNode("Grow", NodeShape::rect));
    p.layer->setBounds(Rect(0, 0, 160, 60));
    const ShapeLayer& outline = *p.layer->shapeLayer();
    EXPECT_FALSE(outline.hasAnimations());
    EXPECT_EQ(outline.presentationFrame(), Rect(0, 0, 160, 60));
    EXPECT_EQ(outline.frame(), Rect(0, 0, 160, 60));
    // A shape change while actions are on still morphs.
    QPainterPath wider;
    wider.addRect(QRectF(0, 0, 160, 60));
    p.layer->shapeLayer()->setPath(wider);
    EXPECT_TRUE(outline.hasAnimationForKey("path"));
}

TEST(NodeLayer, ANodeOutOfSightMakesItsUnderlineWhenPlaced)
{
    Node node = makeNode("Under", NodeShape::underline);
    node.style.branchColor = Color::red();
    auto root = std::make_shared<Layer>();
    auto layer = std::make_shared<NodeLayer>();
    root->addSublayer(layer);
    {
        Transaction transaction(true);
        layer->setLabelDeferred(true);
        layer->setBounds(Rect({0, 0}, node.size));
        layer->setPosition(node.center);
        layer->setNode(node);
        layer->updateContents();
        layer->updateShapePath(node.shape);
    }
    EXPECT_FALSE(layer->hasUnderlineLayer());
    layer->setLabelDeferred(false);
    root->layoutIfNeeded();
    ASSERT_TRUE(layer->isUnderlineShown());
    EXPECT_EQ(layer->underlineLayer().strokeColor(), Color::red().toQColor());
    EXPECT_EQ(layer->underlineLayer().frame().origin, (Point{0, 40}));
    EXPECT_EQ(layer->underlineLayer().frame().size.width, 100);
    EXPECT_EQ(layer->underlineLayer().path().boundingRect(), QRectF(0, 0, 100, 0));
}

TEST(NodeLayer, ASharedNodeIsHeldAsItIsWithItsSidesOfTheParentBesideIt)
{
    Node parent = makeNode("Parent", NodeShape::rect, {0, 0});
    Node child = makeNode("Child", NodeShape::rect, {200, 100});
    child.updateAffinity(parent);
    auto shared = std::make_shared<const Node>(child);
    NodeLayer layer;
    layer.setNode(shared, &parent);
    EXPECT_EQ(&layer.node(), shared.get());
    const std::uint64_t before = layer.labelLayer()->contentRevision();

    EXPECT_EQ(layer.horizontalSide(), HorizontalAffinity::right);

    // Moved to the other side, its stored sides out of date: the layer still holds the shared node, left
    // alone, and keeps the sides it lies on beside it.
    Node moved = child;
    moved.center = {-200, -100};
    auto movedShared = std::make_shared<const Node>(moved);
    layer.setNode(movedShared, &parent);
    EXPECT_EQ(&layer.node(), movedShared.get());
    EXPECT_EQ(layer.horizontalSide(), HorizontalAffinity::left);
    EXPECT_EQ(layer.verticalSide(), VerticalAffinity::above);
    EXPECT_EQ(movedShared->horizontalAffinity, HorizontalAffinity::right);
    EXPECT_EQ(layer.node().center, (Point{-200, -100}));
    EXPECT_EQ(layer.labelLayer()->contentRevision(), before);
}

TEST(NodeLayer, NodeLayersStartWithOneShadowAndChangeTheirOwn)
{
    NodeLayer first;
    NodeLayer second;
    for (const NodeLayer* layer : {&first, &second}) {
        EXPECT_EQ(layer->shadowOffset(), (Size{0, -1}));
        EXPECT_EQ(layer->shadowRadius(), 3.0);
        EXPECT_EQ(layer->shadowColor(), QColor(44, 62, 80));
        EXPECT_EQ(layer->shadowOpacity(), 0.0);
    }
    first.setShadowOpacity(0.5);
    first.setBorderWidth(2);
    EXPECT_EQ(first.shadowOpacity(), 0.5);
    EXPECT_EQ(first.borderWidth(), 2.0);
    EXPECT_EQ(first.shadowOffset(), (Size{0, -1}));
    EXPECT_EQ(second.shadowOpacity(), 0.0);
    EXPECT_EQ(second.borderWidth(), 0.0);
    EXPECT_EQ(NodeLayer().shadowOpacity(), 0.0);
}

TEST(NodeLayer, ImageSitsInItsFrameAndGoesAway)
{
    Node node = makeNode("Picture", NodeShape::rect, {200, 200}, {200, 180});
    QImage bitmap(40, 20, QImage::Format_ARGB32);
    bitmap.fill(Qt::red);
    node.setImage(Image(bitmap));
    Placed p(node);
    p.root->layoutIfNeeded();
    NodeLayer& layer = *p.layer;
    ASSERT_TRUE(layer.isImageShown());
    const auto [imageFrame, titleFrame] = labelFrame(layer.node());
    EXPECT_EQ(layer.imageLayer().frame(), integralRect(imageFrame));
    EXPECT_EQ(layer.labelFrameInLayer(), integralRect(titleFrame));
    EXPECT_EQ(layer.imageLayer().contentsGravity(), ContentsGravity::resizeAspect);
    EXPECT_EQ(layer.imageLayer().contents().size(), QSize(40, 20));

    Node without = makeNode("Picture", NodeShape::rect, {200, 200}, {200, 180});
    p.refresh(without);
    EXPECT_FALSE(layer.isImageShown());
    EXPECT_TRUE(layer.imageLayer().contents().isNull());
}
