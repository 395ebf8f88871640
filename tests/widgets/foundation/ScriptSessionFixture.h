#pragma once
// A real session driven by a small script application on the headless screen, with every
// outgoing operation recorded in its wire form.

#include "core/objects/ObjectRegistry.h"
#include "core/objects/WidgetRegistry.h"
#include "core/outgoing/Message.h"
#include "core/outgoing/MessageOperation.h"
#include "core/outgoing/Notification.h"
#include "core/script/JSBinding.h"
#include "core/session/MorvixClient.h"
#include "core/session/MorvixClientDelegate.h"
#include "library/RemoteTypes.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/View.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "tests/core/script/JSTestSupport.h"
#include "widgets/foundation/BasicWidget.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace morvix::testing {

/// Runs a script application in a session on a `UITestHarness` (manual clock); the root
/// composite "w1" the script creates is put on the session's root view. `sent()` gives the
/// operations the session sent, stored or scheduled since the last call, parsed, so that a
/// test compares them with the expected wire text (key order included; 50 and 50.0 are one
/// number on the wire).
class ScriptSessionFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::NotificationCenter::resetDefaultForTesting();
        registerRemoteTypes();
        folder.write("node_modules/morvix/index.js", R"(
            var morvix = window.morvix;
            morvix.version = "1.0.0";
            morvix.trigger = function () {};
            window.document = {createElement: function () { return {}; }, head: {appendChild: function () {}}};
            morvix._notify = function () {};
            module.exports = morvix;)");
        for (const char* name : { Message::kSendNotification, Message::kScheduleNotification, Message::kStoreNotification })
            m_tokens.push_back(platform::NotificationCenter::defaultCenter()->addObserver(name, nullptr,
                [this](const platform::Notification& posted) { record(posted); }));
    }
    void TearDown() override
    {
        client.reset();
        harness.runUntilIdle();
        m_tokens.clear();
        WidgetRegistry::instance().resetForTesting();
    }

    void start(const std::string& main)
    {
        folder.write("index.js", "var client = window.morvix._client;\n" + main);
        delegate->url = folder.url();
        client = MorvixClient::create(harness.window(), { JSBinding::factory() }, MorvixClient::ApplicationFrame::Off);
        ASSERT_NE(client, nullptr);
        client->setDelegate(delegate);
        client->load();
        harness.runUntilIdle();
        auto root = widget("w1");
        ASSERT_NE(root, nullptr);
        client->view()->addSubview(root->view());
        harness.runUntilIdle();
    }
    void run(const std::string& script)
    {
        std::dynamic_pointer_cast<JSBinding>(client->bindings().at(0))->execute("var client = window.morvix._client;\n" + script);
        harness.runUntilIdle();
    }
    std::shared_ptr<RemoteObject> object(const std::string& id) { return client->objectRegistry()->objectById(id); }
    std::shared_ptr<BasicWidget> widget(const std::string& id) { return std::dynamic_pointer_cast<BasicWidget>(object(id)); }

    std::vector<platform::Value> sent()
    {
        auto operations = std::move(m_wire);
        m_wire.clear();
        return operations;
    }
    static std::vector<platform::Value> wire(std::initializer_list<const char*> operations)
    {
        std::vector<platform::Value> parsed;
        for (const char* operation : operations)
            parsed.push_back(platform::Value::parse(operation));
        return parsed;
    }

    class Delegate final : public MorvixClientDelegate {
    public:
        std::string serverURL() override { return url; }
        void clientDidBecomeReady(MorvixClient&) override { }
        std::string url;
    };

    platform::UITestHarness harness;
    ScriptFolder folder;
    std::shared_ptr<Delegate> delegate = std::make_shared<Delegate>();
    std::shared_ptr<MorvixClient> client;

private:
    void record(const platform::Notification& posted)
    {
        auto message = std::any_cast<std::shared_ptr<Message>>(&posted.object);
        auto notification = message ? std::dynamic_pointer_cast<Notification>(*message) : nullptr;
        if (!notification)
            return;
        for (const auto& operation : notification->getMessageOperations())
            m_wire.push_back(operation->toOperationArray(notification->getTarget()));
    }

    std::vector<platform::Value> m_wire;
    std::vector<platform::ObserverToken> m_tokens;
};

} // namespace morvix::testing
