#pragma once

// The read-only information pane: the facts of the one selected node as a block of monospaced text (title,
// identifier, type, position, size, parent, children, creation and modification times, affinities). It
// follows the document while shown and rebuilds the text whenever the project, the selection or a node
// changes. With no node selected the text is empty; with several it keeps what it showed.

#include <string>

#include <QLocale>

#include "document/VQDocumentEventListener.h"
#include "inspector/InspectorController.h"

class QLabel;
class QPlainTextEdit;

namespace velquine {

class Graph;

class ObjectInfoInspector : public InspectorController, public VQDocumentEventListener {
    Q_OBJECT
public:
    explicit ObjectInfoInspector(QWidget* parent = nullptr);

    void inspectorDidShow() override;
    void inspectorDidHide() override;

    // Rebuilds the text from the document's selection.
    void sync();

    // The eleven lines shown for the node, each ending in a line feed; times in the locale's short date and
    // a time with seconds, in the local time zone.
    static std::string informationText(const Graph& graph, const Node& node, const QLocale& locale = QLocale());
    // The list form of the children's titles: ["A", "B \"quoted\""].
    static std::string quotedList(const std::vector<std::string>& texts);

    QWidget* containerView() const { return containerView_; }
    QPlainTextEdit* infoTextView() const { return infoTextView_; }
    QLabel* mouseLocationLabel() const { return mouseLocationLabel_; }

    void documentDidReplaceProject() override { sync(); }
    void documentDidCancelEditingSession() override { sync(); }
    void documentDidCommitEditingSession() override { sync(); }
    void documentDidChangeStyle() override { sync(); }
    void documentDidUpdateNodes(const std::vector<Node>&, NodeUpdateOperation) override { sync(); }
    void documentDidChangeSelection() override { sync(); }
    void documentDidEndEditingNodeTitle() override { sync(); }

protected:
    void viewDidLoad() override;

private:
    QWidget* containerView_ = nullptr;
    QPlainTextEdit* infoTextView_ = nullptr;
    QLabel* mouseLocationLabel_ = nullptr;
};

} // namespace velquine
