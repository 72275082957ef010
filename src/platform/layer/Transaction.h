#pragma once

// Groups layer changes. A Transaction object opens a transaction and commits it when it goes out of scope;
// transactions nest. Each may switch implicit actions off or set the animation duration; a transaction that
// sets neither takes them from the one around it. Outside every transaction actions are on and last 0.25 s.
// The outermost commit lays out every layer that asked for it (setNeedsLayout).

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace velquine {

class Layer;

class Transaction {
public:
    Transaction();
    explicit Transaction(bool disableActions);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    // Of the innermost open transaction (no effect outside any).
    static void setDisableActions(bool disable);
    static bool disableActions();
    static void setAnimationDuration(double seconds);
    static double animationDuration();
    // How many transactions are open.
    static int depth();

    // A layer that needs layout, laid out by the outermost commit.
    static void scheduleLayout(const std::shared_ptr<Layer>& layer);
    // Lays out every scheduled layer now.
    static void flushLayouts();
    // For a caller that lays out many layers in parts: takes the layers scheduled so far away from the
    // outermost commit. layOut() then lays them out, in runs that each commit as a transaction of their own, with
    // betweenRuns called after each run; it is called outside every transaction.
    static std::vector<std::weak_ptr<Layer>> takeScheduledLayouts();
    static void layOut(const std::vector<std::weak_ptr<Layer>>& layers, const std::function<void()>& betweenRuns);

    static constexpr double defaultAnimationDuration = 0.25;
};

} // namespace velquine
