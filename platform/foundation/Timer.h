#pragma once
// A one-shot or repeating call on the main loop.

#include "platform/foundation/Clock.h"
#include "platform/foundation/MainLoop.h"

#include <functional>

namespace morvix::platform {

enum class Repeat { No, Yes };

/// Calls a function once or repeatedly on the main loop, timed by `Clock::current()`. Owned by
/// value by the object it calls; destroying it cancels the pending call, so its callback may
/// capture `this`. A callback may stop or restart any timer, its own included. Main thread only.
class Timer final {
public:
    Timer() = default;
    ~Timer() { stop(); }
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    /// Starts (or restarts) the timer: the first call comes after `interval`. A repeating timer
    /// then calls once per interval, measured from each due time.
    void start(Duration interval, Repeat repeat, std::function<void()> callback);
    /// Cancels the pending call. Does nothing when the timer is not active.
    void stop();
    bool isActive() const { return m_pending != 0; }

private:
    void schedule(Duration delay);
    void fire();

    Duration m_interval {};
    Repeat m_repeat = Repeat::No;
    std::function<void()> m_callback;
    MainLoop::TimerId m_pending = 0;
};

} // namespace morvix::platform
