#pragma once
// An output stream that takes a body only up to a size.

#include "platform/net/OutputStream.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace morvix {

/// Passes what is written on to another stream (a file, memory) until `limit` bytes have gone
/// through; the write that would go past it fails with a POSIX "file too large" (EFBIG) error
/// whose description names the limit, and the stream stays failed. The HTTP layer then cancels
/// the transfer and fails its operation with that error, so a peer's download or response
/// never takes more than the limit, whatever the server sends or announces.
///
/// Written on the network thread, one thread at a time, as every output stream;
/// `exceededLimit` may be read on any thread.
class CappedOutputStream final : public platform::OutputStream {
public:
    static std::shared_ptr<CappedOutputStream> create(std::shared_ptr<platform::OutputStream> target, std::uint64_t limit);
    CappedOutputStream(const CappedOutputStream&) = delete;
    CappedOutputStream& operator=(const CappedOutputStream&) = delete;

    void open() override;
    void close() override;
    long write(const char* bytes, std::size_t length) override;
    std::optional<std::string> dataWrittenToMemory() const override { return m_target->dataWrittenToMemory(); }
    std::optional<std::string> takeDataWrittenToMemory() override { return m_target->takeDataWrittenToMemory(); }
    /// Forgets what was written (a transfer that starts over), and counts from zero again.
    bool discardContents() override;

    std::uint64_t limit() const { return m_limit; }
    /// Whether a write was refused for going past the limit.
    bool exceededLimit() const { return m_exceededLimit.load(); }

private:
    CappedOutputStream(std::shared_ptr<platform::OutputStream> target, std::uint64_t limit);
    void takeTargetError();

    std::shared_ptr<platform::OutputStream> m_target;
    std::uint64_t m_limit;
    std::uint64_t m_written = 0;
    std::atomic<bool> m_exceededLimit = false;
};

} // namespace morvix
