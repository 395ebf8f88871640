#include "core/script/JSBinding.h"

#include "core/base/LogEntry.h"
#include "core/outgoing/MessageOperation.h"
#include "core/outgoing/Notification.h"
#include "core/protocol/CommandOperator.h"
#include "core/script/BootScript.h"
#include "networking/NetNetworkActivityIndicatorManager.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/net/StringEncoding.h"
#include "platform/net/URLRequest.h"

#include <utility>
#include <vector>

namespace morvix {

using platform::Value;

namespace {

struct Event {
    std::string name;
    Value attributes;
};

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace

std::shared_ptr<JSBinding> JSBinding::create(std::weak_ptr<Session> session)
{
    std::shared_ptr<JSBinding> binding(new JSBinding(std::move(session)));
    binding->createBridge();
    return binding;
}

JSBinding::JSBinding(std::weak_ptr<Session> session)
    : m_session(std::move(session))
{
}

void JSBinding::createBridge()
{
    auto session = m_session.lock();
    auto commandOperator = session ? session->commandOperator() : nullptr;
    auto bridge = JSBridge::create(commandOperator, m_session);
    std::lock_guard lock(m_bridgeMutex);
    m_bridge = std::move(bridge);
}

std::shared_ptr<JSBridge> JSBinding::bridge() const
{
    std::lock_guard lock(m_bridgeMutex);
    return m_bridge;
}

void JSBinding::start()
{
    platform::assertOnMainThread();
    auto self = shared_from_this();
    m_active = true;
    NetNetworkActivityIndicatorManager::sharedManager()->setEnabled(true);
    auto session = m_session.lock();
    if (session)
        session->setMorvixUIActive(true);
    loadDeclaredResources(session ? session->serverURL() : std::nullopt);
    bridge()->start();
}

void JSBinding::retry()
{
    platform::MainLoop::main().post([session = m_session] {
        if (auto locked = session.lock())
            locked->load();
    });
}

void JSBinding::reset()
{
    platform::assertOnMainThread();
    stop();
    createBridge();
}

std::optional<Value> JSBinding::execute(std::string_view script, const std::optional<std::string>& sourceURL)
{
    return bridge()->execute(script, sourceURL);
}

void JSBinding::flushOperationsQueue()
{
    bridge()->fireEvent("refresh", Value::object(), "morvix.ui");
}

void JSBinding::loadDeclaredResources(const std::optional<std::string>& serverURL)
{
    auto json = serverURL ? parseJsonFile(*serverURL) : std::nullopt;
    if (!json || !json->is_object() || !json->contains("morvix")) {
        executeBootCode();
        return;
    }
    const Value& path = (*json)["morvix"];
    // Anything but text names no script: it is reported as a missing one.
    loadDeclaredResource(path.is_string() ? std::optional<std::string>(path.get<std::string>()) : std::nullopt);
}

void JSBinding::loadDeclaredResource(const std::optional<std::string>& path)
{
    // The path comes from the served JSON, so it is resolved and confined as the script's own
    // loads are: a local file only inside the application folder, in any session.
    auto url = path ? bridge()->resolve(*path) : std::nullopt;
    auto text = url ? contentOfFile(*url) : std::nullopt;
    if (!text) {
        showCouldNotLoadResourceError(path);
        return;
    }
    bridge()->execute(*text, url);
}

std::optional<Value> JSBinding::parseJsonFile(const std::string& url) const
{
    auto text = contentOfFile(url);
    if (!text)
        return std::nullopt;
    Value json = Value::parse(*text, nullptr, false);
    if (json.is_discarded())
        return std::nullopt;
    return json;
}

std::optional<std::string> JSBinding::contentOfFile(const std::string& url) const
{
    auto session = m_session.lock();
    auto data = JSBridge::readData(url, session ? session->timeoutInterval() : platform::URLRequest::kDefaultTimeoutInterval);
    if (!data)
        return std::nullopt;
    struct Mark {
        std::string_view bytes;
        platform::StringEncoding encoding;
    };
    // Longer marks first: the UTF-32 little-endian mark begins with the UTF-16 one.
    static const Mark marks[] = {
        { std::string_view("\xFF\xFE\x00\x00", 4), platform::kUTF32LittleEndianStringEncoding },
        { std::string_view("\x00\x00\xFE\xFF", 4), platform::kUTF32BigEndianStringEncoding },
        { "\xEF\xBB\xBF", platform::kUTF8StringEncoding },
        { "\xFF\xFE", platform::kUTF16LittleEndianStringEncoding },
        { "\xFE\xFF", platform::kUTF16BigEndianStringEncoding },
    };
    for (const Mark& mark : marks) {
        if (startsWith(*data, mark.bytes))
            return platform::decodeString(std::string_view(*data).substr(mark.bytes.size()), mark.encoding);
    }
    if (auto text = platform::decodeString(*data, platform::kUTF8StringEncoding))
        return text;
    return platform::decodeString(*data, platform::kWindowsCP1252StringEncoding);
}

void JSBinding::executeBootCode()
{
    bridge()->execute(builtInBootScript());
}

void JSBinding::showCouldNotLoadResourceError(const std::optional<std::string>& path)
{
    if (auto session = m_session.lock())
        session->log(LogEntry("Could not load Resource:\n" + path.value_or("<undefined>"), LogEntry::Type::Error));
}

void JSBinding::handleNotificationsFor(const std::shared_ptr<Message>& message)
{
    // Taken now: the message may be filled further while its events run.
    std::string target;
    std::vector<Event> events;
    if (auto notification = std::dynamic_pointer_cast<Notification>(message)) {
        target = notification->getTarget();
        for (const auto& operation : notification->getMessageOperations()) {
            if (operation.kind() == MessageOperation::Kind::Notify)
                events.push_back({ operation.name(), operation.getAttributes() });
        }
    }
    auto deliver = [weak = weak_from_this(), target = std::move(target), events = std::move(events)] {
        auto self = weak.lock();
        if (!self)
            return;
        auto bridge = self->bridge();
        for (const Event& event : events)
            bridge->fireEvent(event.name, event.attributes, target);
        platform::NotificationCenter::defaultCenter()->post(kOperationSucceeded);
    };
    if (platform::isMainThread()) {
        deliver();
        return;
    }
    platform::MainLoop::main().post(std::move(deliver));
}

} // namespace morvix
