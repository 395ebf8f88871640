#pragma once
// Reachability from the Linux routing table.

#include "platform/net/ReachabilitySource.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <thread>

namespace morvix::platform {

/// Reachability of an address or a host name on Linux. A target counts as reachable (0x2) when
/// the kernel has a route to it: a UDP socket can be connected to it, which sends nothing. The
/// zero address stands for "the internet" and is probed through documentation addresses
/// (192.0.2.1 and 2001:db8::1). A host name is resolved first; one that does not resolve gives
/// no flags. Links are never reported as cellular.
///
/// While scheduled, a watcher thread listens to the kernel's routing messages (links,
/// addresses, routes), waits until they have been quiet for 100 ms, reads the flags and posts
/// the callback to the main loop.
class LinuxReachabilitySource final : public ReachabilitySource, public std::enable_shared_from_this<LinuxReachabilitySource> {
public:
    static std::shared_ptr<LinuxReachabilitySource> forAddress(const sockaddr* address);
    static std::shared_ptr<LinuxReachabilitySource> forHostName(std::string host);
    ~LinuxReachabilitySource() override;

    std::optional<ReachabilityFlags> flags() override;
    void setCallback(Callback callback) override;
    void schedule() override;
    void unschedule() override;

private:
    LinuxReachabilitySource() = default;
    void watch(int stopFd);
    void deliver(ReachabilityFlags flags);

    std::optional<sockaddr_storage> m_address;
    std::string m_host;
    std::mutex m_mutex; // guards m_callback
    Callback m_callback;
    std::thread m_watcher; // main thread only, as are the pipe ends
    int m_stopPipe[2] = { -1, -1 };
};

} // namespace morvix::platform
