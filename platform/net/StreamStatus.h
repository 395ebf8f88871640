#pragma once
// The life of a stream.

namespace morvix::platform {

/// Where a stream is in its life; the numbers are the platform's.
enum class StreamStatus {
    NotOpen = 0,
    Opening = 1,
    Open = 2,
    Reading = 3,
    Writing = 4,
    AtEnd = 5,
    Closed = 6,
    Error = 7,
};

} // namespace morvix::platform
