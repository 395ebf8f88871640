#pragma once
// A session, a recording command operator and a remote object for the script peer's tests.

#include "core/base/LogEntry.h"
#include "core/objects/ClientContext.h"
#include "core/objects/ObjectRegistry.h"
#include "core/objects/RemoteClass.h"
#include "core/objects/ServiceObject.h"
#include "core/objects/WidgetRegistry.h"
#include "core/outgoing/Notifications.h"
#include "core/protocol/CommandOperator.h"
#include "core/script/JSBinding.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/net/Url.h"
#include "tests/support/ScriptFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace morvix::testing {

/// Records every operation the bridge hands over, then applies it.
class RecordingCommandOperator final : public CommandOperator {
public:
    static std::shared_ptr<RecordingCommandOperator> create(std::weak_ptr<Session> session)
    {
        return std::shared_ptr<RecordingCommandOperator>(new RecordingCommandOperator(std::move(session)));
    }
    std::optional<platform::Value> processOperation(const platform::Value& operation) override
    {
        operations.push_back(operation);
        return CommandOperator::processOperation(operation);
    }
    std::vector<platform::Value> operations;

private:
    using CommandOperator::CommandOperator;
};

/// The session as the command operator, the remote objects, the bridge and the binding see it.
/// Paths resolve against `serverURL`.
class FakeScriptSession final : public ClientContext,
                                public CommandOperator::Session,
                                public JSBinding::Session,
                                public std::enable_shared_from_this<FakeScriptSession> {
public:
    static std::shared_ptr<FakeScriptSession> create()
    {
        auto session = std::make_shared<FakeScriptSession>();
        session->commands = RecordingCommandOperator::create(session);
        return session;
    }

    // ClientContext and JSBridge::Session
    std::shared_ptr<RemoteObject> objectById(const std::string& id) override { return registry->objectById(id); }
    void removeObjectById(const std::string& id) override { registry->removeObjectById(id); }
    void log(const LogEntry& entry) override
    {
        logged.push_back(entry);
        if (onLog)
            onLog(entry);
    }
    std::optional<std::string> relativeURLToServer(const std::string& path) override
    {
        resolved.push_back(path);
        auto base = platform::Url::parse(serverURLText);
        auto url = base ? platform::Url::resolve(*base, path) : std::nullopt;
        if (!url)
            return std::nullopt;
        return url->absoluteString();
    }
    std::optional<std::string> serverURL() override
    {
        steps.push_back("server url");
        return serverURLText.empty() ? std::nullopt : std::optional<std::string>(serverURLText);
    }

    // CommandOperator::Session
    std::shared_ptr<ClientContext> clientContext() override { return shared_from_this(); }
    std::shared_ptr<ObjectRegistry> objectRegistry() override { return registry; }
    void changeBaseURL(const std::string&) override { }
    void receivedRequestCounter(long) override { }
    void setMorvixUIActive(bool active) override
    {
        steps.push_back(active ? "ui on" : "ui off");
    }

    // JSBinding::Session
    std::shared_ptr<CommandOperator> commandOperator() override { return commands; }
    void load() override
    {
        steps.push_back("load");
        if (onLoad)
            onLoad();
    }

    /// The messages logged, in order.
    std::vector<std::string> messages() const
    {
        std::vector<std::string> texts;
        for (const auto& entry : logged)
            texts.push_back(entry.message());
        return texts;
    }

    std::string serverURLText;
    std::shared_ptr<ObjectRegistry> registry = ObjectRegistry::create();
    std::shared_ptr<RecordingCommandOperator> commands;
    std::vector<LogEntry> logged;
    std::vector<std::string> steps;
    std::vector<std::string> resolved; // every path handed to relativeURLToServer
    std::function<void(const LogEntry&)> onLog;
    std::function<void()> onLoad;
};

/// A remote object of type "test.Lamp": "text" (string), "on" (boolean), the listener flag of
/// "Selection"; the calls "toggle" (returns the new "on") and "echo" (returns its properties).
class Lamp final : public RemoteClass<Lamp> {
public:
    static constexpr std::string_view kRemoteType = "test.Lamp";

