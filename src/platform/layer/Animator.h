#pragma once

// Drives the implicit animations of layers: holds the layers whose presentation values are animating, gives
// the time they are evaluated at, and on every frame reports their areas for repaint and ends the finished
// animations. Presentation values are those of the last frame: between two frames they stay as they are, so
// what a paint draws is what the frame reported, and the next frame reports that area again as it moves on.
// The time source can be replaced (tests step it by hand and call tick()).

#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

#include "platform/Geometry.h"
#include "platform/layer/LayerAction.h"

namespace velquine {

class Layer;

class Animator {
public:
    static Animator& shared();

    // Seconds on a monotonic clock (or the replaced time source).
    double now() const;
    // The instant presentation values are worked out at: that of the last frame, or the time a FrozenTime
    // holds.
    double frameTime() const { return frozenTime_ ? *frozenTime_ : frameTime_; }
    // Replaces the time source; an empty function restores the clock. While replaced, no frame timer runs.
    void setTimeSource(std::function<double()> source);

    // A layer with a new animation; starts the frame timer when needed.
    void add(const std::shared_ptr<Layer>& layer);
    // Advances every animating layer to now(): each reports where it was drawn, at the last frame's time, and
    // where it is at the new one.
    void tick();
    std::size_t animatingLayerCount() const;
    // Called as each frame starts, before any layer reports where it was drawn: a host that repaints all it
    // shows in this frame anyway (a scroll moves it by more than its size) says so first, and thousands of
    // moving layers need not work out which parts of it they cover. Returns a key for removing it.
    int addFrameStartHandler(std::function<void()> handler);
    void removeFrameStartHandler(int key);
    bool isRunning() const { return !layers_.empty(); }
    // Takes a layer's animations, all ended. Ended ones are destroyed a few thousand at a time, each slice in a
    // turn of the event loop of its own: the frame in which thousands of lines stop gliding does not free all their
    // paths. (Taken whole: a path is copied, not moved, into a list of single animations.)
    void retire(std::vector<LayerAnimation>&& animations);
    std::size_t retiredCount() const { return retiredCount_; }

    // While one lives, frameTime() stays at the time it was made, so that every animation is seen at one instant:
    // paints of one tree on several threads at once show one frame, and what a paint's preparation worked out
    // from presentation values still holds for it. Made and ended on the thread that owns the layers; nested
    // ones keep the outermost time.
    class FrozenTime {
    public:
        FrozenTime();
        ~FrozenTime();
        FrozenTime(const FrozenTime&) = delete;
        FrozenTime& operator=(const FrozenTime&) = delete;
    };

    // While one lives, presentation values worked out on the thread that made it are kept with their
    // animations for the instant they were worked out at, and read back by any thread asking for that instant:
    // the preparation of paints of one frame on several threads works each out once for all of them. Made on
    // the thread that owns the layers while no other thread reads them.
    class HeldValues {
    public:
        HeldValues();
        ~HeldValues();
        HeldValues(const HeldValues&) = delete;
        HeldValues& operator=(const HeldValues&) = delete;
    };
    // While one lives on a thread running a job for the thread that holds values (a part of a paint's
    // preparation, which reads and writes only layers no other job of it touches), the values that job works
    // out are kept as well: the jobs after it, on any thread, read them back instead of working them out again.
    class HeldForJob {
    public:
        HeldForJob();
        ~HeldForJob();
        HeldForJob(const HeldForJob&) = delete;
        HeldForJob& operator=(const HeldForJob&) = delete;
    };
    // Whether the calling thread may keep presentation values now.
    bool holdsValues() const
    {
        return holds_ > 0 && (std::this_thread::get_id() == holdingThread_ || holdsForJob());
    }

private:
    class FrameClock;

    Animator() = default;
    static bool holdsForJob();
    void startTimer();
    void queueRelease();
    void releaseRetired();

    std::function<double()> timeSource_;
    std::optional<double> frozenTime_;
    double frameTime_ = 0;
    int freezes_ = 0;
    int holds_ = 0;
    std::thread::id holdingThread_;
    // Each layer once (it knows whether it is listed), in a list a frame reads in order: where thousands of lines
    // glide, what a layer's step reads is asked for from memory a few layers ahead.
    struct Listed {
        Layer* layer;
        std::weak_ptr<Layer> owner;
    };
    std::vector<Listed> layers_;
    std::vector<std::pair<int, std::function<void()>>> frameStartHandlers_;
    int lastHandlerKey_ = 0;
    // The frame timer: Qt's animation timer, which the scroll view's animated scrolls run on too.
    FrameClock* clock_ = nullptr;
    std::vector<std::vector<LayerAnimation>> retired_;
    std::size_t retiredCount_ = 0;
    bool releaseQueued_ = false;
};

} // namespace velquine
