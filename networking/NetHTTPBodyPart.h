#pragma once
// One part of a multipart form body.

#include "platform/foundation/Error.h"
#include "platform/net/StringEncoding.h"
#include "platform/net/Url.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace morvix::platform {
class InputStream;
}

namespace morvix {

/// The header lines of a part, written in this order.
using NetBodyPartHeaders = std::vector<std::pair<std::string, std::string>>;

/// One part of a multipart body, read in four phases: its opening boundary line, its header
/// block, its body and (for the last part) the closing boundary line. The body is bytes, a file
/// (read through a FileInputStream) or a caller's stream. The part delivers exactly its
/// declared body length: a body that ends early or fails makes `read` answer -1 with
/// `streamError` set, never a short part. Read on one thread at a time (the network thread
/// when the connection sends it); phase changes happen on that thread.
class NetHTTPBodyPart {
public:
    using Body = std::variant<std::string, platform::Url, std::shared_ptr<platform::InputStream>>;

    static std::shared_ptr<NetHTTPBodyPart> create(NetBodyPartHeaders headers, Body body, std::uint64_t bodyContentLength,
        std::string boundary, platform::StringEncoding encoding);
    /// Closes the input stream when one was made.
    ~NetHTTPBodyPart();
    NetHTTPBodyPart(const NetHTTPBodyPart&) = delete;
    NetHTTPBodyPart& operator=(const NetHTTPBodyPart&) = delete;

    /// A new part in its first phase with the same headers, body and boundary; its input stream
    /// is made afresh, except that a stream body is shared.
    std::shared_ptr<NetHTTPBodyPart> copy() const;
    /// False for a stream body, which cannot be read a second time.
    bool isReplayable() const { return !std::holds_alternative<std::shared_ptr<platform::InputStream>>(m_body); }

    const NetBodyPartHeaders& headers() const { return m_headers; }
    const std::string& boundary() const { return m_boundary; }
    void setBoundary(std::string boundary) { m_boundary = std::move(boundary); }
    std::uint64_t bodyContentLength() const { return m_bodyContentLength; }
    platform::StringEncoding stringEncoding() const { return m_encoding; }

    bool hasInitialBoundary() const { return m_hasInitialBoundary; }
    void setHasInitialBoundary(bool has) { m_hasInitialBoundary = has; }
    bool hasFinalBoundary() const { return m_hasFinalBoundary; }
    void setHasFinalBoundary(bool has) { m_hasFinalBoundary = has; }

    /// Back to the first phase, to be read again from the start. A file or byte body is read
    /// afresh; a stream body goes on where it stopped (and fails if it cannot deliver its length).
    void reset();

    /// Opening line, header block, body length and (last part only) closing line, in bytes.
    std::uint64_t contentLength() const;
    /// True until the part has been read to its end (or failed).
    bool hasBytesAvailable() const;
    /// Places up to `capacity` bytes; -1 when the body failed (see `streamError`).
    long read(char* buffer, std::size_t capacity);
    const std::optional<platform::Error>& streamError() const { return m_error; }

private:
    enum class Phase { OpeningBoundary = 1, Headers = 2, Body = 3, ClosingBoundary = 4 };

    NetHTTPBodyPart(NetBodyPartHeaders headers, Body body, std::uint64_t length, std::string boundary, platform::StringEncoding encoding);
    std::string openingLine() const;
    std::string headerBlock() const;
    std::string closingLine() const;
    const std::shared_ptr<platform::InputStream>& inputStream();
    std::size_t readText(const std::string& text, char* buffer, std::size_t capacity);
    long readBody(char* buffer, std::size_t capacity);
    void transitionToNextPhase();

    NetBodyPartHeaders m_headers;
    Body m_body;
    std::uint64_t m_bodyContentLength = 0;
    std::string m_boundary;
    platform::StringEncoding m_encoding;
    bool m_hasInitialBoundary = false;
    bool m_hasFinalBoundary = false;
    std::shared_ptr<platform::InputStream> m_inputStream;
    Phase m_phase = Phase::OpeningBoundary;
    std::size_t m_phaseReadOffset = 0;
    std::uint64_t m_bodyRead = 0;
    std::optional<platform::Error> m_error;
    bool m_finished = false;
};

} // namespace morvix
