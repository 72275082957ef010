#include "inspector/ObjectInfoInspector.h"

#include <QPlainTextEdit>

#include "InspectorTestSupport.h"
#include "UiTestSupport.h"

using namespace velquine;

namespace {

class ObjectInfoInspectorTest : public test::InspectorWindowTest {
protected:
    ObjectInfoInspector* pane = new ObjectInfoInspector(&window); // owned by the window, hosted or not
};

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> result;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        result.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "every line ends in a line feed";
    return result;
}

} // namespace

TEST_F(ObjectInfoInspectorTest, TheElevenLinesOfANode)
{
    Node node = stored(a);
    node.center = {10, 20.5};
    node.size = {120, 40};
    node.horizontalAffinity = HorizontalAffinity::left;
    node.verticalAffinity = VerticalAffinity::above;
    node.childrenUIDs.push_back(987654); // a child a damaged file names but does not hold
    node.childrenUIDs.push_back(b.uid);
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const auto text = lines(ObjectInfoInspector::informationText(doc->project().graph, node, english));
    ASSERT_EQ(text.size(), 11u);
    EXPECT_EQ(text[0], "Node: A");
    EXPECT_EQ(text[1], "ID: " + std::to_string(a.uid));
    EXPECT_EQ(text[2], "Type: main");
    EXPECT_EQ(text[3], "Position: (10.00, 20.50)");
    EXPECT_EQ(text[4], "Size: (120.00, 40.00)");
    EXPECT_EQ(text[5], "Parent: Root");
    EXPECT_EQ(text[6], "Children: [\"C\", \"B\"]");
    EXPECT_EQ(text[7].rfind("Created: ", 0), 0u);
    const QDateTime created = QDateTime::fromSecsSinceEpoch(static_cast<qint64>(node.createdTimestamp));
    EXPECT_NE(text[7].find(english.toString(created.date(), QLocale::ShortFormat).toStdString() + ", "),
              std::string::npos);
    EXPECT_NE(text[7].find(created.toString(QStringLiteral(":mm:ss")).toStdString()), std::string::npos);
    EXPECT_EQ(text[9], "H-Affinity: left");
    EXPECT_EQ(text[10], "V-Affinity: above");

    const auto rootText = lines(ObjectInfoInspector::informationText(doc->project().graph, stored(root)));
    EXPECT_EQ(rootText[2], "Type: root");
    EXPECT_EQ(rootText[5], "Parent: None");
    EXPECT_EQ(rootText[6], "Children: [\"A\", \"B\"]");
    const auto subText = lines(ObjectInfoInspector::informationText(doc->project().graph, stored(c)));
    EXPECT_EQ(subText[2], "Type: sub");
    EXPECT_EQ(subText[6], "Children: []");
    EXPECT_EQ(ObjectInfoInspector::quotedList({"say \"hi\"", "back\\slash", "tab\tline\nreturn\r", "\x01"}),
              "[\"say \\\"hi\\\"\", \"back\\\\slash\", \"tab\\tline\\nreturn\\r\", \"\\u{1}\"]");
}

TEST_F(ObjectInfoInspectorTest, ThePaneFollowsTheSelectionAndEveryNodeUpdate)
{
    host(pane, {520, 320});
    EXPECT_FALSE(pane->fillsScrollView());
    EXPECT_TRUE(pane->infoTextView()->toPlainText().isEmpty());
    select({root});
    EXPECT_TRUE(pane->infoTextView()->toPlainText().startsWith(QStringLiteral("Node: Root\nID: ")));
    test::saveScreenshot(&window, QStringLiteral("object-info-inspector"));

    select({a, b});
    EXPECT_TRUE(pane->infoTextView()->toPlainText().startsWith(QStringLiteral("Node: Root\n")));
    select({b});
    Node renamed = stored(b);
    renamed.title = "Bee";
    doc->updateNodes({renamed}, NodeUpdateOperation::fillColor, true);
    settle();
    EXPECT_TRUE(pane->infoTextView()->toPlainText().startsWith(QStringLiteral("Node: Bee\n")));
    select({});
    EXPECT_TRUE(pane->infoTextView()->toPlainText().isEmpty());

    pane->inspectorDidHide();
    select({b});
    EXPECT_TRUE(pane->infoTextView()->toPlainText().isEmpty());
}
