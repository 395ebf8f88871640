#pragma once
// The thresholds of the built-in gesture recognisers, in one place.

namespace morvix::platform::GestureConstants {

/// A tap fails when a finger moves further than this from where it went down (points).
inline constexpr double kTapAllowableMovement = 10;
/// The longest pause between the taps of a multiple tap, and the longest a tap may be held (s).
inline constexpr double kMultiTapInterval = 0.35;
/// How long a press must be held before a long press begins (s).
inline constexpr double kLongPressMinimumDuration = 0.5;
/// A long press fails when the finger moves further than this before it begins (points).
inline constexpr double kLongPressAllowableMovement = 10;
/// How far a finger must travel before a pan begins (points).
inline constexpr double kPanHysteresis = 10;
/// The window of recent samples a pan's velocity is measured over (s).
inline constexpr double kPanVelocityWindow = 0.1;
/// The travel along its direction a swipe needs (points), and the time it must take at most (s).
inline constexpr double kSwipeMinimumDistance = 50;
inline constexpr double kSwipeMaximumDuration = 0.5;
/// A swipe fails when its travel across the direction exceeds this share of the travel along it.
inline constexpr double kSwipeMaximumDeviation = 0.5;

} // namespace morvix::platform::GestureConstants
