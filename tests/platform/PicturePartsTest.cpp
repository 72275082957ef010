// Drawing recorded in parts and played back one part after the other draws what one picture of it draws.
#include <gtest/gtest.h>

#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPicture>

#include <functional>
#include <stdexcept>
#include <vector>

#include "platform/PictureParts.h"

namespace velquine {
namespace {

// A scene that sets state before each of the places it may be cut at (after each step), and clips at one.
void drawScene(QPainter& painter, const std::function<void()>& step)
{
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.setPen(QPen(Qt::darkBlue, 3, Qt::DashLine));
    painter.setBrush(QColor(200, 60, 40));
    painter.translate(20, 10);
    painter.rotate(5);
    painter.drawRoundedRect(QRectF(0, 0, 120, 60), 10, 10);
    step();
    painter.setOpacity(0.5);
    QFont font = painter.font();
    font.setPixelSize(18);
    painter.setFont(font);
    painter.drawText(QPointF(10, 90), QStringLiteral("Parts of one picture"));
    step();
    painter.save();
    painter.setClipRect(QRectF(0, 100, 80, 40));
    painter.drawEllipse(QRectF(0, 90, 160, 60));
    step(); // clipping: no cut here
    painter.restore();
    QPainterPath curve;
    curve.moveTo(0, 160);
    curve.cubicTo(60, 120, 120, 200, 200, 150);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(curve);
    step();
    step(); // nothing drawn since the last cut: no part
    QImage image(16, 16, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::green);
    painter.drawImage(QPointF(150, 20), image);
}

QImage played(const std::vector<QPicture>& pictures)
{
    QImage image(260, 220, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    for (const QPicture& picture : pictures)
        painter.drawPicture(0, 0, picture);
    return image;
}

} // namespace

TEST(PictureParts, PartsPlayedInTurnDrawWhatOnePictureDraws)
{
    QPicture whole;
    {
        QPainter painter(&whole);
        drawScene(painter, [] {});
    }
    std::vector<QPicture> parts;
    {
        PictureParts recording(QSize(260, 220), [&parts](QPicture part) { parts.push_back(part); });
        QPainter painter(&recording);
        EXPECT_EQ(painter.paintEngine()->type(), QPaintEngine::Picture);
        EXPECT_EQ(painter.device()->logicalDpiY(), whole.logicalDpiY());
        drawScene(painter, [&recording] { recording.cut(); });
    }
    EXPECT_EQ(parts.size(), 4u);
    const QImage expected = played({whole});
    EXPECT_TRUE(played(parts) == expected);
    EXPECT_FALSE(played({parts.front()}) == expected);
}

// Parts recorded here are played on a worker in order, and what either side throws comes back to the caller once
// the player has ended: a drawing that fails midway leaves no player waiting for parts.
TEST(PictureParts, RecordedPartsArePlayedInOrderAndFailuresComeBack)
{
    const auto record = [](int failAt) {
        return [failAt](QPainter& painter, const std::function<void()>& cut) {
            for (int i = 0; i < 4; ++i) {
                if (i == failAt)
                    throw std::runtime_error("drawing failed");
                painter.fillRect(QRectF(i * 10, 0, 10, 10), Qt::red);
                cut();
            }
        };
    };
    std::vector<QPicture> played;
    const auto play = [&played](PictureQueue& parts) {
        while (const std::optional<QPicture> part = parts.pop())
            played.push_back(*part);
    };
    recordWhilePlaying(QSize(40, 10), record(-1), play);
    ASSERT_EQ(played.size(), 4u);
    for (std::size_t i = 0; i < played.size(); ++i)
        EXPECT_EQ(played[i].boundingRect().left(), int(i) * 10) << "part " << i;

    played.clear();
    EXPECT_THROW(recordWhilePlaying(QSize(40, 10), record(2), play), std::runtime_error);
    EXPECT_EQ(played.size(), 2u);
    EXPECT_THROW(recordWhilePlaying(QSize(40, 10), record(-1), [](PictureQueue&) { throw std::logic_error("no page"); }),
                 std::logic_error);
}

} // namespace velquine
