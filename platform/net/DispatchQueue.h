#pragma once
// Where a block of work runs.

#include <functional>

namespace morvix::platform {

/// A place to run work asynchronously: a function that takes a task and arranges for it to
/// run (on the main loop, on a worker thread, on a serial queue). An empty DispatchQueue is
/// "none", and callers then choose their default (usually the main queue).
using DispatchQueue = std::function<void(std::function<void()>)>;

/// The main queue: tasks run on the main loop in the order they were posted.
DispatchQueue mainDispatchQueue();
/// The global concurrent queue (the process's thread pool).
DispatchQueue globalDispatchQueue();

} // namespace morvix::platform
