#include "platform/NotificationCenter.h"

#include <algorithm>

namespace velquine {

NotificationCenter& NotificationCenter::defaultCenter()
{
    static NotificationCenter* center = new NotificationCenter; // outlives every static observer
    return *center;
}

NotificationCenter::Token NotificationCenter::addObserver(const std::string& name, Handler handler,
                                                          const void* owner, const void* sender)
{
    if (!handler)
        return 0;
    std::lock_guard lock(mutex_);
    const Token token = nextToken_++;
    entries_.push_back(std::make_shared<Entry>(Entry{token, name, owner, sender, std::move(handler)}));
    return token;
}

void NotificationCenter::removeObserver(Token token)
{
    std::lock_guard lock(mutex_);
    auto it = std::find_if(entries_.begin(), entries_.end(), [token](const auto& e) { return e->token == token; });
    if (it == entries_.end())
        return;
    (*it)->active = false;
    entries_.erase(it);
}

void NotificationCenter::removeObserversOf(const void* owner)
{
    if (!owner)
        return;
    std::lock_guard lock(mutex_);
    std::erase_if(entries_, [owner](const std::shared_ptr<Entry>& e) {
        if (e->owner != owner)
            return false;
        e->active = false;
        return true;
    });
}

void NotificationCenter::post(const std::string& name, const void* object)
{
    std::vector<std::shared_ptr<Entry>> receivers;
    {
        std::lock_guard lock(mutex_);
        for (const auto& e : entries_) {
            if ((e->name.empty() || e->name == name) && (!e->sender || e->sender == object))
                receivers.push_back(e);
        }
    }
    const Notification note{name, object};
    // Each entry is held by the snapshot, so a handler that removes itself keeps running on a live object.
    for (const auto& e : receivers) {
        {
            std::lock_guard lock(mutex_);
            if (!e->active)
                continue;
        }
        e->handler(note);
    }
}

std::size_t NotificationCenter::observerCount() const
{
    std::lock_guard lock(mutex_);
    return entries_.size();
}

} // namespace velquine
