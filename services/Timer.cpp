#include "services/Timer.h"

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/outgoing/Notification.h"
#include "core/outgoing/Notifications.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/WireNumber.h"

#include <algorithm>
#include <cmath>

namespace morvix {

using platform::Value;

namespace {

constexpr EventDeclaration kRunEvent {
    .listen = "Run",
    .name = "Run",
    .sentWithoutListen = true,
    .note = "at each expiry after \"start\"; listening to it false cancels the timer",
};

} // namespace

const WireTable& Timer::wire()
{
    static const WireTable table = WireTable::extend(BasicObject::wire()).event(kRunEvent);
    return table;
}

Timer::Timer(CreationKey key, std::string objectId, std::shared_ptr<ClientContext> client)
    : RemoteClass(key, std::move(objectId), std::move(client))
{
    registerSelector(&Timer::start, "start");
    registerSelector(&Timer::cancel, "cancel");
}

const PropertyTable& Timer::properties()
{
    static const PropertyTable table = PropertyTable::extend<Timer>(BasicObject::properties())
                                           .number("delay", &Timer::setDelay, &Timer::delay)
                                           .flag("repeat", &Timer::m_repeat)
                                           .boolean("runListener", &Timer::setRunListener, &Timer::runListener);
    return table;
}

const PropertyNames& Timer::remoteObjectProperties()
{
    static const PropertyNames names = extendPropertyNames(BasicObject::remoteObjectProperties(), { "delay", "repeat" });
    return names;
}

void Timer::start(const Value*)
{
    m_timer.stop();
    auto milliseconds = m_delay ? platform::numberValue(*m_delay) : std::nullopt;
    double seconds = milliseconds && std::isfinite(*milliseconds) ? *milliseconds / 1000.0 : 0;
    if (m_repeat)
        seconds = std::max(seconds, kShortestRepeatSeconds);
    // Clamped to the longest delay a peer may ask for, as every timer a peer starts is.
    auto interval = platform::WireNumber::seconds(seconds);
    if (seconds > platform::WireNumber::kMaximumDelaySeconds) {
        if (auto client = this->client())
            client->log(LogEntry(platform::format("morvix.Timer %@ waits at most %@ s: delay %@ is clamped", objectId(),
                                     platform::WireNumber::kMaximumDelaySeconds, *m_delay),
                LogEntry::Type::Warning));
    }
    // The callback may outlive nothing: the timer is a member, so destroying the object cancels it.
    m_timer.start(interval, m_repeat ? platform::Repeat::Yes : platform::Repeat::No,
        [this] { Notifications::forObject(objectId())->fire(kRunEvent); });
}

void Timer::cancel(const Value*)
{
    m_timer.stop();
}

void Timer::setRunListener(bool listening)
{
    m_runListener = listening;
    if (!listening)
        m_timer.stop();
}

void Timer::destroy()
{
    m_timer.stop();
    RemoteClass::destroy();
}

} // namespace morvix
