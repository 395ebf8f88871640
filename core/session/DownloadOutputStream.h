#pragma once
// The body of a download a peer started, charged to the session's budget as it arrives.

#include "platform/foundation/SessionBudget.h"
#include "platform/net/OutputStream.h"

#include <atomic>
#include <memory>
#include <string>

namespace morvix {

/// Counts every byte written to it into a share of the session's bytes of downloads in flight
/// (`platform::SessionBudget`, `DownloadBytes`). The write that would take the session past
/// that budget fails with a POSIX "file too large" (EFBIG) error that names the budget, and the
/// stream stays failed: the HTTP layer then cancels the transfer and fails its operation.
///
/// With a target (a file) the bytes go on to it. Without one the stream keeps them itself and
/// hands them over by move (`takeBody`): `dataWrittenToMemory` answers nothing, so that the
/// operation makes no copy of its own, and the body is held once until its owner hands it on.
/// What was written stays charged until the share is taken and released, or the stream goes.
///
/// Written on the network thread, one thread at a time, as every output stream; `takeBody`,
/// `takeShare` and `exceededBudget` belong to the owner once the transfer has ended (on the
/// main thread, in the operation's completion).
class DownloadOutputStream final : public platform::OutputStream {
public:
    /// What a finished download kept in memory, with the share that still counts it.
    struct Body {
        std::string bytes;
        platform::SessionBudget::Share share;
    };

    /// `target` may be null: the body is then kept here.
    static std::shared_ptr<DownloadOutputStream> create(platform::SessionBudget::Share share,
        std::shared_ptr<platform::OutputStream> target = nullptr);
    DownloadOutputStream(const DownloadOutputStream&) = delete;
    DownloadOutputStream& operator=(const DownloadOutputStream&) = delete;

    void open() override;
    void close() override;
    long write(const char* bytes, std::size_t length) override;
    /// Forgets what was written (a transfer that starts over) and gives its share back.
    bool discardContents() override;

    /// The body kept in memory and its share; the stream is empty afterwards.
    Body takeBody();
    /// The share of what went on to the target; the stream counts nothing afterwards.
    platform::SessionBudget::Share takeShare();
    /// Whether a write was refused for going past the session's budget.
    bool exceededBudget() const { return m_exceededBudget.load(); }

private:
    DownloadOutputStream(platform::SessionBudget::Share share, std::shared_ptr<platform::OutputStream> target);
    void takeTargetError();

    platform::SessionBudget::Share m_share;
    std::shared_ptr<platform::OutputStream> m_target;
    std::string m_body;
    std::atomic<bool> m_exceededBudget = false;
};

} // namespace morvix
