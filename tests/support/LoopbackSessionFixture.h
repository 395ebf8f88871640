#pragma once
// A real session against a scripted server on loopback, on the headless screen with a manual
// clock: the fixture the session tests of the widgets, the application frame and the services
// share.

#include "core/objects/ObjectRegistry.h"
#include "core/objects/WidgetRegistry.h"
#include "core/outgoing/Binding.h"
#include "core/outgoing/NotificationsDispatcher.h"
#include "core/session/MorvixClient.h"
#include "core/session/ProtocolTransport.h"
#include "library/RemoteTypes.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/Size.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "tests/support/TestClientDelegate.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace morvix::testing {

/// A session on the harness's window whose peer is `server`: the session's GET gets the first
/// answer (`setFirstAnswer`; by default one that creates the display "w1"), each POST the next
/// answer queued with `reply`, or an empty one. The remote types are registered. A test's own
/// routes go on `server` before this fixture's `SetUp` starts it; what a test needs besides
/// goes in its subclass, after `SetUp`.
///
/// Example:
///   class DeviceReportTest : public testing::LoopbackSessionFixture { };
///   TEST_F(DeviceReportTest, ...)
///   {
///       start();                       // loaded, and its first POST answered
///       reply(answer(R"([["set","w1",{}]])"));
///       ...                            // something that makes the session send
///       ASSERT_TRUE(settle(2));
///       EXPECT_EQ(posts().at(1)["operations"], ...);
///   }
///
/// Main thread; the server answers on threads of its own.
class LoopbackSessionFixture : public ::testing::Test {
public:
    /// Where the tests that share this fixture differ. Chained setters, so that a subclass's
    /// constructor passes them as one expression.
    struct Options {
        /// The harness's screen; 320 x 568 points at scale 2 when not given.
        Options& withScreen(platform::Size size, double scale) { screen = size; screenScale = scale; return *this; }
        /// The session runs in the application frame.
        Options& withApplicationFrame() { frame = MorvixClient::ApplicationFrame::On; return *this; }
        /// `settle` first lets the scheduled messages go out (0.3 s on the clock).
        Options& withFlushOnSettle() { flushOnSettle = true; return *this; }
        /// The session is served on "/app" and "/app/" only, so that a path without a route
        /// answers 404; otherwise the session's answers serve every such path.
        Options& withSessionPathsOnly() { sessionPathsOnly = true; return *this; }
        /// `posts` leaves out the device service's connection reports, which the host's own
        /// reachability readings send whenever they come; a message of nothing else is left
        /// out whole.
        Options& withoutConnectionReports() { connectionReports = false; return *this; }
        /// The session's server binding is kept in `binding`, and `settle` waits for it too.
        Options& withServerBindingKept() { keepServerBinding = true; return *this; }

        platform::Size screen { 320, 568 };
        double screenScale = 2;
        MorvixClient::ApplicationFrame frame = MorvixClient::ApplicationFrame::Off;
        bool flushOnSettle = false;
        bool sessionPathsOnly = false;
        bool connectionReports = true;
        bool keepServerBinding = false;
    };

protected:
    static constexpr const char* kEmptyAnswer = R"({"head":{},"operations":[]})";

    LoopbackSessionFixture()
        : LoopbackSessionFixture(Options())
    {
    }
    explicit LoopbackSessionFixture(const Options& options)
        : harness(options.screen, options.screenScale)
        , m_options(options)
    {
    }

    void SetUp() override
    {
        platform::NotificationCenter::resetDefaultForTesting();
        ProtocolTransport::resetWasActiveForTesting();
        registerRemoteTypes();
        auto session = [this](const RecordedRequest& request, ResponseWriter& writer) { writer.respond(200, answerTo(request)); };
        if (m_options.sessionPathsOnly) {
            server.handle("/app", session);
            server.handle("/app/", session);
        } else {
            server.handle("*", session);
        }
        server.start();
        delegate->url = server.url("/app/");
    }
    void TearDown() override
    {
        client.reset();
        harness.runUntilIdle();
        server.stop();
        WidgetRegistry::instance().resetForTesting();
    }

    /// An answer that carries `operations` (a JSON array).
    static std::string answer(const std::string& operations) { return R"({"head":{},"operations":)" + operations + "}"; }
    /// An answer that creates the display "w1" and then `operations` (a JSON list's items,
    /// without the brackets).
    static std::string answerWithDisplay(const std::string& operations)
    {
        return R"({"head":{},"operations":[["create","w1","zub.widgets.Display",{}],)" + operations + "]}";
    }
    /// The answer to the session's GET from now on. Any thread.
    void setFirstAnswer(std::string body)
    {
        std::lock_guard lock(m_mutex);
        m_firstAnswer = std::move(body);
    }
    /// Queues `body` as the answer to the next POST that finds none queued before it. Any thread.
    void reply(std::string body)
    {
        std::lock_guard lock(m_mutex);
        m_replies.push_back(std::move(body));
    }

