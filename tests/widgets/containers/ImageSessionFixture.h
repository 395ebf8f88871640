#pragma once
// A real session against a loopback server that serves the application's first message and the
// images it names, on the headless screen with a manual clock.

#include "core/objects/ObjectRegistry.h"
#include "core/protocol/CommandOperator.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/ImageContext.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/Renderer.h"
#include "tests/support/LoopbackSessionFixture.h"
#include "widgets/foundation/BasicWidget.h"
#include "widgets/images/ImageViewMorvix.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

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
class ImageSessionFixture : public LoopbackSessionFixture {
protected:
    ImageSessionFixture()
        : LoopbackSessionFixture(Options().withSessionPathsOnly())
    {
    }
    void SetUp() override
    {
        auto png = [](platform::Size size, platform::Color color) {
            return TestResponse().withHeader("Content-Type", "image/png").withBody(solidPNG(size, color));
        };
        server.route("/app/big.png", png({ 600, 600 }, platform::Color::fromRGBA(0.1f, 0.2f, 0.9f)));
        server.route("/app/small.png", png({ 50, 50 }, platform::Color::fromRGBA(0.9f, 0.1f, 0.1f)));
        server.route("/app/wide.png", png({ 80, 30 }, platform::Color::fromRGBA(0.1f, 0.7f, 0.2f)));
        LoopbackSessionFixture::SetUp();
    }
    void TearDown() override
    {
        if (client) {
            EXPECT_TRUE(imagesSettled());
        }
        LoopbackSessionFixture::TearDown();
    }

    void start(const std::string& operations)
    {
        setFirstAnswer(answerWithDisplay(operations));
        ASSERT_NO_FATAL_FAILURE(createClient());
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
    /// Every image load has made its last change; then the layout has run.
    bool imagesSettled()
    {
        bool settled = waitUntil([] { return ImageViewMorvix::loadsInFlight() == 0; });
        harness.runUntilIdle();
        return settled;
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
};

} // namespace morvix::testing
