#pragma once
// The input stream of a multipart form body.

#include "networking/NetHTTPBodyPart.h"
#include "platform/net/InputStream.h"

#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

namespace morvix {

/// Suggested packet size and delay for throttling uploads on slow links.
inline constexpr std::uint64_t kAFUploadStream3GSuggestedPacketSize = 16384;
inline constexpr double kAFUploadStream3GSuggestedDelay = 0.2;

/// Reads the parts of a multipart body one after another, lazily: a file part streams from its
/// file, so nothing but header texts and field values is held in memory.
///
/// `read` answers the bytes placed, 0 once every part has been read (status at end) or the
/// stream is closed, and -1 with `streamError` and the error status once a part has failed (the
/// bytes placed before the failure in that call are answered first). A failed body never reads
/// as a short, complete one.
///
/// Throttling: with a packet size, a read stops once at least that many bytes are placed (the
/// last part read may overshoot); with a delay, the stream asks its reader to wait that long
/// after each part read, through `delayBeforeNextRead`. The stream itself never sleeps, since
/// the network thread that reads request bodies carries every transfer of the process: the
/// connection pauses that one transfer for the delay, and the file writer sleeps.
///
/// Read on one thread at a time; the connection reads it on the network thread.
class NetMultipartBodyStream final : public platform::InputStream {
public:
    static std::shared_ptr<NetMultipartBodyStream> create(platform::StringEncoding encoding);
    explicit NetMultipartBodyStream(platform::StringEncoding encoding) : m_encoding(encoding) { }

    void appendHTTPBodyPart(std::shared_ptr<NetHTTPBodyPart> part) { m_parts.push_back(std::move(part)); }
    const std::vector<std::shared_ptr<NetHTTPBodyPart>>& HTTPBodyParts() const { return m_parts; }
    /// Marks the first part as opening the body and the last as closing it.
    void setInitialAndFinalBoundaries();
    bool isEmpty() const { return m_parts.empty(); }
    /// The bytes the body will deliver, from the declared lengths; no body is read.
    std::uint64_t contentLength() const;

    std::uint64_t numberOfBytesInPacket() const { return m_numberOfBytesInPacket; }
    void setNumberOfBytesInPacket(std::uint64_t bytes) { m_numberOfBytesInPacket = bytes; }
    double delay() const { return m_delay; }
    void setDelay(double seconds) { m_delay = seconds; }
    /// Seconds the reader should wait before the next read: the delay times the part reads of
    /// the last read; 0 without throttling.
    double delayBeforeNextRead() const override { return m_delayBeforeNextRead; }

    /// Opens the stream (again after a close, from the first part).
    void open() override;
    void close() override;
    long read(char* buffer, std::size_t capacity) override;
    /// A new stream with copies of the parts (throttling not carried); a stream part is shared.
    std::shared_ptr<NetMultipartBodyStream> copy() const;
    /// As `copy`, but null when a part reads a caller's stream, which cannot be read twice.
    std::shared_ptr<platform::InputStream> replay() const override;

private:
    platform::StringEncoding m_encoding;
    std::vector<std::shared_ptr<NetHTTPBodyPart>> m_parts;
    std::size_t m_nextPart = 0;
    std::shared_ptr<NetHTTPBodyPart> m_currentPart;
    std::uint64_t m_numberOfBytesInPacket = std::numeric_limits<std::int64_t>::max();
    double m_delay = 0;
    double m_delayBeforeNextRead = 0;
};

} // namespace morvix
