#include "networking/NetStreamingMultipartFormData.h"

#include "networking/NetURLRequestSerialization.h"
#include "platform/net/MimeTypes.h"
#include "platform/net/URLError.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <random>
#include <unistd.h>

namespace morvix {

namespace {

std::string makeBoundary()
{
    std::random_device random;
    char text[40];
    std::snprintf(text, sizeof text, "Boundary+%08X%08X", static_cast<unsigned>(random()), static_cast<unsigned>(random()));
    return text;
}

platform::Error appendError(const std::string& reason)
{
    return platform::Error(NetURLRequestSerializationErrorDomain, -1000, "The file could not be added to the form.", reason);
}

NetBodyPartHeaders fileHeaders(const std::string& name, const std::string& fileName, const std::string& mimeType)
{
    return {
        { "Content-Disposition", "form-data; name=\"" + NetEscapedMultipartName(name) + "\"; filename=\"" + NetEscapedMultipartName(fileName) + "\"" },
        { "Content-Type", mimeType },
    };
}

} // namespace

std::string NetEscapedMultipartName(const std::string& text)
{
    std::string escaped;
    for (char c : text) {
        if (c == '"')
            escaped += "%22";
        else if (c == '\r')
            escaped += "%0D";
        else if (c == '\n')
            escaped += "%0A";
        else
            escaped += c;
    }
    return escaped;
}

NetStreamingMultipartFormData::NetStreamingMultipartFormData(platform::URLRequest request, platform::StringEncoding encoding)
    : m_request(std::move(request))
    , m_encoding(encoding)
    , m_boundary(makeBoundary())
    , m_bodyStream(NetMultipartBodyStream::create(encoding))
{
}

void NetStreamingMultipartFormData::setBoundary(std::string boundary)
{
    m_boundary = std::move(boundary);
    for (const auto& part : m_bodyStream->HTTPBodyParts())
        part->setBoundary(m_boundary);
}

void NetStreamingMultipartFormData::appendPart(NetBodyPartHeaders headers, NetHTTPBodyPart::Body body, std::uint64_t length)
{
    m_bodyStream->appendHTTPBodyPart(NetHTTPBodyPart::create(std::move(headers), std::move(body), length, m_boundary, m_encoding));
}

bool NetStreamingMultipartFormData::appendPartWithFileURL(const platform::Url& fileURL, const std::string& name, std::optional<platform::Error>* error)
{
    auto path = fileURL.decodedPath().value_or(fileURL.path());
    auto fileName = std::filesystem::path(path).filename().string();
    auto mimeType = platform::mimeTypeForPath(path).value_or("application/octet-stream");
    return appendPartWithFileURL(fileURL, name, fileName, mimeType, error);
}

bool NetStreamingMultipartFormData::appendPartWithFileURL(const platform::Url& fileURL, const std::string& name,
    const std::string& fileName, const std::string& mimeType, std::optional<platform::Error>* error)
{
    auto fail = [error](platform::Error failure) {
        if (error)
            *error = std::move(failure);
        return false;
    };
    if (!fileURL.isFileURL())
        return fail(appendError("Expected URL to be a file URL"));
    auto path = fileURL.decodedPath();
    std::error_code code;
    if (!path || !std::filesystem::exists(*path, code))
        return fail(appendError("File URL not reachable."));
    auto size = std::filesystem::file_size(*path, code);
    if (code)
        return fail(platform::Error(platform::POSIXErrorDomain, code.value(), code.message(), code.message() + ": " + *path));
    if (::access(path->c_str(), R_OK) != 0)
        return fail(platform::Error(platform::POSIXErrorDomain, errno, std::strerror(errno), std::string(std::strerror(errno)) + ": " + *path));
    appendPart(fileHeaders(name, fileName, mimeType), fileURL, size);
    return true;
}

void NetStreamingMultipartFormData::appendPartWithInputStream(std::shared_ptr<platform::InputStream> stream, const std::string& name,
    const std::string& fileName, std::int64_t length, const std::string& mimeType)
{
    appendPart(fileHeaders(name, fileName, mimeType), std::move(stream), static_cast<std::uint64_t>(std::max<std::int64_t>(length, 0)));
}

void NetStreamingMultipartFormData::appendPartWithFileData(std::string data, const std::string& name, const std::string& fileName,
    const std::string& mimeType)
{
    appendPartWithHeaders(fileHeaders(name, fileName, mimeType), std::move(data));
}

void NetStreamingMultipartFormData::appendPartWithFormData(std::string data, const std::string& name)
{
    appendPartWithHeaders({ { "Content-Disposition", "form-data; name=\"" + NetEscapedMultipartName(name) + "\"" } }, std::move(data));
}

void NetStreamingMultipartFormData::appendPartWithHeaders(NetBodyPartHeaders headers, std::string body)
{
    auto length = body.size();
    appendPart(std::move(headers), std::move(body), length);
}

void NetStreamingMultipartFormData::throttleBandwidthWithPacketSize(std::uint64_t numberOfBytes, double delay)
{
    m_bodyStream->setNumberOfBytesInPacket(numberOfBytes);
    m_bodyStream->setDelay(delay);
}

platform::URLRequest NetStreamingMultipartFormData::requestByFinalizingMultipartFormData()
{
    if (m_bodyStream->isEmpty())
        return m_request;
    m_bodyStream->setInitialAndFinalBoundaries();
    m_request.setBodyStream(m_bodyStream);
    m_request.setValueForHeader("multipart/form-data; boundary=" + m_boundary, "Content-Type");
    m_request.setValueForHeader(std::to_string(m_bodyStream->contentLength()), "Content-Length");
    return m_request;
}

} // namespace morvix
