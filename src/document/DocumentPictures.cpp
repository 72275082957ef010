#include "document/DocumentPictures.h"

#include <algorithm>

#include "document/VQDocument.h"
#include "document/VQDocumentFiles.h"
#include "model/project/VQProject.h"
#include "platform/Log.h"
#include "platform/LongWork.h"
#include "platform/RunLoop.h"

namespace velquine {

static_assert(Node::maxImageWidth == Image::readBox && Node::maxImageHeight == Image::readBox,
              "pictures are read into the box a node keeps them in");

DocumentPictures::DocumentPictures(VQDocument& document, std::vector<Item> items)
    : document_(document), items_(std::move(items))
{
}

DocumentPictures::~DocumentPictures()
{
    stop();
}

std::shared_ptr<DocumentPictures> DocumentPictures::start(VQDocument& document, const VQProject& project)
{
    std::vector<Item> items;
    for (const Node& node : project.graph.storedNodes())
        if (node.picture() && node.picture()->state() == NodePicture::State::beingRead)
            items.push_back({node.uid, node.picture(), node.title});
    if (items.empty())
        return nullptr;
    // Read in the order of the nodes, so that the budget refuses the same pictures at every open.
    std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) { return a.uid < b.uid; });
    std::shared_ptr<DocumentPictures> pictures(new DocumentPictures(document, std::move(items)));
    std::vector<std::shared_ptr<const Bytes>> bytes;
    for (const Item& item : pictures->items_)
        bytes.push_back(item.picture->bytes());
    PictureReading::Limits limits;
    limits.deadline = mapDeadline;
    limits.readers = readers;
    std::weak_ptr<DocumentPictures> weak = pictures;
    pictures->reading_ = PictureReading::start(std::move(bytes), limits, [weak](std::size_t index, PictureRead read) {
        if (const std::shared_ptr<DocumentPictures> self = weak.lock())
            self->arrived(index, std::move(read));
    });
    return pictures;
}

void DocumentPictures::arrived(std::size_t index, PictureRead read)
{
    const std::lock_guard lock(mutex_);
    answers_.emplace_back(index, std::move(read));
    if (!later_)
        return;
    // Put in on the main thread, outside long work: an open's worker may still be reading the document.
    RunLoop::post([weak = weak_from_this()] {
        LongWork::whenNotBusy([weak] {
            if (const std::shared_ptr<DocumentPictures> self = weak.lock())
                self->installAnswers();
        });
    });
}

std::vector<SettledPicture> DocumentPictures::takeAnswers()
{
    std::vector<SettledPicture> settledPictures;
    const std::lock_guard lock(mutex_);
    for (auto& [index, read] : answers_) {
        const Item& item = items_[index];
        std::shared_ptr<const NodePicture> to = settled(*item.picture, read);
        if (to->state() == NodePicture::State::notShown) {
            VQ_LOG("DocumentPictures", "the picture of node " + std::to_string(item.uid) + " is not shown: " + to->reason());
            notShown_.emplace_back(item.title, to->reason());
        }
        settledPictures.push_back({item.uid, item.picture, std::move(to)});
    }
    answered_ += answers_.size();
    answers_.clear();
    return settledPictures;
}

bool DocumentPictures::waitFor(VQProject& project, std::chrono::milliseconds most)
{
    const auto until = std::chrono::steady_clock::now() + most;
    while (!reading_->waitUntilDone(std::chrono::milliseconds(50))) {
        if (LongWork::cancelled()) {
            stop();
            throw LongWork::Cancelled();
        }
        if (std::chrono::steady_clock::now() >= until)
            break;
    }
    for (const SettledPicture& picture : takeAnswers()) {
        const Node* node = project.graph.findNode(picture.uid);
        if (!node || node->picture() != picture.from)
            continue;
        Node changed = *node;
        changed.setPicture(picture.to);
        project.graph.setNode(changed, picture.uid);
    }
    const std::lock_guard lock(mutex_);
    return answered_ == items_.size();
}

void DocumentPictures::answerLater()
{
    const std::lock_guard lock(mutex_);
    later_ = true;
    if (!answers_.empty())
        RunLoop::post([weak = weak_from_this()] {
            LongWork::whenNotBusy([weak] {
                if (const std::shared_ptr<DocumentPictures> self = weak.lock())
                    self->installAnswers();
            });
        });
}

void DocumentPictures::installAnswers()
{
    const std::vector<SettledPicture> settledPictures = takeAnswers();
    if (!settledPictures.empty())
        document_.settlePictures(settledPictures);
    std::unique_lock lock(mutex_);
    if (answered_ < items_.size() || std::exchange(reported_, true))
        return;
    lock.unlock();
    const std::string text = report();
    if (!text.empty())
        document_.reportReadWarning(text);
}

void DocumentPictures::stop()
{
    if (reading_)
        reading_->cancel();
}

bool DocumentPictures::done() const
{
    const std::lock_guard lock(mutex_);
    return answered_ == items_.size() || !reading_ || (reading_->done() && answers_.empty());
}

std::string DocumentPictures::report() const
{
    const std::lock_guard lock(mutex_);
    return VQDocumentFiles::picturesNotShownMessage(notShown_);
}

std::shared_ptr<const NodePicture> DocumentPictures::settled(const NodePicture& from, const PictureRead& read)
{
    if (read.image)
        return std::make_shared<const NodePicture>(*read.image);
    std::string reason = read.refusal;
    if (reason.empty() && read.answered)
        reason = VQDocumentFiles::notAPictureMessage;
    return std::make_shared<const NodePicture>(from.bytes(), NodePicture::State::notShown, std::move(reason));
}

void DocumentPictures::readNow(std::vector<Node>& nodes)
{
    std::vector<std::size_t> holders;
    std::vector<std::shared_ptr<const Bytes>> bytes;
    for (std::size_t i = 0; i < nodes.size(); ++i)
        if (const auto& picture = nodes[i].picture(); picture && picture->state() == NodePicture::State::beingRead) {
            holders.push_back(i);
            bytes.push_back(picture->bytes());
        }
    if (holders.empty())
        return;
    const std::vector<PictureRead> reads = PictureReading::readWaiting(
        bytes, holders.size() == 1 ? "Reading the picture\u2026" : "Reading the pictures\u2026");
    for (std::size_t i = 0; i < holders.size(); ++i) {
        Node& node = nodes[holders[i]];
        node.setPicture(settled(*node.picture(), reads[i]));
    }
}

} // namespace velquine
