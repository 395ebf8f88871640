#pragma once
// Short movies of a test pattern, made with the media framework.

#include <optional>
#include <string>

namespace morvix::platform {

/// Writes short WebM movies (VP8 pictures, optionally a Vorbis tone) of a test pattern: the
/// movies the player's tests and benchmarks play, made where they run instead of shipped, and
/// the samples' movie.
///
///     MovieWriter::Options options;
///     options.pattern = MovieWriter::Pattern::Red;
///     auto failure = MovieWriter::write(folder + "/movie.webm", options);
///     ASSERT_FALSE(failure) << *failure;
///
/// Blocks the calling thread until the movie is written, so it is for tests and tools, not for
/// the main thread of a running session. Any thread.
class MovieWriter final {
public:
    /// The pictures. Bars are the colour bars of a television test card: seven upright bars,
    /// from the left white, yellow, cyan, green, magenta, red and blue, over the top two thirds.
    enum class Pattern { Bars, Red, Green, Blue, White, Black, Ball };
    enum class Sound { None, Tone };

    struct Options {
        int width = 64;
        int height = 48;
        int frames = 10;
        int framesPerSecond = 30;
        Pattern pattern = Pattern::Bars;
        Sound sound = Sound::None;
    };

    /// Gives up on a movie that has not been written by then.
    static constexpr int kTimeoutSeconds = 60;

    MovieWriter() = delete;

    /// Writes the movie to `path`, replacing what is there. Nothing when written; otherwise why
    /// not (a size or count out of range, a missing element, an encoding failure, the timeout).
    [[nodiscard]] static std::optional<std::string> write(const std::string& path, const Options& options);
};

} // namespace morvix::platform
