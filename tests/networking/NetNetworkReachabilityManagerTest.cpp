#include "networking/NetNetworkReachabilityManager.h"

#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/net/FakeReachabilitySource.h"
#include "platform/net/LinuxReachabilitySource.h"

#include <gtest/gtest.h>

#include <netinet/in.h>

using namespace morvix;
using namespace morvix::platform;
using namespace std::chrono_literals;

namespace {

using Status = NetNetworkReachabilityStatus;

class NetNetworkReachabilityManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        loop.resetForTesting();
        NotificationCenter::resetDefaultForTesting();
        observer = NotificationCenter::defaultCenter()->addObserver(NetworkingReachabilityDidChangeNotification, nullptr,
            [this](const Notification& notification) {
                EXPECT_FALSE(notification.object.has_value());
                posted.push_back(notification.userInfo.at(NetworkingReachabilityNotificationStatusItem).get<long>());
            });
    }
    void TearDown() override
    {
        observer.reset();
        loop.resetForTesting();
    }

    std::shared_ptr<NetNetworkReachabilityManager> makeManager(NetNetworkReachabilityManager::Association association)
    {
        auto manager = NetNetworkReachabilityManager::create(source, association);
        manager->setReachabilityStatusChangeBlock([this](Status status) { blockCalls.push_back(status); });
        return manager;
    }

    MainLoop& loop = MainLoop::main();
    std::shared_ptr<FakeReachabilitySource> source = FakeReachabilitySource::create(kReachabilityFlagReachable);
    ObserverToken observer;
    std::vector<long> posted;
    std::vector<Status> blockCalls;
};

} // namespace

TEST(NetNetworkReachabilityStatusTest, FlagsMapToStatuses)
{
    EXPECT_EQ(NetNetworkReachabilityStatusForFlags(0), Status::NotReachable);
    EXPECT_EQ(NetNetworkReachabilityStatusForFlags(kReachabilityFlagIsWWAN | kReachabilityFlagConnectionOnTraffic), Status::NotReachable);
    EXPECT_EQ(NetNetworkReachabilityStatusForFlags(kReachabilityFlagReachable), Status::ReachableViaWiFi);
    EXPECT_EQ(NetNetworkReachabilityStatusForFlags(kReachabilityFlagReachable | kReachabilityFlagIsWWAN), Status::ReachableViaWWAN);
    EXPECT_EQ(NetNetworkReachabilityStatusForFlags(kReachabilityFlagReachable | kReachabilityFlagConnectionRequired), Status::NotReachable);
    EXPECT_EQ(NetNetworkReachabilityStatusForFlags(kReachabilityFlagReachable | kReachabilityFlagConnectionRequired | kReachabilityFlagConnectionOnTraffic),
        Status::ReachableViaWiFi);
    EXPECT_EQ(NetNetworkReachabilityStatusForFlags(kReachabilityFlagReachable | kReachabilityFlagConnectionRequired | kReachabilityFlagConnectionOnDemand),
        Status::ReachableViaWiFi);
    EXPECT_EQ(NetNetworkReachabilityStatusForFlags(kReachabilityFlagReachable | kReachabilityFlagConnectionRequired
                  | kReachabilityFlagConnectionOnTraffic | kReachabilityFlagInterventionRequired),
        Status::NotReachable);
    EXPECT_EQ(NetNetworkReachabilityStatusForFlags(kReachabilityFlagReachable | kReachabilityFlagInterventionRequired), Status::NotReachable);
}

TEST(NetNetworkReachabilityStatusTest, StatusTexts)
{
    EXPECT_EQ(NetStringFromNetworkReachabilityStatus(-1), "Unknown");
    EXPECT_EQ(NetStringFromNetworkReachabilityStatus(0), "Not Reachable");
    EXPECT_EQ(NetStringFromNetworkReachabilityStatus(1), "Reachable via WWAN");
    EXPECT_EQ(NetStringFromNetworkReachabilityStatus(2), "Reachable via WiFi");
    EXPECT_EQ(NetStringFromNetworkReachabilityStatus(7), "Unknown");
}

