#include "canvas/svg/SVGError.h"
#include "canvas/svg/SVGImageView.h"
#include "canvas/svg/SVGLayer.h"

#include <gtest/gtest.h>

#include <QImage>

using namespace velquine;

namespace {

std::vector<SVGBezierPath> read(const std::string& body)
{
    return SVGBezierPath::pathsFromSVGString("<svg xmlns=\"http://www.w3.org/2000/svg\">" + body + "</svg>");
}

const char* const twoSquares =
    "<path d=\"M0,0 L10,0 L10,10 L0,10 Z\"/>"
    "<path display=\"none\" d=\"M0,0 L50,50\"/>"
    "<path fill=\"#ff0000\" stroke=\"#0000ff\" stroke-width=\"2\" opacity=\"0.5\" stroke-dasharray=\"3,1\""
    " stroke-linecap=\"round\" fill-rule=\"evenodd\" transform=\"translate(10,10)\" d=\"M0,0 L10,0 L10,10 Z\"/>";

} // namespace

TEST(SVGLayer, OneStyledShapeLayerPerShownPath)
{
    auto layer = std::make_shared<SVGLayer>();
    layer->setPaths(read(twoSquares));
    ASSERT_EQ(layer->paths().size(), 3u);
    ASSERT_EQ(layer->shapeLayers().size(), 2u);
    ASSERT_EQ(layer->untouchedPaths().size(), 2u);
    EXPECT_EQ(layer->sublayers().size(), 2u);
    EXPECT_EQ(layer->preferredFrameSize(), (Size{20, 20}));
    // The transform is applied to the kept path.
    EXPECT_EQ(layer->untouchedPaths()[1].bounds(), Rect(10, 10, 10, 10));
    EXPECT_EQ(layer->shapeLayers()[1]->opacity(), 0.5);

    layer->setAnchorPoint({0, 0});
    layer->setFrame(Rect(0, 0, 40, 40));  // the default gravity stretches by 2
    layer->layoutIfNeeded();
    const ShapeLayer& plain = *layer->shapeLayers()[0];
    EXPECT_EQ(plain.fillColor(), QColor(Qt::black));
    EXPECT_FALSE(plain.strokeColor().isValid());
    EXPECT_EQ(plain.frame(), Rect(0, 0, 20, 20));
    EXPECT_EQ(plain.path().boundingRect(), QRectF(0, 0, 20, 20));
    const ShapeLayer& styled = *layer->shapeLayers()[1];
    EXPECT_EQ(styled.fillColor(), QColor(Qt::red));
    EXPECT_EQ(styled.strokeColor(), QColor(Qt::blue));
    EXPECT_EQ(styled.lineWidth(), 2);
    EXPECT_EQ(styled.lineDashPattern(), (std::vector<double>{3, 1}));
    EXPECT_EQ(styled.lineCap(), LineCap::round);
    EXPECT_EQ(styled.fillRule(), FillRule::evenOdd);
    EXPECT_EQ(styled.frame(), Rect(20, 20, 20, 20));

    layer->setScaleLineWidth(true);
    layer->layoutIfNeeded();
    EXPECT_EQ(styled.lineWidth(), 4);

    layer->setFillColor(QColor(Qt::green));
    EXPECT_EQ(plain.fillColor(), QColor(Qt::green));
    EXPECT_EQ(styled.fillColor(), QColor(Qt::green));
}

TEST(SVGLayer, CentreGravityKeepsTheSize)
{
    auto layer = std::make_shared<SVGLayer>();
    layer->setPaths(read("<path d=\"M0,0 L10,0 L10,10 L0,10 Z\"/>"));
    layer->setAnchorPoint({0, 0});
    layer->setFrame(Rect(0, 0, 30, 20));
    layer->setContentsGravity(ContentsGravity::center);
    layer->layoutIfNeeded();
    EXPECT_EQ(layer->shapeLayers()[0]->frame(), Rect(10, 5, 10, 10));
    EXPECT_EQ(layer->shapeLayers()[0]->path().boundingRect(), QRectF(0, 0, 10, 10));
    EXPECT_EQ(layer->viewBox(), Rect::null());
    EXPECT_EQ(SVGLayer().viewBox(), Rect(0, 0, 0, 0));
}

TEST(SVGImageView, LoadsResourcesSizesToFitAndDraws)
{
    SVGImageView view;
    view.setSvgName("cloud");
    EXPECT_EQ(view.svgName(), "cloud");
    ASSERT_FALSE(view.paths().empty());
    view.setPaths(read("<path fill=\"#0000ff\" d=\"M0,0 L30,0 L30,20 L0,20 Z\"/>"));
    view.sizeToFit();
    EXPECT_EQ(view.size(), QSize(30, 20));
    EXPECT_EQ(view.sizeHint(), QSize(30, 20));
    const QImage picture = view.grab().toImage();
    EXPECT_EQ(picture.pixelColor(15, 10), QColor(Qt::blue));

    try {
        view.setSvgName("no-such-picture");
        FAIL() << "no error";
    } catch (const SVGError& error) {
        EXPECT_STREQ(error.what(), "Invalid parameter not satisfying: url");
    }
    EXPECT_EQ(view.svgName(), "cloud");
}
