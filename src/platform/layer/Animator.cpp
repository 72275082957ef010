#include "platform/layer/Animator.h"

#include <QCoreApplication>
#include <QTimer>

#include <algorithm>
#include <chrono>

#include "platform/layer/Layer.h"

namespace velquine {

Animator& Animator::shared()
{
    static Animator animator;
    return animator;
}

double Animator::now() const
{
    if (frozenTime_)
        return *frozenTime_;
    if (timeSource_)
        return timeSource_();
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void Animator::setTimeSource(std::function<double()> source)
{
    timeSource_ = std::move(source);
    if (timeSource_ && timer_)
        timer_->stop();
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
    if (!timer_) {
        timer_ = new QTimer(QCoreApplication::instance());
        timer_->setInterval(frameInterval);
        QObject::connect(timer_, &QTimer::timeout, [this] { tick(); });
    }
    if (!timer_->isActive())
        timer_->start();
}

void Animator::tick()
{
    std::unordered_map<const Layer*, std::weak_ptr<Layer>> layers;
    layers.swap(layers_);
    for (const auto& [address, weak] : layers) {
        auto layer = weak.lock();
        if (layer && layer->stepAnimations())
            layers_.emplace(address, weak);
    }
    if (layers_.empty() && timer_)
        timer_->stop();
}

Animator::FrozenTime::FrozenTime()
{
    Animator& animator = shared();
    if (animator.freezes_++ == 0)
        animator.frozenTime_ = animator.now();
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
