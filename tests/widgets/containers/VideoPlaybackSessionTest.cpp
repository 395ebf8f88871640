// Videos that play real movies in a script session: a movie the test writes into the
// application's folder is loaded, shown, driven by the peer's calls and played to its end; a
// movie that is missing or outside the folders is reported as an error.

#include "widgets/containers/Video.h"

#include "core/base/LogEntry.h"
#include "platform/foundation/MainLoop.h"
#include "platform/graphics/Image.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/screens/MoviePlayer.h"
#include "platform/ui/screens/MovieWriter.h"
#include "tests/support/ScriptSessionFixture.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

namespace morvix {
namespace {

using platform::MoviePlaybackState;

class VideoPlaybackSessionTest : public testing::ScriptSessionFixture {
protected:
    void SetUp() override
    {
        ScriptSessionFixture::SetUp();
        // A second and a half of colour bars, 140 x 80.
        platform::MovieWriter::Options options;
        options.width = 140;
        options.height = 80;
        options.frames = 45;
        auto failure = platform::MovieWriter::write((folder.path() / "movie.webm").string(), options);
        ASSERT_FALSE(failure) << *failure;
    }

    void startWithVideo(const std::string& url)
    {
        start(R"(
            client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});
            client.create('w5', 'morvix.widgets.Video', {parent: 'w1', bounds: [0, 0, 280, 160], url: ')" + url + R"('});
            client.listen('w5', 'Playback', true);)");
        video = std::dynamic_pointer_cast<Video>(widget("w5"));
        ASSERT_NE(video, nullptr);
    }
    bool waitFor(const std::function<bool()>& done) { return platform::MainLoop::main().runUntil(done, std::chrono::seconds(20)); }
    // Waits until `operation` has been sent; every operation sent meanwhile is kept in `wire`.
    bool waitForOperation(const std::string& operation)
    {
        return waitFor([&] {
            for (const auto& sentOperation : sent())
                wire.push_back(sentOperation.dump());
            return std::find(wire.begin(), wire.end(), operation) != wire.end();
        });
    }

    std::shared_ptr<Video> video;
    std::vector<std::string> wire;
};

TEST_F(VideoPlaybackSessionTest, AMovieIsShownDrivenByThePeerAndPlayedToItsEnd)
{
    startWithVideo("movie.webm");
    auto player = video->player();
    EXPECT_EQ(player->contentURL(), "file://" + (folder.path() / "movie.webm").string());
    ASSERT_TRUE(waitForOperation(R"(["notify","w5","Playback",{"playback":"ready"}])")) << player->lastError();
    EXPECT_EQ(player->naturalSize(), (platform::Size { 140, 80 }));

    // The first picture fills the widget (twice the movie's size): seven bars from white to blue.
    ASSERT_TRUE(waitFor([&] { return player->currentFrame() != nullptr; }));
    harness.runUntilIdle();
    auto picture = platform::Renderer::render(*video->view());
    ASSERT_NE(picture, nullptr);
    auto near = [](platform::Pixel pixel, int red, int green, int blue) {
        return std::abs(pixel.red - red) < 40 && std::abs(pixel.green - green) < 40 && std::abs(pixel.blue - blue) < 40;
    };
    EXPECT_TRUE(near(picture->pixelAt(20, 40), 255, 255, 255));
    EXPECT_TRUE(near(picture->pixelAt(100, 40), 0, 255, 255));
    EXPECT_TRUE(near(picture->pixelAt(220, 40), 255, 0, 0));
    EXPECT_TRUE(near(picture->pixelAt(260, 40), 0, 0, 255));

    // The peer's calls and speed drive the player; a state the peer did not name is reported.
    run("client.call('w5', 'play', {});");
    ASSERT_TRUE(waitFor([&] { return player->playbackState() == MoviePlaybackState::Playing; }));
    run("client.set('w5', {speed: 2});");
    EXPECT_EQ(player->playbackState(), MoviePlaybackState::SeekingForward);
    ASSERT_TRUE(waitForOperation(R"(["notify","w5","Playback",{"playback":"fast_forward"}])"));
    run("client.call('w5', 'pause', {});");
    EXPECT_EQ(player->playbackState(), MoviePlaybackState::Paused);
    EXPECT_EQ(player->currentPlaybackRate(), 1);
    run("client.call('w5', 'stop', {});");
    EXPECT_EQ(player->playbackState(), MoviePlaybackState::Stopped);

    // Played from the start, the movie ends: "done", then the player's stop.
    run("client.set('w5', {playback: 'play'});");
    ASSERT_TRUE(waitForOperation(R"(["notify","w5","Playback",{"playback":"stop"}])")) << player->lastError();
    EXPECT_EQ(wire, (std::vector<std::string> { R"(["notify","w5","Playback",{"playback":"ready"}])", R"(["set","w5",{"speed":2}])",
                        R"(["notify","w5","Playback",{"playback":"fast_forward"}])", R"(["set","w5",{"speed":1}])",
                        R"(["notify","w5","Playback",{"playback":"done"}])", R"(["set","w5",{"speed":1}])",
                        R"(["notify","w5","Playback",{"playback":"stop"}])" }));
}

TEST_F(VideoPlaybackSessionTest, AMovieMissingOrOutsideTheFoldersIsAnError)
{
    std::vector<std::string> logged;
    startWithVideo("missing.webm");
    client->setLogObserver([&](const LogEntry& entry) { logged.push_back(entry.message()); }, MorvixClient::LogDelivery::AnyThread);
    ASSERT_TRUE(waitForOperation(R"(["notify","w5","Playback",{"playback":"error"}])"));
    EXPECT_FALSE(video->player()->contentURL());

    // A path that leaves the application's folder never reaches the player.
    wire.clear();
    run("client.set('w5', {url: '../../etc/passwd'});");
    ASSERT_TRUE(waitForOperation(R"(["notify","w5","Playback",{"playback":"error"}])"));
    EXPECT_FALSE(video->player()->contentURL());
    EXPECT_NE(std::find_if(logged.begin(), logged.end(), [](const std::string& line) { return line.find("passwd") != std::string::npos; }),
        logged.end());

    // A movie of the folder plays after them.
    wire.clear();
    run("client.set('w5', {url: 'movie.webm'});");
    ASSERT_TRUE(waitForOperation(R"(["notify","w5","Playback",{"playback":"ready"}])"));
}

} // namespace
} // namespace morvix
