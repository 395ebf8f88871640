#pragma once
// The decoding half of the movie player: one GStreamer playbin for one movie.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace morvix::platform {

class Image;

/// What a pipeline reports, always on the main thread.
struct MoviePipelineEvent {
    enum class Kind {
        /// The pipeline reached `state`.
        StateChanged,
        /// A state change or a seek has completed: the movie has a picture to show.
        Prerolled,
        /// The stream is filling its buffer: `percent` below 100 is a stall, 100 its end.
        Buffering,
        /// The stream has ended.
        Ended,
        /// The stream cannot be played (or read past its byte cap); `text` says why.
        Failed,
        /// A new picture, `frame`.
        Frame,
    };
    enum class State { Null, Ready, Paused, Playing };

    Kind kind = Kind::StateChanged;
    State state = State::Null;
    int percent = 100;
    std::string text;
    std::shared_ptr<Image> frame;
};

/// Hears one pipeline's events on the main thread. It may destroy the pipeline from inside
/// `pipelineEvent`.
class MoviePipelineDelegate {
public:
    virtual ~MoviePipelineDelegate() = default;
    virtual void pipelineEvent(const MoviePipelineEvent& event) = 0;
};

/// A `playbin` for one URL whose pictures go to an `appsink` (BGRx, square pixels, at most
/// `kMaximumSide` pixels a side, scaled down to fit) and whose sound goes to a `fakesink`: the
/// headless platform has no sound device. Subtitles are not shown.
///
/// Bus messages and pictures arrive on GStreamer's threads; they are handed to the main loop
/// and reach the delegate there, in the order they arrived. Pictures are coalesced: when the
/// main thread falls behind, only the newest one waiting is delivered. Nothing is delivered
/// once the pipeline is destroyed, not even what was already on its way.
///
/// The pipeline runs on a clock of its own, whose pace is the movie's speed: a faster or slower
/// movie is a faster or slower clock, so a change of speed flushes nothing and reads nothing
/// again (the media framework's own instant rate change can deadlock a state change or a seek
/// that meets it). Only a change of direction needs a seek.
///
/// Made, used and destroyed on the main thread. Nothing here waits for a state change;
/// destruction takes the pipeline down to its null state, which joins its streaming threads.
class MoviePipeline final {
public:
    /// The longest side of a picture handed on; larger movies are scaled down.
    static constexpr int kMaximumSide = 4096;

    enum class Direction { Forward, Backward };

    /// Starts the media framework on first use; thread-safe. False (with the reason in `error`)
    /// when it cannot start.
    static bool initialize(std::string* error = nullptr);

    /// A pipeline for `uri` in its null state, or null (with the reason in `error`) when the
    /// media framework or one of its elements is missing. The delegate is borrowed: it must
    /// outlive the pipeline (the movie player owns both). With a `maximumBytes` above 0, a
    /// stream that reads more than that in one pass fails (`Failed`); each seek, and each
    /// start from ready, begins a new pass.
    static std::unique_ptr<MoviePipeline> create(const std::string& uri, MoviePipelineDelegate& delegate, std::string* error,
        std::uint64_t maximumBytes = 0);
    ~MoviePipeline();
    MoviePipeline(const MoviePipeline&) = delete;
    MoviePipeline& operator=(const MoviePipeline&) = delete;

    /// Asks for a state; the change completes later (`StateChanged`). Going to Ready or Null
    /// completes at once and drops the stream's data and position: the next state up reads the
    /// movie again from its start, forward at speed 1, a new pass. That is how a stream that
    /// cannot seek starts again.
    void setState(MoviePipelineEvent::State state);
    /// A flushing, accurate seek to `seconds`, then playing in `direction`: forward from there,
    /// or backward from there to the start. False when the pipeline refuses it (not prerolled
    /// yet, or a stream that cannot seek, `canSeek`).
    bool seek(double seconds, Direction direction);
    /// Whether a seek can be asked for without ending the movie: always for a file; over HTTP
    /// once the server has said it serves byte ranges (a server that does not would answer the
    /// seek's request with the whole movie, which the source takes for an error).
    bool canSeek() const;
    /// The pace of the pipeline's clock, above 0: 2 plays twice as fast, in either direction.
    /// It takes effect where the stream is, on any stream.
    void setSpeed(double speed);
    /// The position in seconds; nothing when unknown.
    std::optional<double> position() const;
    /// The movie's length in seconds; nothing when unknown (a live stream, or not yet known).
    std::optional<double> duration() const;

    /// The GStreamer side, defined in the source only.
    struct Impl;

private:
    explicit MoviePipeline(std::unique_ptr<Impl> impl);

    std::unique_ptr<Impl> m_impl;
};

} // namespace morvix::platform
