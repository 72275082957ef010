// The document object: its state, editing sessions with their undo steps, and the project setters.

#include "document/VQDocument.h"

#include "document/DocumentPictures.h"

#include <QUuid>

#include <utility>

#include "layout/VQProjectEdits.h"
#include "platform/Log.h"
#include "model/project/ProjectDifference.h"

namespace velquine {

namespace {

std::string freshHandle()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
}

} // namespace

VQDocument::VQDocument() : uniqueHandle_(freshHandle())
{
    setFileType(std::string(documentType));
}

VQDocument::~VQDocument()
{
    stopWork();
}

void VQDocument::noteChange(std::string_view name)
{
    if (isInEditingSession_) {
        sessionChanged_ = true;
        uncommittedChangesChanged();
        return;
    }
    std::string message = "warning. ";
    message += name;
    message += " func called while not being in an editing session!";
    VQ_LOG(name, message);
}

// ---- Editing sessions ----

void VQDocument::beginEditingSession(const std::string& label)
{
    if (isInEditingSession_)
        return;
    editingLabel_ = label;
    isInEditingSession_ = true;
    sessionChanged_ = false;
    editingOriginalProject_ = project_;
    notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidBeginEditingSession(); });
}

void VQDocument::commitEditingSession()
{
    if (!isInEditingSession_) {
        VQ_LOG("commitEditingSession()", "Can't commit without being in an editing session!");
        return;
    }
    isInEditingSession_ = false;
    sessionChanged_ = false;
    if (UndoManager* undo = undoManager()) {
        // The step keeps only what differs from the project it will run against.
        registerStep(*undo, std::make_shared<const ProjectDifference>(editingOriginalProject_, project_),
                     editingLabel_);
        undo->setActionName(editingLabel_);
    }
    updateChangeCount(DocumentChange::done);
    notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidCommitEditingSession(); });
}

void VQDocument::cancelEditingSession()
{
    if (!isInEditingSession_)
        return;
    isInEditingSession_ = false;
    project_ = editingOriginalProject_;
    settleRestoredPictures(project_);
    if (std::exchange(sessionChanged_, false))
        uncommittedChangesChanged();
    notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidCancelEditingSession(); });
}

void VQDocument::revertJoinedSession(VQProject before)
{
    project_ = std::move(before);
    settleRestoredPictures(project_);
    notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidReplaceProject(); });
}

void VQDocument::registerStep(UndoManager& undo, std::shared_ptr<const ProjectDifference> step,
                              const std::string& actionName)
{
    undo.registerUndo([this, step = std::move(step), actionName] {
        // Rebuilding the earlier project gives the reverse step too, without comparing the two again.
        auto reverse = std::make_shared<ProjectDifference>();
        VQProject earlier = step->earlierFrom(project_, *reverse);
        replaceProject(std::move(earlier), std::move(reverse), actionName);
    });
}

void VQDocument::restoreProject(const VQProject& restored, const std::string& actionName)
{
    VQProject next = restored;
    auto reverse = undoManager() ? std::make_shared<const ProjectDifference>(project_, next) : nullptr;
    replaceProject(std::move(next), std::move(reverse), actionName);
}

void VQDocument::replaceProject(VQProject&& next, std::shared_ptr<const ProjectDifference> reverse,
                                const std::string& actionName)
{
    if (UndoManager* undo = undoManager()) {
        registerStep(*undo, std::move(reverse), actionName);
        undo->setActionName(actionName);
    }
    const UndoManager* undo = undoManager();
    const DocumentChange change = undo && undo->isUndoing()   ? DocumentChange::undone
                                  : undo && undo->isRedoing() ? DocumentChange::redone
                                                              : DocumentChange::done;
    project_ = std::move(next);
    settleRestoredPictures(project_);
    updateChangeCount(change);
    notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidReplaceProject(); });
}

void VQDocument::finishEditing()
{
    if (isInEditingSession_)
        commitEditingSession();
}

// ---- Project setters ----

void VQDocument::setProjectTitle(const std::string& title)
{
    noteChange("projectTitle");
    if (project_.title == title)
        return;
    project_.title = title;
    notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidChangeProjectInfo(); });
}

void VQDocument::setProjectAuthor(const std::string& author)
{
    noteChange("projectAuthor");
    if (project_.author == author)
        return;
    project_.author = author;
    notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidChangeProjectInfo(); });
}

void VQDocument::updateProjectNotes(const std::string& newNotes)
{
    noteChange("updateProjectNotes(newNotes:)");
    project_.notes = newNotes;
    notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidChangeProjectInfo(); });
}

void VQDocument::applyStyleToDocument(const ProjectStyle& style, bool applyShapes, bool applyBorders,
                                      bool autosizeNodes)
{
    noteChange("applyStyleToDocument(style:applyShapes:applyBorders:autosizeNodes:)");
    applyStyle(project_, style, applyShapes, applyBorders, autosizeNodes);
    notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidChangeStyle(); });
}

void VQDocument::setGrid(const Grid& grid)
{
    noteChange("grid");
    project_.grid.type = grid.type;
    project_.grid.size = grid.size;
    notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidChangeStyle(); });
}

void VQDocument::setBackgroundColor(const Color& color)
{
    noteChange("backgroundColor");
    project_.projectStyle.current.backgroundColor = color;
    notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidChangeBackgroundColor(); });
}

void VQDocument::setBaseLayoutOptions(const LayoutOptions& options)
{
    noteChange("baseLayoutOptions");
    project_.baseLayoutOptions = options;
}

void VQDocument::setProjectStyle(ProjectStyle style)
{
    noteChange("projectStyle");
    project_.projectStyle = std::move(style);
}

void VQDocument::setSelectedNodes(const std::vector<Node>& nodes)
{
    project_.setSelectedNodes(nodes);
}

void VQDocument::storeNewNodes(const std::vector<Node>& nodes)
{
    project_.graph.updateNodes(nodes);
}

void VQDocument::removeNodeTrees(const std::vector<Node>& nodes)
{
    project_.graph.removeNodes(nodes);
}

void VQDocument::placeNodes(const std::vector<NodePlacement>& placements)
{
    project_.graph.placeNodes(placements);
}

void VQDocument::overwriteNodes(const std::vector<Node>& nodes)
{
    project_.graph.overwriteNodes(nodes);
}

} // namespace velquine
