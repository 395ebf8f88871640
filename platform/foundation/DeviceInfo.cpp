#include "platform/foundation/DeviceInfo.h"

#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"

#include <sys/utsname.h>

#include <mutex>

namespace morvix::platform {

namespace {

struct Shared {
    std::mutex mutex; // guards info
    DeviceInfo info;
};

// Built on first use, so that other static initialisers may already read the device.
Shared& shared()
{
    static Shared instance;
    return instance;
}

} // namespace

DeviceIdiom DeviceInfo::idiom() const
{
    return model.starts_with(kPadModel) ? DeviceIdiom::Pad : DeviceIdiom::Phone;
}

void DeviceInfo::setIdiom(DeviceIdiom idiom)
{
    switch (idiom) {
    case DeviceIdiom::Phone:
        model = std::string(kPhoneModel);
        return;
    case DeviceIdiom::Pad:
        model = std::string(kPadModel);
        return;
    }
}

DeviceInfo DeviceInfo::current()
{
    std::lock_guard lock(shared().mutex);
    return shared().info;
}

void DeviceInfo::setCurrent(DeviceInfo info)
{
    std::lock_guard lock(shared().mutex);
    shared().info = std::move(info);
}

void DeviceInfo::beginGeneratingOrientationNotifications()
{
    // The centre is looked up when the task runs: tests replace the default centre between cases.
    MainLoop::main().post([] { NotificationCenter::defaultCenter()->post(kOrientationDidChangeNotification); });
}

std::string DeviceInfo::hostMachine()
{
    utsname name {};
    if (uname(&name) != 0)
        return {};
    return name.machine;
}

void DeviceInfo::resetForTesting()
{
    setCurrent(DeviceInfo());
}

} // namespace morvix::platform
