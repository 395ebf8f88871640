#include "networking/NetNetworkReachabilityManager.h"

#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/ThreadPool.h"
#include "platform/net/LinuxReachabilitySource.h"

#include <netinet/in.h>

namespace morvix {

using namespace platform;

NetNetworkReachabilityStatus NetNetworkReachabilityStatusForFlags(ReachabilityFlags flags)
{
    bool reachable = flags & kReachabilityFlagReachable;
    bool needsConnection = flags & kReachabilityFlagConnectionRequired;
    bool connectsAutomatically = flags & (kReachabilityFlagConnectionOnTraffic | kReachabilityFlagConnectionOnDemand);
    bool needsUser = (needsConnection && !connectsAutomatically) || (flags & kReachabilityFlagInterventionRequired);
    if (!reachable || needsUser)
        return NetNetworkReachabilityStatus::NotReachable;
    if (flags & kReachabilityFlagIsWWAN)
        return NetNetworkReachabilityStatus::ReachableViaWWAN;
    return NetNetworkReachabilityStatus::ReachableViaWiFi;
}

std::string NetStringFromNetworkReachabilityStatus(long status)
{
    // The texts are keys of the "Networking" string table, whose default is the key itself;
    // no translated table ships with the library.
    switch (status) {
    case 0:
        return "Not Reachable";
    case 1:
        return "Reachable via WWAN";
    case 2:
        return "Reachable via WiFi";
    default:
        return "Unknown";
    }
}

std::shared_ptr<NetNetworkReachabilityManager> NetNetworkReachabilityManager::sharedManager()
{
    static const std::shared_ptr<NetNetworkReachabilityManager> shared = [] {
        sockaddr_in zero {};
        zero.sin_family = AF_INET;
        return managerForAddress(reinterpret_cast<const sockaddr*>(&zero));
    }();
    return shared;
}

std::shared_ptr<NetNetworkReachabilityManager> NetNetworkReachabilityManager::managerForDomain(const std::string& domain)
{
    return create(LinuxReachabilitySource::forHostName(domain), Association::HostName);
}

std::shared_ptr<NetNetworkReachabilityManager> NetNetworkReachabilityManager::managerForAddress(const sockaddr* address)
{
    return create(LinuxReachabilitySource::forAddress(address), Association::Address);
}

std::shared_ptr<NetNetworkReachabilityManager> NetNetworkReachabilityManager::create(std::shared_ptr<ReachabilitySource> source, Association association)
{
    if (!source)
        return nullptr;
    return std::shared_ptr<NetNetworkReachabilityManager>(new NetNetworkReachabilityManager(std::move(source), association));
}

NetNetworkReachabilityManager::~NetNetworkReachabilityManager()
{
    stopMonitoring();
}

void NetNetworkReachabilityManager::startMonitoring()
{
    stopMonitoring();
    std::weak_ptr<NetNetworkReachabilityManager> weak = weak_from_this();
    m_source->setCallback([weak](ReachabilityFlags flags) {
        auto status = NetNetworkReachabilityStatusForFlags(flags);
        if (auto self = weak.lock())
            self->apply(status);
        MainLoop::main().post([status] { postChange(status); });
    });
    m_source->schedule();
    if (m_association == Association::HostName)
        return;
    ThreadPool::global().async([weak, source = m_source] {
        // Flags that cannot be read count as none, that is, not reachable.
        auto status = NetNetworkReachabilityStatusForFlags(source->flags().value_or(0));
        MainLoop::main().post([weak, status] {
            if (auto self = weak.lock())
                self->apply(status);
            postChange(status);
        });
    });
}

void NetNetworkReachabilityManager::stopMonitoring()
{
    m_source->unschedule();
}

void NetNetworkReachabilityManager::apply(NetNetworkReachabilityStatus status)
{
    m_status = status;
    if (m_statusBlock)
        m_statusBlock(status);
}

void NetNetworkReachabilityManager::postChange(NetNetworkReachabilityStatus status)
{
    NotificationCenter::defaultCenter()->post(NetworkingReachabilityDidChangeNotification, nullptr,
        Value { { NetworkingReachabilityNotificationStatusItem, static_cast<long>(status) } });
}

std::string NetNetworkReachabilityManager::localizedNetworkReachabilityStatusString() const
{
    return NetStringFromNetworkReachabilityStatus(static_cast<long>(m_status));
}

} // namespace morvix
