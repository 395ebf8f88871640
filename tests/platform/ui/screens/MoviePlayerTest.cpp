// The movie player stand-in: requests are only recorded, drivers set state and post for their
// own player, and full screen is a presentation whose notification follows its transition.

#include "platform/ui/screens/MoviePlayer.h"

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/View.h"
#include "platform/ui/rendering/UITestHarness.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace morvix::platform;

namespace {

class MoviePlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        NotificationCenter::resetDefaultForTesting();
        for (auto name : { MoviePlayer::kPlaybackStateDidChange, MoviePlayer::kLoadStateDidChange, MoviePlayer::kPlaybackDidFinish,
                 MoviePlayer::kDidEnterFullscreen, MoviePlayer::kDidExitFullscreen }) {
            m_tokens.push_back(NotificationCenter::defaultCenter()->addObserver(std::string(name), player.get(),
                [this](const Notification& notification) {
                    std::string entry = notification.name.substr(notification.name.rfind('.') + 1);
                    if (!notification.userInfo.is_null())
                        entry += " " + notification.userInfo.dump();
                    heard.push_back(entry);
                }));
        }
    }

    UITestHarness harness;
    std::shared_ptr<MoviePlayer> player = MoviePlayer::create();
    std::vector<std::string> heard;

private:
    std::vector<ObserverToken> m_tokens;
};

TEST_F(MoviePlayerTest, RequestsAreRecordedAndOnlyDriversChangeState)
{
    player->setContentURL("http://host/movie.mp4");
    player->prepareToPlay();
    player->play();
    player->pause();
    player->stop();
    EXPECT_EQ(player->requests(), (std::vector<MoviePlayer::Request> { MoviePlayer::Request::PrepareToPlay,
                                      MoviePlayer::Request::Play, MoviePlayer::Request::Pause, MoviePlayer::Request::Stop }));
    EXPECT_EQ(player->playbackState(), MoviePlaybackState::Stopped);
    EXPECT_EQ(player->currentPlaybackRate(), 0);
    EXPECT_TRUE(heard.empty());

    // Another player's drivers reach only that player's observers.
    auto other = MoviePlayer::create();
    other->drivePlaybackState(MoviePlaybackState::Playing);
    EXPECT_TRUE(heard.empty());

    player->drivePlaybackState(MoviePlaybackState::Paused);
    player->driveLoadState(MovieLoadStatePlayable | MovieLoadStateStalled);
    player->driveNaturalSize({ 640, 360 });
    player->driveFinished(MovieFinishReason::PlaybackError);
    EXPECT_EQ(player->playbackState(), MoviePlaybackState::Paused);
    EXPECT_EQ(player->loadState(), 5u);
    EXPECT_EQ(player->naturalSize(), (Size { 640, 360 }));
    EXPECT_EQ(heard, (std::vector<std::string> { "PlaybackStateDidChange", "LoadStateDidChange", R"(PlaybackDidFinish {"reason":1})" }));

    // A new movie starts from nothing.
    player->setContentURL("http://host/other.mp4");
    EXPECT_EQ(player->loadState(), 0u);
    EXPECT_EQ(player->naturalSize(), (Size { 0, 0 }));
    EXPECT_EQ(player->playbackState(), MoviePlaybackState::Stopped);
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
