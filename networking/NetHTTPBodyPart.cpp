#include "networking/NetHTTPBodyPart.h"

#include "networking/NetURLRequestSerialization.h"
#include "platform/net/FileInputStream.h"
#include "platform/net/InputStream.h"

#include <algorithm>
#include <cstring>

namespace morvix {

namespace {
constexpr const char* kCRLF = "\r\n";
}

std::shared_ptr<NetHTTPBodyPart> NetHTTPBodyPart::create(NetBodyPartHeaders headers, Body body, std::uint64_t bodyContentLength,
    std::string boundary, platform::StringEncoding encoding)
{
    return std::shared_ptr<NetHTTPBodyPart>(new NetHTTPBodyPart(std::move(headers), std::move(body), bodyContentLength, std::move(boundary), encoding));
}

NetHTTPBodyPart::NetHTTPBodyPart(NetBodyPartHeaders headers, Body body, std::uint64_t length, std::string boundary, platform::StringEncoding encoding)
    : m_headers(std::move(headers))
    , m_body(std::move(body))
    , m_bodyContentLength(length)
    , m_boundary(std::move(boundary))
    , m_encoding(encoding)
{
}

NetHTTPBodyPart::~NetHTTPBodyPart()
{
    if (m_inputStream)
        m_inputStream->close();
}

void NetHTTPBodyPart::reset()
{
    if (isReplayable() && m_inputStream) {
        m_inputStream->close();
        m_inputStream = nullptr;
    }
    m_phase = Phase::OpeningBoundary;
    m_phaseReadOffset = 0;
    m_bodyRead = 0;
    m_error.reset();
    m_finished = false;
}

std::shared_ptr<NetHTTPBodyPart> NetHTTPBodyPart::copy() const
{
    return create(m_headers, m_body, m_bodyContentLength, m_boundary, m_encoding);
}

// Texts are written as UTF-8, which every encoding of the form shares for ASCII boundaries.
std::string NetHTTPBodyPart::openingLine() const
{
    return m_hasInitialBoundary ? "--" + m_boundary + kCRLF : kCRLF + ("--" + m_boundary) + kCRLF;
}

std::string NetHTTPBodyPart::headerBlock() const
{
    std::string block;
    for (const auto& [name, value] : m_headers)
        block += name + ": " + value + kCRLF;
    return block + kCRLF;
}

std::string NetHTTPBodyPart::closingLine() const
{
    return m_hasFinalBoundary ? kCRLF + ("--" + m_boundary) + "--" + kCRLF : std::string();
}

std::uint64_t NetHTTPBodyPart::contentLength() const
{
    return openingLine().size() + headerBlock().size() + m_bodyContentLength + closingLine().size();
}

const std::shared_ptr<platform::InputStream>& NetHTTPBodyPart::inputStream()
{
    if (m_inputStream)
        return m_inputStream;
    if (auto* bytes = std::get_if<std::string>(&m_body))
        m_inputStream = platform::DataInputStream::create(*bytes);
    else if (auto* url = std::get_if<platform::Url>(&m_body))
        m_inputStream = platform::FileInputStream::create(url->decodedPath().value_or(std::string()));
    else
        m_inputStream = std::get<std::shared_ptr<platform::InputStream>>(m_body);
    if (!m_inputStream)
        m_inputStream = platform::DataInputStream::create({});
    return m_inputStream;
}

bool NetHTTPBodyPart::hasBytesAvailable() const
{
    // A body that ended before its length is found by the next read, which fails.
    return !m_error && !m_finished;
}

std::size_t NetHTTPBodyPart::readText(const std::string& text, char* buffer, std::size_t capacity)
{
    auto count = std::min(text.size() - m_phaseReadOffset, capacity);
    std::memcpy(buffer, text.data() + m_phaseReadOffset, count);
    m_phaseReadOffset += count;
    if (m_phaseReadOffset >= text.size())
        transitionToNextPhase();
    return count;
}

long NetHTTPBodyPart::readBody(char* buffer, std::size_t capacity)
{
    const auto& stream = inputStream();
    auto remaining = m_bodyContentLength - m_bodyRead;
    if (remaining == 0) {
        transitionToNextPhase();
        return 0;
    }
    if (capacity == 0)
        return 0;
    long got = stream->read(buffer, static_cast<std::size_t>(std::min<std::uint64_t>(capacity, remaining)));
    if (got < 0 || stream->streamStatus() == platform::StreamStatus::Error) {
        m_error = stream->streamError().value_or(platform::Error(NetURLRequestSerializationErrorDomain, -1000,
            "A part of the request body could not be read."));
        return -1;
    }
    m_bodyRead += static_cast<std::uint64_t>(got);
    if (m_bodyRead == m_bodyContentLength) {
        transitionToNextPhase();
    } else if (got == 0) {
        // The declared length went into Content-Length; sending fewer bytes would leave the
        // server waiting, or cut the body short.
        m_error = platform::Error(NetURLRequestSerializationErrorDomain, -1000, "A part of the request body ended early.",
            "The part ended after " + std::to_string(m_bodyRead) + " of " + std::to_string(m_bodyContentLength) + " bytes.");
        return -1;
    }
    return got;
}

long NetHTTPBodyPart::read(char* buffer, std::size_t capacity)
{
    if (m_error)
        return -1;
    std::size_t total = 0;
    if (m_phase == Phase::OpeningBoundary)
        total += readText(openingLine(), buffer, capacity);
    if (m_phase == Phase::Headers)
        total += readText(headerBlock(), buffer + total, capacity - total);
    if (m_phase == Phase::Body) {
        long got = readBody(buffer + total, capacity - total);
        if (got < 0)
            return -1;
        total += static_cast<std::size_t>(got);
    }
    if (m_phase == Phase::ClosingBoundary)
        total += readText(closingLine(), buffer + total, capacity - total);
    return static_cast<long>(total);
}

void NetHTTPBodyPart::transitionToNextPhase()
{
    switch (m_phase) {
    case Phase::OpeningBoundary:
        m_phase = Phase::Headers;
        break;
    case Phase::Headers:
        inputStream()->open();
        m_bodyRead = 0;
        m_phase = Phase::Body;
        break;
    case Phase::Body:
        inputStream()->close();
        m_phase = Phase::ClosingBoundary;
        break;
    case Phase::ClosingBoundary:
        m_phase = Phase::OpeningBoundary;
        m_finished = true;
        break;
    }
    m_phaseReadOffset = 0;
}

} // namespace morvix
