#pragma once

// Named notifications ("UIModeDidSwitch", "collisionDedectionModeDidSwitch", ...), delivered synchronously
// to their observers during post, in the order the observers were added.

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace velquine {

struct Notification {
    std::string name;
    const void* object = nullptr; // the sender, if the poster names one
};

class NotificationCenter {
public:
    using Token = std::uint64_t; // 0 is never handed out
    using Handler = std::function<void(const Notification&)>;

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // The process-wide centre.
    static NotificationCenter& defaultCenter();

    // Calls handler for every notification called name (every name when name is empty) whose object is
    // sender (any object when sender is null). owner tags the registration for removeObserversOf.
    Token addObserver(const std::string& name, Handler handler, const void* owner = nullptr,
                      const void* sender = nullptr);

    // Ends a registration. A handler removed while a notification is being delivered is not called for it
    // any more (if it has not been called yet); a handler may remove itself while it runs.
    void removeObserver(Token token);

    // Ends every registration made with this owner.
    void removeObserversOf(const void* owner);

    // Delivers to the observers registered at the time of posting, on the calling thread. Observers added
    // during the delivery receive later notifications only.
    void post(const std::string& name, const void* object = nullptr);

    std::size_t observerCount() const;

private:
    struct Entry {
        Token token;
        std::string name;
        const void* owner;
        const void* sender;
        Handler handler;
        bool active = true; // guarded by mutex_
    };

    mutable std::mutex mutex_;
    std::vector<std::shared_ptr<Entry>> entries_;
    Token nextToken_ = 1;
};

} // namespace velquine
