// The movie player: real movies (written by the test with the media framework) played to their
// end, paused, stopped, sped up, repeated and drawn; unplayable ones ending as errors; a held
// player whose state only drivers change; full screen as a presentation.

#include "platform/ui/screens/MoviePlayer.h"

#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/Image.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"
#include "platform/ui/rendering/Renderer.h"
#include "platform/ui/rendering/UITestHarness.h"
#include "platform/ui/screens/MovieWriter.h"
#include "tests/support/TestHttpServer.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace morvix::platform;

namespace {

class MoviePlayerTest : public ::testing::Test {
protected:
    // The movies every test may play, written once: colour bars for a third of a second, and
    // three seconds of red with a tone.
    static void SetUpTestSuite()
    {
        char pattern[] = "/tmp/morvix-movies-XXXXXX";
        s_folder = ::mkdtemp(pattern);
        MovieWriter::Options bars;
        bars.width = 140;
        bars.height = 80;
        auto failure = MovieWriter::write(s_folder + "/bars.webm", bars);
        ASSERT_FALSE(failure) << *failure;
        MovieWriter::Options red;
        red.pattern = MovieWriter::Pattern::Red;
        red.frames = 90;
        red.sound = MovieWriter::Sound::Tone;
        failure = MovieWriter::write(s_folder + "/red.webm", red);
        ASSERT_FALSE(failure) << *failure;
        std::ofstream(s_folder + "/text.webm") << "no movie at all";
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(s_folder); }
    static std::string movie(const std::string& name) { return "file://" + s_folder + "/" + name; }

    void SetUp() override
    {
        NotificationCenter::resetDefaultForTesting();
        for (auto name : { MoviePlayer::kPlaybackStateDidChange, MoviePlayer::kLoadStateDidChange, MoviePlayer::kPlaybackDidFinish,
                 MoviePlayer::kDidEnterFullscreen, MoviePlayer::kDidExitFullscreen }) {
            m_tokens.push_back(NotificationCenter::defaultCenter()->addObserver(std::string(name), player.get(),
                [this](const Notification& notification) {
                    std::string entry = notification.name.substr(notification.name.rfind('.') + 1);
                    if (notification.name == MoviePlayer::kPlaybackStateDidChange)
                        entry += " " + std::string(playbackStateName(player->playbackState()));
                    if (!notification.userInfo.is_null())
                        entry += " " + notification.userInfo.dump();
                    heard.push_back(entry);
                }));
        }
    }
    void TearDown() override { MoviePlayer::setDecodingForTesting(MoviePlayer::Decoding::On); }

    bool waitFor(const std::function<bool()>& done) { return MainLoop::main().runUntil(done, std::chrono::seconds(20)); }
    bool heardEntry(const std::string& entry) const { return std::find(heard.begin(), heard.end(), entry) != heard.end(); }

