#pragma once
// Where request bodies are read from.

#include "platform/foundation/Error.h"
#include "platform/net/StreamStatus.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

namespace morvix::platform {

/// A synchronous byte source. `read` returns the number of bytes read, 0 at the end, or -1 on
/// failure (with `streamError` set). Used by one thread at a time; the HTTP layer opens and
/// reads a request's body stream on the network thread.
class InputStream {
public:
    virtual ~InputStream() = default;

    virtual void open();
    virtual void close();
    virtual long read(char* buffer, std::size_t capacity) = 0;
    virtual bool hasBytesAvailable() const { return m_status == StreamStatus::Open; }
    /// A fresh stream over the same bytes, for a request sent again (a redirect); null when the
    /// stream cannot be read twice.
    virtual std::shared_ptr<InputStream> replay() const { return nullptr; }
    /// Seconds the reader should wait before the next `read`, for a stream that throttles
    /// itself; 0 (the default) for none. The connection pauses its transfer that long instead of
    /// sleeping; other readers may sleep.
    virtual double delayBeforeNextRead() const { return 0; }

    StreamStatus streamStatus() const { return m_status; }
    const std::optional<Error>& streamError() const { return m_error; }

protected:
    void setStatus(StreamStatus status) { m_status = status; }
    void fail(Error error);

private:
    StreamStatus m_status = StreamStatus::NotOpen;
    std::optional<Error> m_error;
};

/// Reads a string of bytes held in memory.
class DataInputStream final : public InputStream {
public:
    static std::shared_ptr<DataInputStream> create(std::string data) { return std::make_shared<DataInputStream>(std::move(data)); }
    explicit DataInputStream(std::string data) : m_data(std::move(data)) { }

    long read(char* buffer, std::size_t capacity) override;
    std::shared_ptr<InputStream> replay() const override { return create(m_data); }

private:
    std::string m_data;
    std::size_t m_offset = 0;
};

} // namespace morvix::platform
