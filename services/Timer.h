#pragma once
// The peer's timers.

#include "core/objects/BasicObject.h"
#include "core/objects/RemoteClass.h"
#include "platform/foundation/Timer.h"

#include <string_view>

namespace morvix {

/// "morvix.Timer": a one-shot or repeating timer on the main loop that the peer (the script
/// peer's timeouts and intervals) starts and cancels; each expiry sends "Run" {} at once.
/// "delay" is in milliseconds, fractions kept (1500 gives 1.5 s). A repeating timer fires at most
/// every 10 ms (a missing, zero, negative or shorter delay gives 10 ms), so it can never spin the
/// loop; a one-shot with such a delay fires once on the next turn, never inside "start".
/// Destroying the object cancels it. Main thread.
class Timer final : public RemoteClass<Timer> {
public:
    static constexpr std::string_view kRemoteType = "morvix.Timer";
    static constexpr double kShortestRepeatSeconds = 0.01;

    Timer(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client);

    static const PropertyTable& properties();
    /// "Run".
    static const WireTable& wire();
    static const PropertyNames& remoteObjectProperties();

    void start(const platform::Value* properties);
    void cancel(const platform::Value* properties);
    void destroy() override;

    void setDelay(std::optional<platform::Value> delay) { m_delay = std::move(delay); }
    std::optional<platform::Value> delay() const { return m_delay; }
    void setRunListener(bool listening);
    bool runListener() const { return m_runListener; }
    bool isRunning() const { return m_timer.isActive(); }

private:
    std::optional<platform::Value> m_delay;
    bool m_repeat = false;
    bool m_runListener = false;
    platform::Timer m_timer;
};

} // namespace morvix