    Lamp(CreationKey key, std::string id, std::shared_ptr<ClientContext> client)
        : RemoteClass(key, std::move(id), std::move(client))
    {
        registerSelector(&Lamp::toggle, "toggle");
        registerSelector(&Lamp::echo, "echo");
    }
    static const PropertyTable& properties()
    {
        static const PropertyTable table = PropertyTable::extend<Lamp>(BasicObject::properties())
                                               .string("text", &Lamp::m_text, &Lamp::m_text)
                                               .flag("on", &Lamp::m_on)
                                               .flag("selectionListener", &Lamp::m_selectionListener);
        return table;
    }
    static const PropertyNames& remoteObjectProperties()
    {
        static const PropertyNames names = extendPropertyNames(BasicObject::remoteObjectProperties(), { "text", "on" });
        return names;
    }

    std::optional<platform::Value> toggle(const platform::Value*)
    {
        m_on = !m_on;
        return platform::Value(m_on);
    }
    std::optional<platform::Value> echo(const platform::Value* properties)
    {
        return properties ? *properties : platform::Value::object();
    }
    /// Fires "Selection" with `attributes` when the script listens to it.
    void select(platform::Value attributes)
    {
        if (m_selectionListener)
            Notifications::forObject(objectId())->fireEvent("Selection", std::move(attributes));
    }

    std::optional<std::string> m_text;
    bool m_on = false;
    bool m_selectionListener = false;
};

/// The service "morvix.App" as far as the boot script reads it: "morvixJsVersion".
class FakeApp final : public RemoteClass<FakeApp>, public ServiceObject {
public:
    static constexpr std::string_view kRemoteType = "morvix.App";
    using RemoteClass::RemoteClass;

    static const PropertyTable& properties()
    {
        static const PropertyTable table = PropertyTable::extend<FakeApp>(BasicObject::properties())
                                               .string("morvixJsVersion", nullptr, &FakeApp::version);
        return table;
    }
    static const PropertyNames& remoteObjectProperties()
    {
        static const PropertyNames names = extendPropertyNames(BasicObject::remoteObjectProperties(), { "morvixJsVersion" });
        return names;
    }
    void synchronize() override { }
    std::optional<std::string> version() const { return s_version; }

    static inline std::string s_version = "1.0.0";
};

/// The folder of the script fixture trees.
inline std::filesystem::path scriptFixtures()
{
    return std::filesystem::absolute(std::filesystem::path(__FILE__)).parent_path() / "fixtures" / "js";
}

/// Counts the notifications of one name on the default centre while it lives.
class NotificationCounter {
public:
    explicit NotificationCounter(std::string name)
        : m_token(platform::NotificationCenter::defaultCenter()->addObserver(std::move(name), nullptr,
            [this](const platform::Notification&) { ++count; }))
    {
    }
    int count = 0;

private:
    platform::ObserverToken m_token;
};

/// A bridge on a fake session whose server URL is a temporary folder, with "test.Lamp" and
/// "morvix.App" registered. Pumps the main loop empty when done, so that contexts released
/// later are released.
class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        loop.resetForTesting();
        platform::NotificationCenter::resetDefaultForTesting();
        WidgetRegistry::instance().addHandler<Lamp>();
        WidgetRegistry::instance().addHandler<FakeApp>();
        FakeApp::s_version = "1.0.0";
        session->serverURLText = folder.url();
    }
    void TearDown() override
    {
        bridge.reset();
        loop.runUntilIdle();
        session->registry->reset();
        WidgetRegistry::instance().resetForTesting();
        loop.resetForTesting();
    }

    /// The JSON form of what `script` evaluates to; "<nothing>" for nothing.
    platform::Value run(const std::string& script) { return bridge->execute(script).value_or(platform::Value("<nothing>")); }
    std::shared_ptr<Lamp> lamp(const std::string& id) { return std::dynamic_pointer_cast<Lamp>(session->registry->objectById(id)); }

    platform::MainLoop& loop = platform::MainLoop::main();
    ScriptFolder folder;
    std::shared_ptr<FakeScriptSession> session = FakeScriptSession::create();
    std::shared_ptr<JSBridge> bridge = JSBridge::create(session->commands, session);
};

} // namespace morvix::testing
