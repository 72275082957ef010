#pragma once

// Implicit animations of layer properties: the action a layer answers for a key, the values an animation
// runs between, and the timing curves.

#include <QPainterPath>

#include <limits>
#include <string>
#include <variant>

#include "platform/Geometry.h"

namespace velquine {

enum class TimingFunction {
    linear,
    easeIn,
    easeOut,
    easeInEaseOut,
    // The platform's default curve for implicit animations.
    standard
};

// How a property change animates.
struct LayerAction {
    double duration = 0.25;
    TimingFunction timing = TimingFunction::standard;
    friend bool operator==(const LayerAction&, const LayerAction&) = default;
};

// A value an animation runs through; monostate stands for "no value".
using AnimatedValue = std::variant<std::monostate, Point, Rect, double, QPainterPath>;

// One running animation of a layer's property.
struct LayerAnimation {
    std::string key;
    AnimatedValue from;
    AnimatedValue to;
    double beginTime = 0;
    LayerAction action;

    // Timing-curve progress 0…1 at the time.
    double progressAt(double time) const;
    bool isFinishedAt(double time) const { return time >= beginTime + action.duration; }
    AnimatedValue valueAt(double time) const;

    // The value at one instant, kept while Animator::HeldValues allows (see Layer::animatedValue).
    mutable double heldTime = std::numeric_limits<double>::quiet_NaN();
    mutable AnimatedValue heldValue;
};

// The timing curve's value for linear progress t in 0…1.
double applyTiming(TimingFunction timing, double t);
// The value between a and b at fraction t. Paths interpolate point by point when they have the same
// elements; otherwise, as values of different kinds, the result is b.
AnimatedValue interpolate(const AnimatedValue& a, const AnimatedValue& b, double t);

} // namespace velquine
