#pragma once
// The stand-in of the platform's movie player: it records what it is asked and reports only what
// it is told.

#include "platform/foundation/MainLoop.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/Size.h"
#include "platform/ui/Forward.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvix::platform {

class View;

enum class MoviePlaybackState { Stopped = 0, Playing = 1, Paused = 2, Interrupted = 3, SeekingForward = 4, SeekingBackward = 5 };

/// Bits of `MoviePlayer::loadState()`; 0 is an unknown state.
enum MovieLoadState : unsigned {
    MovieLoadStatePlayable = 1,
    MovieLoadStatePlaythroughOK = 2,
    MovieLoadStateStalled = 4,
};

/// Why playback finished; the value travels as "reason" in the finish notification's user info.
enum class MovieFinishReason { PlaybackEnded = 0, PlaybackError = 1, UserExited = 2 };
enum class MovieRepeatMode { None, One };
enum class MovieControlStyle { None, Embedded, Fullscreen };
enum class MovieScalingMode { None, AspectFit, AspectFill, Fill };

/// A movie player without a decoder. Nothing plays: the player keeps its settings, records the
/// requests it was given, and reports playback and load states, finishes, natural sizes and a
/// person's full-screen toggles only when a test or an embedding application that has a decoder
/// drives them.
///
/// 1. `prepareToPlay`, `play`, `pause` and `stop` are recorded in `requests()`, in order, and
///    change no state.
/// 2. Each `drive...` sets its value and posts its notification on the default notification
///    centre at once, with the player as sender and object.
/// 3. `setFullscreen` is a presentation, not playback: the flag changes at once, and the
///    entered or left notification follows after `kFullscreenTransition` on the main loop's clock
///    when animated, on the next turn otherwise. Setting the flag it already has does nothing.
/// 4. A new content URL resets the playback state to stopped, the load state to 0 and the
///    natural size to 0 x 0.
///
/// `view()` holds `backgroundView()` and, above it, a box (dark unless coloured) naming the
/// content URL, the playback state and the control style, both filling it. Main thread only.
class MoviePlayer : public std::enable_shared_from_this<MoviePlayer> {
public:
    static constexpr std::string_view kPlaybackStateDidChange = "morvix.platform.MoviePlayer.PlaybackStateDidChange";
    static constexpr std::string_view kLoadStateDidChange = "morvix.platform.MoviePlayer.LoadStateDidChange";
    /// User info {"reason": `MovieFinishReason` as a number}.
    static constexpr std::string_view kPlaybackDidFinish = "morvix.platform.MoviePlayer.PlaybackDidFinish";
    static constexpr std::string_view kDidEnterFullscreen = "morvix.platform.MoviePlayer.DidEnterFullscreen";
    static constexpr std::string_view kDidExitFullscreen = "morvix.platform.MoviePlayer.DidExitFullscreen";
    static constexpr std::string_view kNaturalSizeAvailable = "morvix.platform.MoviePlayer.NaturalSizeAvailable";
    static constexpr double kFullscreenTransition = 0.35;

    enum class Request { PrepareToPlay, Play, Pause, Stop };

    static std::shared_ptr<MoviePlayer> create();
    ~MoviePlayer();
    MoviePlayer(const MoviePlayer&) = delete;
    MoviePlayer& operator=(const MoviePlayer&) = delete;

    const std::optional<std::string>& contentURL() const { return m_contentURL; }
    void setContentURL(std::optional<std::string> url);

    void prepareToPlay() { record(Request::PrepareToPlay); }
    void play() { record(Request::Play); }
    void pause() { record(Request::Pause); }
    void stop() { record(Request::Stop); }
    const std::vector<Request>& requests() const { return m_requests; }

    /// 0 until set.
    double currentPlaybackRate() const { return m_rate; }
    void setCurrentPlaybackRate(double rate) { m_rate = rate; }
    /// Seconds from the movie's start.
    double currentPlaybackTime() const { return m_time; }
    void setCurrentPlaybackTime(double seconds) { m_time = seconds; }

    MoviePlaybackState playbackState() const { return m_playbackState; }
    unsigned loadState() const { return m_loadState; }
    /// 0 x 0 until a natural size is driven.
    Size naturalSize() const { return m_naturalSize; }

    MovieRepeatMode repeatMode() const { return m_repeatMode; }
    void setRepeatMode(MovieRepeatMode mode) { m_repeatMode = mode; }
    MovieControlStyle controlStyle() const { return m_controlStyle; }
    void setControlStyle(MovieControlStyle style);
    MovieScalingMode scalingMode() const { return m_scalingMode; }
    void setScalingMode(MovieScalingMode mode) { m_scalingMode = mode; }
    bool allowsAirPlay() const { return m_allowsAirPlay; }
    void setAllowsAirPlay(bool allows) { m_allowsAirPlay = allows; }
    bool shouldAutoplay() const { return m_shouldAutoplay; }
    void setShouldAutoplay(bool autoplay) { m_shouldAutoplay = autoplay; }

    bool isFullscreen() const { return m_fullscreen; }
    void setFullscreen(bool fullscreen, Animated animated);

    const std::shared_ptr<View>& view() const { return m_view; }
    const std::shared_ptr<View>& backgroundView() const { return m_backgroundView; }

    // Drivers, for tests and for an embedding application that decodes movies.
    void drivePlaybackState(MoviePlaybackState state);
    void driveLoadState(unsigned loadState);
    void driveFinished(MovieFinishReason reason);
    void driveNaturalSize(Size size);
    /// A person's tap on the full-screen control: the flag changes and its notification is
    /// posted at once.
    void driveUserFullscreen(bool fullscreen);

private:
    MoviePlayer() = default;
    void record(Request request);
    void post(std::string_view name, Value userInfo = nullptr);
    void changed();

    std::optional<std::string> m_contentURL;
    std::vector<Request> m_requests;
    double m_rate = 0;
    double m_time = 0;
    MoviePlaybackState m_playbackState = MoviePlaybackState::Stopped;
    unsigned m_loadState = 0;
    Size m_naturalSize;
    MovieRepeatMode m_repeatMode = MovieRepeatMode::None;
    MovieControlStyle m_controlStyle = MovieControlStyle::Embedded;
    MovieScalingMode m_scalingMode = MovieScalingMode::AspectFit;
    bool m_allowsAirPlay = false;
    bool m_shouldAutoplay = true;
    bool m_fullscreen = false;
    MainLoop::TimerId m_fullscreenTimer = 0;
    std::shared_ptr<View> m_view;
    std::shared_ptr<View> m_backgroundView;
    std::shared_ptr<View> m_contentView;
};

/// The name of a playback state as the player's box shows it ("stopped", "playing", ...).
std::string_view playbackStateName(MoviePlaybackState state);

} // namespace morvix::platform
