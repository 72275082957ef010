#include "platform/layer/Animator.h"

#include <QAbstractAnimation>
#include <QCoreApplication>
#include <QTimer>

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
    if (!layer->listedForFrames_) {
        layer->listedForFrames_ = true;
        layers_.push_back({layer.get(), layer});
    }
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

void Animator::retire(std::vector<LayerAnimation>&& animations)
{
    retiredCount_ += animations.size();
    retired_.push_back(std::move(animations));
    if (!releaseQueued_)
        queueRelease();
}

void Animator::queueRelease()
{
    QCoreApplication* const app = QCoreApplication::instance();
    if (!app) {
        retired_.clear();
        retiredCount_ = 0;
        return;
    }
    releaseQueued_ = true;
    QTimer::singleShot(0, app, [this] { releaseRetired(); });
}

void Animator::releaseRetired()
{
    // About a millisecond's worth of paths freed.
    constexpr std::size_t slice = 2048;
    releaseQueued_ = false;
    std::size_t released = 0;
    while (!retired_.empty() && released < slice) {
        released += retired_.back().size();
        retired_.pop_back();
    }
    retiredCount_ -= std::min(retiredCount_, released);
    if (retired_.empty())
        retired_.shrink_to_fit();
    else
        queueRelease();
}

int Animator::addFrameStartHandler(std::function<void()> handler)
{
    frameStartHandlers_.emplace_back(++lastHandlerKey_, std::move(handler));
    return lastHandlerKey_;
}

void Animator::removeFrameStartHandler(int key)
{
    std::erase_if(frameStartHandlers_, [key](const auto& entry) { return entry.first == key; });
}

void Animator::tick()
{
    // A handler may remove itself or another.
    const auto handlers = frameStartHandlers_;
    for (const auto& entry : handlers)
        entry.second();
    // The layers animating as the frame starts: those whose animations end in it leave the list, those that
    // start animating while it is worked out take their first step in the next frame.
    std::vector<std::shared_ptr<Layer>> alive;
    alive.reserve(layers_.size());
    for (const Listed& listed : layers_)
        if (auto layer = listed.owner.lock())
            alive.push_back(std::move(layer));
    const std::size_t listedBefore = layers_.size();
    // Where each layer was drawn since the last frame is reported before any of them moves on (a layer's area
    // follows its animating ancestors too). A host that has had enough areas repaints everything and listens no
    // more: the areas of the layers after that are not worked out, however many thousands animate.
    for (const auto& layer : alive)
        layer->reportDrawnArea();
    frameTime_ = now();
    std::vector<Listed> still;
    still.reserve(alive.size());
    for (std::size_t i = 0; i < alive.size(); ++i) {
        Layer& layer = *alive[i];
        if (layer.stepAnimations() || layer.hasAnimations())
            still.push_back({&layer, alive[i]});
        else
            layer.listedForFrames_ = false;
    }
    // Those that started animating while the frame was worked out were added after the ones it stepped.
    for (std::size_t i = listedBefore; i < layers_.size(); ++i)
        still.push_back(std::move(layers_[i]));
    layers_ = std::move(still);
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

namespace {
thread_local int jobHolds = 0;
} // namespace

Animator::HeldForJob::HeldForJob() { ++jobHolds; }

Animator::HeldForJob::~HeldForJob() { --jobHolds; }

bool Animator::holdsForJob() { return jobHolds > 0; }

std::size_t Animator::animatingLayerCount() const
{
    return std::size_t(std::count_if(layers_.begin(), layers_.end(),
                                     [](const Listed& entry) { return !entry.owner.expired(); }));
}

} // namespace velquine
