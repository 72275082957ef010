#pragma once

// The pictures of a map that come as bytes, read into images apart from the editor (PictureReading).
//
// At the open, the worker that reads the map hands its pictures to a picture reader and waits a moment for them:
// those read by then are in the map the window first shows, so an ordinary map opens whole. The others are read
// beside the window and shown as they come, each without an undo step or a change counted (the map is as its file
// has it). The whole map's reading has a deadline, past which the pictures not read are not shown; once every
// picture is answered, one report names those not shown, which stay in the map as their bytes. Closing the
// document, cancelling its open and the program's end stop the reading at once.
//
// A paste reads the pictures of the nodes it brings before they are placed (readNow), the user waiting.

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "model/graph/Node.h"
#include "platform/PictureReading.h"

namespace velquine {

class VQDocument;
struct VQProject;

// A picture that was being read, and what reading it came to, for the node that held it.
struct SettledPicture {
    std::int64_t uid = 0;
    std::shared_ptr<const NodePicture> from;
    std::shared_ptr<const NodePicture> to;
};

class DocumentPictures : public std::enable_shared_from_this<DocumentPictures> {
public:
    // How long an open waits for its pictures before the window shows, and how long a map's pictures may take
    // to read together.
    static constexpr std::chrono::milliseconds openWait{2000};
    static constexpr std::chrono::milliseconds mapDeadline{8000};
    // How many reader processes read a map's pictures side by side; each takes its share of the map's budget.
    static constexpr int readers = 2;

    // Starts reading the pictures of the project's nodes that are being read; null when there are none. The
    // document owns what it returns.
    static std::shared_ptr<DocumentPictures> start(VQDocument& document, const VQProject& project);
    ~DocumentPictures();

    // Waits on the calling thread until every picture is answered or `most` has passed, and puts the answers
    // into the project's nodes; true when every picture is answered. The user's cancel of the long work it runs
    // in stops the reading and throws LongWork::Cancelled.
    bool waitFor(VQProject& project, std::chrono::milliseconds most);
    // From now on the answers go to the document on the main thread, once no long work is under way.
    void answerLater();
    // Stops the reading: no more answers come.
    void stop();
    bool done() const;
    // The sentence that names the pictures answered so far that are not shown; empty when all are.
    std::string report() const;

    // The pictures being read of the nodes, read now on the calling thread and put into them. On the main
    // thread the user waits with a way to cancel; pictures not read then stay as their bytes.
    static void readNow(std::vector<Node>& nodes);
    // What a picture read, refused, or stopped before its answer, becomes in its node.
    static std::shared_ptr<const NodePicture> settled(const NodePicture& from, const PictureRead& read);

private:
    struct Item {
        std::int64_t uid;
        std::shared_ptr<const NodePicture> picture;
        std::string title;
    };
    DocumentPictures(VQDocument& document, std::vector<Item> items);
    void arrived(std::size_t index, PictureRead read);
    std::vector<SettledPicture> takeAnswers();
    void installAnswers();

    VQDocument& document_; // which owns this
    const std::vector<Item> items_;
    std::shared_ptr<PictureReading> reading_;
    mutable std::mutex mutex_;
    std::vector<std::pair<std::size_t, PictureRead>> answers_; // not yet put into nodes
    std::size_t answered_ = 0;
    bool later_ = false;
    bool reported_ = false;
    std::vector<std::pair<std::string, std::string>> notShown_; // title, reason
};

} // namespace velquine
