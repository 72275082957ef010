// The document object: its state, editing sessions with their undo steps, and the project setters.

#include "document/VQDocument.h"

#include <QUuid>

#include "layout/VQProjectEdits.h"
#include "platform/Heap.h"
#include "platform/Log.h"
#include "model/project/ProjectDifference.h"
#include "platform/RunLoop.h"

namespace velquine {

namespace {

std::string freshHandle()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper().toStdString();
}

} // namespace

VQDocument::VQDocument() : uniqueHandle(freshHandle())
{
    setFileType(std::string(documentType));
}

VQDocument::~VQDocument() = default;

void VQDocument::warnOutsideSession(std::string_view name) const
{
    if (isInEditingSession)
        return;
    std::string message = "warning. ";
    message += name;
    message += " func called while not being in an editing session!";
    VQ_LOG(name, message);
}

// ---- Editing sessions ----

void VQDocument::beginEditingSession(const std::string& label)
{
    if (isInEditingSession)
        return;
    editingLabel = label;
    isInEditingSession = true;
    editingOriginalProject = project;
    notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidBeginEditingSession(); });
}

void VQDocument::commitEditingSession()
{
    if (!isInEditingSession) {
        VQ_LOG("commitEditingSession()", "Can't commit without being in an editing session!");
        return;
    }
    isInEditingSession = false;
    if (UndoManager* undo = undoManager()) {
        registerRestore(*undo, editingOriginalProject, project, editingLabel);
        undo->setActionName(editingLabel);
    }
    updateChangeCount(DocumentChange::done);
    notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidCommitEditingSession(); });
    // What the edit and the views' updates after it worked with goes back once the window is idle.
    releaseFreedMemoryWhenIdle();
}

void VQDocument::cancelEditingSession()
{
    if (!isInEditingSession)
        return;
    isInEditingSession = false;
    project = editingOriginalProject;
    notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidCancelEditingSession(); });
}

void VQDocument::registerRestore(UndoManager& undo, const VQProject& restored, const VQProject& runsOn,
                                 const std::string& actionName)
{
    // The step keeps only what differs from the project it will run against.
    registerStep(undo, std::make_shared<const ProjectDifference>(restored, runsOn), actionName);
}

void VQDocument::registerStep(UndoManager& undo, std::shared_ptr<const ProjectDifference> step,
                              const std::string& actionName)
{
    undo.registerUndo([this, step = std::move(step), actionName] {
        // Rebuilding the earlier project gives the reverse step too, without comparing the two again.
        auto reverse = std::make_shared<ProjectDifference>();
        VQProject earlier = step->earlierFrom(project, *reverse);
        replaceProject(std::move(earlier), std::move(reverse), actionName);
    });
}

void VQDocument::restoreProject(const VQProject& restored, const std::string& actionName)
{
    VQProject next = restored;
    auto reverse = undoManager() ? std::make_shared<const ProjectDifference>(project, next) : nullptr;
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
    project = std::move(next);
    updateChangeCount(change);
    notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidReplaceProject(); });
    releaseFreedMemoryWhenIdle();
}

void VQDocument::finishEditing()
{
    if (isInEditingSession)
        commitEditingSession();
}

// ---- Project setters ----

void VQDocument::setProjectTitle(const std::string& title)
{
    warnOutsideSession("projectTitle");
    if (project.title == title)
        return;
    project.title = title;
    notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidChangeProjectInfo(); });
}

void VQDocument::setProjectAuthor(const std::string& author)
{
    warnOutsideSession("projectAuthor");
    if (project.author == author)
        return;
    project.author = author;
    notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidChangeProjectInfo(); });
}

void VQDocument::updateProjectNotes(const std::string& newNotes)
{
    warnOutsideSession("updateProjectNotes(newNotes:)");
    project.notes = newNotes;
    notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidChangeProjectInfo(); });
}

void VQDocument::applyStyleToDocument(const ProjectStyle& style, bool applyShapes, bool applyBorders,
                                      bool autosizeNodes)
{
    warnOutsideSession("applyStyleToDocument(style:applyShapes:applyBorders:autosizeNodes:)");
    applyStyle(project, style, applyShapes, applyBorders, autosizeNodes);
    notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidChangeStyle(); });
}

void VQDocument::setGrid(const Grid& grid)
{
    warnOutsideSession("grid");
    project.grid.type = grid.type;
    project.grid.size = grid.size;
    notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidChangeStyle(); });
}

void VQDocument::setBackgroundColor(const Color& color)
{
    warnOutsideSession("backgroundColor");
    project.projectStyle.current.backgroundColor = color;
    notifyEventListeners([](VQDocumentEventListener& l) { l.documentDidChangeBackgroundColor(); });
}

// ---- Canvas focus ----

void VQDocument::setFocusGraphViewHandler(std::function<void()> handler)
{
    focusHandler_ = handler ? std::make_shared<std::function<void()>>(std::move(handler)) : nullptr;
}

void VQDocument::focusGraphView()
{
    // The handler is looked up when the call runs, so a document closed in between asks nobody.
    std::weak_ptr<std::function<void()>> handler = focusHandler_;
    RunLoop::post([handler] {
        if (auto h = handler.lock())
            (*h)();
    });
}

} // namespace velquine
