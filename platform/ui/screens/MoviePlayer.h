#pragma once
// The platform's movie player: movies from files and HTTP, decoded by the media framework.

#include "platform/foundation/MainLoop.h"
#include "platform/foundation/Value.h"
#include "platform/graphics/Size.h"
#include "platform/ui/Forward.h"
#include "platform/ui/screens/MoviePipeline.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace morvix::platform {

class Image;
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

/// The platform's movie player over the media framework: a `MoviePipeline` (a GStreamer
/// `playbin`) per movie, whose pictures its view shows, scaled by the scaling mode, and whose
/// states, sizes, stalls, end and errors it reports as the platform does.
///
/// 1. It plays "file", "http" and "https" URLs. It opens the file a "file" URL names as it is:
///    confining a peer's path is its owner's business. Any other URL, a movie that cannot be
///    found or a stream the installed plugins cannot play ends as a finish with
///    `MovieFinishReason::PlaybackError`, never as one that ended.
/// 2. `prepareToPlay` loads the movie and shows its first picture; `play`, `pause` and `stop`
///    ask for playback, paused playback, and the start of the movie with nothing playing.
///    Each is recorded in `requests()` (the latest `kRequestHistory` of them).
/// 3. The playback state follows what was asked once the stream is there: Playing (or
///    SeekingForward above rate 1, SeekingBackward below 0) when the movie plays, Paused at
///    once on `pause`, Stopped at once on `stop` and after `prepareToPlay`. A stall keeps the
///    state it interrupts. Each change posts `kPlaybackStateDidChange`.
/// 4. The load state: Playable | PlaythroughOK once the first picture is there and nothing
///    is buffering; Playable | Stalled when a stream that played through runs dry; back to
///    Playable | PlaythroughOK when its buffer has filled. A stream refilling because the
///    player asked for it (a seek, the start again after a stop or at a repeat) is not
///    stalled, and keeps its load state. Each change posts `kLoadStateDidChange`. The natural
///    size is that of the pictures, posted with `kNaturalSizeAvailable` when it is first known
///    and when it changes.
/// 5. At the end of the movie: with `MovieRepeatMode::One` it starts again and posts nothing,
///    by a seek, or by reading the stream again from its start where it cannot seek (a server
///    without byte ranges); otherwise it posts the finish (ended), then stops (state Stopped,
///    posted). After an error: the finish (error), then Stopped. Finishes carry
///    {"reason": n}.
/// 6. The rate: a rate of 0 pauses; any other rate is clamped to [-kMaximumRate,
///    kMaximumRate] and applied once the movie is loaded: its speed where the stream is, with
///    nothing read again; a turn of direction by a seek. `play` after a rate of 0 plays at 1. A
///    rate the stream refuses (backward, in formats or from servers that cannot) keeps the one
///    it plays at. A position on a stream that cannot seek is refused (logged).
/// 7. A movie read over the network reads at most `maximumStreamSize()` bytes in one pass of
///    its stream (each seek and each start from the beginning, a repeat included, begins a new
///    pass); past that it ends as an error.
/// 8. `setFullscreen` is a presentation, not playback: the flag changes at once, and the
///    entered or left notification follows after `kFullscreenTransition` on the main loop's
///    clock when animated, on the next turn otherwise. Setting the flag it already has does
///    nothing.
/// 9. A new content URL drops the movie it had (its pipeline goes down), and resets the
///    playback state to stopped, the load state to 0, the natural size to 0 x 0 and the
///    picture to none, without posting.
/// 10. Notifications go to the default notification centre with the player as sender and
///     object. Those caused by the stream are posted on the main loop's turns as the stream
///     reports; those caused by a call are posted inside the call, except a failure found by a
///     call, which is posted on a later turn.
///
/// Drivers (`drive...`) set a value and post its notification at once, for tests that need a
/// state the stream would not hold still, and for a person's full-screen toggle. Players made
/// while `setDecodingForTesting(Decoding::Off)` holds open no stream: they record requests and
/// change only by drivers.
///
/// `view()` holds `backgroundView()` and, above it, the picture view, both filling it: the
/// current picture scaled by the scaling mode over a dark box (unless coloured), or, before
/// there is a picture, the box naming the content URL, the playback state and the control
/// style. Main thread only.
class MoviePlayer : public std::enable_shared_from_this<MoviePlayer>, private MoviePipelineDelegate {
public:
    static constexpr std::string_view kPlaybackStateDidChange = "morvix.platform.MoviePlayer.PlaybackStateDidChange";
    static constexpr std::string_view kLoadStateDidChange = "morvix.platform.MoviePlayer.LoadStateDidChange";
    /// User info {"reason": `MovieFinishReason` as a number}.
    static constexpr std::string_view kPlaybackDidFinish = "morvix.platform.MoviePlayer.PlaybackDidFinish";
    static constexpr std::string_view kDidEnterFullscreen = "morvix.platform.MoviePlayer.DidEnterFullscreen";
    static constexpr std::string_view kDidExitFullscreen = "morvix.platform.MoviePlayer.DidExitFullscreen";
    static constexpr std::string_view kNaturalSizeAvailable = "morvix.platform.MoviePlayer.NaturalSizeAvailable";
    static constexpr double kFullscreenTransition = 0.35;
    static constexpr double kMaximumRate = 16;
    static constexpr std::size_t kRequestHistory = 64;
    /// What a movie read over the network may read unless the owner says otherwise.
    static constexpr std::uint64_t kDefaultMaximumStreamSize = std::uint64_t(256) << 20;

    enum class Request { PrepareToPlay, Play, Pause, Stop };
    enum class Decoding { On, Off };

