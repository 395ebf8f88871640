// Videos in a real session whose player is held (it opens no stream: the server here serves no
// movie), so that the test drives it into states a stream would not hold still and reads what
// the session reports, one main-loop turn after each change. VideoPlaybackSessionTest plays
// real movies.

#include "widgets/containers/Video.h"

#include "platform/ui/View.h"
#include "platform/ui/screens/MoviePlayer.h"
#include "tests/widgets/containers/ScrollMenuSessionFixture.h"

namespace morvix {
namespace {

using platform::MovieControlStyle;
using platform::MovieFinishReason;
using platform::MoviePlaybackState;
using platform::MoviePlayer;
using platform::Value;
using Request = MoviePlayer::Request;

class VideoSessionTest : public testing::ScrollMenuSessionFixture {
protected:
    void SetUp() override
    {
        MoviePlayer::setDecodingForTesting(MoviePlayer::Decoding::Off);
        ScrollMenuSessionFixture::SetUp();
    }
    void TearDown() override
    {
        ScrollMenuSessionFixture::TearDown();
        MoviePlayer::setDecodingForTesting(MoviePlayer::Decoding::On);
    }
    std::shared_ptr<MoviePlayer> player(const std::string& id)
    {
        auto video = object<Video>(id);
        return video ? video->player() : nullptr;
    }
    // The operations the session sent for what the test drove, once they have gone out.
    std::string reported(std::size_t before)
    {
        EXPECT_TRUE(settle(before + 1));
        return operationsSince(before);
    }
    // Lets every pending turn and the 0.3 s flush pass, then checks that nothing went out.
    void expectNothingSent(std::size_t before)
    {
        harness.advance(0.3);
        harness.runUntilIdle();
        EXPECT_EQ(posts().size(), before) << operationsSince(before);
    }
};

TEST_F(VideoSessionTest, PlaybackReportsFollowThePlayersStateOneTurnLater)
{
    start(R"([["create","w1","zub.widgets.Display",{}],
        ["create","w8","morvix.widgets.Video",{"parent":"w1","url":"movie.mp4","playback":"play"}],
        ["listen","w8",{"Playback":true,"Presentation":true}]])");
    auto movie = player("w8");
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(movie->contentURL(), server.url("/app/movie.mp4"));
    EXPECT_EQ(movie->requests(), (std::vector<Request> { Request::PrepareToPlay, Request::Play }))
        << "play is asked at once, before any load state";

    // Play-through: "ready", and the stored "play" is applied again.
    std::size_t before = posts().size();
    movie->driveLoadState(platform::MovieLoadStatePlayable | platform::MovieLoadStatePlaythroughOK);
    EXPECT_EQ(movie->requests().size(), 2u) << "handled a turn later";
    EXPECT_EQ(reported(before), R"([["notify","w8","Playback",{"playback":"ready"}]])");
    EXPECT_EQ(movie->requests().back(), Request::Play);
    EXPECT_EQ(movie->requests().size(), 3u);

    // A pause the player reports is applied and reported with the speed; the same state again
    // sends nothing.
    before = posts().size();
    movie->drivePlaybackState(MoviePlaybackState::Paused);
    EXPECT_EQ(reported(before), R"([["set","w8",{"speed":1}],["notify","w8","Playback",{"playback":"pause"}]])");
    EXPECT_EQ(movie->requests().back(), Request::Pause);
    EXPECT_EQ(object<Video>("w8")->getKey("playback"), Value("pause"));
    before = posts().size();
    movie->drivePlaybackState(MoviePlaybackState::Paused);
    expectNothingSent(before);

    // Unlistened, a stall reports nothing, but a pause while stalled reports the error anyway.
    deliver(R"([["listen","w8",{"Playback":false}]])");
    before = posts().size();
    movie->driveLoadState(platform::MovieLoadStateStalled);
    expectNothingSent(before);
    movie->drivePlaybackState(MoviePlaybackState::Paused);
    EXPECT_EQ(reported(before), R"([["notify","w8","Playback",{"playback":"error"}]])");

