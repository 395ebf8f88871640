#include "platform/net/LinuxReachabilitySource.h"

#include "platform/foundation/MainLoop.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <unistd.h>

namespace morvix::platform {

namespace {

constexpr int kDiscardPort = 9;
constexpr int kQuietMilliseconds = 100;

bool hasRouteTo(const sockaddr* address, socklen_t length)
{
    int fd = ::socket(address->sa_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    bool connected = ::connect(fd, address, length) == 0;
    ::close(fd);
    return connected;
}

bool hasRouteToInternet()
{
    sockaddr_in v4 {};
    v4.sin_family = AF_INET;
    v4.sin_port = htons(kDiscardPort);
    inet_pton(AF_INET, "192.0.2.1", &v4.sin_addr);
    if (hasRouteTo(reinterpret_cast<sockaddr*>(&v4), sizeof v4))
        return true;
    sockaddr_in6 v6 {};
    v6.sin6_family = AF_INET6;
    v6.sin6_port = htons(kDiscardPort);
    inet_pton(AF_INET6, "2001:db8::1", &v6.sin6_addr);
    return hasRouteTo(reinterpret_cast<sockaddr*>(&v6), sizeof v6);
}

bool isZeroAddress(const sockaddr_storage& address)
{
    if (address.ss_family == AF_INET)
        return reinterpret_cast<const sockaddr_in&>(address).sin_addr.s_addr == INADDR_ANY;
    if (address.ss_family == AF_INET6)
        return IN6_IS_ADDR_UNSPECIFIED(&reinterpret_cast<const sockaddr_in6&>(address).sin6_addr);
    return false;
}

bool hasRouteToAddress(sockaddr_storage address)
{
    if (address.ss_family == AF_INET) {
        auto& v4 = reinterpret_cast<sockaddr_in&>(address);
        if (v4.sin_port == 0)
            v4.sin_port = htons(kDiscardPort);
        return hasRouteTo(reinterpret_cast<sockaddr*>(&v4), sizeof v4);
    }
    if (address.ss_family == AF_INET6) {
        auto& v6 = reinterpret_cast<sockaddr_in6&>(address);
        if (v6.sin6_port == 0)
            v6.sin6_port = htons(kDiscardPort);
        return hasRouteTo(reinterpret_cast<sockaddr*>(&v6), sizeof v6);
    }
    return false;
}

} // namespace

std::shared_ptr<LinuxReachabilitySource> LinuxReachabilitySource::forAddress(const sockaddr* address)
{
    auto source = std::shared_ptr<LinuxReachabilitySource>(new LinuxReachabilitySource());
    sockaddr_storage storage {};
    std::memcpy(&storage, address, address->sa_family == AF_INET6 ? sizeof(sockaddr_in6) : sizeof(sockaddr_in));
    source->m_address = storage;
    return source;
}

std::shared_ptr<LinuxReachabilitySource> LinuxReachabilitySource::forHostName(std::string host)
{
    auto source = std::shared_ptr<LinuxReachabilitySource>(new LinuxReachabilitySource());
    source->m_host = std::move(host);
    return source;
}

LinuxReachabilitySource::~LinuxReachabilitySource()
{
    unschedule();
}

std::optional<ReachabilityFlags> LinuxReachabilitySource::flags()
{
    if (m_address) {
        bool reachable = isZeroAddress(*m_address) ? hasRouteToInternet() : hasRouteToAddress(*m_address);
        return reachable ? kReachabilityFlagReachable : 0;
    }
    addrinfo hints {};
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* results = nullptr;
    if (::getaddrinfo(m_host.c_str(), nullptr, &hints, &results) != 0)
        return 0;
    bool reachable = false;
    for (addrinfo* entry = results; entry && !reachable; entry = entry->ai_next) {
        sockaddr_storage storage {};
        std::memcpy(&storage, entry->ai_addr, entry->ai_addrlen);
        reachable = hasRouteToAddress(storage);
    }
    ::freeaddrinfo(results);
    return reachable ? kReachabilityFlagReachable : 0;
}

void LinuxReachabilitySource::setCallback(Callback callback)
{
    std::lock_guard lock(m_mutex);
    m_callback = std::move(callback);
}

void LinuxReachabilitySource::schedule()
{
    if (m_watcher.joinable())
        return;
    if (::pipe2(m_stopPipe, O_CLOEXEC) != 0)
        return;
    m_watcher = std::thread([this, stopFd = m_stopPipe[0]] { watch(stopFd); });
}

void LinuxReachabilitySource::unschedule()
{
    if (!m_watcher.joinable())
        return;
    char stop = 1;
    [[maybe_unused]] auto written = ::write(m_stopPipe[1], &stop, 1);
    m_watcher.join();
    ::close(m_stopPipe[0]);
    ::close(m_stopPipe[1]);
    m_stopPipe[0] = m_stopPipe[1] = -1;
}

void LinuxReachabilitySource::watch(int stopFd)
{
    int netlink = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (netlink < 0)
        return;
    sockaddr_nl address {};
    address.nl_family = AF_NETLINK;
    address.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV6_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE;
    if (::bind(netlink, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(netlink);
        return;
    }
    bool pending = false;
    for (;;) {
        pollfd fds[2] = { { netlink, POLLIN, 0 }, { stopFd, POLLIN, 0 } };
        int ready = ::poll(fds, 2, pending ? kQuietMilliseconds : -1);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0 || (fds[1].revents & POLLIN))
            break;
        if (ready == 0) {
            // Quiet for a while after a burst of changes: one reading for the whole burst.
            pending = false;
            if (auto current = flags())
                deliver(*current);
            continue;
        }
        char buffer[8192];
        while (::recv(netlink, buffer, sizeof buffer, MSG_DONTWAIT) > 0) { }
        pending = true;
    }
    ::close(netlink);
}

void LinuxReachabilitySource::deliver(ReachabilityFlags flags)
{
    // The watcher never takes a strong reference, so the source is never destroyed on it.
    MainLoop::main().post([weak = weak_from_this(), flags] {
        auto self = weak.lock();
        if (!self || !self->m_watcher.joinable())
            return;
        Callback callback;
        {
            std::lock_guard lock(self->m_mutex);
            callback = self->m_callback;
        }
        if (callback)
            callback(flags);
    });
}

} // namespace morvix::platform
