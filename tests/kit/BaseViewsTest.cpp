// The kit's small views, the integer formatter, the alert sheet and window appearance.
#include <gtest/gtest.h>

#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "kit/Alert.h"
#include "kit/KVBorderedView.h"
#include "kit/KVIconView.h"
#include "kit/KVLabeledDivider.h"
#include "kit/KVMicroTitleBar.h"
#include "kit/KitTestSupport.h"
#include "kit/LayerHostWidget.h"
#include "kit/OnlyIntegerValueFormatter.h"
#include "kit/WindowAppearance.h"
#include "platform/ActionDispatcher.h"
#include "platform/layer/Layer.h"
#include "platform/layer/Transaction.h"

using namespace velquine;

namespace {

bool hasInk(const QImage& image, QRect area, QColor background)
{
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (image.pixelColor(x, y) != background)
                return true;
    return false;
}

QImage shot(QWidget& widget, QColor background = Qt::white)
{
    QImage image(widget.size(), QImage::Format_ARGB32);
    image.fill(background);
    widget.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

} // namespace

TEST(BaseViewsTest, BorderedViewsDrawRectOrMiddleLineAndClickableOnesSendTheirAction)
{
    KVBorderedView view;
    view.resize(40, 20);
    view.setColor(Qt::blue);
    view.setStrokeWidth(2);
    QImage image = shot(view);
    EXPECT_EQ(image.pixelColor(0, 10), QColor(Qt::blue));
    EXPECT_EQ(image.pixelColor(20, 10), QColor(Qt::white));
    view.setShape("Line");
    image = shot(view);
    EXPECT_EQ(image.pixelColor(20, 9), QColor(Qt::blue));
    EXPECT_EQ(image.pixelColor(20, 3), QColor(Qt::white));
    view.setShape("oval");
    EXPECT_FALSE(hasInk(shot(view), QRect(0, 0, 40, 20), Qt::white));

    KVView parent;
    auto* child = new KVView(&parent);
    child->setFrame({10.3, 20.7, 100.2, 50.5});
    EXPECT_EQ(child->frame(), Rect(10, 21, 101, 50));  // edges 10.3 → 10, 110.5 → 111, 20.7 → 21, 71.2 → 71

    KVClickableBorderedView clickable;
    clickable.resize(30, 30);
    QStringList ran;
    struct Target : Responder {
        using Responder::addAction;
    } target;
    target.addAction("showNoteView:", [&](const ActionItem* sender) {
        ran << "showNoteView:";
        EXPECT_EQ(sender->object, &clickable);
    });
    clickable.setTarget(&target);
    QTest::mouseClick(&clickable, Qt::LeftButton);
    EXPECT_TRUE(ran.isEmpty());  // no action: clicks are ignored
    clickable.setAction("showNoteView:");
    QTest::mouseClick(&clickable, Qt::LeftButton);
    EXPECT_EQ(ran, QStringList{"showNoteView:"});
}

TEST(BaseViewsTest, DividerTitleBarAndIconViewDrawFromTheBottomEdge)
{
    KVLabeledDivider divider;
    divider.resize(200, 30);
    divider.style().bottomBorderColor = Qt::red;
    divider.style().textColor = Qt::black;
    QImage image = shot(divider);
    EXPECT_EQ(image.pixelColor(100, 29), QColor(Qt::red));
    EXPECT_TRUE(hasInk(image, QRect(10, 10, 60, 18), Qt::white));  // the title above the line
    EXPECT_FALSE(hasInk(image, QRect(0, 0, 200, 5), Qt::white));
    divider.setTitle("");
    EXPECT_FALSE(hasInk(shot(divider), QRect(0, 0, 200, 28), Qt::white));
    EXPECT_EQ(dividerColor(false).isValid(), true);

    KVMicroTitleBar bar;
    bar.resize(200, 40);
    bar.style().borderColor = Qt::red;
    bar.setTitle("Style");
    image = shot(bar);
    EXPECT_EQ(image.pixelColor(5, 39), QColor(Qt::red));
    EXPECT_TRUE(hasInk(image, QRect(80, 5, 40, 20), Qt::white));   // centred, above middle + 5
    EXPECT_FALSE(hasInk(image, QRect(0, 5, 60, 30), Qt::white));
    test::saveArtefact(image, "kit_micro_title_bar.png");

    // Colours left to the appearance follow the window they are drawn in.
    QWidget dark;
    setWindowAppearance(&dark, UserInterfaceStyle::dark);
    auto* darkBar = new KVMicroTitleBar(&dark);
    darkBar->resize(200, 40);
    darkBar->setTitle("Style");
    const QImage darkImage = shot(*darkBar, darkPalette().color(QPalette::Window));
    test::saveArtefact(darkImage, "kit_micro_title_bar_dark.png");
    int lightest = 0;
    for (int x = 80; x < 120; ++x)
        for (int y = 5; y < 25; ++y)
            lightest = std::max(lightest, darkImage.pixelColor(x, y).lightness());
    EXPECT_GT(lightest, 180);  // light text on the dark window

    KVIconView icon;
    icon.resize(30, 30);
    QImage green(10, 10, QImage::Format_ARGB32);
    green.fill(Qt::green);
    icon.setIcon(green);
    image = shot(icon);
    EXPECT_EQ(image.pixelColor(5, 25), QColor(Qt::green));
    EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::white));
}

