#pragma once
// What the session tests share: a configurable delegate, an error recorder, and a fixture with a
// fresh main loop, notification centre, application and window.

#include "core/base/OSUtil.h"
#include "core/outgoing/NotificationsDispatcher.h"
#include "core/session/MorvixClient.h"
#include "core/session/MorvixClientDelegate.h"
#include "core/session/MorvixClientErrorDelegate.h"
#include "core/session/ProtocolTransport.h"
#include "core/session/UserAgent.h"
#include "platform/foundation/BundleInfo.h"
#include "platform/foundation/DeviceInfo.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace morvix::testing {

/// A delegate whose every setting a test may set; unset ones answer "not implemented".
class TestClientDelegate final : public MorvixClientDelegate {
public:
    std::string url;
    std::optional<bool> strict;
    std::optional<bool> infiniteTimeout;
    std::optional<std::int64_t> timeout;
    std::optional<std::string> serverId;
    std::optional<std::vector<std::string>> roots;
    std::optional<bool> developerConsole;
    std::optional<bool> reload;
    std::optional<bool> requests;
    std::optional<bool> responses;
    int readyCount = 0;

    std::string serverURL() override { return url; }
    void clientDidBecomeReady(MorvixClient&) override { ++readyCount; }
    std::optional<bool> useSSLStrict() override { return strict; }
    std::optional<bool> useInfiniteRequestTimeout() override { return infiniteTimeout; }
    std::optional<std::int64_t> requestTimeout() override { return timeout; }
    std::optional<std::string> requiredServerId() override { return serverId; }
    std::optional<std::vector<std::string>> localResourceRoots() override { return roots; }
    std::optional<bool> enableDeveloperConsole() override { return developerConsole; }
    std::optional<bool> enableReload() override { return reload; }
    std::optional<bool> logRequests() override { return requests; }
    std::optional<bool> logResponses() override { return responses; }
};

/// Records the errors presented and the closes.
class RecordingErrorDelegate final : public MorvixClientErrorDelegate {
public:
    std::vector<platform::Error> errors;
    int closeCount = 0;
    void errorOccured(const platform::Error& error, const std::shared_ptr<MorvixClient>&) override { errors.push_back(error); }
    void close() override { ++closeCount; }
};

/// Counts posts of the given notification names on the default centre.
class SessionNotificationCounter {
public:
    explicit SessionNotificationCounter(const std::vector<std::string>& names)
    {
        for (const auto& name : names) {
            m_tokens.push_back(platform::NotificationCenter::defaultCenter()->addObserver(name, nullptr,
                [this](const platform::Notification& notification) {
                    m_counts[notification.name]++;
                    m_order.push_back(notification.name);
                }));
        }
    }
    int count(const std::string& name) const
    {
        auto found = m_counts.find(name);
        return found == m_counts.end() ? 0 : found->second;
    }
    const std::vector<std::string>& order() const { return m_order; }

private:
    std::map<std::string, int> m_counts;
    std::vector<std::string> m_order;
    std::vector<platform::ObserverToken> m_tokens;
};

class SessionFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::MainLoop::main().resetForTesting();
        platform::NotificationCenter::resetDefaultForTesting();
        platform::Application::shared().resetForTesting();
        ProtocolTransport::resetWasActiveForTesting();
        UserAgent::resetForTesting();
        window = platform::Window::create({ 0, 0, 320, 568 });
        delegate = std::make_shared<TestClientDelegate>();
    }

    void TearDown() override
    {
        client.reset();
        platform::MainLoop::main().runUntilIdle();
        server.stop();
        platform::MainLoop::main().resetForTesting();
    }

    std::shared_ptr<MorvixClient> makeClient()
    {
        client = MorvixClient::create(window, { MorvixClient::serverBinding() }, MorvixClient::ApplicationFrame::Off);
        client->setDelegate(delegate);
        return client;
    }

    bool pumpUntil(const std::function<bool()>& done)
    {
        return platform::MainLoop::main().runUntil(done, std::chrono::seconds(10));
    }

    /// Waits until the server has seen `count` requests and the session has handled the last
    /// response (no request in flight).
    bool pumpUntilRequests(std::size_t count)
    {
        return pumpUntil([&] { return server.requestCount() >= count && client && !client->notificationsDispatcher()->isProcessing(); });
    }

    std::vector<RecordedRequest> posts() const
    {
        std::vector<RecordedRequest> found;
        for (auto& request : server.requests()) {
            if (request.method == "POST")
                found.push_back(request);
        }
        return found;
    }

    std::shared_ptr<platform::Window> window;
    std::shared_ptr<TestClientDelegate> delegate;
    std::shared_ptr<MorvixClient> client;
    TestHttpServer server;
};

} // namespace morvix::testing
