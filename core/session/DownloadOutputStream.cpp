#include "core/session/DownloadOutputStream.h"

#include "platform/net/URLError.h"

#include <algorithm>
#include <cerrno>
#include <utility>

namespace morvix {

std::shared_ptr<DownloadOutputStream> DownloadOutputStream::create(platform::SessionBudget::Share share,
    std::shared_ptr<platform::OutputStream> target)
{
    return std::shared_ptr<DownloadOutputStream>(new DownloadOutputStream(std::move(share), std::move(target)));
}

DownloadOutputStream::DownloadOutputStream(platform::SessionBudget::Share share, std::shared_ptr<platform::OutputStream> target)
    : m_share(std::move(share))
    , m_target(std::move(target))
{
}

void DownloadOutputStream::open()
{
    if (m_target) {
        m_target->open();
        if (m_target->streamError())
            return takeTargetError();
    }
    OutputStream::open();
}

void DownloadOutputStream::close()
{
    if (m_target)
        m_target->close();
    OutputStream::close();
}

long DownloadOutputStream::write(const char* bytes, std::size_t length)
{
    if (!isOpen())
        return -1;
    if (!m_share.grow(length)) {
        m_exceededBudget = true;
        fail(platform::Error(platform::POSIXErrorDomain, EFBIG,
            "the session's downloads in flight would hold more than the " + std::to_string(m_share.limit()) + " bytes allowed"));
        return -1;
    }
    if (!m_target) {
        m_body.append(bytes, length);
        return static_cast<long>(length);
    }
    long written = m_target->write(bytes, length);
    // What did not reach the target is not held.
    (void)m_share.resize(m_share.amount() - length + static_cast<std::size_t>(std::max(written, 0L)));
    if (written < 0)
        takeTargetError();
    return written;
}

bool DownloadOutputStream::discardContents()
{
    if (m_target && !m_target->discardContents())
        return false;
    m_body.clear();
    m_body.shrink_to_fit();
    m_share.release();
    return true;
}

DownloadOutputStream::Body DownloadOutputStream::takeBody()
{
    Body body { std::exchange(m_body, std::string()), std::move(m_share) };
    return body;
}

platform::SessionBudget::Share DownloadOutputStream::takeShare()
{
    return std::move(m_share);
}

void DownloadOutputStream::takeTargetError()
{
    fail(m_target->streamError().value_or(platform::Error(platform::POSIXErrorDomain, EIO, "the download could not be written")));
}

} // namespace morvix
