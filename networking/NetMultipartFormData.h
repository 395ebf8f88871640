#pragma once
// What a construction callback may do with a multipart form.

#include "networking/NetHTTPBodyPart.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace morvix {

/// The operations a caller's construction callback uses to append parts to a multipart form.
/// Names and file names are escaped as HTML forms do ('"' as %22, CR as %0D, LF as %0A), so a
/// file name cannot break or add part headers.
class NetMultipartFormData {
public:
    virtual ~NetMultipartFormData() = default;

    /// A file part named after the file's last path component, with the MIME type of its
    /// extension ("application/octet-stream" when unknown). False, appending nothing, when the
    /// URL is not a file URL or the file cannot be reached, read or measured; the reason then
    /// goes to `error` when given.
    virtual bool appendPartWithFileURL(const platform::Url& fileURL, const std::string& name, std::optional<platform::Error>* error) = 0;
    virtual bool appendPartWithFileURL(const platform::Url& fileURL, const std::string& name, const std::string& fileName,
        const std::string& mimeType, std::optional<platform::Error>* error) = 0;
    /// A part read from `stream`, which must deliver exactly `length` bytes; a body holding it
    /// cannot be sent twice (a redirect then fails).
    virtual void appendPartWithInputStream(std::shared_ptr<platform::InputStream> stream, const std::string& name,
        const std::string& fileName, std::int64_t length, const std::string& mimeType) = 0;
    virtual void appendPartWithFileData(std::string data, const std::string& name, const std::string& fileName, const std::string& mimeType) = 0;
    /// A plain field.
    virtual void appendPartWithFormData(std::string data, const std::string& name) = 0;
    /// A part with the caller's own header lines, written as given and in order.
    virtual void appendPartWithHeaders(NetBodyPartHeaders headers, std::string body) = 0;
    /// See NetMultipartBodyStream on throttling.
    virtual void throttleBandwidthWithPacketSize(std::uint64_t numberOfBytes, double delay) = 0;
};

} // namespace morvix
