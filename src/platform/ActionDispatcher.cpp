#include "platform/ActionDispatcher.h"

#include <algorithm>

namespace velquine {

Responder::Responder() : self_(std::make_shared<Responder*>(this)) {}

Responder::~Responder() = default;

bool Responder::respondsTo(const std::string& selector) const
{
    return actions_.contains(selector);
}

void Responder::perform(const std::string& selector, const ActionItem* sender)
{
    auto found = actions_.find(selector);
    if (found == actions_.end())
        return;
    Handler handler = found->second; // the handler may remove itself while it runs
    handler(sender);
}

bool Responder::validateMenuItem(ActionItem&)
{
    return true;
}

bool Responder::validateToolbarItem(ActionItem&)
{
    return true;
}

ControlState Responder::validateToolbarItemState(const ActionItem& item)
{
    return item.state;
}

void Responder::addAction(const std::string& selector, Handler handler)
{
    actions_[selector] = std::move(handler);
}

void Responder::removeAction(const std::string& selector)
{
    actions_.erase(selector);
}

namespace {

std::weak_ptr<Responder*>& applicationSlot()
{
    static std::weak_ptr<Responder*> slot;
    return slot;
}

Responder* resolve(const std::weak_ptr<Responder*>& reference)
{
    auto alive = reference.lock();
    return alive ? *alive : nullptr;
}

} // namespace

void ActionDispatcher::setChain(const std::vector<Responder*>& responders)
{
    chain_.clear();
    for (Responder* responder : responders)
        if (responder)
            chain_.push_back(responder->weakReference());
}

void ActionDispatcher::setApplicationResponder(Responder* responder)
{
    applicationSlot() = responder ? responder->weakReference() : std::weak_ptr<Responder*>();
}

Responder* ActionDispatcher::applicationResponder()
{
    return resolve(applicationSlot());
}

std::vector<Responder*> ActionDispatcher::chain() const
{
    std::vector<Responder*> result;
    auto append = [&result](Responder* responder) {
        if (responder && std::find(result.begin(), result.end(), responder) == result.end())
            result.push_back(responder);
    };
    if (focusChain_)
        for (Responder* responder : focusChain_())
            append(responder);
    for (const auto& reference : chain_)
        append(resolve(reference));
    append(applicationResponder());
    return result;
}

Responder* ActionDispatcher::targetForAction(const std::string& selector) const
{
    if (selector.empty())
        return nullptr;
    for (Responder* responder : chain())
        if (responder->respondsTo(selector))
            return responder;
    return nullptr;
}

bool ActionDispatcher::sendAction(const std::string& selector, const ActionItem* sender) const
{
    Responder* target = targetForAction(selector);
    if (!target)
        return false;
    if (sendingHook_)
        sendingHook_(selector);
    target->perform(selector, sender);
    return true;
}

bool ActionDispatcher::validateMenuItem(ActionItem& item) const
{
    Responder* target = targetForAction(item.action);
    item.enabled = target && target->validateMenuItem(item);
    return item.enabled;
}

bool ActionDispatcher::validateToolbarItem(ActionItem& item) const
{
    Responder* target = targetForAction(item.action);
    item.enabled = target && target->validateToolbarItem(item);
    if (target && target->respondsToToolbarItemState())
        item.state = target->validateToolbarItemState(item);
    return item.enabled;
}

} // namespace velquine
