#include "support/QtWait.h"
#include "kit/Popover.h"

#include "kit/KitTestSupport.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QSignalSpy>
#include <QTest>

using namespace velquine;

namespace {

// A view whose clicks on its left half toggle a popover, as a colour well does.
class Anchor : public QWidget {
public:
    Popover popover;
    Anchor()
    {
        resize(300, 60);
        auto* label = new QLabel("Swatches");
        label->setMinimumSize(120, 80);
        popover.setContentWidget(label);
    }
    QRect area() const { return QRect(0, 0, width() / 2, height()); }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        if (!area().contains(event->position().toPoint()))
            return;
        if (popover.isShown())
            popover.close();
        else
            popover.show(area(), this, Popover::Edge::bottom);
    }
};

} // namespace

TEST(Popover, OpensOnThePreferredEdgeOrTheOppositeOneAndStaysOnScreen)
{
    const QRect screen(0, 0, 1000, 800);
    Popover::Edge edge{};
    QRect r = Popover::placement(QRect(500, 300, 100, 20), QSize(200, 100), Popover::Edge::left, screen, &edge);
    EXPECT_EQ(edge, Popover::Edge::left);
    EXPECT_LT(r.right(), 500);
    EXPECT_NEAR(r.center().y(), 309, 1);
    r = Popover::placement(QRect(50, 300, 100, 20), QSize(200, 100), Popover::Edge::left, screen, &edge);
    EXPECT_EQ(edge, Popover::Edge::right);
    EXPECT_GT(r.left(), 150);
    r = Popover::placement(QRect(500, 780, 100, 20), QSize(200, 100), Popover::Edge::bottom, screen, &edge);
    EXPECT_EQ(edge, Popover::Edge::top);
    r = Popover::placement(QRect(950, 5, 40, 10), QSize(200, 100), Popover::Edge::bottom, screen, &edge);
    EXPECT_LE(r.right(), 999);
}

TEST(Popover, AClickOnItsRectangleClosesItAndAClickElsewhereDismissesIt)
{
    Anchor anchor;
    anchor.setPalette(test::appearancePalette(true));
    anchor.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&anchor));
    QSignalSpy closed(&anchor.popover, &Popover::closed);

    QTest::mouseClick(&anchor, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EVENTUALLY(anchor.popover.isShown());
    EXPECT_EQ(anchor.popover.window()->palette().color(QPalette::Window),
              test::appearancePalette(true).color(QPalette::Window));
    EXPECT_GE(anchor.popover.window()->geometry().top(), anchor.mapToGlobal(QPoint(0, 60)).y());
    QImage shot = anchor.popover.window()->grab().toImage();
    EXPECT_TRUE(test::saveArtefact(shot, "popover-dark.png"));

    // The press reaches the popup, which closes and does not hand it on to the anchor.
    QTest::mouseClick(anchor.popover.window(), Qt::LeftButton, {},
                      anchor.popover.window()->mapFromGlobal(anchor.mapToGlobal(QPoint(20, 20))));
    EXPECT_EVENTUALLY(!anchor.popover.isShown());
    QTest::qWait(50); // fixed: the press must not open it again meanwhile
    EXPECT_FALSE(anchor.popover.isShown());
    EXPECT_EQ(closed.count(), 1);

    QTest::mouseClick(&anchor, Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EVENTUALLY(anchor.popover.isShown());
    QTest::keyClick(anchor.popover.window(), Qt::Key_Escape);
    EXPECT_EVENTUALLY(!anchor.popover.isShown());
    EXPECT_EQ(closed.count(), 2);
}
