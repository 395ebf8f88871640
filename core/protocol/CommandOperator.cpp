#include "core/protocol/CommandOperator.h"

#include "core/base/LogEntry.h"
#include "core/objects/BasicObject.h"
#include "core/objects/ClientContext.h"
#include "core/objects/ObjectRegistry.h"
#include "core/objects/RemoteException.h"
#include "core/objects/RemoteObject.h"
#include "core/objects/WidgetRegistry.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/SystemLog.h"

#include <cxxabi.h>

#include <algorithm>
#include <cassert>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <exception>
#include <limits>
#include <mutex>
#include <typeinfo>
#include <vector>

namespace morvix {

using platform::Value;

namespace {

// An operation array that cannot be applied at all: reported like any failed operation.
class MalformedOperation final : public std::exception {
public:
    explicit MalformedOperation(std::string reason)
        : m_reason(std::move(reason))
    {
    }
    const char* what() const noexcept override { return m_reason.c_str(); }

private:
    std::string m_reason;
};

std::string typeName(const std::exception& exception)
{
    const char* mangled = typeid(exception).name();
    int status = 0;
    char* demangled = abi::__cxa_demangle(mangled, nullptr, nullptr, &status);
    std::string name = status == 0 && demangled ? demangled : mangled;
    std::free(demangled);
    return name;
}

const Value* propertiesAt(const Value& operation, std::size_t index)
{
    if (index >= operation.size() || !operation[index].is_object())
        return nullptr;
    return &operation[index];
}

const std::string& stringAt(const Value& operation, std::size_t index, std::string_view what)
{
    if (index >= operation.size() || !operation[index].is_string())
        throw MalformedOperation(platform::format("operation %@ has no %@", operation, what));
    return operation[index].get_ref<const std::string&>();
}

// A request counter is an integer from 0 to 2^53, the largest integer that a peer's numbers
// (doubles, in a script) hold exactly; a counter beyond it could never be answered again.
std::optional<long> requestCounterValue(const Value& value)
{
    constexpr std::uint64_t kLargest = std::uint64_t(1) << 53;
    if (value.is_number_unsigned()) {
        auto counter = value.get<std::uint64_t>();
        return counter <= kLargest ? std::optional(static_cast<long>(counter)) : std::nullopt;
    }
    if (value.is_number_integer()) {
        auto counter = value.get<std::int64_t>();
        return counter >= 0 && static_cast<std::uint64_t>(counter) <= kLargest ? std::optional(static_cast<long>(counter))
                                                                               : std::nullopt;
    }
    if (value.is_number_float()) {
        double counter = value.get<double>();
        if (counter >= 0 && counter <= static_cast<double>(kLargest) && counter == std::trunc(counter))
            return static_cast<long>(counter);
    }
    return std::nullopt;
}

// About what `value` holds on the heap, for the queue's bound (rule 6): strings and the storage
// of containers, not the allocator's own overhead. The reader bounds the nesting depth.
std::size_t footprint(const Value& value)
{
    std::size_t bytes = sizeof(Value);
    if (value.is_string())
        return bytes + value.get_ref<const std::string&>().capacity();
    if (value.is_object()) {
        for (auto member = value.begin(); member != value.end(); ++member)
            bytes += sizeof(std::string) + member.key().capacity() + footprint(member.value());
        return bytes;
    }
    if (value.is_array()) {
        for (const auto& element : value)
            bytes += footprint(element);
    }
    return bytes;
}

// What a caller that cannot be abandoned hands over.
const std::atomic<bool> kNeverAbandoned = false;

// Runs `function` on the main thread while the caller waits; nothing once the main loop has
// quit (the process is shutting down and nothing can be applied).
template<typename Function>
auto waitForMainThread(Function&& function) -> decltype(function())
{
    try {
        return platform::MainLoop::main().runSync(std::forward<Function>(function));
    } catch (const std::exception&) {
        return decltype(function())();
    }
}

} // namespace

// One place in the hand-off queue: a head key or an operation with the flag of the reader that
// handed it over, a task that waits for what is ahead of it, or an owner kept until then.
struct CommandOperator::HandedOver {
    enum class Kind { Head, Operation, Task, Owner };
    Kind kind = Kind::Task;
    Value value;
    std::string key;
    const std::atomic<bool>* abandoned = nullptr;
    std::function<void()> task;
    std::shared_ptr<const void> owner;
    std::size_t bytes = 0; // of a head key's or operation's value (rule 6)
};

class CommandOperator::HandOff {
public:
    std::mutex mutex; // guards every member below
    std::condition_variable space; // signalled whenever the main thread takes an entry
    std::deque<HandedOver> entries;
    std::size_t waitingValues = 0; // head keys and operations among `entries` (rule 6)
    std::size_t waitingBytes = 0; // what their values hold (rule 6)
    std::size_t batches = 0; // open batches, which hold back the turn of what they queue
    bool scheduled = false; // a turn of the main loop will take the next entry
    bool applying = false; // the main thread is applying an entry it took

