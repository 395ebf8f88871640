#pragma once
// The value of an animatable property, and how two of them are interpolated.

#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Point.h"
#include "platform/graphics/Rect.h"
#include "platform/graphics/Transform3D.h"

#include <string>
#include <variant>

namespace morvix::platform {

/// The view properties that animation blocks record. `Frame` is not one: setting a frame inside
/// a block records the centre and the bounds.
enum class AnimatableProperty { Alpha, Center, Bounds, Transform, BackgroundColor };

const char* propertyName(AnimatableProperty property);

/// No value (a missing background colour), a number, a point, a rectangle, a transform (flat or
/// 3-D) or a colour.
using AnimationValue = std::variant<std::monostate, double, Point, Rect, AffineTransform, Color, Transform3D>;

/// The value a fraction `progress` of the way from `from` to `to` (0 gives `from`, 1 gives `to`;
/// springs may pass beyond 1). Values of different kinds jump to `to` at progress 1.
AnimationValue interpolate(const AnimationValue& from, const AnimationValue& to, double progress);

/// A short text for dumps and test messages, e.g. "0.5" or "(10, 20, 100, 50)".
std::string describe(const AnimationValue& value);

/// The timing curves of view animations, by the numbers the option bits carry (bits 16 to 19).
enum class AnimationCurve { EaseInOut = 0, EaseIn = 1, EaseOut = 2, Linear = 3 };

/// Maps linear time (0 to 1) to progress along `curve`.
double curveProgress(AnimationCurve curve, double time);
/// The progress of a damped spring that settles at 1 by time 1; `dampingRatio` 1 or more does
/// not overshoot. `initialVelocity` is in units of the whole distance per duration.
double springProgress(double dampingRatio, double initialVelocity, double time);

} // namespace morvix::platform