    static std::shared_ptr<MoviePlayer> create();
    ~MoviePlayer() override;
    MoviePlayer(const MoviePlayer&) = delete;
    MoviePlayer& operator=(const MoviePlayer&) = delete;

    /// Whether players made from now on open streams (On unless a test turns it off).
    static void setDecodingForTesting(Decoding decoding);

    const std::optional<std::string>& contentURL() const { return m_contentURL; }
    void setContentURL(std::optional<std::string> url);
    /// Drops the movie (the content URL becomes none) and ends as a movie that cannot be
    /// played: the finish with `PlaybackError` follows on a later turn. For an owner that
    /// found the movie out of reach before the player could try it. `reason` goes to
    /// `lastError()`.
    void failToLoad(std::string reason);
    std::uint64_t maximumStreamSize() const { return m_maximumStreamSize; }
    /// Applies to movies opened from now on.
    void setMaximumStreamSize(std::uint64_t bytes) { m_maximumStreamSize = bytes; }
    /// Why the last movie failed; empty when it has not.
    const std::string& lastError() const { return m_lastError; }

    void prepareToPlay();
    void play();
    void pause();
    void stop();
    const std::vector<Request>& requests() const { return m_requests; }

    /// 0 until set.
    double currentPlaybackRate() const { return m_rate; }
    void setCurrentPlaybackRate(double rate);
    /// Seconds from the movie's start: the stream's position while it is loaded, else the
    /// last position set (0 after `stop`).
    double currentPlaybackTime() const;
    /// Clamped to [0, duration]; applied when the movie is loaded. Not finite, or on a stream
    /// that cannot seek (logged): ignored.
    void setCurrentPlaybackTime(double seconds);
    /// The movie's length in seconds; 0 while unknown.
    double duration() const;

    MoviePlaybackState playbackState() const { return m_playbackState; }
    unsigned loadState() const { return m_loadState; }
    /// 0 x 0 until the first picture.
    Size naturalSize() const { return m_naturalSize; }
    /// The picture shown; null before the first.
    const std::shared_ptr<Image>& currentFrame() const { return m_frame; }

    MovieRepeatMode repeatMode() const { return m_repeatMode; }
    void setRepeatMode(MovieRepeatMode mode) { m_repeatMode = mode; }
    MovieControlStyle controlStyle() const { return m_controlStyle; }
    void setControlStyle(MovieControlStyle style);
    MovieScalingMode scalingMode() const { return m_scalingMode; }
    void setScalingMode(MovieScalingMode mode);
    bool allowsAirPlay() const { return m_allowsAirPlay; }
    void setAllowsAirPlay(bool allows) { m_allowsAirPlay = allows; }
    bool shouldAutoplay() const { return m_shouldAutoplay; }
    void setShouldAutoplay(bool autoplay) { m_shouldAutoplay = autoplay; }

    bool isFullscreen() const { return m_fullscreen; }
    void setFullscreen(bool fullscreen, Animated animated);

    const std::shared_ptr<View>& view() const { return m_view; }
    const std::shared_ptr<View>& backgroundView() const { return m_backgroundView; }

    // Drivers, for tests that hold a state still.
    void drivePlaybackState(MoviePlaybackState state);
    void driveLoadState(unsigned loadState);
    void driveFinished(MovieFinishReason reason);
    void driveNaturalSize(Size size);
    /// A person's tap on the full-screen control: the flag changes and its notification is
    /// posted at once.
    void driveUserFullscreen(bool fullscreen);

private:
    /// What the owner asked for last.
    enum class Intent { Stopped, Prepared, Paused, Playing };

    MoviePlayer() = default;
    void record(Request request);
    void post(std::string_view name, Value userInfo = nullptr);
    void changed();

    void pipelineEvent(const MoviePipelineEvent& event) override;
    bool ensurePipeline();
    void dropMovie();
    void failLater(std::string reason);
    void failed(std::string reason);
    void ended();
    void prerolled();
    void buffering(int percent);
    void showFrame(std::shared_ptr<Image> frame);
    void applyRate();
    /// A seek the player asks for, in the direction the stream plays; false when the stream
    /// refuses it.
    bool seek(double seconds, MoviePipeline::Direction direction);
    /// The stream goes down to ready, dropping its data and position; the next state up reads
    /// it again from the start.
    void rewind();
    void setLoadState(unsigned loadState);
    void updatePlaybackState();

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

    Decoding m_decoding = Decoding::On;
    std::uint64_t m_maximumStreamSize = kDefaultMaximumStreamSize;
    std::unique_ptr<MoviePipeline> m_pipeline;
    Intent m_intent = Intent::Stopped;
    /// The state the pipeline last reported reaching.
    MoviePipelineEvent::State m_reached = MoviePipelineEvent::State::Null;
    bool m_prerolled = false;
    bool m_buffering = false;
    /// How far the stream is in refilling what the player emptied (by a seek or a start from
    /// ready): until it has prerolled at the new place with its buffer full, its buffering is
    /// no stall. The stream may report its buffer full and empty more than once before that.
    enum class Refill { None, Seeking, Filling };
    Refill m_refill = Refill::None;
    /// The rate the stream runs at (1 for a fresh pipeline).
    double m_appliedRate = 1;
    std::optional<double> m_pendingTime;
    std::shared_ptr<Image> m_frame;
    std::string m_lastError;
    /// Counts movies, so that a failure posted for one is dropped once another has come.
    std::uint64_t m_movie = 0;
    bool m_failed = false;
};

/// The name of a playback state as the player's box shows it ("stopped", "playing", ...).
std::string_view playbackStateName(MoviePlaybackState state);

} // namespace morvix::platform
