#pragma once
// A real session against a scripted server on loopback, on the headless screen with a manual
// clock, for the scrolling, menu and refresh widgets: the test sets what the first answer
// creates, hands the session further operations and reads every POST's operations.

#include "core/objects/ObjectRegistry.h"
#include "core/objects/WidgetRegistry.h"
#include "core/outgoing/Binding.h"
#include "core/outgoing/Notifications.h"
#include "core/outgoing/NotificationsDispatcher.h"
#include "core/session/MorvixClient.h"
#include "core/session/ProtocolTransport.h"
#include "library/RemoteTypes.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/foundation/MainLoop.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "tests/core/SessionTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace morvix::testing {

class ScrollMenuSessionFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::NotificationCenter::resetDefaultForTesting();
        ProtocolTransport::resetWasActiveForTesting();
        registerRemoteTypes();
        server.handle("*", [this](const RecordedRequest& request, ResponseWriter& writer) {
            std::string body = R"({"head":{},"operations":[]})";
            std::lock_guard lock(m_mutex);
            if (request.method == "GET") {
                ++m_gets;
                body = R"({"head":{},"operations":)" + m_first + "}";
            } else if (!m_replies.empty()) {
                body = m_replies.front();
                m_replies.pop_front();
            }
            writer.respond(200, body);
        });
        server.start();
        delegate->url = server.url("/app/");
    }
    void TearDown() override
    {
        client.reset();
        harness.runUntilIdle();
        server.stop();
        WidgetRegistry::instance().resetForTesting();
        platform::DeviceInfo::resetForTesting();
    }

    // Loads the session with `operations` (a JSON array) as the first answer and lets the first
    // POST go out and be answered.
    void start(std::string operations)
    {
        m_first = std::move(operations);
        auto serverBinding = MorvixClient::serverBinding();
        std::vector<BindingFactory> bindings { [this, serverBinding](std::weak_ptr<MorvixClient> owner) {
            binding = serverBinding(owner);
            return binding;
        } };
        client = MorvixClient::create(harness.window(), bindings, MorvixClient::ApplicationFrame::Off);
        ASSERT_NE(client, nullptr);
        client->setDelegate(delegate);
        client->load();
        ASSERT_TRUE(settle(0));
        harness.advance(0.3);
        ASSERT_TRUE(settle(1));
    }
    // Turns the loop until the server has seen `count` POSTs and the session has handled the
    // answers and has nothing in flight.
    bool settle(std::size_t count)
    {
        return platform::MainLoop::main().runUntil(
            [&] {
                return posts().size() >= count && m_gets > 0 && !client->notificationsDispatcher()->isProcessing()
                    && !(binding && binding->isProcessing());
            },
            std::chrono::seconds(10));
    }
    // Answers the next POST with `operations` (a JSON array), makes the session send one, and
    // waits until the answer has been handled and what it caused has gone out.
    void deliver(const std::string& operations)
    {
        {
            std::lock_guard lock(m_mutex);
            m_replies.push_back(R"({"head":{},"operations":)" + operations + "}");
        }
        std::size_t before = posts().size();
        auto head = Notifications::forHead();
        head->setAttribute(true, "event");
        head->send();
        ASSERT_TRUE(settle(before + 1));
    }
    // The POSTs, without the device service's connection reports: the host's own reachability
    // readings send those whenever they come, and a message of nothing else is left out.
    std::vector<platform::Value> posts() const
    {
        std::vector<platform::Value> bodies;
        for (const auto& request : server.requests()) {
            if (request.method != "POST")
                continue;
            auto body = platform::Value::parse(request.body);
            if (!body.is_object() || !body.contains("operations") || !body["operations"].is_array()) {
                bodies.push_back(std::move(body));
                continue;
            }
            platform::Value kept = platform::Value::array();
            for (const auto& operation : body["operations"]) {
                bool connection = operation.size() > 2 && operation[1] == "morvix.Device" && operation[2].is_object()
                    && operation[2].contains("connectionType");
                if (!connection)
                    kept.push_back(operation);
            }
            if (kept.empty() && !body["operations"].empty())
                continue;
            body["operations"] = std::move(kept);
            bodies.push_back(std::move(body));
        }
        return bodies;
    }
    // The operations of the POSTs from the `first`-th on, in order, as one JSON array.
    std::string operationsSince(std::size_t first) const
    {
        platform::Value all = platform::Value::array();
        auto bodies = posts();
        for (std::size_t i = first; i < bodies.size(); ++i) {
            for (const auto& operation : bodies[i]["operations"])
                all.push_back(operation);
        }
        return all.dump();
    }
    template<typename T>
    std::shared_ptr<T> object(const std::string& id) const
    {
        return std::dynamic_pointer_cast<T>(client->objectRegistry()->objectById(id));
    }

    platform::UITestHarness harness;
    TestHttpServer server;
    std::shared_ptr<TestClientDelegate> delegate = std::make_shared<TestClientDelegate>();
    std::shared_ptr<Binding> binding;
    std::shared_ptr<MorvixClient> client;

private:
    std::mutex m_mutex; // guards m_replies and m_first
    std::deque<std::string> m_replies;
    std::string m_first = "[]";
    std::atomic<int> m_gets = 0;
};

} // namespace morvix::testing
