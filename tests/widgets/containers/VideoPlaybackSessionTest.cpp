// Videos that play real movies in a script session: a movie the test writes into the
// application's folder is loaded, shown, driven by the peer's calls and played to its end; a
// movie that is missing or outside the folders is reported as an error; a movie over HTTP, from
// servers with and without byte ranges, repeats and changes speed without an error.

#include "widgets/containers/Video.h"

#include "core/base/LogEntry.h"
#include "platform/foundation/MainLoop.h"
#include "platform/graphics/Image.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/screens/MoviePlayer.h"
#include "platform/ui/screens/MovieWriter.h"
#include "tests/support/ScriptSessionFixture.h"
#include "tests/support/TestHttpServer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
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
            collect();
            return std::find(wire.begin(), wire.end(), operation) != wire.end();
        });
    }
    // Keeps in `wire` what has been sent since.
    void collect()
    {
        for (const auto& sentOperation : sent())
            wire.push_back(sentOperation.dump());
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

    // Played from the start, the movie ends: "done" says so, and the player's stop after it is
    // not reported again.
    run("client.set('w5', {playback: 'play'});");
    ASSERT_TRUE(waitForOperation(R"(["notify","w5","Playback",{"playback":"done"}])")) << player->lastError();
    ASSERT_TRUE(waitFor([&] { return player->playbackState() == MoviePlaybackState::Stopped; }));
    harness.runUntilIdle();
    collect();
    EXPECT_EQ(wire, (std::vector<std::string> { R"(["notify","w5","Playback",{"playback":"ready"}])", R"(["set","w5",{"speed":2}])",
                        R"(["notify","w5","Playback",{"playback":"fast_forward"}])", R"(["set","w5",{"speed":1}])",
                        R"(["notify","w5","Playback",{"playback":"done"}])" }));
    EXPECT_EQ(video->getKey("playback"), platform::Value("stop"));
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

    // A movie in the folder reaches the player whatever its size: it is streamed, not held.
    std::filesystem::resize_file(folder.write("long.webm", ""), std::uintmax_t(300) << 20);
    run("client.set('w5', {url: 'long.webm'});");
    EXPECT_EQ(video->player()->contentURL(), "file://" + (folder.path() / "long.webm").string());

    // A movie of the folder plays after them.
    wire.clear();
    run("client.set('w5', {url: 'movie.webm'});");
    ASSERT_TRUE(waitForOperation(R"(["notify","w5","Playback",{"playback":"ready"}])"));
}

// Serves `movie`, by byte ranges when `ranges` holds (saying so), else whole whatever is asked.
void serveMovie(const std::string& movie, bool ranges, const testing::RecordedRequest& request, testing::ResponseWriter& writer)
{
    testing::TestHeaders headers { { "Content-Type", "video/webm" } };
    if (ranges)
        headers.emplace_back("Accept-Ranges", "bytes");
    std::size_t first = 0;
    std::size_t last = movie.size() - 1;
    auto range = request.header("Range");
    if (!ranges || !range || std::sscanf(range->c_str(), "bytes=%zu-%zu", &first, &last) < 1 || first > last || first >= movie.size())
        return void(writer.respond(200, movie, headers));
    last = std::min(last, movie.size() - 1);
    headers.emplace_back("Content-Range", "bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" + std::to_string(movie.size()));
    writer.respond(206, movie.substr(first, last - first + 1), headers);
}

TEST_F(VideoPlaybackSessionTest, AMovieOverHTTPRepeatsAndChangesSpeedWithoutAnError)
{
    std::ifstream file(folder.path() / "movie.webm", std::ios::binary);
    std::string movie((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    start("client.create('w1', 'zub.widgets.Composite', {bounds: [0, 0, 320, 568]});");
    int widgets = 0;
    for (bool ranges : { true, false }) {
        SCOPED_TRACE(ranges ? "a server with byte ranges" : "a server without byte ranges");
        testing::TestHttpServer server;
        server.handle("/movie.webm", [&](const testing::RecordedRequest& request, testing::ResponseWriter& writer) {
            serveMovie(movie, ranges, request, writer);
        });
        server.start();
        std::string id = "v" + std::to_string(++widgets);
        run("client.create('" + id + "', 'morvix.widgets.Video', {parent: 'w1', bounds: [0, 0, 280, 160]});"
            "client.listen('" + id + "', 'Playback', true);");
        auto video = std::dynamic_pointer_cast<Video>(widget(id));
        ASSERT_NE(video, nullptr);
        auto player = video->player();
        // Each pass of the stream is within the cap; two together are not.
        player->setMaximumStreamSize(movie.size() * 3 / 2);
        wire.clear();
        run("client.set('" + id + "', {url: '" + server.url("/movie.webm") + "', repeat: true, playback: 'play'});");
        ASSERT_TRUE(waitForOperation(R"(["notify",")" + id + R"(","Playback",{"playback":"ready"}])")) << player->lastError();

        // A speed between the table's holds, where the stream can seek and where it cannot; so
        // does the place a step moves to, or the movie where it cannot go there.
        run("client.set('" + id + "', {speed: 1.5}); client.call('" + id + "', 'stepToTime', {time: 0.2});");
        EXPECT_EQ(video->getKey("speed"), platform::Value(1.5));
        int loops = 0;
        double last = 0;
        ASSERT_TRUE(waitFor([&] {
            double time = player->currentPlaybackTime();
            loops += time + 0.5 < last;
            last = time;
            return loops == 3 || !player->lastError().empty();
        }));
        EXPECT_EQ(player->lastError(), "");
        EXPECT_EQ(player->currentPlaybackRate(), 1.5);
        EXPECT_EQ(video->getKey("speed"), platform::Value(1.5));
        collect();
        EXPECT_EQ(wire, (std::vector<std::string> { R"(["notify",")" + id + R"(","Playback",{"playback":"ready"}])",
                            R"(["set",")" + id + R"(",{"speed":1.5}])", R"(["notify",")" + id + R"(","Playback",{"playback":"fast_forward"}])" }));
        auto requests = server.requests();
        EXPECT_GE(requests.size(), 3u) << "the movie is read again for each loop";
        EXPECT_EQ(std::any_of(requests.begin(), requests.end(), [](const auto& request) { return request.header("Range").has_value(); }),
            ranges)
            << "no seek asks a server without byte ranges for a part of the movie";
        video->destroy();
    }
}

} // namespace
} // namespace morvix
