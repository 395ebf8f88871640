#pragma once
// Builds a multipart form body that streams its parts.

#include "networking/NetMultipartBodyStream.h"
#include "networking/NetMultipartFormData.h"
#include "platform/net/URLRequest.h"

namespace morvix {

/// A multipart form for one request: parts are appended in call order, and
/// `requestByFinalizingMultipartFormData` attaches the body stream with "Content-Type:
/// multipart/form-data; boundary=..." and the "Content-Length" of the declared lengths. The
/// boundary is "Boundary+" and 16 upper-case hexadecimal digits from a random source.
/// One thread at a time.
class NetStreamingMultipartFormData final : public NetMultipartFormData {
public:
    NetStreamingMultipartFormData(platform::URLRequest request, platform::StringEncoding encoding);

    bool appendPartWithFileURL(const platform::Url& fileURL, const std::string& name, std::optional<platform::Error>* error) override;
    bool appendPartWithFileURL(const platform::Url& fileURL, const std::string& name, const std::string& fileName,
        const std::string& mimeType, std::optional<platform::Error>* error) override;
    void appendPartWithInputStream(std::shared_ptr<platform::InputStream> stream, const std::string& name,
        const std::string& fileName, std::int64_t length, const std::string& mimeType) override;
    void appendPartWithFileData(std::string data, const std::string& name, const std::string& fileName, const std::string& mimeType) override;
    void appendPartWithFormData(std::string data, const std::string& name) override;
    void appendPartWithHeaders(NetBodyPartHeaders headers, std::string body) override;
    void throttleBandwidthWithPacketSize(std::uint64_t numberOfBytes, double delay) override;

    const std::string& boundary() const { return m_boundary; }
    /// Replaces the boundary, also of the parts already appended.
    void setBoundary(std::string boundary);
    const std::shared_ptr<NetMultipartBodyStream>& bodyStream() const { return m_bodyStream; }

    /// The request with the body attached; unchanged (no body, no multipart headers) when no
    /// part was appended.
    platform::URLRequest requestByFinalizingMultipartFormData();

private:
    void appendPart(NetBodyPartHeaders headers, NetHTTPBodyPart::Body body, std::uint64_t length);

    platform::URLRequest m_request;
    platform::StringEncoding m_encoding;
    std::string m_boundary;
    std::shared_ptr<NetMultipartBodyStream> m_bodyStream;
};

/// `text` with '"', CR and LF escaped as %22, %0D and %0A, as HTML forms write names.
std::string NetEscapedMultipartName(const std::string& text);

} // namespace morvix
