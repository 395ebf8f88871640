#pragma once
// The core's session fixture: a fresh main loop, notification centre, application and window on
// the real clock, a loopback server the test scripts itself, and the session on it.

#include "core/outgoing/NotificationsDispatcher.h"
#include "core/session/MorvixClient.h"
#include "core/session/ProtocolTransport.h"
#include "core/session/UserAgent.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "tests/support/TestClientDelegate.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace morvix::testing {

/// For tests of the session itself, below the widgets: the test routes `server` and starts it,
/// points `delegate->url` at it and makes the session with `makeClient`. Time is real; waits
/// pump the main loop with a safety-net timeout. Main thread.
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
