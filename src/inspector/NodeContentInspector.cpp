#include "inspector/NodeContentInspector.h"

#include <algorithm>
#include <cmath>

#include <QFileInfo>
#include <QKeyEvent>
#include <QLocale>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTextCursor>
#include <QUrl>
#include <QUrlQuery>
#include <QVBoxLayout>

#include "document/DocumentLayout.h"
#include "document/VQDocument.h"
#include "inspector/InspectorLayout.h"
#include "kit/Alert.h"
#include "kit/Beep.h"
#include "kit/EditingTextView.h"
#include "kit/ImageWell.h"
#include "kit/OpenPanel.h"
#include "layout/NodeSizing.h"
#include "platform/Log.h"
#include "platform/UrlOpener.h"

namespace velquine {

namespace {

QPushButton* makeButton(const QString& text, const char* name, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

// A compact button for the row of a one-line field.
QToolButton* makeRowButton(const QString& text, const QString& toolTip, const char* name, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setText(text);
    button->setToolTip(toolTip);
    button->setObjectName(QLatin1String(name));
    button->setToolButtonStyle(Qt::ToolButtonTextOnly);
    return button;
}

} // namespace

NodeContentInspector::NodeContentInspector(QWidget* parent) : InspectorController(parent)
{
    setObjectName(QStringLiteral("NodeContentInspector"));
    buildControls();
    setFocusPolicy(Qt::StrongFocus);
    resize(260, 520);
}

void NodeContentInspector::buildControls()
{
    containerView_ = InspectorLayout::makeContainer(this);
    auto* layout = static_cast<QVBoxLayout*>(containerView_->layout());

    titleView_ = new EditingTextView(containerView_);
    titleView_->setObjectName(QStringLiteral("titleView"));
    titleView_->setFont(InspectorLayout::textFont());
    titleView_->setFixedHeight(72);
    InspectorLayout::addSection(layout, tr("Title"), titleView_);

    QBoxLayout* linkRow = InspectorLayout::addRowSection(layout, tr("Link"));
    linkView_ = new QLineEdit(containerView_);
    linkView_->setObjectName(QStringLiteral("linkView"));
    linkView_->setPlaceholderText(QStringLiteral("https://"));
    linkView_->installEventFilter(this);
    linkButton_ = makeRowButton(tr("Open"), tr("Open the link"), "linkButton", containerView_);
    clearLinkButton_ = makeRowButton(tr("Clear"), tr("Remove the link"), "clearLinkButton", containerView_);
    linkRow->addWidget(linkView_, 1);
    linkRow->addWidget(linkButton_);
    linkRow->addWidget(clearLinkButton_);

    noteView_ = new EditingTextView(containerView_);
    noteView_->setObjectName(QStringLiteral("noteView"));
    noteView_->setFont(InspectorLayout::textFont());
    InspectorLayout::addSection(layout, tr("Note"), noteView_, 1);

    imageWell_ = new ImageWell(containerView_);
    imageWell_->setObjectName(QStringLiteral("imageWell"));
    InspectorLayout::addSection(layout, tr("Image"), imageWell_);
    auto* imageRow = new QHBoxLayout;
    imageBrowseButton_ = makeButton(tr("Choose…"), "imageBrowseButton", containerView_);
    imageClearButton_ = makeButton(tr("Remove"), "imageClearButton", containerView_);
    imageRow->addStretch(1);
    imageRow->addWidget(imageBrowseButton_);
    imageRow->addWidget(imageClearButton_);
    layout->addLayout(imageRow);

    for (EditingTextView* view : {titleView_, noteView_})
        InspectorLayout::connectEditing(
            view, this, [this] { textDidBeginEditing(); }, [this, view] { textDidChange(view); },
            [this, view] { textDidEndEditing(view); }, [this] { cancelOperation(); });
    connect(linkView_, &QLineEdit::textEdited, this, &NodeContentInspector::controlTextDidBeginEditing);
    connect(linkView_, &QLineEdit::textEdited, this, [this](const QString& text) {
        const std::optional<Node> node = selectedNode();
        clearLinkButton_->setEnabled(node && (!text.isEmpty() || !node->url.empty()));
    });
    connect(linkView_, &QLineEdit::editingFinished, this, &NodeContentInspector::controlTextDidEndEditing);
    connect(linkButton_, &QAbstractButton::clicked, this, &NodeContentInspector::visitLink);
    connect(clearLinkButton_, &QAbstractButton::clicked, this, &NodeContentInspector::clearLink);
    connect(imageWell_, &ImageWell::imageWellAction, this, &NodeContentInspector::imageWellAction);
    connect(imageBrowseButton_, &QAbstractButton::clicked, this, &NodeContentInspector::browseImage);
    connect(imageClearButton_, &QAbstractButton::clicked, this, &NodeContentInspector::clearImage);
}

void NodeContentInspector::viewDidLoad()
{
    sync();
}

void NodeContentInspector::inspectorDidShow()
{
    if (!startFollowingDocument(this))
        return;
    isEditing_ = false;
    // What the canvas did while the pane was not listening is not known: a title editor open now ends as soon
    // as the pane takes the keyboard.
    nodeTitleEditorOpen_ = false;
    sync();
}

void NodeContentInspector::documentDidBeginEditingNodeTitle()
{
    nodeTitleEditorOpen_ = true;
    disableFields();
}

void NodeContentInspector::documentDidEndEditingNodeTitle()
{
    nodeTitleEditorOpen_ = false;
    sync();
}

void NodeContentInspector::inspectorDidHide()
{
    if (stopFollowingDocument())
        isEditing_ = false;
}

std::optional<Node> NodeContentInspector::selectedNode() const
{
    const auto doc = documentOrLog("selectedNode");
    if (!doc)
        return std::nullopt;
    std::vector<Node> nodes = doc->project().graph.nodes(doc->project().selectedNodeUIDs);
    if (nodes.size() != 1)
        return std::nullopt;
    return std::move(nodes.front());
}

void NodeContentInspector::documentDidUpdateNodes(const std::vector<Node>&, NodeUpdateOperation operation)
{
    if (operation == NodeUpdateOperation::title || operation == NodeUpdateOperation::note ||
        operation == NodeUpdateOperation::link)
        sync();
}

// ---- Refreshing ----

void NodeContentInspector::sync()
{
    if (!documentOrLog("sync()"))
        return;
    const std::optional<Node> node = selectedNode();
    if (!node) {
        clearFields();
        disableFields();
        return;
    }
    enableFields();
    syncTitle(*node);
    // The link the user is typing stays until that editing ends.
    if (!(isEditing_ && linkView_->hasFocus()))
        linkView_->setText(QString::fromStdString(node->url));
    if (!isEditing_) {
        const QString note = QString::fromStdString(node->note);
        if (noteView_->toPlainText() != note)
            noteView_->setPlainText(note);
        imageWell_->setImage(node->image());
    }
}

void NodeContentInspector::syncTitle(const Node& node)
{
    const QString title = QString::fromStdString(node.title);
    // The text the view shows already (the user's own typing, echoed back) keeps its cursor and undo steps.
    if (titleView_->toPlainText() == title)
        return;
    const QTextCursor before = titleView_->textCursor();
    const int anchor = before.anchor();
    const int position = before.position();
    titleView_->setPlainText(title);
    if (!isEditing_)
        return;
    // The remembered selection may lie beyond the end of the new, shorter text.
    QTextCursor cursor(titleView_->document());
    const int end = std::max(0, static_cast<int>(titleView_->document()->characterCount()) - 1);
    cursor.setPosition(std::clamp(anchor, 0, end));
    cursor.setPosition(std::clamp(position, 0, end), QTextCursor::KeepAnchor);
    titleView_->setTextCursor(cursor);
}

void NodeContentInspector::clearFields()
{
    if (!titleView_->toPlainText().isEmpty())
        titleView_->setPlainText(QString());
    if (!noteView_->toPlainText().isEmpty())
        noteView_->setPlainText(QString());
    linkView_->clear();
    imageWell_->setImage(std::nullopt);
}

void NodeContentInspector::setTextViewEditable(EditingTextView* view, bool editable)
{
    view->setReadOnly(!editable);
    view->viewport()->setBackgroundRole(editable ? QPalette::Base : QPalette::Window);
    view->viewport()->update();
}

// Only the canvas's title editor keeps the fields as they are. A session another control holds open (the note
// pane's typing) does not: the fields of a pane shown meanwhile would stay as an earlier selection left them, and
// a click on the greyed link field would give the keyboard to nothing that takes text.
void NodeContentInspector::enableFields()
{
    const auto doc = document();
    if (!doc || nodeTitleEditorOpen_)
        return;
    const std::optional<Node> node = selectedNode();
    setTextViewEditable(titleView_, true);
    linkView_->setEnabled(true);
    // Clear and Remove only where there is a link or an image (Clear also while a link is typed).
    clearLinkButton_->setEnabled(node && !node->url.empty());
    linkButton_->setEnabled(node && !node->url.empty());
    setTextViewEditable(noteView_, true);
    imageClearButton_->setEnabled(node && node->image());
    imageBrowseButton_->setEnabled(true);
    imageWell_->setEnabled(true);
}

void NodeContentInspector::disableFields()
{
    setTextViewEditable(titleView_, false);
    setTextViewEditable(noteView_, false);
    for (QWidget* control : std::initializer_list<QWidget*>{linkView_, clearLinkButton_, linkButton_,
                                                            imageClearButton_, imageBrowseButton_, imageWell_})
        control->setEnabled(false);
}

void NodeContentInspector::removeTypingUndoActions()
{
    titleView_->removeAllUndoActions();
    noteView_->removeAllUndoActions();
}

// ---- Image and link actions ----

void NodeContentInspector::imageWellAction()
{
    editSelectedNode("imageWellAction(_:)", "Set Image", [this](VQDocument& doc, Node& node) {
        node.setImage(imageWell_->image());
        node = autosizeNode(node, autosizeKeepCenter);
        DocumentLayout layout(doc);
        layout.autoLayoutWholeNodeTrees(doc.updateNodes({node}, NodeUpdateOperation::imageSet, false), false);
        layout.resolveCollisions();
    });
}

void NodeContentInspector::browseImage()
{
    const std::optional<QString> path = OpenPanel::chooseImage(window(), tr("Choose an Image"));
    if (!path)
        return;
    // Decoded on a worker while the window repaints.
    const Image::Decoding decoded = ImageWell::decodeFile(*path);
    if (!decoded.image) {
        // An image too large or too costly to be read says so; another file that yields no image changes nothing.
        const QSize size = decoded.statedSize;
        if (size.isValid() && qint64(size.width()) * size.height() > ImageWell::readablePixels())
            showImageTooLarge(*path, size);
        else if (!decoded.refusal.empty())
            showImageRefused(*path, QString::fromStdString(decoded.refusal));
        return;
    }
    imageWell_->setImage(decoded.image);
    // From a chosen file on, the well fills itself with the image, small ones included.
    imageWell_->setScalesUp(true);
    imageWellAction();
}

void NodeContentInspector::showImageTooLarge(const QString& path, QSize size)
{
    const QLocale locale;
    const qint64 side = qint64(std::sqrt(double(ImageWell::readablePixels())));
    Report{.objectName = QStringLiteral("imageTooLargeMessage"),
           .messageText = tr("The image “%1” is too large to be used.").arg(QFileInfo(path).fileName()),
           .informativeText = tr("It has %1 × %2 pixels; Velquine reads images of up to %3 million pixels (%4 × %4). "
                                 "Make it smaller in an image editor first.")
                                  .arg(locale.toString(size.width()), locale.toString(size.height()))
                                  .arg(ImageWell::readablePixels() / 1000000)
                                  .arg(locale.toString(side))}
        .showOver(window());
}

void NodeContentInspector::showImageRefused(const QString& path, const QString& reason)
{
    Report{.objectName = QStringLiteral("imageRefusedMessage"),
           .messageText = tr("The image “%1” cannot be used.").arg(QFileInfo(path).fileName()),
           .informativeText = reason}
        .showOver(window());
}

void NodeContentInspector::clearImage()
{
    editSelectedNode("clearImage(_:)", "Clear Image", [](VQDocument& doc, Node& node) {
        node.setImage(std::nullopt);
        doc.updateNodes({node}, NodeUpdateOperation::imageCleared, false);
        DocumentLayout(doc).autolayoutWholeNodeTree(node, false);
        DocumentLayout(doc).resolveCollisions();
    });
}

bool NodeContentInspector::isVisitableScheme(const QString& scheme)
{
    static const QStringList schemes{QStringLiteral("http"), QStringLiteral("https"), QStringLiteral("mailto"),
                                     QStringLiteral("ftp")};
    return schemes.contains(scheme.toLower());
}

void NodeContentInspector::visitLink()
{
    const QString text = linkView_->text().trimmed();
    const QUrl url(text, QUrl::StrictMode);
    if (text.isEmpty() || !url.isValid())
        return;
    // A link comes from the document, which may come from anyone: only web and mail addresses are opened.
    if (!isVisitableScheme(url.scheme())) {
        VQ_LOG("visitLink(_:)", "refusing to open a link of scheme \"" + url.scheme().toStdString() + "\": " +
                                    text.toStdString());
        Beep::beep();
        return;
    }
    // Nor a mail that would carry one of the user's files away.
    if (asksToAttachFiles(url)) {
        VQ_LOG("visitLink(_:)", "refusing to open a mail link that attaches a file: " + text.toStdString());
        Beep::beep();
        return;
    }
    UrlOpener::open(url);
}

bool NodeContentInspector::asksToAttachFiles(const QUrl& url)
{
    if (url.scheme().compare(QLatin1String("mailto"), Qt::CaseInsensitive) != 0)
        return false;
    for (const auto& [key, value] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        const QString name = key.trimmed().toLower();
        if (name == QLatin1String("attach") || name == QLatin1String("attachment"))
            return true;
    }
    return false;
}

void NodeContentInspector::clearLink()
{
    editSelectedNode("clearLink(_:)", "Clear Link", [](VQDocument& doc, Node& node) {
        node.url.clear();
        doc.updateNodes({node}, NodeUpdateOperation::link, false);
    });
}

void NodeContentInspector::controlTextDidBeginEditing()
{
    isEditing_ = true;
}

void NodeContentInspector::controlTextDidEndEditing()
{
    if (!isEditing_)
        return;
    isEditing_ = false;
    editSelectedNode({}, "Set Link", [this](VQDocument& doc, Node& node) {
        node.url = linkView_->text().toStdString();
        doc.updateNodes({node}, NodeUpdateOperation::link, false);
    });
}

void NodeContentInspector::editSelectedNode(std::string_view function, const char* label,
                                            const std::function<void(VQDocument&, Node&)>& edit)
{
    const auto doc = function.empty() ? document() : documentOrLog(function);
    std::optional<Node> node = doc ? selectedNode() : std::nullopt;
    if (!node)
        return;
    doc->beginEditingSession(label);
    edit(*doc, *node);
    if (doc->isInEditingSession())
        doc->commitEditingSession();
}

// ---- Typing ----

void NodeContentInspector::textDidBeginEditing()
{
    isEditing_ = true;
}

void NodeContentInspector::textDidChange(EditingTextView* view)
{
    if (!isEditing_)
        return;
    const auto doc = documentOrLog("textDidChange(_:)");
    std::optional<Node> node = doc ? selectedNode() : std::nullopt;
    if (!node)
        return;
    if (view == titleView_) {
        typing_.willChange(*doc, "Change Label");
        node->title = titleView_->toPlainText().toStdString();
        doc->updateNodes({autosizeNode(*node, autosizeKeepCenter)}, NodeUpdateOperation::title, true);
    } else if (view == noteView_) {
        typing_.willChange(*doc, "Change Note");
        node->note = noteView_->toPlainText().toStdString();
        doc->updateNodes({*node}, NodeUpdateOperation::note, true);
    }
}

void NodeContentInspector::textDidEndEditing(EditingTextView* view)
{
    if (!isEditing_)
        return;
    isEditing_ = false;
    const auto doc = documentOrLog("textDidEndEditing(_:)");
    if (!doc)
        return;
    std::optional<Node> node = selectedNode();
    if (view == titleView_ && node) {
        // The final title is written inside the typing's session, so it is undone with it.
        typing_.willChange(*doc, "Change Label");
        node->title = titleView_->toPlainText().toStdString();
        doc->updateNodes({autosizeNode(*node, autosizeKeepCenter)}, NodeUpdateOperation::size, false);
        DocumentLayout(*doc).autolayoutSelectedNodes(false);
        DocumentLayout(*doc).resolveCollisions();
    }
    // A run of typing always ends with its session, even when the selection went away meanwhile.
    if (node || typing_.isActive())
        typing_.commit(*doc);
    removeTypingUndoActions();
}

void NodeContentInspector::cancelOperation()
{
    if (!isEditing_)
        return;
    const auto doc = documentOrLog("cancelOperation(_:)");
    if (!doc)
        return;
    isEditing_ = false;
    typing_.cancel(*doc);
    doc->focusGraphView();
    removeTypingUndoActions();
    // A link typed and abandoned goes back to the stored one.
    sync();
}

bool NodeContentInspector::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == linkView_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
            cancelOperation();
            return true;
        }
    }
    return InspectorController::eventFilter(watched, event);
}

} // namespace velquine
