#include "platform/layer/Animator.h"

#include <QAbstractAnimation>
#include <QCoreApplication>

#include <algorithm>
#include <chrono>

#include "platform/layer/Layer.h"

namespace velquine {

// Ticks on every frame of Qt's own animations (the scroll view's animated scrolls among them), in the same
// timer event, so that a frame in which both move is painted once.
class Animator::FrameClock : public QAbstractAnimation {
public:
    FrameClock(Animator& animator, QObject* parent) : QAbstractAnimation(parent), animator_(animator) {}
    int duration() const override { return -1; }

    void begin()
    {
        // Starting updates the time at once; the first frame is the next one.
        starting_ = true;
        start();
        starting_ = false;
    }

protected:
    void updateCurrentTime(int) override
    {
        if (!starting_)
            animator_.tick();
    }

private:
    Animator& animator_;
    bool starting_ = false;
};

Animator& Animator::shared()
{
    static Animator animator;
    return animator;
}

double Animator::now() const
{
    if (timeSource_)
        return timeSource_();
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void Animator::setTimeSource(std::function<double()> source)
{
    timeSource_ = std::move(source);
    if (timeSource_ && clock_)
        clock_->stop();
    // Frames are counted on the new clock from now on.
    frameTime_ = now();
}

void Animator::add(const std::shared_ptr<Layer>& layer)
{
    if (!layer)
        return;
    layers_[layer.get()] = layer;
    startTimer();
}

void Animator::startTimer()
{
    if (timeSource_ || !QCoreApplication::instance())
        return;
    if (!clock_)
        clock_ = new FrameClock(*this, QCoreApplication::instance());
    if (clock_->state() != QAbstractAnimation::Running)
        clock_->begin();
}

void Animator::tick()
{
    // The layers animating as the frame starts: those whose animations end in it leave the set, those that start
    // animating while it is worked out take their first step in the next frame. The set itself is kept, not made
    // again each frame (thousands of lines may glide at once).
    std::vector<std::shared_ptr<Layer>> alive;
    alive.reserve(layers_.size());
    for (auto it = layers_.begin(); it != layers_.end();) {
        if (auto layer = it->second.lock()) {
            alive.push_back(std::move(layer));
            ++it;
        } else {
            it = layers_.erase(it);
        }
    }
    // Where each layer was drawn since the last frame is reported before any of them moves on (a layer's area
    // follows its animating ancestors too). A host that has had enough areas repaints everything and listens no
    // more: the areas of the layers after that are not worked out, however many thousands animate.
    for (const auto& layer : alive)
        layer->reportDrawnArea();
    frameTime_ = now();
    for (const auto& layer : alive)
        if (!layer->stepAnimations() && !layer->hasAnimations())
            layers_.erase(layer.get());
    if (layers_.empty() && clock_)
        clock_->stop();
}

Animator::FrozenTime::FrozenTime()
{
    Animator& animator = shared();
    if (animator.freezes_++ == 0)
        animator.frozenTime_ = animator.frameTime();
}

Animator::FrozenTime::~FrozenTime()
{
    Animator& animator = shared();
    if (--animator.freezes_ == 0)
        animator.frozenTime_.reset();
}

Animator::HeldValues::HeldValues()
{
    Animator& animator = shared();
    if (animator.holds_++ == 0)
        animator.holdingThread_ = std::this_thread::get_id();
}

Animator::HeldValues::~HeldValues() { --shared().holds_; }

std::size_t Animator::animatingLayerCount() const
{
    return std::size_t(std::count_if(layers_.begin(), layers_.end(),
                                     [](const auto& entry) { return !entry.second.expired(); }));
}

} // namespace velquine