TEST_F(NetNetworkReachabilityManagerTest, AddressManagerReadsOnceWhenStarted)
{
    auto manager = makeManager(NetNetworkReachabilityManager::Association::Address);
    EXPECT_EQ(manager->networkReachabilityStatus(), Status::Unknown);
    EXPECT_EQ(manager->localizedNetworkReachabilityStatusString(), "Unknown");
    manager->startMonitoring();
    ASSERT_TRUE(loop.runUntil([&] { return !posted.empty(); }, 5s));
    loop.runUntilIdle();
    EXPECT_EQ(blockCalls, std::vector<Status> { Status::ReachableViaWiFi });
    EXPECT_EQ(posted, std::vector<long> { 2 });
    EXPECT_TRUE(manager->isReachable());
    EXPECT_TRUE(manager->isReachableViaWiFi());
    EXPECT_FALSE(manager->isReachableViaWWAN());
    EXPECT_EQ(manager->localizedNetworkReachabilityStatusString(), "Reachable via WiFi");
}

TEST_F(NetNetworkReachabilityManagerTest, HostNameManagerWaitsForTheFirstChange)
{
    auto manager = makeManager(NetNetworkReachabilityManager::Association::HostName);
    manager->startMonitoring();
    loop.runUntilIdle();
    EXPECT_EQ(manager->networkReachabilityStatus(), Status::Unknown);
    EXPECT_TRUE(blockCalls.empty());

    source->report(kReachabilityFlagReachable | kReachabilityFlagIsWWAN);
    loop.runUntilIdle();
    EXPECT_EQ(manager->networkReachabilityStatus(), Status::ReachableViaWWAN);
    EXPECT_EQ(posted, std::vector<long> { 1 });
}

TEST_F(NetNetworkReachabilityManagerTest, EveryReadingIsDeliveredEvenWithoutAChange)
{
    auto manager = makeManager(NetNetworkReachabilityManager::Association::HostName);
    manager->startMonitoring();
    source->report(0);
    source->report(0);
    loop.runUntilIdle();
    EXPECT_EQ(blockCalls, (std::vector<Status> { Status::NotReachable, Status::NotReachable }));
    EXPECT_EQ(posted, (std::vector<long> { 0, 0 }));
    EXPECT_FALSE(manager->isReachable());
}

TEST_F(NetNetworkReachabilityManagerTest, StartingTwiceSchedulesOnceAndStoppingEndsDeliveries)
{
    auto manager = makeManager(NetNetworkReachabilityManager::Association::HostName);
    manager->startMonitoring();
    manager->startMonitoring();
    EXPECT_EQ(source->scheduleCount(), 2); // unscheduled in between, so scheduled once at a time
    EXPECT_TRUE(source->isScheduled());
    manager->stopMonitoring();
    source->report(kReachabilityFlagReachable);
    loop.runUntilIdle();
    EXPECT_TRUE(blockCalls.empty());
    EXPECT_EQ(manager->networkReachabilityStatus(), Status::Unknown);
}

TEST_F(NetNetworkReachabilityManagerTest, DestroyedManagerNeitherStoresNorCallsItsBlock)
{
    auto manager = makeManager(NetNetworkReachabilityManager::Association::HostName);
    manager->startMonitoring();
    source->report(kReachabilityFlagReachable);
    manager.reset();
    EXPECT_FALSE(source->isScheduled());
    loop.runUntilIdle();
    EXPECT_TRUE(blockCalls.empty());
}

TEST_F(NetNetworkReachabilityManagerTest, LiveSourceReportsTheLoopbackAddressReachable)
{
    sockaddr_in loopback {};
    loopback.sin_family = AF_INET;
    loopback.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    auto manager = NetNetworkReachabilityManager::managerForAddress(reinterpret_cast<const sockaddr*>(&loopback));
    EXPECT_EQ(manager->networkReachabilityAssociation(), NetNetworkReachabilityManager::Association::Address);
    manager->startMonitoring();
    ASSERT_TRUE(loop.runUntil([&] { return !posted.empty(); }, 5s));
    EXPECT_EQ(manager->networkReachabilityStatus(), Status::ReachableViaWiFi);
    manager->stopMonitoring();
}

TEST_F(NetNetworkReachabilityManagerTest, LiveSourceReportsAnUnresolvableHostUnreachable)
{
    auto manager = NetNetworkReachabilityManager::managerForDomain("no-such-host.invalid");
    EXPECT_EQ(manager->networkReachabilityAssociation(), NetNetworkReachabilityManager::Association::HostName);
    EXPECT_EQ(LinuxReachabilitySource::forHostName("no-such-host.invalid")->flags(), 0u);
    EXPECT_EQ(LinuxReachabilitySource::forHostName("localhost")->flags(), kReachabilityFlagReachable);
}
