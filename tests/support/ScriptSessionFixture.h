#pragma once
// A real session driven by a small script application on the headless screen, with every
// outgoing message recorded in its wire form.

#include "core/objects/ObjectRegistry.h"
#include "core/objects/WidgetRegistry.h"
#include "core/outgoing/Message.h"
#include "core/outgoing/MessageOperation.h"
#include "core/outgoing/Notification.h"
#include "core/script/JSBinding.h"
#include "core/session/MorvixClient.h"
#include "library/RemoteTypes.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Value.h"
#include "platform/ui/View.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "tests/support/ScriptFolder.h"
#include "tests/support/TestClientDelegate.h"
#include "widgets/foundation/BasicWidget.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace morvix::testing {

/// Runs a script application from `folder` in a session on a `UITestHarness` (manual clock),
/// with the remote types registered. Every message the session sends, stores or schedules is
/// recorded as it is posted: `sent()` gives the operations since the last call, parsed, so that
/// a test compares them with the expected wire text (key order included; 50 and 50.0 are one
/// number on the wire), and `messages()` the messages themselves with their kinds.
///
/// `start` places the root composite "w1" the script creates on the session's root view;
/// `startWithDisplay` puts the display "w1" first. A test that needs something between the
/// session's creation and its load calls `writeApplication`, `createClient` and `loadSession`
/// itself. Main thread.
class ScriptSessionFixture : public ::testing::Test {
protected:
    /// The line `startWithDisplay` puts before the application.
    static constexpr const char* kDisplayLine = "client.create('w1', 'zub.widgets.Display', {});\n";

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
        const std::pair<const char*, const char*> kinds[] = { { Message::kSendNotification, "send" },
            { Message::kScheduleNotification, "schedule" }, { Message::kStoreNotification, "store" } };
        for (auto [name, kind] : kinds)
            m_tokens.push_back(platform::NotificationCenter::defaultCenter()->addObserver(name, nullptr,
                [this, kind = std::string(kind)](const platform::Notification& posted) { record(kind, posted); }));
    }
    void TearDown() override
    {
        client.reset();
        harness.runUntilIdle();
        m_tokens.clear();
        WidgetRegistry::instance().resetForTesting();
    }

    /// Runs `main` as the application; the root composite "w1" it creates is put on the
    /// session's root view.
    void start(const std::string& main)
    {
        writeApplication(main);
        ASSERT_NO_FATAL_FAILURE(createClient());
        loadSession();
        auto root = widget("w1");
        ASSERT_NE(root, nullptr);
        client->view()->addSubview(root->view());
        harness.runUntilIdle();
    }
    /// Runs `main` as the application after a line that creates the display "w1".
    void startWithDisplay(const std::string& main, MorvixClient::ApplicationFrame frame = MorvixClient::ApplicationFrame::Off)
    {
        writeApplication(kDisplayLine + main);
        ASSERT_NO_FATAL_FAILURE(createClient(frame));
        loadSession();
    }
    /// Writes `main` as the application's index.js, after the line that names the client, and
    /// points the delegate at the folder.
    void writeApplication(const std::string& main)
    {
        folder.write("index.js", "var client = window.morvix._client;\n" + main);
        delegate->url = folder.url();
    }
    /// Makes the session with the script binding and `with` as its delegate (the fixture's when
    /// null); does not load it.
    void createClient(MorvixClient::ApplicationFrame frame = MorvixClient::ApplicationFrame::Off,
        std::shared_ptr<MorvixClientDelegate> with = nullptr)
    {
        client = MorvixClient::create(harness.window(), { JSBinding::factory() }, frame);
        ASSERT_NE(client, nullptr);
        if (with)
            client->setDelegate(with);
        else
            client->setDelegate(delegate);
    }
    /// Loads the session and runs the loop until nothing is due.
    void loadSession()
    {
        client->load();
        harness.runUntilIdle();
    }
    /// Runs `script` in the application's context, as the application would.
    void run(const std::string& script)
    {
        std::dynamic_pointer_cast<JSBinding>(client->bindings().at(0))->execute("var client = window.morvix._client;\n" + script);
        harness.runUntilIdle();
    }
    std::shared_ptr<RemoteObject> object(const std::string& id) { return client->objectRegistry()->objectById(id); }
    std::shared_ptr<BasicWidget> widget(const std::string& id) { return std::dynamic_pointer_cast<BasicWidget>(object(id)); }

    /// The operations sent, stored or scheduled since the last call.
    std::vector<platform::Value> sent()
    {
        auto operations = std::move(m_wire);
        m_wire.clear();
        return operations;
    }
    /// Every message since the last call, one entry each: [kind, [operation, ...]], the kind
    /// being "send", "schedule" or "store". Clears what `sent` would give too.
    std::vector<platform::Value> messages()
    {
        sent();
        auto recorded = std::move(m_messages);
        m_messages.clear();
        return recorded;
    }
    static std::vector<platform::Value> wire(std::initializer_list<const char*> operations)
    {
        std::vector<platform::Value> parsed;
        for (const char* operation : operations)
            parsed.push_back(platform::Value::parse(operation));
        return parsed;
    }
    /// One entry of `messages`.
    static platform::Value message(const char* kind, std::initializer_list<const char*> operations)
    {
        platform::Value list = platform::Value::array();
        for (const char* operation : operations)
            list.push_back(platform::Value::parse(operation));
        return platform::Value::array({ kind, list });
    }

    platform::UITestHarness harness;
    ScriptFolder folder;
    std::shared_ptr<TestClientDelegate> delegate = std::make_shared<TestClientDelegate>();
    std::shared_ptr<MorvixClient> client;

private:
    void record(const std::string& kind, const platform::Notification& posted)
    {
        auto posting = std::any_cast<std::shared_ptr<Message>>(&posted.object);
        auto notification = posting ? std::dynamic_pointer_cast<Notification>(*posting) : nullptr;
        if (!notification)
            return;
        platform::Value operations = platform::Value::array();
        for (const auto& operation : notification->getMessageOperations()) {
            auto wire = operation.toOperationArray(notification->getTarget());
            m_wire.push_back(wire);
            operations.push_back(std::move(wire));
        }
        m_messages.push_back(platform::Value::array({ kind, std::move(operations) }));
    }

    std::vector<platform::Value> m_wire;
    std::vector<platform::Value> m_messages;
    std::vector<platform::ObserverToken> m_tokens;
};

} // namespace morvix::testing