    // Main thread only, unguarded: the pacing of rule 8. When a batch end may next let the
    // passes run, and when the turn that waits for them was posted (none while no turn waits).
    std::chrono::steady_clock::time_point passesDueAt;
    std::optional<std::chrono::steady_clock::time_point> waitingSince;
};

// The main-loop task that takes the next entry. A quit keeps it; a turn dropped unrun all the
// same (a test resetting the loop) empties the queue, so that no reader waits for room that
// never comes and no entry stays behind pointing at a flag.
class CommandOperator::HandOffTurn {
public:
    explicit HandOffTurn(std::weak_ptr<CommandOperator> commandOperator)
        : m_commandOperator(std::move(commandOperator))
    {
    }
    HandOffTurn(const HandOffTurn&) = delete;
    HandOffTurn& operator=(const HandOffTurn&) = delete;
    ~HandOffTurn()
    {
        if (m_ran)
            return;
        if (auto commandOperator = m_commandOperator.lock())
            commandOperator->dropHandedOver();
    }
    void run()
    {
        m_ran = true;
        if (auto commandOperator = m_commandOperator.lock())
            commandOperator->applyHandedOver();
    }

private:
    std::weak_ptr<CommandOperator> m_commandOperator;
    bool m_ran = false;
};

std::shared_ptr<CommandOperator> CommandOperator::create(std::weak_ptr<Session> session)
{
    return std::shared_ptr<CommandOperator>(new CommandOperator(std::move(session)));
}

CommandOperator::CommandOperator(std::weak_ptr<Session> session)
    : m_handOff(std::make_unique<HandOff>())
    , m_session(std::move(session))
{
}

CommandOperator::~CommandOperator() = default;

void CommandOperator::log(std::string_view name, std::string_view reason)
{
    std::string line = platform::format("catching '%@' reason '%@'", name, reason);
    platform::systemLog(line);
    auto session = m_session.lock();
    if (auto client = session ? session->clientContext() : nullptr)
        client->log(LogEntry(std::move(line), LogEntry::Type::Error));
}

// Runs `function` on the main thread and logs whatever it throws (rule 3). The guard and the
// abandoned flag are tested inside the main-thread task (rule 5), so nothing has to cross the
// hand-off and a reload that runs while the task waits in the queue still stops it.
template<typename Function>
auto CommandOperator::guarded(const std::atomic<bool>& abandoned, Function&& function) -> decltype(function())
{
    using Result = decltype(function());
    auto task = [this, &abandoned, &function]() -> Result {
        if (abandoned.load(std::memory_order_acquire))
            return Result();
        try {
            return function();
        } catch (const platform::Exception& exception) {
            log(exception.name(), exception.reason());
        } catch (const std::exception& exception) {
            log(typeName(exception), exception.what());
        }
        return Result();
    };
    try {
        return platform::MainLoop::main().runSync(task);
    } catch (const std::exception&) {
        // The main loop has quit: the process is shutting down and nothing can be applied.
        return Result();
    }
}

// The calls without a flag return what the main thread's application returned, so off the
// main thread they wait for it rather than queue.
std::optional<std::string> CommandOperator::processHead(const Value& value, const std::string& key)
{
    if (key == "error" || platform::MainLoop::main().isMainThread())
        return processHead(value, key, kNeverAbandoned);
    return waitForMainThread([&] { return processHead(value, key, kNeverAbandoned); });
}

std::optional<Value> CommandOperator::processOperation(const Value& operation)
{
    if (platform::MainLoop::main().isMainThread())
        return processOperation(operation, kNeverAbandoned);
    return waitForMainThread([&] { return processOperation(operation, kNeverAbandoned); });
}

std::optional<std::string> CommandOperator::processHead(const Value& value, const std::string& key,
    const std::atomic<bool>& abandoned)
{
    // Read here, on the reader's thread: an error ends the reading of the body at once.
    if (key == "error")
        return value.is_string() ? std::optional(value.get<std::string>()) : std::nullopt;
    if (!platform::MainLoop::main().isMainThread()) {
        handOver({ HandedOver::Kind::Head, value, key, &abandoned, {}, {}, 0 });
        return std::nullopt;
    }
    return applyHeadNow(value, key, abandoned);
}

std::optional<std::string> CommandOperator::applyHeadNow(const Value& value, const std::string& key,
    const std::atomic<bool>& abandoned)
{
    auto session = m_session.lock();
    if (!session)
        return std::nullopt;
    guarded(abandoned, [&] { applyHead(*session, value, key); });
    return std::nullopt;
}

void CommandOperator::applyHead(Session& session, const Value& value, const std::string& key)
{
    if (key == "url") {
        if (!value.is_string())
            RemoteException::throwIncorrectParameter("head key '%@' expects a string but got '%@'", key, value);
        session.changeBaseURL(value.get_ref<const std::string&>());
    } else if (key == "requestCounter") {
        auto counter = requestCounterValue(value);
        if (!counter)
            RemoteException::throwIncorrectParameter("head key '%@' expects an integer from 0 to 2^53 but got '%@'", key,
                value);
        session.receivedRequestCounter(*counter);
    } else if (key == "morvix.UI") {
        if (!platform::isNumber(value))
            RemoteException::throwIncorrectParameter("head key '%@' expects a number but got '%@'", key, value);
        session.setMorvixUIActive(platform::numberValue(value).value_or(0) != 0);
    }
}

std::optional<Value> CommandOperator::processOperation(const Value& operation, const std::atomic<bool>& abandoned)
{
    if (!platform::MainLoop::main().isMainThread()) {
        handOver({ HandedOver::Kind::Operation, operation, {}, &abandoned, {}, {}, 0 });
        return std::nullopt;
    }
    return applyOperationNow(operation, abandoned);
}

std::optional<Value> CommandOperator::applyOperationNow(const Value& operation, const std::atomic<bool>& abandoned)
{
    try {
        return apply(operation, abandoned);
    } catch (const MalformedOperation& exception) {
        log(RemoteException::kIncorrectParameter, exception.what());
    }
    return std::nullopt;
}

// A reader far ahead of the main thread waits here for room (rule 6), its batch's turn posted
// first; an abandoned one queues nothing more (rule 5). The flag is read under the queue's
// lock, so nothing of a reader lands behind the owner it handed over after being abandoned.
void CommandOperator::handOver(HandedOver entry)
{
    auto& handOff = *m_handOff;
    bool schedule = false;
    entry.bytes = footprint(entry.value); // outside the lock: the main thread waits for it
    {
        std::unique_lock lock(handOff.mutex);
        auto isAbandoned = [&] { return entry.abandoned->load(std::memory_order_acquire); };
        auto isFull = [&] {
            return handOff.waitingValues >= kMaximumHandedOver
                || (handOff.waitingValues > 0 && handOff.waitingBytes + entry.bytes > kMaximumHandedOverBytes);
        };
        while (isFull() && !isAbandoned()) {
            if (std::exchange(handOff.scheduled, true)) {
                lock.unlock();
                willWaitForRoom();
                lock.lock();
                if (isFull() && !isAbandoned())
                    handOff.space.wait(lock);
                continue;
            }
            lock.unlock();
            scheduleHandOff();
            lock.lock();
        }
        if (isAbandoned())
            return;
        handOff.waitingBytes += entry.bytes;
        handOff.entries.push_back(std::move(entry));
        ++handOff.waitingValues;
        schedule = handOff.batches == 0 && !std::exchange(handOff.scheduled, true);
    }
    if (schedule)
        scheduleHandOff();
}

void CommandOperator::beginHandOffBatch()
{
    std::lock_guard lock(m_handOff->mutex);
    ++m_handOff->batches;
}

void CommandOperator::endHandOffBatch(std::shared_ptr<const void> owner)
{
    auto& handOff = *m_handOff;
    bool schedule = false;
    {
        std::lock_guard lock(handOff.mutex);
        assert(handOff.batches > 0 && "a hand-off batch ended that did not begin");
        if (handOff.batches > 0)
            --handOff.batches;
        if (handOff.entries.empty() && !handOff.applying)
            return; // the owner is released outside the lock, with the caller's argument
        handOff.entries.push_back({ HandedOver::Kind::Owner, {}, {}, nullptr, {}, std::move(owner), 0 });
        schedule = handOff.batches == 0 && !std::exchange(handOff.scheduled, true);
    }
    if (schedule)
        scheduleHandOff();
}

void CommandOperator::readerAbandoned()
{
    // Taken and released first, so that a reader between its look at its flag and its wait
    // cannot miss the wake-up.
    { std::lock_guard lock(m_handOff->mutex); }
    m_handOff->space.notify_all();
}

void CommandOperator::afterHandedOver(std::function<void()> task)
{
    auto& handOff = *m_handOff;
    bool runNow = platform::MainLoop::main().isMainThread();
    bool schedule = false;
    {
        std::lock_guard lock(handOff.mutex);
        runNow = runNow && handOff.entries.empty() && !handOff.applying;
        if (!runNow) {
            handOff.entries.push_back({ HandedOver::Kind::Task, {}, {}, nullptr, std::move(task), {}, 0 });
            schedule = !std::exchange(handOff.scheduled, true);
        }
    }
    if (runNow)
        task(); // nothing is queued ahead of it
    if (schedule)
        scheduleHandOff();
}

void CommandOperator::scheduleHandOff(NextTurn when)
{
    auto self = weak_from_this();
    assert(!self.expired() && "a command operator hands over only when owned by a shared pointer");
    auto turn = std::make_shared<HandOffTurn>(std::move(self));
    // Kept over a quit of the loop: what a body queued, and its request's end, wait for the loop
    // to run again rather than being lost (rule 7).
    using Turn = platform::MainLoop::Turn;
    platform::MainLoop::main().postKept(when == NextTurn::AfterPasses ? Turn::Idle : Turn::Next, [turn] { turn->run(); });
}

// One entry per turn, then a new turn for the next, behind whatever the entry posted (rule 8).
// Owners at the front are released on the way, without a turn of their own; an owner marks the
// end of a batch, after which the next turn waits for the passes the batch scheduled.
void CommandOperator::applyHandedOver()
{
    auto& handOff = *m_handOff;
    std::vector<std::shared_ptr<const void>> released; // destroyed last, outside the lock
    HandedOver entry;
    auto releaseOwners = [&] {
        while (!handOff.entries.empty() && handOff.entries.front().kind == HandedOver::Kind::Owner) {
            released.push_back(std::move(handOff.entries.front().owner));
            handOff.entries.pop_front();
        }
    };
    {
        std::lock_guard lock(handOff.mutex);
        releaseOwners();
        if (handOff.entries.empty()) {
            handOff.scheduled = false;
            return;
        }
        entry = std::move(handOff.entries.front());
        handOff.entries.pop_front();
        if (entry.kind == HandedOver::Kind::Head || entry.kind == HandedOver::Kind::Operation) {
            --handOff.waitingValues;
            handOff.waitingBytes -= entry.bytes;
        }
        handOff.applying = true;
    }
    handOff.space.notify_all();
    notePassesRan(handOff);
    bool more = false;
    auto next = NextTurn::Now;
    auto finish = [&] {
        std::lock_guard lock(handOff.mutex);
        handOff.applying = false;
        std::size_t owners = released.size();
        releaseOwners();
        more = !handOff.entries.empty();
        handOff.scheduled = more;
        if (more && released.size() > owners && letPassesRun(handOff))
            next = NextTurn::AfterPasses;
    };
    try {
        apply(entry);
    } catch (...) {
        // A task that throws ends alone, as any main-loop task; the queue goes on.
        finish();
        if (more)
            scheduleHandOff(next);
        throw;
    }
    finish();
    if (more)
        scheduleHandOff(next);
}

// Rule 8's pacing. The passes after a batch cost about as much as the views of the window, not
// as its operations: run after every batch of a long response (a chunk of 16 KB or so), they
// would cost the views times the chunks. So a batch end lets them run only once the entries
// applied since they last ran took four times as long as they did, and at least
// `kApplyingBetweenPasses`: the passes stay a fifth of the time at most, and a long response
// still shows its first widgets at once and the next ones a few times a second. This paces
// work by what it costs on this machine; it is no timer, so it reads the steady clock itself.
bool CommandOperator::letPassesRun(HandOff& handOff)
{
    auto now = std::chrono::steady_clock::now();
    if (now < handOff.passesDueAt)
        return false;
    handOff.waitingSince = now;
    return true;
}

void CommandOperator::notePassesRan(HandOff& handOff)
{
    if (!handOff.waitingSince)
        return;
    auto now = std::chrono::steady_clock::now();
    auto took = now - *handOff.waitingSince;
    handOff.passesDueAt = now + std::max<std::chrono::steady_clock::duration>(kApplyingBetweenPasses, 4 * took);
    handOff.waitingSince.reset();
}

void CommandOperator::apply(HandedOver& entry)
{
    switch (entry.kind) {
    case HandedOver::Kind::Head:
        if (!entry.abandoned->load(std::memory_order_acquire))
            (void)applyHeadNow(entry.value, entry.key, *entry.abandoned);
        return;
    case HandedOver::Kind::Operation:
        if (!entry.abandoned->load(std::memory_order_acquire))
            (void)applyOperationNow(entry.value, *entry.abandoned);
        return;
    case HandedOver::Kind::Task:
        entry.task();
        return;
    case HandedOver::Kind::Owner:
        return;
    }
}

// The main loop dropped a turn of the queue unrun: nothing queued is applied any more.
void CommandOperator::dropHandedOver()
{
    auto& handOff = *m_handOff;
    std::deque<HandedOver> dropped; // destroyed outside the lock
    {
        std::lock_guard lock(handOff.mutex);
        dropped.swap(handOff.entries);
        handOff.waitingValues = 0;
        handOff.waitingBytes = 0;
        handOff.scheduled = false;
    }
    handOff.space.notify_all();
}

std::optional<Value> CommandOperator::apply(const Value& operation, const std::atomic<bool>& abandoned)
{
    if (!operation.is_array())
        throw MalformedOperation(platform::format("operation %@ is not an array", operation));
    const std::string& name = stringAt(operation, 0, "name");
    const std::string& id = stringAt(operation, 1, "id");
    auto object = objectById(id, abandoned);
    if (!object) {
        if (name == "create")
            createObject(stringAt(operation, 2, "type name"), propertiesAt(operation, 3), id, abandoned);
        return std::nullopt;
    }
    const std::string* method = &name;
    const Value* properties = nullptr;
    if (name == "call") {
        method = &stringAt(operation, 2, "call name");
        properties = propertiesAt(operation, 3);
    } else if (name == "get") {
        method = &stringAt(operation, 2, "property name");
    } else {
        static const std::string kNoMethod;
        method = &kNoMethod;
        properties = propertiesAt(operation, 2);
    }
    return guarded(abandoned, [&] { return object->dispatchType(name, *method, properties); });
}

std::shared_ptr<RemoteObject> CommandOperator::objectById(const std::string& id)
{
    return objectById(id, kNeverAbandoned);
}

std::shared_ptr<RemoteObject> CommandOperator::objectById(const std::string& id, const std::atomic<bool>& abandoned)
{
    auto session = m_session.lock();
    auto registry = session ? session->objectRegistry() : nullptr;
    if (!registry)
        return nullptr;
    if (auto object = registry->objectById(id))
        return object;
    if (!WidgetRegistry::instance().getHandler(id))
        return nullptr;
    createObject(id, nullptr, id, abandoned);
    return registry->objectById(id);
}

void CommandOperator::createObject(const std::string& type, const Value* properties, const std::string& id,
    const std::atomic<bool>& abandoned)
{
    auto handler = WidgetRegistry::instance().getHandler(type);
    if (!handler)
        return noteUnknownType(type);
    guarded(abandoned, [&] {
        auto session = m_session.lock();
        if (!session)
            return;
        auto registry = session->objectRegistry();
        auto object = handler->create(id, properties, session->clientContext());
        if (!object || !registry)
            return;
        object->dispatchType("set", {}, properties);
        registry->addObject(object);
    });
}

void CommandOperator::noteUnknownType(const std::string& type)
{
    {
        // A peer choosing endless type names must not make the set grow without end.
        std::lock_guard lock(m_unknownTypesMutex);
        if (m_unknownTypes.size() >= kMaximumNotedTypes || !m_unknownTypes.insert(type).second)
            return;
    }
    auto session = m_session.lock();
    if (auto client = session ? session->clientContext() : nullptr)
        client->log(LogEntry(platform::format("create of unknown type '%@' skipped: no class is registered for it", type),
            LogEntry::Type::Debug));
}

} // namespace morvix