    // Finishes: none after "stop", "done" after "play", "error" for a movie that failed.
    deliver(R"([["listen","w8",{"Playback":true}],["set","w8",{"playback":"stop"}]])");
    before = posts().size();
    movie->driveFinished(MovieFinishReason::PlaybackEnded);
    expectNothingSent(before);
    deliver(R"([["set","w8",{"playback":"play"}]])");
    before = posts().size();
    movie->driveFinished(MovieFinishReason::PlaybackEnded);
    EXPECT_EQ(reported(before), R"([["set","w8",{"speed":1}],["notify","w8","Playback",{"playback":"done"}]])");
    before = posts().size();
    movie->driveFinished(MovieFinishReason::PlaybackError);
    EXPECT_EQ(reported(before), R"([["notify","w8","Playback",{"playback":"error"}]])");
}

TEST_F(VideoSessionTest, PresentationSpeedAndDestroy)
{
    start(R"([["create","w1","zub.widgets.Display",{}],
        ["create","w8","morvix.widgets.Video",{"parent":"w1","url":"movie.mp4","controls_visible":false,
            "background":[255,0,0]}],
        ["listen","w8",{"Playback":true,"Presentation":true}]])");
    auto video = object<Video>("w8");
    auto movie = player("w8");
    ASSERT_NE(movie, nullptr);
    EXPECT_EQ(movie->controlStyle(), MovieControlStyle::None);
    EXPECT_EQ(movie->backgroundView()->backgroundColor(), platform::Color::fromRGBA(1, 0, 0));

    // Full screen is reported after the player's transition, with full-screen controls.
    std::size_t before = posts().size();
    deliver(R"([["set","w8",{"presentation":"full_screen"}]])");
    EXPECT_TRUE(movie->isFullscreen());
    EXPECT_EQ(movie->controlStyle(), MovieControlStyle::Fullscreen) << "although controls_visible is false";
    EXPECT_EQ(operationsSince(before), "[]");
    before = posts().size();
    harness.advance(MoviePlayer::kFullscreenTransition);
    EXPECT_EQ(reported(before), R"([["notify","w8","Presentation",{"presentation":"full_screen"}]])");
    EXPECT_EQ(video->getKey("presentation"), Value("full_screen"));

    // A person leaves full screen: the colours are forced again and the controls go.
    movie->backgroundView()->setBackgroundColor(platform::Color::white());
    before = posts().size();
    movie->driveUserFullscreen(false);
    EXPECT_EQ(reported(before), R"([["notify","w8","Presentation",{"presentation":"embedded"}]])");
    EXPECT_EQ(movie->backgroundView()->backgroundColor(), platform::Color::fromRGBA(1, 0, 0));
    EXPECT_EQ(movie->controlStyle(), MovieControlStyle::None);

    // Speed is compared with the player's rate: equal changes nothing, not even the stored one.
    deliver(R"([["set","w8",{"speed":2}]])");
    EXPECT_EQ(movie->currentPlaybackRate(), 2);
    movie->setCurrentPlaybackRate(1);
    deliver(R"([["set","w8",{"speed":1}]])");
    EXPECT_EQ(video->getKey("speed"), Value(2));

    // A speed beyond the player's is held to its fastest.
    deliver(R"([["set","w8",{"speed":1e300}]])");
    EXPECT_EQ(movie->currentPlaybackRate(), MoviePlayer::kMaximumRate);
    EXPECT_EQ(video->getKey("speed"), Value(MoviePlayer::kMaximumRate));

    // A word outside the table is stored only; stepToTime moves the position, held to what a
    // peer may ask.
    std::size_t requests = movie->requests().size();
    deliver(R"([["set","w8",{"playback":"rewind"}],["call","w8","stepToTime",{"time":12.5}]])");
    EXPECT_EQ(video->getKey("playback"), Value("rewind"));
    EXPECT_EQ(movie->requests().size(), requests);
    EXPECT_EQ(movie->currentPlaybackTime(), 12.5);
    deliver(R"([["call","w8","stepToTime",{"time":-3}]])");
    EXPECT_EQ(movie->currentPlaybackTime(), 0);

    // A url that resolves to nothing stops the movie it had and is reported as an error.
    before = posts().size();
    deliver(R"([["set","w8",{"url":"http://exa mple.com/"}]])");
    EXPECT_FALSE(movie->contentURL()) << "an unresolvable url drops the movie";
    EXPECT_TRUE(waitUntil([&] { return operationsSince(before).find(R"(["notify","w8","Playback",{"playback":"error"}])") != std::string::npos; }))
        << operationsSince(before);

    // After destroy the player is stopped and nothing it reports reaches the peer, not even
    // what was pending when the widget went.
    before = posts().size();
    movie->drivePlaybackState(MoviePlaybackState::Playing);
    video->destroy();
    EXPECT_EQ(movie->requests().back(), Request::Stop);
    EXPECT_FALSE(movie->isFullscreen());
    movie->drivePlaybackState(MoviePlaybackState::Paused);
    movie->driveLoadState(platform::MovieLoadStateStalled);
    movie->drivePlaybackState(MoviePlaybackState::Paused);
    movie->driveFinished(MovieFinishReason::PlaybackError);
    movie->driveUserFullscreen(true);
    expectNothingSent(before);
}

} // namespace
} // namespace morvix
