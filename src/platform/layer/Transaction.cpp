#include "platform/layer/Transaction.h"

#include <algorithm>

#include "platform/layer/Layer.h"

namespace velquine {

namespace {

struct Frame {
    std::optional<bool> disableActions;
    std::optional<double> duration;
};

std::vector<Frame>& stack()
{
    static std::vector<Frame> frames;
    return frames;
}

std::vector<std::weak_ptr<Layer>>& pendingLayouts()
{
    static std::vector<std::weak_ptr<Layer>> layers;
    return layers;
}

} // namespace

Transaction::Transaction() { stack().push_back({}); }

Transaction::Transaction(bool disable) { stack().push_back({disable, std::nullopt}); }

Transaction::~Transaction()
{
    if (stack().size() == 1)
        flushLayouts();
    stack().pop_back();
}

void Transaction::setDisableActions(bool disable)
{
    if (!stack().empty())
        stack().back().disableActions = disable;
}

bool Transaction::disableActions()
{
    for (auto it = stack().rbegin(); it != stack().rend(); ++it)
        if (it->disableActions)
            return *it->disableActions;
    return false;
}

void Transaction::setAnimationDuration(double seconds)
{
    if (!stack().empty())
        stack().back().duration = seconds;
}

double Transaction::animationDuration()
{
    for (auto it = stack().rbegin(); it != stack().rend(); ++it)
        if (it->duration)
            return *it->duration;
    return defaultAnimationDuration;
}

int Transaction::depth() { return int(stack().size()); }

void Transaction::scheduleLayout(const std::shared_ptr<Layer>& layer)
{
    if (layer) {
        pendingLayouts().push_back(layer);
        layer->layoutScheduled_ = true;
    }
}

void Transaction::flushLayouts()
{
    // A layout may ask for more layout; a bounded number of rounds keeps a layer that always asks from
    // hanging the commit.
    for (int round = 0; round < 8 && !pendingLayouts().empty(); ++round) {
        std::vector<std::weak_ptr<Layer>> layers;
        layers.swap(pendingLayouts());
        for (const auto& weak : layers) {
            if (auto layer = weak.lock()) {
                layer->layoutScheduled_ = false;
                layer->layoutIfNeeded();
            }
        }
    }
    for (const auto& weak : pendingLayouts())
        if (auto layer = weak.lock())
            layer->layoutScheduled_ = false;
    pendingLayouts().clear();
}

std::vector<std::weak_ptr<Layer>> Transaction::takeScheduledLayouts()
{
    std::vector<std::weak_ptr<Layer>> layers;
    layers.swap(pendingLayouts());
    for (const auto& weak : layers)
        if (auto layer = weak.lock())
            layer->layoutScheduled_ = false;
    return layers;
}

void Transaction::layOut(const std::vector<std::weak_ptr<Layer>>& layers, const std::function<void()>& betweenRuns)
{
    // The last asked first: a layer's layout also lays out its sublayers that ask, so the layers made first (the
    // upper ones of the tree) would take all the rest into their run.
    constexpr std::size_t run = 256;
    for (std::size_t end = layers.size(); end > 0;) {
        const std::size_t begin = end - std::min(end, run);
        {
            // What these layouts ask for in turn is laid out by this commit.
            Transaction transaction;
            for (std::size_t i = end; i-- > begin;)
                if (auto layer = layers[i].lock())
                    layer->layoutIfNeeded();
        }
        end = begin;
        if (betweenRuns)
            betweenRuns();
    }
}

} // namespace velquine