TEST(BaseViewsTest, IntegerFormatterAcceptsSigned64BitWholeNumbersOnly)
{
    for (const char* good : {"", "7", "-12", "+12", "9223372036854775807", "-9223372036854775808", "007"})
        EXPECT_TRUE(OnlyIntegerValueFormatter::isPartialStringValid(good)) << good;
    for (const char* bad : {"-", "+", "1.5", "1e3", " 1", "1 ", "12a", "9223372036854775808", "--1", "١٢"})
        EXPECT_FALSE(OnlyIntegerValueFormatter::isPartialStringValid(QString::fromUtf8(bad))) << bad;
    OnlyIntegerValueFormatter formatter;
    QString text = "12a";
    int pos = 0;
    EXPECT_EQ(formatter.validate(text, pos), QValidator::Invalid);
}

TEST(BaseViewsTest, AlertSheetAnswersThePositionOfTheClickedButton)
{
    QWidget window;
    window.resize(300, 200);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    for (int pick : {2, 4}) {
        Alert alert;
        alert.messageText = "Replace the map?";
        for (const char* title : {"Replace", "Keep Both", "Cancel", "Four", "Five"})
            alert.addButton(title);
        QTimer::singleShot(50, [&] {
            ASSERT_TRUE(alert.box());
            for (QAbstractButton* button : alert.box()->buttons())
                if (button->text() == alert.buttonTitles()[pick])
                    button->click();
        });
        EXPECT_EQ(alert.runModalSheetForWindow(&window), 1000 + pick);
    }
    Alert escape;
    escape.messageText = "Can not export file";
    escape.informativeText = "Not a directory: /tmp/a/long/folder/path/that/would/otherwise/wrap/at/every/slash/map.opml";
    escape.addButton("Delete");
    escape.addButton("Cancel");
    escape.addButton("Other");
    QTimer::singleShot(50, [&] {
        // A long path wraps at a readable width, not at every slash.
        EXPECT_GE(escape.box()->width(), Alert::minimumWidth);
        QTest::keyClick(escape.box(), Qt::Key_Escape);
    });
    EXPECT_EQ(escape.runModalSheetForWindow(&window), 1001);  // Escape is the "Cancel" button
}

TEST(BaseViewsTest, WindowsTakeLightOrDarkAppearanceAndHostsSnapshotWhileHidden)
{
    LayerHostWidget host;
    EXPECT_FALSE(host.isDarkAppearance());  // no window yet
    host.resize(60, 40);
    host.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&host));
    setWindowAppearance(&host, UserInterfaceStyle::dark);
    EXPECT_TRUE(host.isDarkAppearance());
    EXPECT_EQ(windowAppearance(&host), UserInterfaceStyle::dark);
    setWindowAppearance(&host, UserInterfaceStyle::light);
    EXPECT_FALSE(host.isDarkAppearance());
    setWindowAppearance(&host, UserInterfaceStyle::systemDefault);
    EXPECT_EQ(host.palette().color(QPalette::Window), QApplication::palette().color(QPalette::Window));

    Transaction noActions(true);
    auto red = std::make_shared<Layer>();
    red->setFrame({10, 10, 20, 10});
    red->setBackgroundColor(Qt::red);
    host.layer()->addSublayer(red);
    host.hide();
    const QImage image = host.snapshotImage(-10, -10);
    EXPECT_TRUE(host.isHidden());
    EXPECT_EQ(image.size(), QSize(60, 40));
    EXPECT_EQ(image.pixelColor(5, 5), QColor(Qt::red));
}
