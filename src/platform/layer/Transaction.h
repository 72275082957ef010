#pragma once

// Groups layer changes. A Transaction object opens a transaction and commits it when it goes out of scope;
// transactions nest. Each may switch implicit actions off or set the animation duration; a transaction that
// sets neither takes them from the one around it. Outside every transaction actions are on and last 0.25 s.
// The outermost commit lays out every layer that asked for it (setNeedsLayout).

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

    static constexpr double defaultAnimationDuration = 0.25;
};

} // namespace velquine
