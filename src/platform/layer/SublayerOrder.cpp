#include "platform/layer/SublayerOrder.h"

#include <algorithm>
#include <optional>
#include <unordered_set>

#include "platform/layer/Layer.h"
#include "platform/layer/LayerRenderer.h"

namespace velquine {

void SublayerOrder::file(const std::vector<std::shared_ptr<Layer>>& sublayers)
{
    if (!valid_ || (!waiting_.empty() && !mergeWaiting()))
        rebuild(sublayers);
}

const std::vector<Layer*>& SublayerOrder::read(const std::vector<std::shared_ptr<Layer>>& sublayers)
{
    file(sublayers);
    if (!orderCurrent_) {
        order_.clear();
        order_.reserve(entries_.size());
        for (const Entry& entry : entries_)
            order_.push_back(entry.layer);
        orderCurrent_ = true;
    }
    return order_;
}

void SublayerOrder::rebuild(const std::vector<std::shared_ptr<Layer>>& sublayers)
{
    // Sorted on copies of the depths with the place as stamp: no layer is visited per comparison.
    entries_.clear();
    entries_.reserve(sublayers.size());
    for (std::size_t i = 0; i < sublayers.size(); ++i) {
        Layer& sublayer = *sublayers[i];
        sublayer.orderSlot_ = {i, sublayer.zPosition_, true, false, sublayer.orderSlot_.runKey};
        entries_.push_back({sublayer.zPosition_, i, &sublayer});
    }
    std::sort(entries_.begin(), entries_.end(), less);
    nextStamp_ = sublayers.size();
    waiting_.clear();
    valid_ = true;
    orderCurrent_ = false;
}

bool SublayerOrder::mergeWaiting()
{
    std::vector<Entry> stale, fresh;
    fresh.reserve(waiting_.size());
    for (Layer* sublayer : waiting_) {
        Layer::OrderSlot& slot = sublayer->orderSlot_;
        slot.waiting = false;
        // A depth changed and changed back keeps its entry.
        if (slot.filed && slot.filedZ == sublayer->zPosition_)
            continue;
        if (slot.filed)
            stale.push_back({slot.filedZ, slot.stamp, sublayer});
        slot.filedZ = sublayer->zPosition_;
        slot.filed = true;
        fresh.push_back({slot.filedZ, slot.stamp, sublayer});
    }
    waiting_.clear();
    if (fresh.empty())
        return true;
    orderCurrent_ = false;
    std::sort(stale.begin(), stale.end(), less);
    std::sort(fresh.begin(), fresh.end(), less);
    // A few among very many are looked up and the entries between them moved in blocks.
    if ((stale.size() + fresh.size()) * 64 < entries_.size())
        return replaceFew(stale, fresh);
    // One pass: the stale entries dropped (stamps are unique, so keys are), the fresh ones merged in.
    scratch_.clear();
    scratch_.reserve(entries_.size() - stale.size() + fresh.size());
    auto s = stale.begin();
    auto f = fresh.begin();
    for (const Entry& entry : entries_) {
        if (s != stale.end() && s->layer == entry.layer && s->z == entry.z && s->stamp == entry.stamp) {
            ++s;
            continue;
        }
        for (; f != fresh.end() && less(*f, entry); ++f)
            scratch_.push_back(*f);
        scratch_.push_back(entry);
    }
    scratch_.insert(scratch_.end(), f, fresh.end());
    entries_.swap(scratch_);
    return s == stale.end();
}

bool SublayerOrder::replaceFew(const std::vector<Entry>& stale, const std::vector<Entry>& fresh)
{
    // The stale entries out, the entries after each moved down over it.
    std::size_t kept = entries_.size();
    if (!stale.empty()) {
        std::vector<std::size_t> places;
        places.reserve(stale.size());
        for (const Entry& entry : stale) {
            const auto at = std::lower_bound(entries_.begin(), entries_.end(), entry, less);
            if (at == entries_.end() || at->layer != entry.layer || at->stamp != entry.stamp)
                return false;
            places.push_back(std::size_t(at - entries_.begin()));
        }
        std::size_t write = places.front();
        for (std::size_t i = 0; i < places.size(); ++i) {
            const std::size_t from = places[i] + 1;
            const std::size_t to = i + 1 < places.size() ? places[i + 1] : entries_.size();
            std::move(entries_.begin() + std::ptrdiff_t(from), entries_.begin() + std::ptrdiff_t(to),
                      entries_.begin() + std::ptrdiff_t(write));
            write += to - from;
        }
        kept = write;
    }
    // The fresh ones in, from the last: the entries after each moved up to make room.
    entries_.resize(kept + fresh.size());
    std::size_t end = kept;
    std::size_t write = entries_.size();
    for (std::size_t j = fresh.size(); j-- > 0;) {
        const std::size_t at = std::size_t(
            std::lower_bound(entries_.begin(), entries_.begin() + std::ptrdiff_t(end), fresh[j], less) - entries_.begin());
        std::move_backward(entries_.begin() + std::ptrdiff_t(at), entries_.begin() + std::ptrdiff_t(end),
                           entries_.begin() + std::ptrdiff_t(write));
        write -= end - at;
        entries_[--write] = fresh[j];
        end = at;
    }
    return true;
}

void SublayerOrder::appended(Layer& sublayer)
{
    Layer::OrderSlot& slot = sublayer.orderSlot_;
    slot = {nextStamp_++, sublayer.zPosition_, false, false, keepsRunKeys_ ? runKeyOf(sublayer) : 0};
    if (!valid_)
        return;
    const Entry entry{slot.filedZ, slot.stamp, &sublayer};
    if (entries_.empty() || !less(entry, entries_.back())) {
        entries_.push_back(entry);
        slot.filed = true;
        if (orderCurrent_)
            order_.push_back(&sublayer);
        return;
    }
    slot.waiting = true;
    waiting_.push_back(&sublayer);
}

void SublayerOrder::inserted(Layer& sublayer)
{
    // Its key is worked out as for one appended: one kept from another superlayer, or none, would split or join
    // its neighbours' runs where the whole order does not.
    sublayer.orderSlot_.runKey = keepsRunKeys_ ? runKeyOf(sublayer) : 0;
    valid_ = false;
}

void SublayerOrder::depthChanged(Layer& sublayer)
{
    Layer::OrderSlot& slot = sublayer.orderSlot_;
    if (!valid_ || slot.waiting)
        return;
    slot.waiting = true;
    waiting_.push_back(&sublayer);
}

bool SublayerOrder::movesOnlyPast(const Layer& sublayer, double z, const std::function<bool(const Layer&)>& alike) const
{
    // Past more than a few it is not worth looking.
    constexpr int mostLookedAt = 64;
    const Layer::OrderSlot& slot = sublayer.orderSlot_;
    if (!valid_ || !slot.filed)
        return false;
    const double low = std::min(slot.filedZ, z), high = std::max(slot.filedZ, z);
    auto at = std::lower_bound(entries_.begin(), entries_.end(), low, [](const Entry& e, double v) { return e.z < v; });
    for (int looked = 0; at != entries_.end() && at->z <= high; ++at, ++looked)
        if (looked == mostLookedAt || (at->layer != &sublayer && !alike(*at->layer)))
            return false;
    return true;
}

void SublayerOrder::removed(Layer& sublayer)
{
    Layer::OrderSlot& slot = sublayer.orderSlot_;
    if (valid_ && slot.waiting)
        waiting_.erase(std::find(waiting_.begin(), waiting_.end(), &sublayer));
    if (valid_ && slot.filed) {
        const auto at = std::lower_bound(entries_.begin(), entries_.end(), Entry{slot.filedZ, slot.stamp, nullptr}, less);
        if (at != entries_.end() && at->layer == &sublayer) {
            if (orderCurrent_)
                order_.erase(order_.begin() + (at - entries_.begin()));
            entries_.erase(at);
        } else {
            valid_ = false;
        }
    }
    slot.filed = slot.waiting = false;
}

void SublayerOrder::removed(const std::vector<Layer*>& sublayers)
{
    if (sublayers.size() <= 4) {
        for (Layer* sublayer : sublayers)
            removed(*sublayer);
        return;
    }
    const std::unordered_set<const Layer*> leaving(sublayers.begin(), sublayers.end());
    if (valid_) {
        std::erase_if(entries_, [&leaving](const Entry& entry) { return leaving.count(entry.layer) != 0; });
        std::erase_if(waiting_, [&leaving](const Layer* layer) { return leaving.count(layer) != 0; });
        orderCurrent_ = false;
    }
    for (Layer* sublayer : sublayers)
        sublayer->orderSlot_.filed = sublayer->orderSlot_.waiting = false;
}

bool SublayerOrder::before(const Layer& a, const Layer& b)
{
    return a.zPosition_ < b.zPosition_ || (a.zPosition_ == b.zPosition_ && a.orderSlot_.stamp < b.orderSlot_.stamp);
}

std::uint32_t SublayerOrder::runKeyOf(const Layer& sublayer)
{
    const std::optional<QRgb> color = LayerRenderer::strokeRunColor(sublayer);
    return color ? *color | 0xff000000u : 0;
}

void SublayerOrder::keepRunKeys(const std::vector<std::shared_ptr<Layer>>& sublayers)
{
    if (!keepsRunKeys_) {
        keepsRunKeys_ = true;
        for (const auto& sublayer : sublayers)
            sublayer->orderSlot_.runKey = runKeyOf(*sublayer);
    }
    file(sublayers);
}

void SublayerOrder::runKeyMayChange(Layer& sublayer)
{
    if (keepsRunKeys_)
        sublayer.orderSlot_.runKey = runKeyOf(sublayer);
}

std::size_t SublayerOrder::placeOf(const Layer& sublayer) const
{
    const Layer::OrderSlot& slot = sublayer.orderSlot_;
    return std::size_t(std::lower_bound(entries_.begin(), entries_.end(), Entry{slot.filedZ, slot.stamp, nullptr}, less)
                       - entries_.begin());
}

void SublayerOrder::markRuns(const std::vector<Layer*>& listed, std::vector<std::uint8_t>& joins) const
{
    joins.assign(listed.size(), 0);
    // The place of the sublayer listed before, while known: the walk goes on from there.
    std::optional<std::size_t> at;
    for (std::size_t i = 1; i < listed.size(); ++i) {
        const std::uint32_t key = listed[i - 1]->orderSlot_.runKey;
        if (key == 0 || listed[i]->orderSlot_.runKey != key) {
            at.reset();
            continue;
        }
        std::size_t k = (at ? *at : placeOf(*listed[i - 1])) + 1;
        // Most lines of a run lie next to one another: the entries between are looked at until one of another
        // key ends the run.
        while (k < entries_.size() && entries_[k].layer != listed[i] && entries_[k].layer->orderSlot_.runKey == key)
            ++k;
        const bool joined = k < entries_.size() && entries_[k].layer == listed[i];
        joins[i] = joined;
        at = joined ? std::optional<std::size_t>(k) : std::nullopt;
    }
}

} // namespace velquine
