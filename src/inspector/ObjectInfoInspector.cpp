#include "inspector/ObjectInfoInspector.h"

#include <charconv>
#include <cstdio>

#include <QDateTime>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "document/VQDocument.h"
#include "exchange/StringBuilder.h"
#include "inspector/InspectorLayout.h"

namespace velquine {

namespace {

// "(x, y)" with two decimals, whatever the locale.
std::string formatPair(double first, double second)
{
    auto two = [](double value) {
        char buffer[64];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 2);
        return result.ec == std::errc() ? std::string(buffer, result.ptr) : std::string("nan");
    };
    return "(" + two(first) + ", " + two(second) + ")";
}

std::string_view typeName(NodeType type)
{
    switch (type) {
    case NodeType::root:
        return "root";
    case NodeType::main:
        return "main";
    case NodeType::sub:
        break;
    }
    return "sub";
}

// The locale's short time format with the seconds it leaves out.
QString timeFormatWithSeconds(const QLocale& locale)
{
    QString format = locale.timeFormat(QLocale::ShortFormat);
    if (format.contains(QLatin1String("ss")))
        return format;
    const qsizetype minutes = format.indexOf(QLatin1String("mm"));
    if (minutes < 0)
        return locale.timeFormat(QLocale::LongFormat);
    format.insert(minutes + 2, QLatin1String(":ss"));
    return format;
}

std::string formatTimestamp(double seconds, const QLocale& locale)
{
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(seconds * 1000.0), Qt::LocalTime);
    const QString text = locale.toString(time.date(), QLocale::ShortFormat) + QStringLiteral(", ") +
                         locale.toString(time.time(), timeFormatWithSeconds(locale));
    return text.toStdString();
}

} // namespace

ObjectInfoInspector::ObjectInfoInspector(QWidget* parent) : InspectorController(parent)
{
    setObjectName(QStringLiteral("ObjectInfoInspector"));
    containerView_ = InspectorLayout::makeContainer(this);
    auto* layout = containerView_->layout();
    infoTextView_ = new QPlainTextEdit(containerView_);
    infoTextView_->setObjectName(QStringLiteral("infoTextView"));
    infoTextView_->setReadOnly(true);
    infoTextView_->setLineWrapMode(QPlainTextEdit::NoWrap);
    infoTextView_->setFrameShape(QFrame::NoFrame);
    infoTextView_->setMinimumHeight(220);
    layout->addWidget(infoTextView_);
    mouseLocationLabel_ = new QLabel(containerView_);
    mouseLocationLabel_->setObjectName(QStringLiteral("mouseLocationLabel"));
    layout->addWidget(mouseLocationLabel_);
    resize(260, 260);
}

void ObjectInfoInspector::viewDidLoad()
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(12);
    font.setWeight(QFont::Normal);
    infoTextView_->setFont(font);
    sync();
}

void ObjectInfoInspector::inspectorDidShow()
{
    if (startFollowingDocument(this))
        sync();
}

void ObjectInfoInspector::inspectorDidHide()
{
    stopFollowingDocument();
}

void ObjectInfoInspector::sync()
{
    const auto doc = documentOrLog("sync()");
    if (!doc)
        return;
    const Graph& graph = doc->project().graph;
    const std::vector<Node> selected = graph.nodes(doc->project().selectedNodeUIDs);
    if (selected.empty()) {
        infoTextView_->setPlainText(QString());
        return;
    }
    if (selected.size() > 1)
        return;
    infoTextView_->setPlainText(QString::fromStdString(informationText(graph, selected.front())));
}

std::string ObjectInfoInspector::informationText(const Graph& graph, const Node& node, const QLocale& locale)
{
    std::vector<std::string> childTitles;
    for (const std::int64_t uid : node.childrenUIDs) {
        // A damaged file may name a child that is not there: it is left out rather than trusted.
        if (const Node* child = graph.findNode(uid))
            childTitles.push_back(child->title);
    }
    const std::optional<Node> parent = graph.node(node.parentUID);

    StringBuilder text;
    text.append("Node: ").appendLine(node.title);
    text.append("ID: ").appendLine(std::to_string(node.uid));
    text.append("Type: ").appendLine(typeName(graph.nodeType(node)));
    text.append("Position: ").appendLine(formatPair(node.center.x, node.center.y));
    text.append("Size: ").appendLine(formatPair(node.size.width, node.size.height));
    text.append("Parent: ").appendLine(parent ? parent->title : std::string("None"));
    text.append("Children: ").appendLine(quotedList(childTitles));
    text.append("Created: ").appendLine(formatTimestamp(node.createdTimestamp, locale));
    text.append("Modified: ").appendLine(formatTimestamp(node.modifiedTimestamp, locale));
    text.append("H-Affinity: ").appendLine(CaseNames<HorizontalAffinity>::names[static_cast<int>(node.horizontalAffinity)]);
    text.append("V-Affinity: ").appendLine(CaseNames<VerticalAffinity>::names[static_cast<int>(node.verticalAffinity)]);
    return text.toString();
}

std::string ObjectInfoInspector::quotedList(const std::vector<std::string>& texts)
{
    std::string list = "[";
    for (std::size_t i = 0; i < texts.size(); ++i) {
        if (i)
            list += ", ";
        list += '"';
        for (const char c : texts[i]) {
            switch (c) {
            case '"':
                list += "\\\"";
                break;
            case '\\':
                list += "\\\\";
                break;
            case '\t':
                list += "\\t";
                break;
            case '\n':
                list += "\\n";
                break;
            case '\r':
                list += "\\r";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
                    char escaped[16];
                    std::snprintf(escaped, sizeof escaped, "\\u{%x}", static_cast<unsigned>(c));
                    list += escaped;
                } else {
                    list += c;
                }
            }
        }
        list += '"';
    }
    return list + "]";
}

} // namespace velquine