    static inline std::string s_folder;
    UITestHarness harness;
    std::shared_ptr<MoviePlayer> player = MoviePlayer::create();
    std::vector<std::string> heard;

private:
    std::vector<ObserverToken> m_tokens;
};

// Whether `pixel` is `expected` give or take what the movie's compression changes.
::testing::AssertionResult near(Pixel pixel, Pixel expected)
{
    auto off = [](int a, int b) { return std::abs(a - b) > 40; };
    if (off(pixel.red, expected.red) || off(pixel.green, expected.green) || off(pixel.blue, expected.blue))
        return ::testing::AssertionFailure() << "pixel (" << int(pixel.red) << ", " << int(pixel.green) << ", " << int(pixel.blue)
                                             << ") is not near (" << int(expected.red) << ", " << int(expected.green) << ", "
                                             << int(expected.blue) << ")";
    return ::testing::AssertionSuccess();
}

TEST_F(MoviePlayerTest, AMoviePlaysToItsEndAndIsDrawnScaledToFit)
{
    player->setContentURL(movie("bars.webm"));
    player->prepareToPlay();
    ASSERT_TRUE(waitFor([&] { return player->loadState() & MovieLoadStatePlaythroughOK; })) << player->lastError();
    EXPECT_EQ(player->loadState(), unsigned(MovieLoadStatePlayable | MovieLoadStatePlaythroughOK));
    EXPECT_EQ(player->playbackState(), MoviePlaybackState::Stopped) << "prepared, not playing";
    ASSERT_TRUE(waitFor([&] { return player->currentFrame() != nullptr; }));
    EXPECT_EQ(player->naturalSize(), (Size { 140, 80 }));
    EXPECT_NEAR(player->duration(), 10.0 / 30, 0.05);
    EXPECT_EQ(heard, std::vector<std::string> { "LoadStateDidChange" });

    // The first picture, fitted into a view twice its size: the bars from white on the left to
    // blue on the right, across the top two thirds.
    player->view()->setFrame({ 0, 0, 280, 200 });
    harness.window()->addSubview(player->view());
    harness.runUntilIdle();
    auto picture = Renderer::render(*player->view());
    ASSERT_NE(picture, nullptr);
    double top = 20 + 10; // the 160-point picture is centred in 200 points
    const Pixel bars[] = { { 255, 255, 255, 255 }, { 255, 255, 0, 255 }, { 0, 255, 255, 255 }, { 0, 255, 0, 255 },
        { 255, 0, 255, 255 }, { 255, 0, 0, 255 }, { 0, 0, 255, 255 } };
    for (int bar = 0; bar < 7; ++bar)
        EXPECT_TRUE(near(picture->pixelAt(int(40 * bar + 20), int(top + 40)), bars[bar])) << "bar " << bar;
    EXPECT_TRUE(near(picture->pixelAt(140, 5), { 31, 31, 31, 255 })) << "the dark box above the fitted picture";

    player->play();
    ASSERT_TRUE(waitFor([&] { return heardEntry(R"(PlaybackDidFinish {"reason":0})"); })) << player->lastError();
    EXPECT_EQ(heard, (std::vector<std::string> { "LoadStateDidChange", "PlaybackStateDidChange playing",
                         R"(PlaybackDidFinish {"reason":0})", "PlaybackStateDidChange stopped" }));
    EXPECT_EQ(player->currentPlaybackTime(), 0);
    EXPECT_NE(player->currentFrame(), nullptr) << "the last picture stays";

    // Played again from the start, it ends again.
    heard.clear();
    player->play();
    ASSERT_TRUE(waitFor([&] { return heardEntry(R"(PlaybackDidFinish {"reason":0})"); }));
    EXPECT_EQ(heard.front(), "PlaybackStateDidChange playing");
}

TEST_F(MoviePlayerTest, PauseStopRateAndPositionChangeThePlayback)
{
    player->setContentURL(movie("red.webm"));
    player->setCurrentPlaybackRate(1);
    player->play();
    ASSERT_TRUE(waitFor([&] { return player->playbackState() == MoviePlaybackState::Playing; })) << player->lastError();
    EXPECT_NEAR(player->duration(), 3, 0.1);

    player->setCurrentPlaybackRate(2);
    EXPECT_EQ(player->playbackState(), MoviePlaybackState::SeekingForward);
    player->setCurrentPlaybackRate(1e9);
    EXPECT_EQ(player->currentPlaybackRate(), MoviePlayer::kMaximumRate) << "held to the fastest rate";
    player->setCurrentPlaybackRate(1);
    EXPECT_EQ(player->playbackState(), MoviePlaybackState::Playing);

    player->pause();
    EXPECT_EQ(player->playbackState(), MoviePlaybackState::Paused);
    player->setCurrentPlaybackTime(1.5);
    ASSERT_TRUE(waitFor([&] { return std::abs(player->currentPlaybackTime() - 1.5) < 0.05; }));
    player->setCurrentPlaybackTime(1e9);
    ASSERT_TRUE(waitFor([&] { return player->currentPlaybackTime() > 2.5; })) << "held to the movie's length";

    // A rate of 0 pauses; playing again plays at 1.
    player->setCurrentPlaybackTime(0.5);
    player->play();
    ASSERT_TRUE(waitFor([&] { return player->playbackState() == MoviePlaybackState::Playing; }));
    player->setCurrentPlaybackRate(0);
    EXPECT_EQ(player->playbackState(), MoviePlaybackState::Paused);

    player->stop();
    EXPECT_EQ(player->playbackState(), MoviePlaybackState::Stopped);
    EXPECT_EQ(player->currentPlaybackTime(), 0);
    player->play();
    EXPECT_EQ(player->currentPlaybackRate(), 1);
    ASSERT_TRUE(waitFor([&] { return player->playbackState() == MoviePlaybackState::Playing; }));
    EXPECT_LT(player->currentPlaybackTime(), 1) << "from the start again";
    EXPECT_EQ(player->requests().size(), 6u) << "the rate of 0 paused";
    EXPECT_FALSE(heardEntry(R"(PlaybackDidFinish {"reason":0})"));

    // Going while it plays: the stream goes down and nothing it had on its way is heard.
    std::size_t count = heard.size();
    player.reset();
    harness.runUntilIdle();
    EXPECT_EQ(heard.size(), count);
}

TEST_F(MoviePlayerTest, ATurnWaitsForTheSeekOnItsWay)
{
    // The place asked for before the movie is loaded is sought at its first preroll; a turn
    // asked for as soon as it plays may meet that seek on its way, when the stream's position
    // is not known yet.
    player->setContentURL(movie("red.webm"));
    player->setCurrentPlaybackTime(2.5);
    player->play();
    ASSERT_TRUE(waitFor([&] { return player->playbackState() == MoviePlaybackState::Playing; })) << player->lastError();
    player->setCurrentPlaybackRate(-2);
    bool between = false;
    ASSERT_TRUE(waitFor([&] {
        double time = player->currentPlaybackTime();
        between = between || (time > 0.5 && time < 2);
        return heardEntry(R"(PlaybackDidFinish {"reason":0})");
    })) << player->lastError();
    EXPECT_TRUE(between) << "played backward from 2.5 to the start, not ended at once";
}

TEST_F(MoviePlayerTest, RepeatStartsAgainWithoutAFinish)
{
    player->setRepeatMode(MovieRepeatMode::One);
    player->setContentURL(movie("bars.webm"));
    player->play();
    bool late = false;
    ASSERT_TRUE(waitFor([&] {
        double time = player->currentPlaybackTime();
        late = late || time > 0.25;
        return late && time < 0.1;
    })) << player->lastError();
    EXPECT_EQ(player->playbackState(), MoviePlaybackState::Playing);
    EXPECT_FALSE(heardEntry(R"(PlaybackDidFinish {"reason":0})"));
}

TEST_F(MoviePlayerTest, WhatCannotBePlayedFinishesWithAnErrorOnce)
{
    const char* error = R"(PlaybackDidFinish {"reason":1})";
    for (auto url : { movie("missing.webm"), movie("text.webm"), std::string("ftp://host/movie.webm"), std::string("movie.webm") }) {
        heard.clear();
        player->setContentURL(url);
        player->prepareToPlay();
        player->play();
        ASSERT_TRUE(waitFor([&] { return heardEntry(error); })) << url;
        EXPECT_FALSE(player->lastError().empty()) << url;
        player->pause();
        harness.runUntilIdle();
        EXPECT_EQ(std::count(heard.begin(), heard.end(), error), 1) << url;
        EXPECT_EQ(player->playbackState(), MoviePlaybackState::Stopped) << url;
    }

    // An owner that finds the movie out of reach ends it the same way, on a later turn.
    heard.clear();
    player->setContentURL(movie("bars.webm"));
    player->failToLoad("outside the folders");
    EXPECT_FALSE(player->contentURL());
    EXPECT_TRUE(heard.empty());
    harness.runUntilIdle();
    EXPECT_EQ(heard, std::vector<std::string> { error });
    EXPECT_EQ(player->lastError(), "outside the folders");
}

TEST_F(MoviePlayerTest, AMovieOverHTTPPlaysWithinItsByteCap)
{
    std::ifstream file(s_folder + "/bars.webm", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    morvix::testing::TestHttpServer server;
    server.route("/bars.webm", morvix::testing::TestResponse().withHeader("Content-Type", "video/webm").withBody(bytes));
    server.start();

    player->setContentURL(server.url("/bars.webm"));
    player->play();
    ASSERT_TRUE(waitFor([&] { return heardEntry(R"(PlaybackDidFinish {"reason":0})"); })) << player->lastError();
    EXPECT_EQ(player->naturalSize(), (Size { 140, 80 }));

    // A stream that reads past the cap ends as an error, however far it got.
    heard.clear();
    player->setMaximumStreamSize(bytes.size() / 2);
    player->setContentURL(server.url("/bars.webm"));
    player->play();
    ASSERT_TRUE(waitFor([&] { return heardEntry(R"(PlaybackDidFinish {"reason":1})"); }));
    EXPECT_FALSE(heardEntry(R"(PlaybackDidFinish {"reason":0})"));
    EXPECT_NE(player->lastError().find("larger than"), std::string::npos) << player->lastError();
}

TEST_F(MoviePlayerTest, AHeldPlayerRecordsRequestsAndOnlyDriversChangeIt)
{
    MoviePlayer::setDecodingForTesting(MoviePlayer::Decoding::Off);
    auto held = MoviePlayer::create();
    held->setContentURL(movie("bars.webm"));
    held->prepareToPlay();
    held->play();
    held->pause();
    held->stop();
    EXPECT_EQ(held->requests(), (std::vector<MoviePlayer::Request> { MoviePlayer::Request::PrepareToPlay,
                                    MoviePlayer::Request::Play, MoviePlayer::Request::Pause, MoviePlayer::Request::Stop }));
    harness.runUntilIdle();
    EXPECT_EQ(held->playbackState(), MoviePlaybackState::Stopped);
    EXPECT_EQ(held->loadState(), 0u);

    // Drivers post for their own player only.
    held->drivePlaybackState(MoviePlaybackState::Playing);
    EXPECT_TRUE(heard.empty());
    player->drivePlaybackState(MoviePlaybackState::Paused);
    player->driveLoadState(MovieLoadStatePlayable | MovieLoadStateStalled);
    player->driveNaturalSize({ 640, 360 });
    player->driveFinished(MovieFinishReason::PlaybackError);
    EXPECT_EQ(player->playbackState(), MoviePlaybackState::Paused);
    EXPECT_EQ(player->loadState(), 5u);
    EXPECT_EQ(player->naturalSize(), (Size { 640, 360 }));
    EXPECT_EQ(heard, (std::vector<std::string> { "PlaybackStateDidChange paused", "LoadStateDidChange", R"(PlaybackDidFinish {"reason":1})" }));

    // A new movie starts from nothing; the request history keeps the latest only.
    player->setContentURL("http://host/other.mp4");
    EXPECT_EQ(player->loadState(), 0u);
    EXPECT_EQ(player->naturalSize(), (Size { 0, 0 }));
    EXPECT_EQ(player->playbackState(), MoviePlaybackState::Stopped);
    for (std::size_t i = 0; i < MoviePlayer::kRequestHistory + 10; ++i)
        held->pause();
    EXPECT_EQ(held->requests().size(), MoviePlayer::kRequestHistory);
}

TEST_F(MoviePlayerTest, FullScreenIsPostedAfterItsTransition)
{
    player->setFullscreen(true, Animated::Yes);
    EXPECT_TRUE(player->isFullscreen());
    harness.advance(MoviePlayer::kFullscreenTransition - 0.01);
    EXPECT_TRUE(heard.empty());
    harness.advance(0.02);
    EXPECT_EQ(heard, std::vector<std::string> { "DidEnterFullscreen" });

    player->setFullscreen(true, Animated::No);
    harness.runUntilIdle();
    EXPECT_EQ(heard.size(), 1u) << "the flag it already has changes nothing";

    player->setFullscreen(false, Animated::No);
    EXPECT_FALSE(player->isFullscreen());
    EXPECT_EQ(heard.size(), 1u) << "posted on the next turn, not inside the call";
    harness.runUntilIdle();
    EXPECT_EQ(heard.back(), "DidExitFullscreen");

    // A person's toggle is posted at once; destroying the player drops a pending transition.
    player->driveUserFullscreen(true);
    EXPECT_EQ(heard.back(), "DidEnterFullscreen");
    player->setFullscreen(false, Animated::Yes);
    player.reset();
    harness.advance(1);
    EXPECT_EQ(heard.size(), 3u);
}

} // namespace
