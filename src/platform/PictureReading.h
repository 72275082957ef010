#pragma once

// The editor's side of the picture reader: every picture that comes from outside the program (a map's node
// pictures, a file chosen or dropped, a paste) is decoded in the reader's process (PictureReader), never here.
//
// A reading hands the reader one picture at a time and waits for its answer: the fitted pixels, or the reason it
// refused them. The operating system ends the reader when a picture takes more processor time than its bound and
// refuses it memory past its own; a reader that crashes ends alone. Each such end refuses that picture with a
// sentence for the user, and the next picture gets a new reader. One reader serves all the pictures of one
// reading (or of its share, where a reading shares them among a few readers side by side), so its start is paid
// once; a reading of no pictures starts none.
//
// Nothing here waits for ever: a reading stops at once (within a twentieth of a second) when it is cancelled,
// when stopAll() is called (the program ends), when the wait for one picture passes its time, and when the whole
// reading passes its deadline, which refuses the pictures it has not read.

#include <QSize>
#include <QSizeF>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "picture/PictureDecoding.h"
#include "platform/Base64.h"
#include "platform/Image.h"

namespace velquine {

// What reading one picture came to.
struct PictureRead {
    std::optional<Image> image;   // in the form a node keeps it: fitted into the reading's box
    std::string refusal;          // why there is none, for the user; empty for bytes that are no picture
    QSize stated;                 // the size the picture states; invalid when none
    bool answered = false;        // false when the reading stopped before this picture was read
    double processorSeconds = 0;  // what it took the reader: processor time, and peak memory gained
    std::int64_t grownKB = 0;
};

class PictureReading {
public:
    struct Limits {
        int processorSeconds = 3;
        int memoryMegabytes = 400;
        // The wait for one answer, whatever the reader is doing.
        std::chrono::milliseconds perPicture{15000};
        // The whole reading's; none when zero.
        std::chrono::milliseconds deadline{0};
        // The box the pictures are fitted into, in points.
        QSizeF box{Image::readBox, Image::readBox};
        // How many readers a reading on a thread of its own (start) shares its pictures among, at most.
        int readers = 1;
    };
    using Arrived = std::function<void(std::size_t index, PictureRead read)>;

    // Reads the pictures in order on the calling thread, handing each answer to `arrived` as it comes, until all
    // are read or the reading stops (shouldStop is asked between waits; stopAll() stops it too). Pictures take
    // their pixels from the budget when one is given. The pictures not read when it stops are not handed on;
    // those the deadline leaves are refused.
    static void read(const std::vector<std::shared_ptr<const Bytes>>& pictures, const Limits& limits,
                     PictureBudget* budget, const Arrived& arrived, const std::function<bool()>& shouldStop = {});
    // One picture, read at once on the calling thread; on a long work's worker its cancel stops the reading.
    static PictureRead readOne(const Bytes& picture, PictureBudget* budget = nullptr);
    // The pictures, each answer in its place; on the main thread the user waits (LongWork, titled what) with a way
    // to cancel, which leaves the pictures not read by then unanswered.
    static std::vector<PictureRead> readWaiting(const std::vector<std::shared_ptr<const Bytes>>& pictures,
                                                const std::string& what);

    // The same on threads of their own, one for each reader (Limits::readers), the answers handed on there.
    static std::shared_ptr<PictureReading> start(std::vector<std::shared_ptr<const Bytes>> pictures, Limits limits,
                                                 Arrived arrived);
    ~PictureReading();
    PictureReading(const PictureReading&) = delete;
    PictureReading& operator=(const PictureReading&) = delete;
    // Stops the reading at once: its reader is ended and no more answers come.
    void cancel();
    // Waits until every answer has come or the reading stopped (true), or the time has passed (false).
    bool waitUntilDone(std::chrono::milliseconds most);
    bool done() const;

    // Stops every reading under way: the program ends. Readings started afterwards read.
    static void stopAll();
    // The reader's program: the one VELQUINE_PICTURE_READER names, else the one beside this program, where it is
    // installed, or where the build made it.
    static std::string readerPath();
    // A reader program to use instead (a test's); empty for the usual one.
    static void setReaderPath(std::string path);

    // The sentences of ends that are not the reader's own refusals.
    static std::string crashed();
    static std::string notStarted();
    static std::string pastDeadline(std::chrono::milliseconds deadline);

private:
    // What the reading's thread shares with its owner, which may let go of it first.
    struct State {
        std::atomic<bool> cancelled{false};
        int running = 0; // the threads still reading
        std::mutex mutex;
        std::condition_variable finished;
    };
    PictureReading() = default;

    std::shared_ptr<State> state_ = std::make_shared<State>();
    std::vector<std::thread> threads_;
};

} // namespace velquine