    /// Makes the session on the harness's window with the fixture's delegate and the server
    /// binding, followed by `more`; does not load it.
    void createClient(std::vector<BindingFactory> more = {})
    {
        std::vector<BindingFactory> bindings { MorvixClient::serverBinding() };
        if (m_options.keepServerBinding) {
            bindings.front() = [this, serverBinding = bindings.front()](std::weak_ptr<MorvixClient> owner) {
                binding = serverBinding(owner);
                return binding;
            };
        }
        bindings.insert(bindings.end(), more.begin(), more.end());
        client = MorvixClient::create(harness.window(), bindings, m_options.frame);
        ASSERT_NE(client, nullptr);
        client->setDelegate(delegate);
    }
    /// Loads the session and waits until its first POST, the display's first report that goes
    /// out 0.3 s after the answer to the GET, has been answered.
    void loadSession()
    {
        client->load();
        if (!m_options.flushOnSettle) {
            ASSERT_TRUE(settle(0));
            harness.advance(0.3);
        }
        ASSERT_TRUE(settle(1));
    }
    /// `createClient`, then `loadSession`.
    void start()
    {
        ASSERT_NO_FATAL_FAILURE(createClient());
        loadSession();
    }

    /// Turns the loop until the server has seen `count` POSTs and the session's GET, and the
    /// session has handled every answer and has nothing in flight.
    bool settle(std::size_t count)
    {
        if (m_options.flushOnSettle)
            harness.advance(0.3);
        return waitUntil([&] {
            return posts().size() >= count && m_gets > 0 && !client->notificationsDispatcher()->isProcessing()
                && !(binding && binding->isProcessing());
        });
    }
    /// Plays the peer once: `operations` (a JSON array) answer the next POST, which `provoke`
    /// makes the session send; then waits until that answer has been handled.
    void answerNextPost(const std::string& operations, const std::function<void()>& provoke)
    {
        reply(answer(operations));
        std::size_t before = posts().size();
        provoke();
        ASSERT_TRUE(settle(before + 1));
    }
    bool waitUntil(const std::function<bool()>& done) { return platform::MainLoop::main().runUntil(done, std::chrono::seconds(10)); }

    /// The bodies of the POSTs so far, in order (see `withoutConnectionReports`).
    std::vector<platform::Value> posts() const
    {
        std::vector<platform::Value> bodies;
        for (const auto& request : server.requests()) {
            if (request.method != "POST")
                continue;
            auto body = platform::Value::parse(request.body);
            if (m_options.connectionReports || leaveOutConnectionReports(body))
                bodies.push_back(std::move(body));
        }
        return bodies;
    }
    /// The operations addressing `target` in the POSTs from the `index`-th on.
    platform::Value operationsFor(const std::string& target, std::size_t index = 0) const
    {
        platform::Value found = platform::Value::array();
        auto bodies = posts();
        for (std::size_t i = index; i < bodies.size(); ++i) {
            for (const auto& operation : bodies[i]["operations"]) {
                if (operation[1] == target)
                    found.push_back(operation);
            }
        }
        return found;
    }
    template<typename T = RemoteObject>
    std::shared_ptr<T> object(const std::string& id) const
    {
        return std::dynamic_pointer_cast<T>(client->objectRegistry()->objectById(id));
    }

    platform::UITestHarness harness;
    TestHttpServer server;
    std::shared_ptr<TestClientDelegate> delegate = std::make_shared<TestClientDelegate>();
    std::shared_ptr<Binding> binding; // with `withServerBindingKept` only
    std::shared_ptr<MorvixClient> client;

private:
    std::string answerTo(const RecordedRequest& request)
    {
        std::lock_guard lock(m_mutex);
        if (request.method == "GET") {
            ++m_gets;
            return m_firstAnswer;
        }
        if (m_replies.empty())
            return kEmptyAnswer;
        auto body = std::move(m_replies.front());
        m_replies.pop_front();
        return body;
    }
    /// Takes the connection reports out of `body`; false when nothing else was in it.
    static bool leaveOutConnectionReports(platform::Value& body)
    {
        if (!body.is_object() || !body.contains("operations") || !body["operations"].is_array())
            return true;
        platform::Value kept = platform::Value::array();
        for (const auto& operation : body["operations"]) {
            bool connection = operation.size() > 2 && operation[1] == "morvix.Device" && operation[2].is_object()
                && operation[2].contains("connectionType");
            if (!connection)
                kept.push_back(operation);
        }
        if (kept.empty() && !body["operations"].empty())
            return false;
        body["operations"] = std::move(kept);
        return true;
    }

    Options m_options;
    std::mutex m_mutex; // guards m_firstAnswer and m_replies
    std::string m_firstAnswer = answer(R"([["create","w1","zub.widgets.Display",{}]])");
    std::deque<std::string> m_replies;
    std::atomic<int> m_gets = 0;
};

} // namespace morvix::testing
