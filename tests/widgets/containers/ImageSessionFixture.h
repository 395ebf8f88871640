#pragma once
// A real session against a loopback server that serves the application's first message and the
// images it names, on the headless screen with a manual clock.

#include "core/objects/ObjectRegistry.h"
#include "core/objects/WidgetRegistry.h"
#include "core/protocol/CommandOperator.h"
#include "core/session/ProtocolTransport.h"
#include "library/RemoteTypes.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageContext.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "tests/core/SessionTestSupport.h"
#include "tests/support/TestHttpServer.h"
#include "widgets/foundation/BasicWidget.h"
#include "widgets/images/ImageViewMorvix.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace morvix::testing {

/// A PNG of `size` points at scale 1 filled with `color`.
inline std::string solidPNG(platform::Size size, platform::Color color)
{
    platform::ImageContext canvas(size, platform::Opaque::Yes, 1);
    canvas.context().setFillColor(color);
    canvas.context().fillRect({ 0, 0, size.width, size.height });
    auto png = canvas.image()->pngData();
    return std::string(png.begin(), png.end());
}

/// `start(operations)` opens a session whose first answer creates the display "w1" and then
/// the given operations (a JSON list's items, without the brackets). The server serves
/// "/app/big.png" (600 x 600, blue), "/app/small.png" (50 x 50, red) and "/app/wide.png"
/// (80 x 30, green); every other image path answers 404. Later peer operations go through
/// `apply`, as the session's reader hands them on.
class ImageSessionFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::NotificationCenter::resetDefaultForTesting();
        ProtocolTransport::resetWasActiveForTesting();
        registerRemoteTypes();
        auto png = [](platform::Size size, platform::Color color) {
            return TestResponse().withHeader("Content-Type", "image/png").withBody(solidPNG(size, color));
        };
        server.route("/app/big.png", png({ 600, 600 }, platform::Color::fromRGBA(0.1f, 0.2f, 0.9f)));
        server.route("/app/small.png", png({ 50, 50 }, platform::Color::fromRGBA(0.9f, 0.1f, 0.1f)));
        server.route("/app/wide.png", png({ 80, 30 }, platform::Color::fromRGBA(0.1f, 0.7f, 0.2f)));
        auto session = [this](const RecordedRequest& request, ResponseWriter& writer) {
            std::lock_guard lock(m_mutex);
            writer.respond(200, request.method == "GET" ? m_first : R"({"head":{},"operations":[]})");
        };
        server.handle("/app", session);
        server.handle("/app/", session);
        server.start();
        delegate->url = server.url("/app/");
    }
    void TearDown() override
    {
        if (client) {
            EXPECT_TRUE(imagesSettled());
        }
        client.reset();
        harness.runUntilIdle();
        server.stop();
        WidgetRegistry::instance().resetForTesting();
    }

    void start(const std::string& operations)
    {
        {
            std::lock_guard lock(m_mutex);
            m_first = R"({"head":{},"operations":[["create","w1","zub.widgets.Display",{}],)" + operations + "]}";
        }
        client = MorvixClient::create(harness.window(), { MorvixClient::serverBinding() }, MorvixClient::ApplicationFrame::Off);
        ASSERT_NE(client, nullptr);
        client->setDelegate(delegate);
        client->load();
        ASSERT_TRUE(waitUntil([&] { return server.requestCount() >= 1 && client->objectRegistry()->objectById("w1"); }));
        harness.advance(0.3);
        ASSERT_TRUE(waitUntil([&] { return !posts().empty() && !client->notificationsDispatcher()->isProcessing(); }));
        ASSERT_TRUE(imagesSettled());
        harness.runUntilIdle();
    }
    std::optional<platform::Value> apply(const char* operation)
    {
        auto result = client->commandOperator()->processOperation(platform::Value::parse(operation));
        harness.runUntilIdle();
        return result;
    }
    bool waitUntil(const std::function<bool()>& done)
    {
        return platform::MainLoop::main().runUntil(done, std::chrono::seconds(10));
    }
    /// Every image load has made its last change; then the layout has run.
    bool imagesSettled()
    {
        bool settled = waitUntil([] { return ImageViewMorvix::loadsInFlight() == 0; });
        harness.runUntilIdle();
        return settled;
    }
    std::vector<platform::Value> posts() const
    {
        std::vector<platform::Value> bodies;
        for (const auto& request : server.requests()) {
            if (request.method == "POST")
                bodies.push_back(platform::Value::parse(request.body));
        }
        return bodies;
    }
    template<typename T = BasicWidget>
    std::shared_ptr<T> widget(const std::string& id)
    {
        return std::dynamic_pointer_cast<T>(client->objectRegistry()->objectById(id));
    }
    /// Writes the window to `name` in the pictures folder ($MORVIX_RENDER_DIR, else a
    /// temporary one).
    void picture(const std::string& name)
    {
        auto image = platform::Renderer::render(*harness.window(), { .scale = 2, .backdrop = platform::Color::white() });
        ASSERT_TRUE(image);
        const char* chosen = std::getenv("MORVIX_RENDER_DIR");
        auto directory = chosen ? std::filesystem::path(chosen) : std::filesystem::path(::testing::TempDir()) / "morvix-look";
        std::filesystem::create_directories(directory);
        EXPECT_TRUE(image->writePNG((directory / name).string()));
    }

    platform::UITestHarness harness;
    TestHttpServer server;
    std::shared_ptr<TestClientDelegate> delegate = std::make_shared<TestClientDelegate>();
    std::shared_ptr<MorvixClient> client;

private:
    std::mutex m_mutex; // guards m_first
    std::string m_first;
};

} // namespace morvix::testing
