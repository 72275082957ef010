// Rendered nodes and branches compared with reference pictures in tests/data/canvas. Run with
// VELQUINE_UPDATE_REFERENCES=1 to write new references after a deliberate change of the look.

#include "canvas/layers/BranchLayer.h"
#include "canvas/layers/NodeLayer.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>

#include "platform/layer/LayerRenderer.h"
#include "platform/layer/Transaction.h"

using namespace velquine;
using BranchType = LayoutOptions::BranchType;
using LayoutType = LayoutOptions::LayoutType;

namespace {

Node makeNode(const std::string& title, NodeShape shape, Point center, Size size = {120, 56})
{
    Node node(-1, std::nullopt, NodeStyle());
    node.title = title;
    node.shape = shape;
    node.center = center;
    node.size = size;
    node.style.font = Font::systemFont(15);
    return node;
}

class Scene {
public:
    explicit Scene(Size size) : root_(std::make_shared<Layer>())
    {
        root_->setAnchorPoint({0, 0});
        root_->setFrame(Rect({0, 0}, size));
        root_->setBackgroundColor(Qt::white);
    }

    std::shared_ptr<NodeLayer> add(const Node& node, NodeType type = NodeType::sub, LayoutType layout = LayoutType::horizontal)
    {
        Transaction transaction(true);
        auto layer = std::make_shared<NodeLayer>();
        layer->setBounds(Rect({0, 0}, node.size));
        layer->setPosition(node.center);
        LayoutOptions options;
        options.layoutType = layout;
        layer->setLayoutOptions(options);
        layer->setNodeType(type);
        layer->setNode(node);
        layer->updateContents();
        root_->addSublayer(layer);
        return layer;
    }

    void connect(const NodeLayer& parent, const NodeLayer& child, LayoutType layout, BranchType type,
                 StrokeStyle style = StrokeStyle::solid)
    {
        Transaction transaction(true);
        auto branch = std::make_shared<BranchLayer>();
        branch->setAnchorPoint({0, 0});
        branch->setFrame(root_->bounds());
        branch->parentNodeUID = 1;
        branch->childNodeUID = 2;
        branch->layoutType = layout;
        branch->branchType = type;
        branch->branchStyle = style;
        branch->setStrokeColor(QColor(40, 90, 160));
        branch->setLineWidth(3.75);
        if (layout == LayoutType::horizontal)
            branch->horizontalDockPoints(parent, child, type);
        else
            branch->verticalDockPoints(parent, child, type);
        branch->updatePath();
        root_->addSublayer(branch);
    }

    QImage render()
    {
        const Rect b = root_->bounds();
        return LayerRenderer::renderToImage(*root_, QSize(int(b.width()), int(b.height())));
    }

private:
    std::shared_ptr<Layer> root_;
};

// Fails when more than a few pixels differ by more than a small amount in any channel.
void compareWithReference(const QImage& rendered, const QString& name)
{
    QDir().mkpath(VELQUINE_ARTEFACTS_DIR);
    rendered.save(QStringLiteral(VELQUINE_ARTEFACTS_DIR "/") + name);
    const QString referencePath = QStringLiteral(VELQUINE_TEST_DATA_DIR "/canvas/") + name;
    if (qEnvironmentVariableIsSet("VELQUINE_UPDATE_REFERENCES")) {
        QDir().mkpath(QStringLiteral(VELQUINE_TEST_DATA_DIR "/canvas"));
        ASSERT_TRUE(rendered.save(referencePath));
    }
    const QImage reference = QImage(referencePath).convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(reference.isNull()) << referencePath.toStdString();
    const QImage image = rendered.convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(image.size(), reference.size());
    int differing = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb a = image.pixel(x, y);
            const QRgb b = reference.pixel(x, y);
            const int d = std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                                    std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
            if (d > 24)
                ++differing;
        }
    }
    EXPECT_LE(differing, image.width() * image.height() / 500) << name.toStdString();
}

} // namespace

