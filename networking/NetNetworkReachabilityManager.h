#pragma once
// Whether the network can be reached, and over which kind of link.

#include "platform/net/ReachabilitySource.h"

#include <functional>
#include <memory>
#include <string>

struct sockaddr;

namespace morvix {

/// The reachability status.
enum class NetNetworkReachabilityStatus : long {
    Unknown = -1,
    NotReachable = 0,
    ReachableViaWWAN = 1,
    ReachableViaWiFi = 2,
};

/// Posted on the main loop after each reading, with no object and the user info
/// { NetworkingReachabilityNotificationStatusItem: the status as a number }.
inline constexpr const char* NetworkingReachabilityDidChangeNotification = "com.pelvarine.networking.reachability.change";
inline constexpr const char* NetworkingReachabilityNotificationStatusItem = "NetworkingReachabilityNotificationStatusItem";

/// The status the flags stand for; never Unknown.
NetNetworkReachabilityStatus NetNetworkReachabilityStatusForFlags(platform::ReachabilityFlags flags);
/// The text of a status ("Not Reachable", "Reachable via WWAN", "Reachable via WiFi"); any
/// other value gives "Unknown".
std::string NetStringFromNetworkReachabilityStatus(long status);

/// Watches one target's reachability and keeps the current status: Unknown until the first
/// reading, then the status of every reading the source delivers (also when it did not
/// change). Each reading stores the status, calls the status block and posts
/// NetworkingReachabilityDidChangeNotification.
///
/// The shared manager follows the zero address, that is, reachability in general. A manager
/// for a host name gets no first reading when it starts; one for an address reads the flags
/// once on the global queue.
///
/// Thread safety: main thread only. The status block and the notification run on the main
/// thread. Destroying the manager stops monitoring.
class NetNetworkReachabilityManager : public std::enable_shared_from_this<NetNetworkReachabilityManager> {
public:
    /// How the manager's source was made.
    enum class Association : unsigned long {
        None = 0,
        Address = 1,
        HostName = 3,
    };
    using StatusBlock = std::function<void(NetNetworkReachabilityStatus)>;

    /// The process's manager for 0.0.0.0, made on first use.
    static std::shared_ptr<NetNetworkReachabilityManager> sharedManager();
    static std::shared_ptr<NetNetworkReachabilityManager> managerForDomain(const std::string& domain);
    static std::shared_ptr<NetNetworkReachabilityManager> managerForAddress(const sockaddr* address);
    /// A manager on any source (tests give a FakeReachabilitySource). Null without a source.
    static std::shared_ptr<NetNetworkReachabilityManager> create(std::shared_ptr<platform::ReachabilitySource> source,
        Association association = Association::None);
    ~NetNetworkReachabilityManager();
    NetNetworkReachabilityManager(const NetNetworkReachabilityManager&) = delete;
    NetNetworkReachabilityManager& operator=(const NetNetworkReachabilityManager&) = delete;

    /// Starts (again) delivering readings; starting twice schedules once.
    void startMonitoring();
    /// Stops deliveries; the status stays as it is. Does nothing when not monitoring.
    void stopMonitoring();
    /// Replaces the status block (null removes it).
    void setReachabilityStatusChangeBlock(StatusBlock block) { m_statusBlock = std::move(block); }

    NetNetworkReachabilityStatus networkReachabilityStatus() const { return m_status; }
    bool isReachable() const { return isReachableViaWWAN() || isReachableViaWiFi(); }
    bool isReachableViaWWAN() const { return m_status == NetNetworkReachabilityStatus::ReachableViaWWAN; }
    bool isReachableViaWiFi() const { return m_status == NetNetworkReachabilityStatus::ReachableViaWiFi; }
    std::string localizedNetworkReachabilityStatusString() const;
    Association networkReachabilityAssociation() const { return m_association; }

private:
    NetNetworkReachabilityManager(std::shared_ptr<platform::ReachabilitySource> source, Association association)
        : m_source(std::move(source)), m_association(association) { }
    void apply(NetNetworkReachabilityStatus status);
    static void postChange(NetNetworkReachabilityStatus status);

    std::shared_ptr<platform::ReachabilitySource> m_source;
    Association m_association;
    NetNetworkReachabilityStatus m_status = NetNetworkReachabilityStatus::Unknown;
    StatusBlock m_statusBlock;
};

} // namespace morvix
