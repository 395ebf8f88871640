#pragma once
// Where response bodies are written.

#include "platform/foundation/Error.h"
#include "platform/net/StreamStatus.h"

#include <cstddef>
#include <optional>
#include <string>

namespace morvix::platform {

/// A synchronous byte sink. Writing never reports "no space" while the stream is open: it
/// writes or fails, and a failure leaves `streamStatus` at Error with `streamError` set. A stream
/// that is not open refuses writes (-1). Used by one thread at a time; the HTTP layer opens,
/// writes and closes it on the network thread.
class OutputStream {
public:
    virtual ~OutputStream() = default;

    /// Opens the stream; does nothing when already open. Reopening a closed stream continues
    /// where it stopped (memory keeps its bytes, a file appends).
    virtual void open();
    virtual void close();
    StreamStatus streamStatus() const { return m_status; }
    bool isOpen() const { return m_status == StreamStatus::Open || m_status == StreamStatus::Writing; }
    const std::optional<Error>& streamError() const { return m_error; }

    /// True while the stream is open and without error.
    virtual bool hasSpaceAvailable() const { return isOpen(); }
    /// Writes up to `length` bytes; returns how many, or -1 (not open, or failed).
    virtual long write(const char* bytes, std::size_t length) = 0;

    /// The bytes written so far, for streams that keep them in memory; nothing for others.
    virtual std::optional<std::string> dataWrittenToMemory() const { return std::nullopt; }
    /// The same, handed over once the transfer is done: a stream that keeps a large body may
    /// give up its own copy rather than make a second one. A copy by default.
    virtual std::optional<std::string> takeDataWrittenToMemory() { return dataWrittenToMemory(); }
    /// Forgets what was written so far (memory is emptied, a file truncated), so that a
    /// transfer that starts over does not leave the old prefix in front. False when the stream
    /// cannot do that.
    virtual bool discardContents() { return false; }

protected:
    void setStatus(StreamStatus status) { m_status = status; }
    void fail(Error error);

private:
    StreamStatus m_status = StreamStatus::NotOpen;
    std::optional<Error> m_error;
};

} // namespace morvix::platform
