#include "networking/NetMultipartBodyStream.h"

#include <algorithm>

namespace morvix {

std::shared_ptr<NetMultipartBodyStream> NetMultipartBodyStream::create(platform::StringEncoding encoding)
{
    return std::make_shared<NetMultipartBodyStream>(encoding);
}

void NetMultipartBodyStream::setInitialAndFinalBoundaries()
{
    for (const auto& part : m_parts) {
        part->setHasInitialBoundary(false);
        part->setHasFinalBoundary(false);
    }
    if (m_parts.empty())
        return;
    m_parts.front()->setHasInitialBoundary(true);
    m_parts.back()->setHasFinalBoundary(true);
}

std::uint64_t NetMultipartBodyStream::contentLength() const
{
    std::uint64_t length = 0;
    for (const auto& part : m_parts)
        length += part->contentLength();
    return length;
}

void NetMultipartBodyStream::open()
{
    auto status = streamStatus();
    if (status == platform::StreamStatus::Open || status == platform::StreamStatus::Error)
        return;
    setStatus(platform::StreamStatus::Open);
    setInitialAndFinalBoundaries();
    for (const auto& part : m_parts)
        part->reset();
    m_nextPart = 0;
    m_currentPart = nullptr;
}

void NetMultipartBodyStream::close()
{
    setStatus(platform::StreamStatus::Closed);
}

long NetMultipartBodyStream::read(char* buffer, std::size_t capacity)
{
    auto status = streamStatus();
    if (status == platform::StreamStatus::Closed || status == platform::StreamStatus::AtEnd)
        return 0;
    if (status != platform::StreamStatus::Open)
        return -1;
    m_delayBeforeNextRead = 0;
    std::size_t total = 0;
    auto limit = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, m_numberOfBytesInPacket));
    while (total < limit) {
        if (!m_currentPart || !m_currentPart->hasBytesAvailable()) {
            if (m_nextPart == m_parts.size()) {
                setStatus(platform::StreamStatus::AtEnd);
                break;
            }
            m_currentPart = m_parts[m_nextPart++];
            continue;
        }
        long got = m_currentPart->read(buffer + total, capacity - total);
        if (got < 0) {
            fail(*m_currentPart->streamError());
            // What was placed before the failure goes out first; the next read answers -1.
            return total > 0 ? static_cast<long>(total) : -1;
        }
        total += static_cast<std::size_t>(got);
        m_delayBeforeNextRead += m_delay;
    }
    return static_cast<long>(total);
}

std::shared_ptr<NetMultipartBodyStream> NetMultipartBodyStream::copy() const
{
    auto copy = create(m_encoding);
    for (const auto& part : m_parts)
        copy->appendHTTPBodyPart(part->copy());
    copy->setInitialAndFinalBoundaries();
    return copy;
}

std::shared_ptr<platform::InputStream> NetMultipartBodyStream::replay() const
{
    bool replayable = std::all_of(m_parts.begin(), m_parts.end(), [](const auto& part) { return part->isReplayable(); });
    return replayable ? copy() : nullptr;
}

} // namespace morvix
