// The pictures of the document's nodes that come in after the map: read apart from the editor and put into the
// nodes that hold them, without an undo step.

#include "document/DocumentPictures.h"
#include "document/VQDocument.h"

namespace velquine {

void VQDocument::readPicturesAtOpen()
{
    pictures_ = DocumentPictures::start(*this, project_);
    if (!pictures_)
        return;
    if (pictures_->waitFor(project_, DocumentPictures::openWait)) {
        setReadWarning(pictures_->report());
        pictures_.reset();
        return;
    }
    pictures_->answerLater();
}

void VQDocument::readUnreadPictures()
{
    pictures_ = DocumentPictures::start(*this, project_);
    if (pictures_)
        pictures_->answerLater();
}

bool VQDocument::isReadingPictures() const
{
    return pictures_ && !pictures_->done();
}

void VQDocument::stopWork()
{
    if (pictures_)
        pictures_->stop();
}

void VQDocument::settlePictures(const std::vector<SettledPicture>& settled)
{
    std::vector<Node> changed;
    for (const SettledPicture& picture : settled) {
        settledPictures_[picture.from.get()] = {picture.from, picture.to};
        for (VQProject* project : {&project_, isInEditingSession_ ? &editingOriginalProject_ : nullptr}) {
            const Node* node = project ? project->graph.findNode(picture.uid) : nullptr;
            if (!node || node->picture() != picture.from)
                continue;
            Node read = *node;
            read.setPicture(picture.to);
            project->graph.setNode(read, picture.uid);
            if (project == &project_)
                changed.push_back(std::move(read));
        }
    }
    if (!changed.empty())
        notifyEventListeners([changed](VQDocumentEventListener& l) { l.documentDidReadPictures(changed); });
}

void VQDocument::settleRestoredPictures(VQProject& project)
{
    if (settledPictures_.empty())
        return;
    std::vector<Node> read;
    for (const Node& node : project.graph.storedNodes()) {
        if (!node.picture() || node.picture()->state() != NodePicture::State::beingRead)
            continue;
        const auto found = settledPictures_.find(node.picture().get());
        if (found == settledPictures_.end())
            continue;
        Node settled = node;
        settled.setPicture(found->second.second);
        read.push_back(std::move(settled));
    }
    for (const Node& node : read)
        project.graph.setNode(node, node.uid);
}

} // namespace velquine