TEST(NodeRendering, EveryShapeWithItsBorder)
{
    Scene scene({680, 330});
    const std::vector<std::pair<NodeShape, StrokeStyle>> shapes{
        {NodeShape::underline, StrokeStyle::solid}, {NodeShape::rect, StrokeStyle::dashed},
        {NodeShape::roundedRect, StrokeStyle::solid}, {NodeShape::ellipse, StrokeStyle::dotted},
        {NodeShape::cloud, StrokeStyle::solid}, {NodeShape::embedded, StrokeStyle::dashed2},
        {NodeShape::pill, StrokeStyle::solid}, {NodeShape::hexagon, StrokeStyle::dashed3},
        {NodeShape::octagon, StrokeStyle::solid}, {NodeShape::triangle, StrokeStyle::solid},
        {NodeShape::diamond, StrokeStyle::solid}};
    std::vector<std::shared_ptr<NodeLayer>> layers;
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        Node node = makeNode(stringValue(shapes[i].first), shapes[i].first,
                             {90.0 + double(i % 4) * 165, 60.0 + double(i / 4) * 105});
        node.style.borderStyle = shapes[i].second;
        node.style.fillColor = Color::sRGB(0.93, 0.95, 1.0);
        node.style.borderColor = Color::sRGB(0.2, 0.3, 0.55);
        node.style.branchColor = Color::sRGB(0.8, 0.3, 0.2);
        if (i == 9)
            node.style.borderWidth = StrokeThickness::invisible;
        layers.push_back(scene.add(node));
    }
    layers[2]->setSelected(true);
    layers[6]->setHoverButtonHidden(false);
    layers[6]->updateHover({layers[6]->frame().maxX() + 10, layers[6]->frame().midY()});
    compareWithReference(scene.render(), "node_shapes.png");
}

TEST(NodeRendering, BranchesInEveryTypeAndLayout)
{
    Scene scene({620, 300});
    const auto parentH = scene.add(makeNode("Root", NodeShape::roundedRect, {90, 150}), NodeType::root);
    const std::vector<BranchType> types{BranchType::rounded, BranchType::angular, BranchType::line};
    for (std::size_t i = 0; i < types.size(); ++i) {
        const auto child = scene.add(makeNode("Child", NodeShape::underline, {270, 50.0 + double(i) * 100}, {90, 36}));
        scene.connect(*parentH, *child, LayoutType::horizontal, types[i], i == 2 ? StrokeStyle::dashed : StrokeStyle::solid);
    }
    const auto parentV = scene.add(makeNode("Top", NodeShape::ellipse, {480, 50}, {100, 44}), NodeType::main,
                                   LayoutType::vertical);
    for (std::size_t i = 0; i < types.size(); ++i) {
        const auto child = scene.add(makeNode("C", NodeShape::rect, {390.0 + double(i) * 90, 230}, {60, 36}),
                                     NodeType::sub, LayoutType::vertical);
        scene.connect(*parentV, *child, LayoutType::vertical, types[i]);
    }
    compareWithReference(scene.render(), "branches.png");
}

TEST(NodeRendering, ImagesFadingAndStyledTitles)
{
    Scene scene({520, 220});
    Node picture = makeNode("With a picture", NodeShape::roundedRect, {110, 110}, {180, 190});
    QImage bitmap(60, 40, QImage::Format_ARGB32);
    bitmap.fill(QColor(230, 120, 40));
    picture.setImage(Image(bitmap));
    scene.add(picture);

    Node faded = makeNode("Faded", NodeShape::ellipse, {300, 60});
    faded.style.fillColor = Color::sRGB(0.3, 0.7, 0.3);
    faded.style.borderColor = Color::sRGB(0.6, 0.1, 0.1);
    const auto fadedLayer = scene.add(faded);
    fadedLayer->setFaded(true);
    fadedLayer->updateFadedState();

    Node styled = makeNode("Struck and right", NodeShape::rect, {300, 160}, {160, 56});
    styled.style.isStrikeThrough = true;
    styled.style.textAlignment = static_cast<std::int64_t>(TextAlignment::right);
    styled.style.textColor = Color::sRGB(0.1, 0.2, 0.7);
    scene.add(styled);

    Node thin = makeNode("Thin\nthree\nlines", NodeShape::diamond, {450, 110}, {100, 120});
    thin.style.borderWidth = StrokeThickness::thinnest;
    thin.style.font = Font::systemFont(12);
    scene.add(thin);
    compareWithReference(scene.render(), "node_states.png");
}
